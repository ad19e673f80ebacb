#pragma once
// Message box styles as the platform numbers them, for every box of the program. Portable,
// so that the logic tested natively names the same numbers the platform shows.

namespace ovaro {

inline constexpr unsigned kMbOk = 0;         // an OK button
inline constexpr unsigned kMbYesNo = 4;      // Yes and No buttons
inline constexpr unsigned kMbCritical = 16;  // a critical-error icon with an OK button

}  // namespace ovaro
