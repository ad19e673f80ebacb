// The folder lister's entries turned into folder nodes: each entry is a full path whose
// first characters are the listed folder's path; the rest is the name, the lower-cased
// whole the key. Entries here are anything a lister might hand back: too short, in
// other letter case, with separators, control characters or NULs inside, doubled.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace ovaro::folders::fuzzing {
namespace {

class ScriptedLister final : public DriveSource, public FolderLister {
public:
    std::wstring target;  // the folder whose listing is scripted; every other one is empty
    FolderListing scripted;
    int targetCalls = 0;

    std::wstring LogicalDriveStrings() override { return std::wstring(L"c:\\\0\0", 5); }
    unsigned DriveTypeOf(std::wstring_view) override { return kDriveCdRom; }  // not read at creation
    FolderListing List(std::wstring_view folder) override {
        if (folder != target) return {};
        ++targetCalls;
        return scripted;
    }
};

constexpr std::array<wchar_t, 16> kChars = {L'a', L'A', L'\u00e4', L'\u00c4', L'\u0416', L'\u65e5', L'\\', L' ',
                                            L'.', L'&', L'%',      L'!',      L'~',      L'\t',     L'\0', L'\u202e'};

std::wstring Text(FuzzedDataProvider& in, int maxLength) {
    std::wstring s;
    const int length = in.ConsumeIntegralInRange(0, maxLength);
    for (int i = 0; i < length; ++i) s += kChars[in.ConsumeIntegralInRange<std::size_t>(0, kChars.size() - 1)];
    return s;
}

}  // namespace
}  // namespace ovaro::folders::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ovaro::folders;
    using namespace ovaro::folders::fuzzing;
    FuzzedDataProvider in(data, size);
    ScriptedLister lister;
    KeyedTree tree;
    ovaro::folders::testing::RecordingMessages messages;
    FolderTreeLogic logic(tree, lister, lister, messages, PortableLowerCase);
    logic.Create();
    const NodeHandle drive = tree.Find(L"c:");
    Require(drive != kNoNode && !tree.HasChildren(drive), "the CD-ROM drive node");

    // The real caller passes the node's folder path; a fuzzed one shows that nothing
    // but the length of the path is taken from it for the names.
    const bool realParent = in.ConsumeBool();
    const std::wstring pfad = realParent ? logic.VollerPfad(drive) : Text(in, 6);
    lister.target = pfad;
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        lister.scripted.failure = ListFailure{in.ConsumeBool(), Text(in, 8)};
    } else {
        const int count = in.ConsumeIntegralInRange(0, 48);
        for (int i = 0; i < count; ++i) {
            if (in.ConsumeIntegralInRange(0, 5) == 0)
                lister.scripted.subFolders.push_back(Text(in, 8));
            else
                lister.scripted.subFolders.push_back(pfad + Text(in, 6));
        }
    }

    logic.SetzeSubNodes(drive, pfad);
    tree.CheckIntact();
    CheckMessages(messages.shown);
    Require(messages.shown.size() <= 1, "more than one message for one folder");
    Require(lister.targetCalls == 1, "the folder was not listed exactly once");

    const std::size_t n = pfad.size();
    std::vector<NodeHandle> children;
    for (NodeHandle c = tree.FirstChild(drive); c != kNoNode; c = tree.NextSibling(c)) children.push_back(c);

    if (lister.scripted.failure) {
        Require(children.empty(), "a failed listing added nodes");
        Require(messages.shown.size() == 1, "a failed listing was not told");
        const auto& f = *lister.scripted.failure;
        const std::wstring expected = f.driveNotAvailable
                                          ? std::wstring(kTextNoAccessBefore) + pfad + std::wstring(kTextNoAccessAfter)
                                          : std::wstring(kTextReadFailed) + f.description;
        Require(messages.shown[0].text == expected, "the failure message", messages.shown[0].text);
    } else {
        const auto& entries = lister.scripted.subFolders;
        Require(children.size() <= entries.size(), "more nodes than entries");
        // The nodes are the entries in order, up to the first entry that cannot be a node.
        std::set<std::wstring> keys{L"c:"};
        for (std::size_t i = 0; i < children.size(); ++i) {
            Require(entries[i].size() > n, "a node from an entry no longer than the parent's path", entries[i]);
            const std::wstring name = entries[i].substr(n);
            const auto& added = tree.nodes().at(children[i]);
            Require(added.text == name, "a node's text is not the entry without the parent's path", name);
            Require(added.key == PortableLowerCase(pfad + name), "a node's key", added.key);
            Require(keys.insert(added.key).second, "two nodes with one key", added.key);
            Require(tree.PictureOf(children[i]) == Picture::ClosedFolder &&
                        tree.SelectedPictureOf(children[i]) == Picture::OpenFolder,
                    "a folder node's pictures");
        }
        const bool stopped = children.size() < entries.size();
        Require(stopped == (messages.shown.size() == 1), "a stop without a message or a message without a stop");
        if (stopped) {
            const auto& bad = entries[children.size()];
            const bool tooShort = bad.size() <= n;
            const bool taken = !tooShort && keys.count(PortableLowerCase(pfad + bad.substr(n))) != 0;
            Require(tooShort || taken, "an entry that could be a node stopped the reading", bad);
            Require(messages.shown[0].style == MessageStyle::Ok, "the stop message carries an icon");
        }
    }

    // A node with children is never read again; one without is read anew.
    messages.shown.clear();
    logic.SetzeSubNodes(drive, pfad);
    Require(lister.targetCalls == (children.empty() ? 2 : 1), "reading again");

    // With the real parent path, the walk finds every node whose name holds no separator.
    if (realParent && !lister.scripted.failure) {
        for (NodeHandle child : children) {
            const std::wstring name = tree.Text(child);
            if (name.find(L'\\') != std::wstring::npos) continue;
            const std::wstring path = logic.VollerPfad(child);
            Require(path == pfad + name + L"\\", "VollerPfad of a listed folder", path);
            logic.SetPath(path);
            Require(tree.Selected() == child, "the walk did not find a listed folder", path);
            Require(logic.Path() == path, "Path read after the walk", path);
        }
    }
    tree.CheckIntact();
    return 0;
}
