#include "MainWindowBehaviour.h"

namespace ovaro {

std::wstring SettingsFailureText(const SettingsError& failure) {
    // Built by concatenation: the texts come from data and must never act as a format.
    std::wstring text = L"Der Datenordner von '";
    text += failure.application();
    text += failure.operation() == SettingsError::Operation::Write
                ? L"' konnte nicht in der Registry gespeichert werden."
                : L"' konnte nicht aus der Registry gelesen werden.";
    text += L"\r\nFehler ";
    text += std::to_wstring(failure.code());
    text += L": ";
    text += failure.description();
    return text;
}

void MainWindowBehaviour::Form_Load() {
    const Datenpfade pfade = LeseDatenpfade(
        store_, [this](const SettingsError& failure) { surface_.ReportFailure(SettingsFailureText(failure)); });
    for (int i = 0; i < kEditionCount; ++i) surface_.SetRowText(static_cast<int16_t>(i), pfade[i]);
    bGeaendert_ = false;
}

void MainWindowBehaviour::txtOrdner_Change(int16_t) { bGeaendert_ = true; }

void MainWindowBehaviour::optGemeinsameVersion_Click() {
    const bool common = surface_.CheckState() == 1;
    for (int16_t r = 0; r < kEditionCount; ++r) {
        surface_.SetEnabled(r, RowControl::Text, !common);
        surface_.SetEnabled(r, RowControl::Choose, !common);
        surface_.SetEnabled(r, RowControl::Reset, !common);
    }
    const bool commonUsable = surface_.CheckState() != 0;
    surface_.SetEnabled(kCommonRow, RowControl::Text, commonUsable);
    surface_.SetEnabled(kCommonRow, RowControl::Choose, commonUsable);
    surface_.SetEnabled(kCommonRow, RowControl::Reset, commonUsable);
    bGeaendert_ = true;
}

void MainWindowBehaviour::btnSetStandard_Click(int16_t index) {
    surface_.SetRowText(index, L"");
    bGeaendert_ = true;
}

void MainWindowBehaviour::btnOrdnerwahl_Click(int16_t index) {
    // Every step runs whatever happened in the one before; this handler reports nothing.
    std::unique_ptr<FolderChoice> dialog;
    try {
        dialog = folderChoice_();
    } catch (...) {
    }
    try {
        const std::wstring text = surface_.RowText(index);
        if (!text.empty() && dialog) dialog->SetPath(text);
    } catch (...) {
    }
    try {
        if (dialog) dialog->ShowModal();
    } catch (...) {
    }
    try {
        // A dialog closed from its title bar is gone already; its result is empty
        // without loading it anew (which would read every drive again).
        if (dialog && !dialog->Tag().empty()) surface_.SetRowText(index, dialog->Path());
    } catch (...) {
    }
    dialog.reset();  // unloads the dialog and its tree
}

void MainWindowBehaviour::btnFertigstellen_Click() {
    if (surface_.ShowMessage(kSaveQuestion, kMbYesNo) != kAnswerYes) return;
    const bool common = surface_.CheckState() != 0;
    Datenpfade pfade;
    for (int i = 0; i < kEditionCount; ++i) pfade[i] = surface_.RowText(common ? kCommonRow : static_cast<int16_t>(i));
    SpeichereDatenpfade(store_, pfade);  // a failure leaves bGeaendert set and shows no report
    bGeaendert_ = false;
    surface_.ShowMessage(kSaveReport, kMbOk);
}

void MainWindowBehaviour::btnEnde_Click() {
    if (bGeaendert_ && surface_.ShowMessage(kCloseQuestion, kMbYesNo) != kAnswerYes) return;
    ended_ = true;
    surface_.EndProgramAtOnce();
}

void MainWindowBehaviour::Form_QueryUnload(int16_t& cancel, int16_t reason) {
    if (reason != kCloseFromControlMenu) return;
    btnEnde_Click();
    if (!ended_) cancel = -1;
}

}  // namespace ovaro
