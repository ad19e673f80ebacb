#pragma once
// The fixed list of the seven editions. The editions look their data folder up under
// exactly these application names, so every character matters (blank before "für", ü).

#include <array>
#include <string_view>

namespace ovaro {

struct Edition {
    std::wstring_view applicationName;
    std::wstring_view rowLabel;  // caption of the row's label, "&" marks the access key
};

inline constexpr int kEditionCount = 7;

// Edition i (1 to 7) is element i - 1 and is shown in row i - 1 of the main window.
inline constexpr std::array<Edition, kEditionCount> kEditionen{{
    {L"Lumarix Ovaro", L"&DDE"},
    {L"Lumarix Ovaro für KDPX", L"&Kadrex PX"},
    {L"Lumarix Ovaro für NEF", L"&NEF"},
    {L"Lumarix Ovaro für Belvard", L"&Belvard"},
    {L"Lumarix Ovaro für QM", L"&QM"},
    {L"Lumarix Ovaro für Sundale", L"&Sundale"},
    {L"Lumarix Ovaro für Tirra", L"&tirra desk"},
}};

inline constexpr std::wstring_view kSettingsSection = L"Optionen";
inline constexpr std::wstring_view kSettingsKey = L"Datenpfad";

}  // namespace ovaro
