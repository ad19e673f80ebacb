#include "RegistrySettingsStore.h"

#include <cstring>
#include <vector>

#include "OwnedHandle.h"
#include "SystemErrorText.h"

namespace ovaro {
namespace {

using OwnedKey = Owned<HKEY, &RegCloseKey>;

[[noreturn]] void Fail(SettingsError::Operation operation, std::wstring_view application, LSTATUS status) {
    throw SettingsError(operation, std::wstring(application), static_cast<unsigned long>(status),
                        SystemErrorText(static_cast<unsigned long>(status)));
}

bool IsMissing(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

}  // namespace

std::wstring RegistrySettingsStore::SectionPath(std::wstring_view application, std::wstring_view section) const {
    std::wstring path = basePath_;
    path += L'\\';
    path += application;
    path += L'\\';
    path += section;
    return path;
}

std::wstring RegistrySettingsStore::Read(std::wstring_view application, std::wstring_view section,
                                         std::wstring_view key, std::wstring_view fallback) {
    using Op = SettingsError::Operation;
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExW(root_, SectionPath(application, section).c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (IsMissing(status)) return std::wstring(fallback);
    if (status != ERROR_SUCCESS) Fail(Op::Read, application, status);
    const OwnedKey sectionKey(raw);
    const std::wstring valueName(key);

    // The value may grow between asking its size and reading it; ask again then.
    std::vector<BYTE> data;
    DWORD type = REG_NONE;
    for (;;) {
        DWORD size = 0;
        status = RegQueryValueExW(sectionKey.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (IsMissing(status)) return std::wstring(fallback);
        if (status != ERROR_SUCCESS) Fail(Op::Read, application, status);
        // A value of another kind is no folder path; the editions would not read it either.
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring(fallback);
        data.resize(size + sizeof(wchar_t));
        DWORD got = size;
        status = RegQueryValueExW(sectionKey.get(), valueName.c_str(), nullptr, &type, data.data(), &got);
        if (status == ERROR_MORE_DATA) continue;
        if (IsMissing(status)) return std::wstring(fallback);
        if (status != ERROR_SUCCESS) Fail(Op::Read, application, status);
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring(fallback);
        data.resize(got);
        break;
    }
    // Stored data need not end in NUL and may have an odd byte count; the text ends at
    // the first NUL or at the last whole character. REG_EXPAND_SZ stays unexpanded.
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return text;
}

void RegistrySettingsStore::Write(std::wstring_view application, std::wstring_view section, std::wstring_view key,
                                  std::wstring_view value) {
    using Op = SettingsError::Operation;
    HKEY raw = nullptr;
    LSTATUS status = RegCreateKeyExW(root_, SectionPath(application, section).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) Fail(Op::Write, application, status);
    const OwnedKey sectionKey(raw);
    const std::wstring valueName(key);
    const std::wstring text(value);  // c_str() gives the terminating NUL that REG_SZ carries
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) Fail(Op::Write, application, ERROR_INVALID_PARAMETER);
    status = RegSetValueExW(sectionKey.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(bytes));
    if (status != ERROR_SUCCESS) Fail(Op::Write, application, status);
}

}  // namespace ovaro
