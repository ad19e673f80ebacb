#pragma once
// Drives the real exe from outside, as a person and an automation tool would: it
// starts the process, finds windows and controls by class, caption and position,
// types and clicks with SendInput, and reads what the windows show.

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace ovaro::e2e {

using namespace std::chrono_literals;
using testing::Eventually;

inline std::wstring Text(HWND window) { return testing::WindowText(window); }
std::wstring ClassOf(HWND window);
// The tree view inside a folder dialog; null when there is none.
HWND TreeViewOf(HWND dialog);

class Program {
public:
    // Starts the exe and waits until its main window shows.
    Program();
    // Starts the exe and waits until a window with this caption shows: a message the
    // program gives before its main window shows (Main() is null then).
    explicit Program(const std::wstring& firstCaption);
    // The same with another copy of the exe (an installed one), given by its Windows path.
    Program(const std::wstring& firstCaption, const std::wstring& exe);
    ~Program();  // ends the process if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND Main() const { return main_; }
    HWND First() const { return first_; }
    DWORD ProcessId() const { return pid_; }
    bool Running() const;
    bool WaitForExit(std::chrono::milliseconds limit = 15s) const;

    // A visible top-level window of the program with this caption (nullptr when none shows in time).
    HWND WaitForWindow(const std::wstring& caption, std::chrono::milliseconds limit = 15s) const;
    bool WaitUntilGone(HWND window, std::chrono::milliseconds limit = 15s) const;
    HWND FindWindowNow(const std::wstring& caption) const;
    // How many visible top-level windows of the program carry this caption.
    size_t CountWindows(const std::wstring& caption) const;

    // The control that has the keyboard focus in the program.
    HWND Focus() const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
    HWND first_ = nullptr;
};

// Starts one more copy of the exe and waits for it to end; its exit code, or -1 when it
// still runs after `limit` (it is then ended).
int RunAnotherCopy(std::chrono::milliseconds limit = 20s);

// A plain top-level window of the test process, as another program's window would be:
// it runs its own message loop on a thread of its own.
class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;
    HWND Window() const { return window_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

// Children of `parent` of a class (and caption, when given), top to bottom, left to right.
std::vector<HWND> Controls(HWND parent, const std::wstring& cls, const std::wstring* caption = nullptr);

// Input as a person gives it.
void Activate(HWND window);
void ClickAt(POINT screen);
void Click(HWND control);  // its centre
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
void TypeText(const std::wstring& text);

// A message box of the program: its text, and a click on one of its buttons.
std::wstring MessageBoxText(HWND box);
void ClickMessageBoxButton(HWND box, int id);

// The tree view of another process, read through memory in that process.
class RemoteTree {
public:
    RemoteTree(HWND tree, DWORD pid);
    ~RemoteTree();
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    HTREEITEM Root() const;
    HTREEITEM Selected() const;
    std::vector<HTREEITEM> Children(HTREEITEM item) const;
    HTREEITEM Child(HTREEITEM parent, const std::wstring& text) const;  // by its text
    std::wstring ItemText(HTREEITEM item) const;
    bool Expanded(HTREEITEM item) const;
    RECT TextRect(HTREEITEM item) const;  // screen coordinates
    void ClickText(HTREEITEM item) const;
    void ClickButton(HTREEITEM item) const;  // the +/- in front of the item

private:
    void* Remote(size_t bytes) const;
    HWND tree_;
    HANDLE process_;
    void* memory_;
};

}  // namespace ovaro::e2e
