#include "TestSupport.h"

#include <oleacc.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace ovaro::testing {

AccessibleRead ReadAccessible(HWND window) {
    // Our own IID: MinGW's IID_IAccessible linked after oleacc is an import thunk.
    static constexpr GUID kIidAccessible = {
        0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    thread_local const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    AccessibleRead read;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                          reinterpret_cast<void**>(&object))) ||
        object == nullptr)
        return read;
    read.found = true;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    auto take = [](HRESULT hr, BSTR text) {
        std::wstring out = SUCCEEDED(hr) && text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
        SysFreeString(text);
        return out;
    };
    BSTR text = nullptr;
    HRESULT hr = object->get_accName(self, &text);
    read.name = take(hr, text);
    text = nullptr;
    hr = object->get_accDescription(self, &text);
    read.description = take(hr, text);
    text = nullptr;
    hr = object->get_accHelp(self, &text);
    read.help = take(hr, text);
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) read.role = role.lVal;
    VariantClear(&role);
    object->Release();
    return read;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT is marshalled across processes by the system.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void PumpPosted() {
    // Posted messages run in the order they were posted: once the marker comes, all
    // that was posted before it has run.
    static const UINT marker = RegisterWindowMessageW(L"OvaroTestPumpMarker");
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), marker, 0, 0));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr && msg.message == marker) return;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the posted marker never came back";
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::wstring RegistryValue::Text() const {
    if (!exists) return L"<missing>";
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return text;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
    wchar_t text[1024] = {};  // a folder name has at most 255 characters
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 1024;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

RegistryValue ReadRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    RegistryValue value;
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return value;
    // The value may grow between the two calls; ask until it fits.
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        value.bytes.resize(size);
        status = RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                              value.bytes.data(), &size);
    }
    value.exists = status == ERROR_SUCCESS;
    value.bytes.resize(value.exists ? size : 0);
    return value;
}

LSTATUS WriteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                           DWORD bytes) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
    return status;
}

LSTATUS WriteRegistryText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    return WriteRegistryValue(root, key, name, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool SetKeySecurity(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) return false;
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
        RegCloseKey(key);
    }
    LocalFree(sd);
    return status == ERROR_SUCCESS;
}

ScratchRegistryKey::ScratchRegistryKey() {
    static std::atomic<int> count{0};
    path_ = L"Software\\OvaroTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

ScratchRegistryKey::~ScratchRegistryKey() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

namespace {

std::string Narrow(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

std::string WhyNotInTheBuildsOwnPrefix() {
    // The prefix helper writes the prefix's own path into it; the test runner names the
    // prefix it runs in. Both must be there and agree.
    const std::wstring mark = ReadRegistryValue(HKEY_CURRENT_USER, L"Software\\OvaroTestPrefix", L"Path").Text();
    std::wstring prefix(32768, L'\0');
    prefix.resize(GetEnvironmentVariableW(L"WINEPREFIX", prefix.data(), static_cast<DWORD>(prefix.size())));
    if (mark != L"<missing>" && !prefix.empty() && mark == prefix) return {};
    return "refused: this test changes HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings, where the "
           "editions keep a person's data folders, so it runs only in the build's own Wine prefix, made by "
           "cmake/wine-session.sh (here WINEPREFIX is \"" +
           Narrow(prefix) + "\", the prefix's mark is \"" + Narrow(mark) + "\")";
}

}  // namespace ovaro::testing
