// Odd input to the portable logic, under ASan and UBSan: very deep and very long
// paths, a folder with 100,000 sub-folders, names of every awkward kind, and failure
// texts that look like format strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "FolderTreeLogic.h"
#include "MainWindowBehaviour.h"
#include "MemoryFolderTree.h"

namespace ovaro::folders::testing {
namespace {

// A tree with constant-time sibling steps: the in-memory tree scans the siblings, which
// turns expanding a node with 100,000 children into hours.
class WideTree final : public TreeNodes {
public:
    NodeHandle AddLast(NodeHandle parent, std::wstring_view key, std::wstring_view text, Picture picture,
                       Picture selectedPicture, std::wstring* error) override {
        if (!key.empty() && byKey_.count(std::wstring(key))) {
            if (error) *error = L"key taken";
            return kNoNode;
        }
        nodes_.push_back(Node{parent, kNoNode, kNoNode, kNoNode, 0, std::wstring(text), picture, selectedPicture});
        const NodeHandle h = nodes_.size();
        if (parent != kNoNode) {
            Node& p = At(parent);
            if (p.last != kNoNode)
                At(p.last).next = h;
            else
                p.first = h;
            p.last = h;
            ++p.count;
        }
        if (!key.empty()) byKey_.emplace(std::wstring(key), h);
        return h;
    }
    bool HasChildren(NodeHandle n) const override { return n != kNoNode && At(n).count > 0; }
    std::size_t ChildCount(NodeHandle n) const override { return n != kNoNode ? At(n).count : 0; }
    NodeHandle FirstChild(NodeHandle n) const override { return n != kNoNode ? At(n).first : kNoNode; }
    NodeHandle NextSibling(NodeHandle n) const override { return n != kNoNode ? At(n).next : kNoNode; }
    NodeHandle Parent(NodeHandle n) const override { return n != kNoNode ? At(n).parent : kNoNode; }
    std::wstring Text(NodeHandle n) const override { return At(n).text; }
    Picture PictureOf(NodeHandle n) const override { return At(n).picture; }
    Picture SelectedPictureOf(NodeHandle n) const override { return At(n).selected; }
    std::wstring FullPath(NodeHandle n) const override {
        std::vector<const std::wstring*> texts;
        for (; n != kNoNode; n = At(n).parent) texts.push_back(&At(n).text);
        std::wstring path;
        for (auto it = texts.rbegin(); it != texts.rend(); ++it)
            path += (path.empty() && it == texts.rbegin() ? L"" : L"\\") + **it;
        return path;
    }
    NodeHandle Find(std::wstring_view key) const override {
        const auto it = byKey_.find(std::wstring(key));
        return it == byKey_.end() ? kNoNode : it->second;
    }
    NodeHandle Selected() const override { return selected_; }
    void Select(NodeHandle n) override { selected_ = n; }
    void Expand(NodeHandle n) override { expanded_.push_back(n); }
    bool IsExpanded(NodeHandle n) const override {
        for (NodeHandle e : expanded_)
            if (e == n) return true;
        return false;
    }
    void EnsureVisible(NodeHandle n) override { shown_ = n; }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void RemoveChildren(NodeHandle n) override {
        std::vector<NodeHandle> gone;
        for (NodeHandle c = At(n).first; c != kNoNode; c = At(c).next) gone.push_back(c);
        for (std::size_t i = 0; i < gone.size(); ++i)
            for (NodeHandle c = At(gone[i]).first; c != kNoNode; c = At(c).next) gone.push_back(c);
        std::erase_if(
            byKey_, [&](const auto& entry) { return std::find(gone.begin(), gone.end(), entry.second) != gone.end(); });
        At(n).first = At(n).last = kNoNode;
        At(n).count = 0;
    }
    NodeHandle shown_ = kNoNode;

private:
    struct Node {
        NodeHandle parent, first, last, next;
        std::size_t count;
        std::wstring text;
        Picture picture, selected;
    };
    Node& At(NodeHandle n) { return nodes_[n - 1]; }
    const Node& At(NodeHandle n) const { return nodes_[n - 1]; }
    std::vector<Node> nodes_;
    std::unordered_map<std::wstring, NodeHandle> byKey_;
    NodeHandle selected_ = kNoNode;
    std::vector<NodeHandle> expanded_;
};

// One hard disk c:; listings come from a function of the listed path.
class GeneratedMachine final : public DriveSource, public FolderLister {
public:
    std::function<std::vector<std::wstring>(const std::wstring&)> names;
    std::unordered_map<std::wstring, int> lists;

    std::wstring LogicalDriveStrings() override { return std::wstring(L"c:\\\0\0", 5); }
    unsigned DriveTypeOf(std::wstring_view) override { return kDriveFixed; }
    FolderListing List(std::wstring_view folder) override {
        const std::wstring given(folder);
        ++lists[given];
        FolderListing out;
        for (auto& n : names(given)) out.subFolders.push_back(given + n);
        return out;
    }
};

class RobustTree : public ::testing::Test {
protected:
    RobustTree() {
        logic.PathChanged = [this](const std::wstring& p) { events.push_back(p); };
    }
    WideTree tree;
    GeneratedMachine machine;
    RecordingMessages messages;
    FolderTreeLogic logic{tree, machine, machine, messages, PortableLowerCase};
    std::vector<std::wstring> events;
};

TEST_F(RobustTree, AHundredThousandSubFoldersAreAllShownAndTheLastIsReached) {
    constexpr int kCount = 100000;
    machine.names = [](const std::wstring& folder) {
        std::vector<std::wstring> out;
        if (folder == L"c:\\") {
            out.reserve(kCount);
            for (int i = 0; i < kCount; ++i) out.push_back(L"Ordner " + std::to_wstring(i));
        } else if (folder == L"c:\\Ordner 99999\\") {
            out.push_back(L"Ende");
        }
        return out;
    };
    logic.Create();
    const NodeHandle c = tree.Find(L"c:");
    ASSERT_EQ(tree.ChildCount(c), static_cast<std::size_t>(kCount));
    EXPECT_TRUE(messages.shown.empty());

    logic.SetPath(L"C:\\ORDNER 99999\\ENDE\\");
    EXPECT_EQ(logic.Path(), L"c:\\Ordner 99999\\Ende\\");
    EXPECT_EQ(events, std::vector<std::wstring>{L"c:\\Ordner 99999\\Ende\\"});
    EXPECT_EQ(tree.shown_, tree.Selected());
    // One level ahead: expanding c: read each of its 100,000 children exactly once.
    EXPECT_EQ(machine.lists[L"c:\\Ordner 0\\"], 1);
    EXPECT_EQ(machine.lists[L"c:\\Ordner 99999\\"], 1);
    EXPECT_EQ(machine.lists[L"c:\\"], 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RobustTree, AChainFarBeyondMaxPathIsWalkedToItsEnd) {
    // 300 levels of 200 characters: a folder path of about 60,000 characters.
    const std::wstring name(200, L'n');
    machine.names = [&](const std::wstring& folder) {
        std::size_t depth = 0;
        for (wchar_t ch : folder) depth += ch == L'\\';
        return depth < 300 ? std::vector<std::wstring>{name + std::to_wstring(depth)} : std::vector<std::wstring>{};
    };
    logic.Create();
    std::wstring deepest = L"c:\\";
    for (int d = 1; d < 300; ++d) deepest += name + std::to_wstring(d) + L"\\";
    ASSERT_GT(deepest.size(), 59000u);

    std::wstring written = deepest;
    for (auto& ch : written) ch = static_cast<wchar_t>(std::towupper(ch));
    logic.SetPath(written);
    EXPECT_EQ(logic.Path(), deepest);
    EXPECT_EQ(logic.SelectedPath(), deepest);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], deepest);
    EXPECT_TRUE(messages.shown.empty());

    // A missing last part ends the walk one level up, with the deepest node reported.
    events.clear();
    logic.SetPath(deepest + L"gibtsnicht");
    EXPECT_EQ(events, std::vector<std::wstring>{deepest});
}

TEST_F(RobustTree, AwkwardNamesKeepEveryCharacterAndAreFoundInAnyCase) {
    const std::vector<std::wstring> odd = {L"&Datei",
                                           L"100 %",
                                           L"%s%n%x%08X",
                                           L"!wichtig",
                                           L"~1",
                                           L"PROGRA~1",
                                           L"  f\u00fchrend",
                                           L"nachfolgend  ",
                                           L"punkt.",
                                           L"...",
                                           L".",
                                           L" . ",
                                           L"\u65e5\u672c\u8a9e",
                                           L"\u0395\u039b\u039b\u0397\u039d\u0399\u039a\u0391",
                                           L"\u0414\u043e\u0447\u0435\u0440\u043d\u0438\u0439",
                                           L"\u05e2\u05d1\u05e8\u05d9\u05ea",
                                           L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629",
                                           L"\U0001F3B5 Musik",
                                           L"\tTab",
                                           L"a\x01"
                                           L"b",
                                           L"\x7f",
                                           L"\u202eRTL",
                                           L"\u200b",
                                           L"\xD800halb",
                                           L"{0} $1 \\\\N"};
    machine.names = [&](const std::wstring& folder) { return folder == L"c:\\" ? odd : std::vector<std::wstring>{}; };
    logic.Create();
    const NodeHandle c = tree.Find(L"c:");
    ASSERT_EQ(tree.ChildCount(c), odd.size());
    EXPECT_TRUE(messages.shown.empty());

    std::size_t i = 0;
    for (NodeHandle n = tree.FirstChild(c); n != kNoNode; n = tree.NextSibling(n), ++i) {
        EXPECT_EQ(tree.Text(n), odd[i]);
        EXPECT_EQ(tree.Find(PortableLowerCase(L"c:\\" + odd[i])), n) << i;
        if (odd[i].find(L'\\') != std::wstring::npos) continue;  // the separator splits the walk
        // Written as listed and with the capitals a keyboard's Shift gives.
        std::wstring upper = L"C:\\" + odd[i] + L"\\";
        for (auto& ch : upper)
            if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - 32);
        for (const std::wstring& written : {L"c:\\" + odd[i], upper}) {
            events.clear();
            logic.SetPath(written);
            EXPECT_EQ(tree.Selected(), n) << i;
            EXPECT_EQ(logic.Path(), L"c:\\" + odd[i] + L"\\") << i;
            EXPECT_EQ(events, std::vector<std::wstring>{L"c:\\" + odd[i] + L"\\"}) << i;
        }
    }
}

TEST_F(RobustTree, FailureTextsThatLookLikeFormatsAreShownAsTheyAre) {
    class Failing final : public FolderLister {
    public:
        FolderListing List(std::wstring_view folder) override {
            FolderListing out;
            out.failure = ListFailure{folder.find(L'%') != std::wstring_view::npos, L"%s%n%p {0} \r\n\x01"};
            return out;
        }
    } lister;
    FolderTreeLogic failing(tree, machine, lister, messages, PortableLowerCase);
    failing.Create();
    failing.SetzeSubNodes(tree.Find(L"c:"), L"c:\\100 %s%n\\");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, L"Fehler beim Lesen des Ordners aufgetreten: %s%n%p {0} \r\n\x01");
    EXPECT_EQ(messages.shown[1].text,
              L"Auf Ordner c:\\100 %s%n\\ kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.");
}

}  // namespace
}  // namespace ovaro::folders::testing

namespace ovaro {
namespace {

TEST(RobustSettingsText, FailureReportTakesNamesAndDescriptionsLiterally) {
    const SettingsError failure(SettingsError::Operation::Write, L"Lumarix %s%n f\u00fcr {0}", 5,
                                L"Zugriff %d verweigert.\r\n\t%%");
    EXPECT_EQ(SettingsFailureText(failure),
              L"Der Datenordner von 'Lumarix %s%n f\u00fcr {0}' konnte nicht in der Registry gespeichert werden."
              L"\r\nFehler 5: Zugriff %d verweigert.\r\n\t%%");
}

}  // namespace
}  // namespace ovaro
