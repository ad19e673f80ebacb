#pragma once
// Helpers the Win32 and end-to-end suites share: reading windows and the registry,
// waiting on a condition (never for a fixed time), scratch registry keys, and the
// guard of the tests that must touch the settings the editions read.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ovaro::testing {

using namespace std::chrono_literals;

// The whole text of a window, of this process or another one.
std::wstring WindowText(HWND window);
// The text of a tree view item of this process.
std::wstring TreeItemText(HWND tree, HTREEITEM item);

// Polls `condition` until it holds or `limit` has passed: for what another thread or
// process changes.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 15s);
// Runs this thread's messages until `condition` holds or `limit` has passed.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s);
// Runs this thread's messages until all that was posted to it before the call has run.
void PumpPosted();

// What a screen reader reads of a window: its client object through
// AccessibleObjectFromWindow, as NVDA, JAWS and the UI Automation proxy ask for it.
struct AccessibleRead {
    bool found = false;  // an object came back
    std::wstring name, description, help;
    long role = 0;  // ROLE_SYSTEM_ value, 0 when none
};
// Of a window of this process (or another one); COM is started on the calling thread.
AccessibleRead ReadAccessible(HWND window);

struct RegistryValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    // The data as text up to its first NUL; "<missing>" when there is no value.
    std::wstring Text() const;
};
RegistryValue ReadRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Creates the key as needed.
LSTATUS WriteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                           DWORD bytes);
// REG_SZ with its terminating NUL.
LSTATUS WriteRegistryText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
// Gives an existing key below HKEY_CURRENT_USER the access list of an SDDL text.
bool SetKeySecurity(const std::wstring& path, const wchar_t* sddl);

// A key of its own below HKEY_CURRENT_USER\Software for one test: made at construction,
// removed with all below it at destruction.
class ScratchRegistryKey {
public:
    ScratchRegistryKey();
    ~ScratchRegistryKey();
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;
    const std::wstring& Path() const { return path_; }  // relative to HKEY_CURRENT_USER

private:
    std::wstring path_;
};

// Empty in the build's own Wine prefix (marked by cmake/wine-session.sh); elsewhere the
// reason why a test that changes the settings the editions read must not run.
std::string WhyNotInTheBuildsOwnPrefix();

}  // namespace ovaro::testing

// Fails the test (and, in SetUp, skips its body) outside the build's own Wine prefix.
#define OVARO_REQUIRE_OWN_WINE_PREFIX()                                                                                \
    do {                                                                                                               \
        if (const std::string why = ::ovaro::testing::WhyNotInTheBuildsOwnPrefix(); !why.empty()) GTEST_FAIL() << why; \
    } while (false)
