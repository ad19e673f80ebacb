#pragma once
// The folder choice dialog as a caller sees it: give it a starting folder, show it,
// then read whether the user confirmed and which folder is selected. Portable, so
// the main window's behaviour is tested natively against a fake.

#include <functional>
#include <memory>
#include <string>

namespace ovaro {

class FolderChoice {
public:
    virtual ~FolderChoice() = default;
    virtual void SetPath(const std::wstring& path) = 0;
    virtual void ShowModal() = 0;
    virtual std::wstring Tag() const = 0;
    virtual std::wstring Path() const = 0;
};
using FolderChoiceFactory = std::function<std::unique_ptr<FolderChoice>()>;
// The factory as the main window holds it: the dialog it makes is owned by `owner`, the
// main window (a window handle on the platform).
template <class Window>
using OwnedFolderChoiceFactory = std::function<std::unique_ptr<FolderChoice>(Window owner)>;

}  // namespace ovaro
