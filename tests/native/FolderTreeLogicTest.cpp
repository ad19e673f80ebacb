// The folder tree's behaviour against the in-memory tree, with the sanitizers.
#include <gtest/gtest.h>

#include "FolderTreeLogicSuite.h"
#include "MemoryFolderTree.h"
#include "TreeNodesContract.h"

namespace ovaro::folders::testing {
namespace {

struct MemoryTreeHolder {
    TreeNodes& tree() { return tree_; }
    MemoryTree tree_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, TreeNodesContract, MemoryTreeHolder);
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, FolderTreeLogicSuite, MemoryTreeHolder);

TEST(PortableLowerCase, FoldsLatinGreekAndCyrillicCapitalsOnly) {
    EXPECT_EQ(PortableLowerCase(L"C:\\Program Files\\\u00c4\u00d6\u00dc\u00df\u00d7"), L"c:\\program files\\\u00e4\u00f6\u00fc\u00df\u00d7");
    EXPECT_EQ(PortableLowerCase(L"\u0141\u00f3d\u017a \u0178 \u0130"), L"\u0142\u00f3d\u017a \u00ff \u0130");
    EXPECT_EQ(PortableLowerCase(L"\u0394\u0416\u0401 \u65e5\u672c"), L"\u03b4\u0436\u0451 \u65e5\u672c");
}

}  // namespace
}  // namespace ovaro::folders::testing
