#pragma once
// Names of the program. The message boxes' title ("Datenorder", sic) and the main
// window's caption ("Datenordner") differ; both are as the users know them.

#include <string_view>

namespace ovaro {

inline constexpr std::wstring_view kProgramTitle = L"Datenorder für Ovaro festlegen";
inline constexpr std::wstring_view kMainWindowCaption = L"Datenordner für Ovaro festlegen";
inline constexpr std::wstring_view kProductName = L"Tool zum Festlegen von Ovaro-Ordnern";
inline constexpr std::wstring_view kInternalName = L"ZomaOvaroOrdnerSetzen";

}  // namespace ovaro
