// The drive list as the platform hands it over (root names each followed by a NUL, the
// list closed by one more NUL), here with any content: NULs missing, empty entries,
// doubled drives, any characters, any drive type. Creation must build exactly the drive
// nodes a plain reading of the list gives, and read only the hard-disk kind.
#include <fuzzer/FuzzedDataProvider.h>

#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace ovaro::folders::fuzzing {
namespace {

class RawDrives final : public DriveSource, public FolderLister {
public:
    std::wstring list;
    std::vector<unsigned> types;  // cycled through, one per question
    std::vector<std::wstring> asked, listed;

    std::wstring LogicalDriveStrings() override { return list; }
    unsigned DriveTypeOf(std::wstring_view name) override {
        asked.emplace_back(name);
        return types.empty() ? kDriveFixed : types[(asked.size() - 1) % types.size()];
    }
    FolderListing List(std::wstring_view folder) override {
        listed.emplace_back(folder);
        FolderListing out;
        // Every other drive fails, the rest hold one folder.
        if (listed.size() % 2 == 0)
            out.failure = ListFailure{listed.size() % 4 == 0, L"nicht bereit"};
        else
            out.subFolders.push_back(std::wstring(folder) + L"Ordner");
        return out;
    }
};

// The drive names a plain reading of the list gives, before doubles are dropped: scan
// character by character, an entry ends at a NUL, an empty entry or a missing NUL ends
// the list.
std::vector<std::wstring> ReadList(const std::wstring& list) {
    std::vector<std::wstring> names;
    std::wstring current;
    for (wchar_t c : list) {
        if (c != L'\0') {
            current += c;
            continue;
        }
        if (current.empty()) return names;
        names.push_back(PortableLowerCase(current.substr(0, 1)) + L":");
        current.clear();
    }
    return names;  // text after the last NUL has no NUL of its own: not an entry
}

bool IsHarddiskKind(unsigned type) { return type != kDriveRemovable && type != kDriveCdRom; }

Picture ExpectedPicture(unsigned type, wchar_t letter) {
    if (type == kDriveRemovable) return letter == L'a' || letter == L'b' ? Picture::Floppy : Picture::Removable;
    if (type == kDriveCdRom) return Picture::CDRom;
    return Picture::Harddisk;
}

}  // namespace
}  // namespace ovaro::folders::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ovaro::folders;
    using namespace ovaro::folders::fuzzing;
    FuzzedDataProvider in(data, size);
    RawDrives drives;
    const int typeCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < typeCount; ++i) drives.types.push_back(in.ConsumeIntegralInRange(0u, 9u));
    if (in.ConsumeBool()) {
        // UTF-16 code units, any value.
        while (in.remaining_bytes() >= 2) drives.list += static_cast<wchar_t>(in.ConsumeIntegral<uint16_t>());
    } else {
        // One byte a character: NULs and ASCII come easily; the upper half goes to Greek.
        for (uint8_t b : in.ConsumeRemainingBytes<uint8_t>())
            drives.list += b < 0x80 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(0x380 + b);
    }

    KeyedTree tree;
    ovaro::folders::testing::RecordingMessages messages;
    FolderTreeLogic logic(tree, drives, drives, messages, PortableLowerCase);
    logic.Create();
    tree.CheckIntact();
    CheckMessages(messages.shown);

    const NodeHandle root = logic.Root();
    Require(root != kNoNode && tree.Parent(root) == kNoNode && tree.Text(root) == kRootText, "no root");
    Require(tree.IsExpanded(root), "the root is not expanded");
    Require(tree.NextSibling(root) == kNoNode, "a second top-level node");

    // Every entry was asked for its type, with the two-character name.
    const auto names = ReadList(drives.list);
    Require(drives.asked == names, "the drive types asked differ from the list's entries");

    std::vector<std::wstring> expected;
    std::set<std::wstring> seen;
    for (const auto& n : names)
        if (seen.insert(n).second) expected.push_back(n);

    std::size_t i = 0;
    std::vector<std::wstring> expectedListings;
    for (NodeHandle d = tree.FirstChild(root); d != kNoNode; d = tree.NextSibling(d), ++i) {
        Require(i < expected.size(), "more drive nodes than drives", tree.Text(d));
        Require(tree.Text(d) == expected[i], "a drive node out of order or misnamed", tree.Text(d));
        Require(tree.Find(expected[i]) == d, "a drive key does not find its node", expected[i]);
        // The type that was answered for the first entry of this name.
        std::size_t first = 0;
        while (names[first] != expected[i]) ++first;
        const unsigned type = drives.types.empty() ? unsigned(kDriveFixed) : drives.types[first % drives.types.size()];
        Require(tree.PictureOf(d) == ExpectedPicture(type, expected[i][0]), "a drive's picture", expected[i]);
        if (IsHarddiskKind(type)) expectedListings.push_back(expected[i] + L"\\");
        // A "\" for a drive letter (no platform reports one) merges with the separator
        // before it, as VollerPfad merges doubled separators; its paths are not compared.
        if (expected[i][0] == L'\\') continue;
        Require(logic.VollerPfad(d) == expected[i] + L"\\", "a drive's folder path", expected[i]);
        for (NodeHandle f = tree.FirstChild(d); f != kNoNode; f = tree.NextSibling(f))
            Require(logic.VollerPfad(f) == ExpectedFolderPath(tree, f), "a folder below a drive", tree.Text(f));
    }
    Require(i == expected.size(), "fewer drive nodes than drives");
    Require(drives.listed == expectedListings, "the drives read at creation are not the hard-disk kind ones");
    Require(tree.Selected() == kNoNode, "creation selected a node");
    return 0;
}
