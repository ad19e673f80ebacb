#pragma once
// The settings store on the registry, in the layout the editions read:
// <root>\Software\VB and VBA Program Settings\<application>\<section>, REG_SZ <key>.

#include <windows.h>

#include <string>

#include "SettingsStore.h"

namespace ovaro {

class RegistrySettingsStore final : public SettingsStore {
public:
    static constexpr const wchar_t* kBasePath = L"Software\\VB and VBA Program Settings";

    explicit RegistrySettingsStore(HKEY root = HKEY_CURRENT_USER, std::wstring basePath = kBasePath)
        : root_(root), basePath_(std::move(basePath)) {}

    std::wstring Read(std::wstring_view application, std::wstring_view section, std::wstring_view key,
                      std::wstring_view fallback) override;
    void Write(std::wstring_view application, std::wstring_view section, std::wstring_view key,
               std::wstring_view value) override;

private:
    std::wstring SectionPath(std::wstring_view application, std::wstring_view section) const;

    HKEY root_;
    std::wstring basePath_;
};

}  // namespace ovaro
