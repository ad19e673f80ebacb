#pragma once
// The platform's own description of an error number, for the texts the user sees.

#include <string>

namespace ovaro {

// FormatMessage text without its trailing line break; a neutral text when the
// system has none for the number.
std::wstring SystemErrorText(unsigned long code);

}  // namespace ovaro
