#pragma once
// The main window's make-up: every control with its kind, caption, tool tip and
// place, in twips, in tab order. The Win32 surface turns this into windows.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ovaro {

inline constexpr int16_t kCommonRow = 10;  // the common-folder row; indices 7 to 9 do not exist
inline constexpr int kClientWidthTwips = 7044;
inline constexpr int kClientHeightTwips = 6552;

enum class ControlKind { Frame, CheckBox, Text, ChooseButton, ResetButton, Label, SaveButton, CloseButton };

struct TwipsRect {
    int left, top, width, height;
};

struct ControlSpec {
    ControlKind kind;
    int16_t index;           // row of a control array element, -1 for single controls
    std::wstring_view name;  // for reports and tests
    std::wstring_view caption;
    TwipsRect place;  // relative to the container
    int container;    // position in the table of the containing frame, -1 for the window
    std::wstring_view toolTip;
};

// All controls, in tab order (position in the span = TabIndex).
std::span<const ControlSpec> MainWindowControls();

// The place of a control in twips relative to the window's client area.
TwipsRect ClientTwips(const ControlSpec& control);

// The name a screen reader reads for a control where its caption alone does not say
// what it belongs to (sixteen buttons read "Wählen..." and "Stand."); empty where the
// platform's name serves: the caption, or for an edition's box the label before it.
std::wstring AccessibleName(const ControlSpec& control);

inline constexpr std::wstring_view kLabel1Text =
    L"Sie können hier die Ordner festlegen, in die Lumarix Ovaro Realtime-Daten speichert "
    L"(gegebenenfalls in weitere Unterordner). Ist kein Ordner angegeben, wird standardmäßig der "
    L"Order 'RealtimeData' im Installationsordner von Lumarix Ovaro verwendet.";
inline constexpr std::wstring_view kLabel3Text =
    L"Die neue Einstellung wird erst wirksam, wenn Sie 'Speichern' klicken und Lumarix Ovaro danach "
    L"neu starten. Zuvor sollten Sie bereits vorhandene Ovaro-Dateien in den neuen Datenordner "
    L"verschieben.";

// The tool tips; T1's quotes do not match, as the users have always seen it.
inline constexpr std::wstring_view kTipReset =
    L"Auf Standard zurücksetzen (Ordner 'RealtimeData\" im Installationsordner von Ovaro)";
inline constexpr std::wstring_view kTipChoose = L"Einen Ordner wählen";
inline constexpr std::wstring_view kTipCommon =
    L"Gibt an, ob für alle Ovaro-Versionen derselbe Datenordner verwendet werden soll";

}  // namespace ovaro
