// The Path walk, VollerPfad, Path and SelectedPath over the in-memory tree and machine,
// driven by writes of Path, clicks, expands, collapses and a machine that changes in
// between (folders appear, fail and heal). The invariants are checked after every step.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace ovaro::folders::fuzzing {
namespace {

// Small alphabets, so that written paths and folder names meet often.
constexpr std::array<const wchar_t*, 20> kNameTokens = {
    L"A", L"a", L"B", L"b", L"\u00c4", L"\u00e4", L"\u03a9", L"\u03c9",       L"\u0414",        L"\u0434",
    L"&", L"%", L"!", L"~", L" ",      L".",      L"..",     L"\u65e5\u672c", L"Program Files", L"\u0178"};
constexpr std::array<const wchar_t*, 10> kPathTokens = {L"c:",   L"C:", L"d:", L"Z:",           L"\\",
                                                        L"\\\\", L"/",  L":",  L"Arbeitsplatz", L"q:"};
constexpr std::array<wchar_t, 6> kDriveLetters = {L'c', L'C', L'd', L'm', L'z', L'\u00c4'};

std::wstring Name(FuzzedDataProvider& in) {
    std::wstring name;
    const int tokens = in.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < tokens; ++i)
        name += kNameTokens[in.ConsumeIntegralInRange<std::size_t>(0, kNameTokens.size() - 1)];
    return name;
}

std::wstring WrittenPath(FuzzedDataProvider& in) {
    std::wstring path;
    const int tokens = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < tokens; ++i) {
        if (in.ConsumeBool())
            path += kPathTokens[in.ConsumeIntegralInRange<std::size_t>(0, kPathTokens.size() - 1)];
        else
            path += Name(in);
    }
    return path;
}

std::vector<std::wstring> NonEmptyParts(const std::wstring& written) {
    std::wstring path = PortableLowerCase(written);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (!path.empty()) {
        const auto sep = path.find(L'\\', start);
        const std::wstring part = path.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start);
        if (!part.empty()) parts.push_back(part);
        if (sep == std::wstring::npos) break;
        start = sep + 1;
    }
    return parts;
}

std::wstring Join(const std::vector<std::wstring>& parts, std::size_t count) {
    std::wstring key;
    for (std::size_t i = 0; i < count; ++i) key += (i ? L"\\" : L"") + parts[i];
    return key;
}

class Run {
public:
    explicit Run(FuzzedDataProvider& in) : in_(in), logic_(tree_, machine_, machine_, messages_, PortableLowerCase) {
        logic_.PathChanged = [this](const std::wstring& p) { events_.push_back(p); };
    }

    void Go() {
        const int drives = in_.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < drives; ++i) {
            const wchar_t letter = kDriveLetters[in_.ConsumeIntegralInRange<std::size_t>(0, kDriveLetters.size() - 1)];
            machine_.AddDrive(letter, in_.ConsumeIntegralInRange(0u, 6u), in_.ConsumeProbability<float>() > 0.2f);
        }
        const int folders = in_.ConsumeIntegralInRange(0, 24);
        for (int i = 0; i < folders; ++i) {
            std::wstring path(1, kDriveLetters[in_.ConsumeIntegralInRange<std::size_t>(0, kDriveLetters.size() - 1)]);
            path += L":";
            const int depth = in_.ConsumeIntegralInRange(1, 4);
            for (int d = 0; d < depth; ++d) path += L"\\" + Name(in_);
            machine_.AddFolder(path);
        }
        logic_.Create();
        CheckAll();
        Require(tree_.Selected() == kNoNode, "a fresh tree has a selection");

        for (int step = 0; step < 48 && in_.remaining_bytes() > 0; ++step) {
            events_.clear();
            switch (in_.ConsumeIntegralInRange(0, 7)) {
                case 0: WritePath(WrittenPath(in_)); break;
                case 1: WritePath(Mangled(logic_.VollerPfad(AnyNode()))); break;
                case 2: Click(AnyNode()); break;
                case 3: Expand(AnyNode()); break;
                case 4: Collapse(AnyNode()); break;
                case 5: AddFolderBelow(AnyNode()); break;
                case 6: FailOrHeal(AnyNode()); break;
                default: break;  // reads only
            }
            CheckAll();
        }
    }

private:
    NodeHandle AnyNode() {
        const auto& all = tree_.order();
        if (all.empty() || in_.ConsumeIntegralInRange(0, 15) == 0) return kNoNode;
        return all[in_.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)];
    }

    // A folder path as a user might type it back: other letter case, separators doubled
    // or dropped at the end.
    std::wstring Mangled(std::wstring path) {
        switch (in_.ConsumeIntegralInRange(0, 4)) {
            case 1:
                for (auto& c : path)
                    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
                break;
            case 2:
                if (!path.empty()) path.pop_back();
                break;
            case 3: path += L"\\"; break;
            case 4:
                if (auto at = path.find(L'\\'); at != std::wstring::npos) path.insert(at, L"\\");
                break;
            default: break;
        }
        return path;
    }

    void WritePath(const std::wstring& written) {
        const NodeHandle before = tree_.Selected();
        logic_.SetPath(written);
        const NodeHandle after = tree_.Selected();
        if (written.empty()) {
            Require(after == before && events_.empty(), "an empty Path write changed something");
            return;
        }
        if (after == kNoNode) {
            Require(events_.empty(), "PathChanged without a selected node", written);
            return;
        }
        Require(events_.size() == 1 && events_[0] == logic_.VollerPfad(after),
                "a Path write did not report the selected node exactly once", written);

        // The selection is a node the walk found for a prefix of the written path, or
        // the one selected before; and the walk went as deep as the tree allows.
        const auto parts = NonEmptyParts(written);
        const std::wstring& key = tree_.nodes().at(after).key;
        std::size_t matched = 0;
        for (std::size_t k = 1; k <= parts.size(); ++k)
            if (Join(parts, k) == key) matched = k;
        Require(matched > 0 || after == before, "the walk selected a node that is not on the written path", written);
        if (matched > 0) {
            Require(tree_.IsExpanded(after), "the walk left its node collapsed", written);
            if (matched < parts.size())
                Require(tree_.Find(Join(parts, matched + 1)) == kNoNode,
                        "the walk stopped short of a node it could reach", written);
        } else if (!parts.empty()) {
            // With a node selected before, even a leading empty part goes on to the first
            // lookup; so finding nothing means no node has the first part's key.
            Require(tree_.Find(parts[0]) == kNoNode, "the walk missed the first part", written);
        }
    }

    void Click(NodeHandle node) {
        if (node == kNoNode) return;
        tree_.Select(node);  // the tree view selects the clicked node
        logic_.OnNodeClick(node);
        Require(events_.size() == 1 && events_[0] == logic_.VollerPfad(node), "a click did not report its node once");
    }

    void Expand(NodeHandle node) {
        if (node == kNoNode) return;
        logic_.ExpandFromCode(node);
        Require(tree_.IsExpanded(node), "an expanded node is not expanded");
        Require(events_.empty(), "expanding raised PathChanged");
    }

    void Collapse(NodeHandle node) {
        const std::size_t count = tree_.order().size();
        logic_.OnCollapse(node);
        Require(events_.size() == 1 && events_[0] == logic_.VollerPfad(tree_.Selected()),
                "a collapse did not report the selection once");
        Require(tree_.order().size() == count, "a collapse changed the tree");
    }

    void AddFolderBelow(NodeHandle node) {
        if (node == kNoNode || node == logic_.Root()) return;
        std::wstring path = logic_.VollerPfad(node);
        machine_.AddFolder(path + Name(in_));
    }

    void FailOrHeal(NodeHandle node) {
        if (node == kNoNode) return;
        const std::wstring path = logic_.VollerPfad(node);
        if (in_.ConsumeBool())
            machine_.Fail(path, in_.ConsumeBool(), L"Zugriff verweigert %s %n");
        else
            machine_.Heal(path);
    }

    void CheckAll() {
        tree_.CheckIntact();
        CheckMessages(messages_.shown);
        messages_.shown.clear();

        for (const auto& [node, added] : tree_.nodes()) {
            const std::wstring path = logic_.VollerPfad(node);
            Require(!path.empty() && path.back() == L'\\', "VollerPfad without the final separator", path);
            if (node == logic_.Root()) {
                Require(path == L"Arbeitsplatz\\", "the root's folder path", path);
                continue;
            }
            Require(path == ExpectedFolderPath(tree_, node), "VollerPfad differs from the node texts", path);
            Require(PortableLowerCase(path) == added.key + L"\\", "a key is not the lower-cased folder path", path);
        }
        const NodeHandle selected = tree_.Selected();
        const std::wstring read = logic_.Path();
        const std::wstring selectedPath = logic_.SelectedPath();
        Require(!selectedPath.empty() && selectedPath.back() == L'\\', "SelectedPath without the final separator");
        if (selected == kNoNode) {
            Require(read.empty(), "Path read without a selection is not empty", read);
            Require(selectedPath == L"\\", "SelectedPath without a selection", selectedPath);
        } else {
            Require(read == logic_.VollerPfad(selected) && read.back() == L'\\', "Path read is not the selection's",
                    read);
            Require(selectedPath == read, "SelectedPath differs from Path", selectedPath);
        }
        Require(logic_.VollerPfad(kNoNode) == L"\\", "VollerPfad of no node");
    }

    FuzzedDataProvider& in_;
    KeyedTree tree_;
    testing::MemoryMachine machine_;
    testing::RecordingMessages messages_;
    FolderTreeLogic logic_;
    std::vector<std::wstring> events_;
};

}  // namespace
}  // namespace ovaro::folders::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    ovaro::folders::fuzzing::Run(in).Go();
    return 0;
}
