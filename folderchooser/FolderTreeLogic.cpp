#include "FolderTreeLogic.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ovaro::folders {

namespace {

wchar_t PortableLower(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    if (u >= L'A' && u <= L'Z') return static_cast<wchar_t>(u + 32);
    if (u < 0xC0) return c;
    if ((u >= 0xC0 && u <= 0xDE && u != 0xD7) ||     // Latin-1
        (u >= 0x391 && u <= 0x3AB && u != 0x3A2) ||  // Greek
        (u >= 0x410 && u <= 0x42F))                  // Cyrillic
        return static_cast<wchar_t>(u + 32);
    if (u >= 0x400 && u <= 0x40F) return static_cast<wchar_t>(u + 80);
    if (u == 0x178) return static_cast<wchar_t>(0xFF);
    // Latin Extended-A pairs capitals on even code points, apart from the stretch
    // 0x139..0x148 and 0x179..0x17E, where the capitals are odd.
    if (u >= 0x100 && u <= 0x17F && u != 0x130 && u != 0x138 && u != 0x149 && u != 0x17F) {
        const bool oddCapitals = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
        if ((u % 2 == 1) == oddCapitals) return static_cast<wchar_t>(u + 1);
        return c;
    }
    return c;
}

// Drive pictures by type; the floppy letters are a and b, as the platform reserves them.
Picture DrivePicture(unsigned type, wchar_t letter) {
    if (type == kDriveRemovable) return (letter == L'a' || letter == L'b') ? Picture::Floppy : Picture::Removable;
    if (type == kDriveCdRom) return Picture::CDRom;
    return Picture::Harddisk;
}

}  // namespace

std::wstring PortableLowerCase(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) c = PortableLower(c);
    return out;
}

FolderTreeLogic::FolderTreeLogic(TreeNodes& tree, DriveSource& drives, FolderLister& lister, MessageSink& messages,
                                 LowerCaseFn lower)
    : tree_(tree), drives_(drives), lister_(lister), messages_(messages), lower_(std::move(lower)) {}

void FolderTreeLogic::Create() {
    std::wstring ignored;
    root_ = tree_.AddLast(kNoNode, L"", kRootText, Picture::Computer, Picture::Computer, &ignored);
    // Expanded before any drive exists, so the drives show when the tree first shows.
    if (root_ != kNoNode) ExpandFromCode(root_);

    // One redraw for all drives and their folders.
    Hold();
    const std::wstring buffer = drives_.LogicalDriveStrings();
    struct Drive {
        std::wstring name;
        Picture picture;
    };
    std::vector<Drive> found;
    std::size_t start = 0;
    while (true) {
        const auto nul = buffer.find(L'\0', start);
        if (nul == std::wstring::npos) break;
        const std::wstring entry = lower_(std::wstring_view(buffer).substr(start, nul - start));
        if (entry.empty()) break;
        start = nul + 1;

        std::wstring name = std::wstring(1, entry[0]) + L":";
        const unsigned type = drives_.DriveTypeOf(name);
        found.push_back({std::move(name), DrivePicture(type, entry[0])});
        // All hard disks are asked for in a row below; each is announced as soon as it is
        // known, so that it is read while the next drive's type is asked for.
        if (found.back().picture == Picture::Harddisk) lister_.Prefetch({found.back().name + L"\\"});
    }
    for (const auto& d : found) {
        const NodeHandle drive = tree_.AddLast(root_, d.name, d.name, d.picture, d.picture, &ignored);
        if (drive == kNoNode) continue;
        if (d.picture == Picture::Harddisk)
            SetzeSubNodes(drive, d.name + L"\\");
        else
            tree_.SetExpandable(drive, false);  // read by a click only
    }
    Release();
}

void FolderTreeLogic::SetzeSubNodes(NodeHandle actNode, const std::wstring& pfad) {
    // Asked for now (a click, say): a read left for later is this one, and tells at once.
    Forget(actNode);
    if (auto result = Read(actNode, pfad); result.message) ShowMessage(result.message->text, result.message->style);
}

FolderTreeLogic::ReadResult FolderTreeLogic::Read(NodeHandle actNode, const std::wstring& pfad) {
    if (actNode == kNoNode || tree_.HasChildren(actNode)) return {};

    // The sub-folders are added part by part while the lister reads the rest, so that
    // adding and reading overlap; the listing still counts as one read as a whole.
    std::wstring failure;  // why adding stopped; the rest of the listing is not added
    bool holding = false;
    bool added = false;
    const std::size_t n = pfad.size();
    const FolderListing listing = lister_.ListInParts(pfad, [&](std::vector<std::wstring>& part) {
        if (!failure.empty() || part.empty()) return;
        if (!holding) {
            tree_.BeginUpdate();
            holding = true;
        }
        for (const auto& entry : part) {
            if (entry.size() <= n) {
                failure = std::wstring(kTextBadEntry) + entry;
                return;
            }
            const std::wstring_view name = std::wstring_view(entry).substr(n);
            std::wstring full;
            full.reserve(pfad.size() + name.size());
            full.append(pfad).append(name);
            const std::wstring key = lower_(full);
            if (tree_.Find(key) != kNoNode) {
                // Two names that differ only in letter case (possible on case-sensitive file
                // systems) share one key; the tree cannot hold both.
                failure = std::wstring(kTextKeyTaken) + entry;
                return;
            }
            std::wstring error;
            if (tree_.AddLast(actNode, key, name, Picture::ClosedFolder, Picture::OpenFolder, &error) == kNoNode) {
                failure = error;
                return;
            }
            added = true;
        }
    });
    ReadResult result;
    result.outcome = listing.Outcome();
    if (result.outcome != ListOutcome::Read) {
        // A listing that broke off or was stopped is not trusted in part: what its first
        // parts added goes again, and the node stays unread, to be read at its next occasion.
        if (added) tree_.RemoveChildren(actNode);
        if (holding) tree_.EndUpdate();
    }
    switch (result.outcome) {
        case ListOutcome::Stopped:
            // Nothing is known about the folder: the node stays unread, and is read at its
            // next occasion, without a word (the user stopped it).
            return result;
        case ListOutcome::Failed:
            tree_.SetExpandable(actNode, false);
            if (listing.failure->driveNotAvailable)
                result.message = Message{std::wstring(kTextNoAccessBefore) + pfad + std::wstring(kTextNoAccessAfter),
                                         MessageStyle::Critical};
            else
                result.message =
                    Message{std::wstring(kTextReadFailed) + listing.failure->description, MessageStyle::Critical};
            return result;
        case ListOutcome::Read: break;
    }
    if (!holding) {  // no sub-folder
        tree_.SetExpandable(actNode, false);
        return result;
    }
    tree_.SetExpandable(actNode, true);  // it may have been found empty before
    // Redraw before any message, so the tree behind the message box is current.
    tree_.EndUpdate();
    if (!failure.empty()) result.message = Message{std::wstring(kTextAddFailed) + failure, MessageStyle::Ok};
    return result;
}

void FolderTreeLogic::Forget(NodeHandle node) {
    if (const auto it = laterByNode_.find(node); it != laterByNode_.end()) {
        later_.erase(it->second);
        laterByNode_.erase(it);
    }
}

void FolderTreeLogic::TellInOrder() {
    while (!later_.empty() && later_.front().over) {
        std::optional<Message> message = std::move(later_.front().message);
        laterByNode_.erase(later_.front().node);
        later_.pop_front();
        if (message) ShowMessage(message->text, message->style);
    }
}

bool FolderTreeLogic::ReadOnInBackground(const std::function<bool()>& enough) {
    // One redraw for the whole step, not one per listing: turning redraw back on makes the
    // tree view go over every node it holds.
    Hold();
    TellInOrder();
    // Announced in parts, what scrolled into view first; the parent's path is made once for
    // all its children.
    bool more = true;
    std::vector<std::wstring> ahead;
    NodeHandle parent = kNoNode;
    std::wstring base;
    bool simpleParent = false;
    const auto announce = [&](LaterRead& read) {
        if (read.announced) return;
        if (read.pfad.empty()) {
            if (const NodeHandle p = tree_.Parent(read.node); p != parent) {
                parent = p;
                base = VollerPfad(p);
                const std::wstring text = tree_.Text(p);
                simpleParent = !text.empty() && text.back() != L'\\';
            }
            read.pfad = ChildPath(base, simpleParent, read.node);
        }
        ahead.push_back(read.pfad);
        read.announced = true;
        if ((ahead.size() & 63) == 0 && enough()) more = false;
    };
    for (const NodeHandle node : hurried_)
        if (const auto it = laterByNode_.find(node); more && it != laterByNode_.end()) announce(*it->second);
    for (auto it = later_.begin(); more && it != later_.end(); ++it) announce(*it);
    if (!ahead.empty()) lister_.Prefetch(ahead);
    // What scrolled into view first: its reads were put before the others.
    for (const NodeHandle node : std::exchange(hurried_, {})) {
        const auto it = laterByNode_.find(node);
        if (it != laterByNode_.end() && !it->second->over && !HandOver(*it->second)) hurried_.push_back(node);
        if (!hurried_.empty() && enough()) more = false;
    }
    // Then in the tree's order. The workers take the reads in that order, so the ones that
    // are in stand near the front: the look stops after a stretch still being read.
    constexpr std::size_t kLookAhead = 256;
    std::size_t beingRead = 0;
    for (auto it = later_.begin(); more && it != later_.end() && beingRead < kLookAhead;) {
        if (!it->over) {
            if (!HandOver(*it)) {
                ++beingRead;
                ++it;
                continue;
            }
            if (enough()) more = false;
        }
        if (it == later_.begin()) {
            TellInOrder();
            it = later_.begin();
        } else {
            ++it;
        }
    }
    TellInOrder();
    Release();
    return !later_.empty();
}

void FolderTreeLogic::StopLeftOver() {
    // Nothing is known about those folders: their nodes stay unread, without a word. What
    // waited to be told goes too: a stop ends in silence, and the window may be going.
    later_.clear();
    laterByNode_.clear();
    hurried_.clear();
}

bool FolderTreeLogic::HandOver(LaterRead& read) {
    if (!read.announced) return false;
    const auto progress = lister_.Progress(read.pfad);
    if (!progress) return false;  // still being read
    read.over = true;
    // A read given up on (Esc) leaves its node unread, without a word.
    if (*progress != ListOutcome::Stopped) read.message = Read(read.node, read.pfad).message;
    return true;
}

void FolderTreeLogic::ShowingNow(const std::vector<NodeHandle>& nodes) {
    std::vector<std::wstring> hurry;
    for (const NodeHandle node : nodes)
        if (const auto it = laterByNode_.find(node); it != laterByNode_.end() && !it->second->over) {
            if (it->second->announced) hurry.push_back(it->second->pfad);
            if (std::find(hurried_.begin(), hurried_.end(), node) == hurried_.end()) hurried_.push_back(node);
        }
    if (!hurry.empty()) lister_.Hurry(hurry);
}

void FolderTreeLogic::Hold() {
    tree_.BeginUpdate();
    ++holds_;
}

void FolderTreeLogic::Release() {
    --holds_;
    tree_.EndUpdate();
}

void FolderTreeLogic::ShowMessage(const std::wstring& text, MessageStyle style) {
    // The tree behind the message box must be current: let go of every hold first.
    const int holds = holds_;
    for (int i = 0; i < holds; ++i) Release();
    messages_.Show(text, style);
    for (int i = 0; i < holds; ++i) Hold();
}

std::wstring FolderTreeLogic::VollerPfad(NodeHandle node) const {
    const std::wstring full = node == kNoNode ? std::wstring() : tree_.FullPath(node);
    std::wstring path;
    path.reserve(full.size() + 1);
    for (std::size_t i = 0; i < full.size(); ++i) {
        path += full[i];
        if (full[i] == L'\\' && i + 1 < full.size() && full[i + 1] == L'\\') ++i;
    }
    if (const auto sep = path.find(L'\\'); sep != std::wstring::npos) path.erase(0, sep + 1);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

bool FolderTreeLogic::OnExpand(NodeHandle node) {
    if (node == kNoNode || tree_.Parent(node) == kNoNode) return true;  // the root: drives are read at creation
    // Not read yet (its read was left for later, or stopped): it is read now. A drive that
    // is not read at creation (a CD-ROM, say) is read by a click only.
    const bool drive = tree_.Parent(tree_.Parent(node)) == kNoNode;
    if (!tree_.HasChildren(node) && (!drive || tree_.PictureOf(node) == Picture::Harddisk)) {
        Forget(node);
        const ReadResult result = Read(node, VollerPfad(node));
        if (result.message) ShowMessage(result.message->text, result.message->style);
        if (result.outcome == ListOutcome::Stopped) return false;
    }
    // Redraw held once for all children, not once per child: turning it back on makes
    // the tree view go over every node it holds.
    Hold();
    const bool read = ReadChildren(node, kNoNode);
    Release();
    return read;
}

std::vector<FolderTreeLogic::UnreadChild> FolderTreeLogic::AnnounceUnreadChildren(NodeHandle node, NodeHandle target,
                                                                                   bool showingOnly) {
    std::vector<UnreadChild> unread;
    if (node == kNoNode) return unread;
    // What can show when the node opens: its first rows, or the rows around the child that
    // the walk goes on to, on either side, wherever the tree scrolls to show it.
    const std::size_t rows = tree_.RowsShowing();
    std::size_t targetIndex = 0;
    if (target != kNoNode) {
        std::size_t i = 0;
        for (NodeHandle child = tree_.FirstChild(node); child != kNoNode; child = tree_.NextSibling(child), ++i)
            if (child == target) {
                targetIndex = i;
                break;
            }
    }
    const std::wstring base = VollerPfad(node);
    const std::wstring nodeText = tree_.Text(node);
    const bool simpleNode = !nodeText.empty() && nodeText.back() != L'\\';
    std::size_t i = 0;
    std::size_t showing = 0;
    for (NodeHandle child = tree_.FirstChild(node); child != kNoNode; child = tree_.NextSibling(child), ++i) {
        const std::size_t distance = i < targetIndex ? targetIndex - i : i - targetIndex;
        const bool shows = target != kNoNode ? distance <= rows : i < rows;
        if (!shows && showingOnly && i > targetIndex) break;
        if (tree_.HasChildren(child)) continue;  // read before: never again
        // Left for later already, by an earlier expansion: it keeps its place.
        if (!shows && laterByNode_.count(child)) continue;
        if (!shows) {
            // Its path is made when it is announced, after the operation: a query of a node
            // costs, under Wine, a search of the tree view's list of all nodes.
            unread.push_back({child, std::wstring(), false});
            continue;
        }
        unread.push_back({child, ChildPath(base, simpleNode, child), true});
        showing += shows;
    }
    if (!unread.empty()) {
        std::vector<std::wstring> ahead;
        ahead.reserve(unread.size());
        for (const auto& c : unread)
            if (c.shows) ahead.push_back(c.pfad);
        // Reads left for later by earlier expansions wait behind these.
        if (showing > 0 && !later_.empty()) lister_.Hurry(ahead);
        // The others are announced once the operation is over (ReadOnInBackground), so that
        // their reads do not compete with what the user waits for.
        lister_.Prefetch(ahead);
    }
    return unread;
}

bool FolderTreeLogic::ReadChildren(NodeHandle node, NodeHandle target) {
    // Every read joins the queue in the tree's order, so that what it has to tell comes in
    // that order; those that show are read now, the others as they come in.
    std::vector<std::list<LaterRead>::iterator> now;
    for (auto& child : AnnounceUnreadChildren(node, target)) {
        Forget(child.node);
        later_.push_back(LaterRead{child.node, std::move(child.pfad), false, std::nullopt, child.shows});
        laterByNode_[child.node] = std::prev(later_.end());
        if (child.shows) now.push_back(std::prev(later_.end()));
    }
    for (const auto entry : now) {
        ReadResult result = Read(entry->node, entry->pfad);
        if (result.outcome == ListOutcome::Stopped) {
            StopLeftOver();
            return false;
        }
        entry->over = true;
        entry->message = std::move(result.message);
    }
    TellInOrder();
    return true;
}

std::wstring FolderTreeLogic::ChildPath(const std::wstring& base, bool simpleParent, NodeHandle child) const {
    // A child's folder path is its parent's plus its text and "\", which saves walking up
    // the tree for every child. Texts that VollerPfad treats specially (empty, a separator in
    // the child's text or at the end of the parent's) still go through it.
    const std::wstring text = tree_.Text(child);
    if (simpleParent && !text.empty() && text.find(L'\\') == std::wstring::npos) return base + text + L'\\';
    return VollerPfad(child);
}

void FolderTreeLogic::OnCollapse(NodeHandle) { RaisePathChanged(VollerPfad(tree_.Selected())); }

void FolderTreeLogic::OnNodeClick(NodeHandle node) {
    if (node == kNoNode) return;
    SetzeSubNodes(node, VollerPfad(node));
    RaisePathChanged(VollerPfad(node));
}

void FolderTreeLogic::ExpandFromCode(NodeHandle node) {
    if (OnExpand(node)) tree_.Expand(node);
}

void FolderTreeLogic::SetPath(std::wstring_view newPath) {
    if (newPath.empty()) return;
    std::wstring path = lower_(newPath);
    if (!path.empty() && path.back() == L'\\') path.pop_back();

    // An empty string gives no parts; otherwise every "\" splits, empty parts included.
    std::vector<std::wstring> parts;
    if (!path.empty()) {
        std::size_t start = 0;
        while (true) {
            const auto sep = path.find(L'\\', start);
            parts.push_back(path.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start));
            if (sep == std::wstring::npos) break;
            start = sep + 1;
        }
    }

    bool complete = true;
    std::wstring key;
    // Redraw held over the whole walk, not once per level: each time it is turned back on
    // the tree view goes over every node that shows, and a tree that shows paints. It is
    // on again before the scrolling, which wants the tree's layout current.
    Hold();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::wstring& part = parts[i];
        if (!part.empty()) {
            key += part;
            const NodeHandle found = tree_.Find(key);
            if (found == kNoNode) {
                complete = false;
                break;
            }
            tree_.Select(found);
            key += L'\\';
        }
        const NodeHandle selected = tree_.Selected();
        if (selected == kNoNode) {
            complete = false;
            break;
        }
        // The walk waits only for the nodes it looks up and for what shows: the children
        // around the next one. The next level's are announced before this level is shown,
        // so that they are read while the tree view expands this node and selects the next.
        const bool more = i + 1 < parts.size() && !parts[i + 1].empty();
        const NodeHandle next = more ? tree_.Find(key + parts[i + 1]) : kNoNode;
        const bool read = tree_.Parent(selected) == kNoNode || ReadChildren(selected, next);
        if (next != kNoNode) {
            const bool further = i + 2 < parts.size() && !parts[i + 2].empty();
            AnnounceUnreadChildren(next, further ? tree_.Find(key + parts[i + 1] + L'\\' + parts[i + 2]) : kNoNode,
                                   true);
        }
        if (read) tree_.Expand(selected);
    }
    Release();
    if (complete) {
        if (const NodeHandle selected = tree_.Selected(); selected != kNoNode) tree_.EnsureVisible(selected);
    }
    if (const NodeHandle selected = tree_.Selected(); selected != kNoNode) RaisePathChanged(VollerPfad(selected));
}

std::wstring FolderTreeLogic::Path() const {
    const NodeHandle selected = tree_.Selected();
    return selected == kNoNode ? std::wstring() : VollerPfad(selected);
}

std::wstring FolderTreeLogic::SelectedPath() const { return VollerPfad(tree_.Selected()); }

void FolderTreeLogic::RaisePathChanged(const std::wstring& pfad) {
    if (PathChanged) PathChanged(pfad);
}

}  // namespace ovaro::folders
