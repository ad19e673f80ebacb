#include "MainWindowLayout.h"

#include <array>

#include "EditionList.h"

namespace ovaro {
namespace {

// The table: Frame2 with the check box and the common row, then one label, text box,
// "Wählen..." and "Stand." per edition, then the buttons, Label1, Frame1 and Label3.
constexpr int kRowControls = 4;
constexpr int kTableSize = 5 + kRowControls * kEditionCount + 5;
constexpr int kFrame2 = 0;  // positions of the frames in the table
constexpr int kFrame1 = kTableSize - 2;

constexpr ControlSpec Label(int16_t r) {
    return {ControlKind::Label, r, L"Label2", kEditionen[r].rowLabel, {180, 420 + 360 * r, 3072, 312}, kFrame1, {}};
}
constexpr ControlSpec Text(int16_t r, int container, int top) {
    return {ControlKind::Text, r, L"txtOrdner", {}, {1200, top, 3492, 312}, container, {}};
}
// Of the "Wählen..." buttons only row 0 and the common row carry a tool tip.
constexpr ControlSpec Choose(int16_t r, int container, int top) {
    return {ControlKind::ChooseButton,
            r,
            L"btnOrdnerwahl",
            L"Wählen...",
            {4740, top, 912, 312},
            container,
            (r == 0 || r == kCommonRow) ? kTipChoose : std::wstring_view{}};
}
constexpr ControlSpec Reset(int16_t r, int container, int top) {
    return {ControlKind::ResetButton, r, L"btnSetStandard", L"Stand.", {5700, top, 672, 312}, container, kTipReset};
}

constexpr std::array<ControlSpec, kTableSize> BuildTable() {
    std::array<ControlSpec, kTableSize> t{};
    int n = 0;
    t[n++] = {ControlKind::Frame,     -1, L"Frame2", L"Gemeinsamer Ordner für alle Ovaro-Versionen",
              {180, 840, 6612, 1092}, -1, {}};
    t[n++] = {
        ControlKind::CheckBox, -1, L"optGemeinsameVersion", L" &Verwenden", {240, 240, 4752, 372}, kFrame2, kTipCommon};
    t[n++] = Text(kCommonRow, kFrame2, 600);
    t[n++] = Choose(kCommonRow, kFrame2, 600);
    t[n++] = Reset(kCommonRow, kFrame2, 600);
    for (int16_t r = 0; r < kEditionCount; ++r) {
        const int top = 360 + 360 * r;
        t[n++] = Label(r);
        t[n++] = Text(r, kFrame1, top);
        t[n++] = Choose(r, kFrame1, top);
        t[n++] = Reset(r, kFrame1, top);
    }
    t[n++] = {ControlKind::SaveButton, -1, L"btnFertigstellen", L"Speichern", {2640, 5880, 1752, 372}, -1, {}};
    t[n++] = {ControlKind::CloseButton, -1, L"btnEnde", L"Schließen", {4800, 5880, 1632, 372}, -1, {}};
    t[n++] = {ControlKind::Label, -1, L"Label1", kLabel1Text, {180, 120, 6672, 672}, -1, {}};
    t[n++] = {ControlKind::Frame,      -1, L"Frame1", L"Individuelle Ordner für Ovaro-Versionen",
              {180, 2040, 6612, 3132}, -1, {}};
    t[n++] = {ControlKind::Label, -1, L"Label3", kLabel3Text, {180, 5220, 6672, 552}, -1, {}};
    return t;
}

constexpr auto kTable = BuildTable();
static_assert(kTable[kFrame2].name == L"Frame2" && kTable[kFrame1].name == L"Frame1");
static_assert(kTable[kTableSize - 1].name == L"Label3", "every entry of the table is filled");

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kTable; }

TwipsRect ClientTwips(const ControlSpec& control) {
    TwipsRect place = control.place;
    if (control.container >= 0) {
        place.left += kTable[control.container].place.left;
        place.top += kTable[control.container].place.top;
    }
    return place;
}

std::wstring AccessibleName(const ControlSpec& control) {
    const bool common = control.index == kCommonRow;
    auto edition = [&] {
        std::wstring label(kEditionen[static_cast<size_t>(control.index)].rowLabel);
        std::erase(label, L'&');
        return label;
    };
    switch (control.kind) {
        case ControlKind::Text: return common ? L"Gemeinsamer Ordner" : L"";
        case ControlKind::ChooseButton:
            return common ? L"Gemeinsamen Ordner wählen" : L"Ordner für " + edition() + L" wählen";
        case ControlKind::ResetButton:
            return common ? L"Gemeinsamen Ordner auf Standard setzen" : L"Standardordner für " + edition();
        case ControlKind::CheckBox: {
            // What it switches: the group's caption, then its own without the blank and "&".
            std::wstring own(control.caption);
            std::erase(own, L'&');
            return std::wstring(kTable[kFrame2].caption) + L": " + own.substr(own.find_first_not_of(L' '));
        }
        default: return L"";
    }
}

}  // namespace ovaro
