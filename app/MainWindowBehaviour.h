#pragma once
// What the main window does: loading the rows, change tracking, the common-folder
// switch, "Stand.", "Wählen...", saving and closing. It works on an abstract
// surface, so the same code runs behind the real window and in native tests.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "DataFolderSettings.h"
#include "FolderChoice.h"
#include "MainWindowLayout.h"
#include "MessageBoxStyles.h"

namespace ovaro {

enum class RowControl { Text, Choose, Reset };

// Why a window is asked to close, as the platform numbers it for Form_QueryUnload.
enum CloseReason : int16_t {
    kCloseFromControlMenu = 0,  // close box, system menu, Alt+F4
    kCloseFromCode = 1,
    kCloseSessionEnd = 2,  // Windows shuts down or the user logs off
    kCloseTaskManager = 3,
    kCloseMdiParent = 4,
    kCloseOwner = 5,
};

// Only Yes is consent. No, a box dismissed with Esc (Wine's Yes/No box answers IDCANCEL
// then) and a box torn down without an answer (0, as when the session ends under it)
// leave everything as it is.
inline constexpr int kAnswerYes = 6;

inline constexpr std::wstring_view kSaveQuestion =
    L"Sollen die Datenordner jetzt in der Registry gespeichert werden?\r\n"
    L"ACHTUNG: Vergessen Sie nicht, alle geöffneten Ovaro-Programme zuvor zu beenden und bereits "
    L"vorhandene Ovaro-Dateien bzw. Unterordner in den neuen Datenordner zu verschieben.";
inline constexpr std::wstring_view kSaveReport =
    L"Die neue Einstellung wurde in der Registry gespeichert.\r\n"
    L"ACHTUNG: Wenn Sie eine frühere Sicherung der Registry wiederherstellen (zum Beispiel mit der "
    L"Systemwiederherstellung von Windows), vergessen Sie nicht, die Datenordner von Ovaro zu überprüfen "
    L"und gegebenenfalls erneut zu setzen.";
inline constexpr std::wstring_view kCloseQuestion = L"Das Programm wirklich beenden, ohne die Änderungen zu speichern?";

// The window that shows the rows.
class MainWindowSurface {
public:
    virtual ~MainWindowSurface() = default;
    virtual std::wstring RowText(int16_t index) const = 0;
    // A change of the text raises the row's text-change event, as a typed change does.
    virtual void SetRowText(int16_t index, const std::wstring& text) = 0;
    virtual void SetEnabled(int16_t index, RowControl control, bool enabled) = 0;
    virtual int CheckState() const = 0;
    // A modal message box with the program title; returns the answer.
    virtual int ShowMessage(std::wstring_view text, unsigned style) = 0;
    // Ends the process at once: no further close handling, nothing saved.
    virtual void EndProgramAtOnce() = 0;
    // The program's report of a failure that a handler did not handle itself.
    virtual void ReportFailure(std::wstring_view text) = 0;
};

// The German report of a settings failure, naming the edition and the platform's error.
std::wstring SettingsFailureText(const SettingsError& failure);

class MainWindowBehaviour {
public:
    MainWindowBehaviour(MainWindowSurface& surface, SettingsStore& store, FolderChoiceFactory folderChoice)
        : surface_(surface), store_(store), folderChoice_(std::move(folderChoice)) {}

    void Form_Load();
    void txtOrdner_Change(int16_t index);
    void optGemeinsameVersion_Click();
    void btnSetStandard_Click(int16_t index);
    void btnOrdnerwahl_Click(int16_t index);
    void btnFertigstellen_Click();
    void btnEnde_Click();
    // cancel: -1 keeps the window open; reason: a CloseReason, or any other number the platform gives.
    void Form_QueryUnload(int16_t& cancel, int16_t reason);

    bool bGeaendert() const { return bGeaendert_; }

private:
    MainWindowSurface& surface_;
    SettingsStore& store_;
    FolderChoiceFactory folderChoice_;
    bool bGeaendert_ = false;
    bool ended_ = false;
};

}  // namespace ovaro
