#pragma once
// The texts the user reads, written here word for word as the program must show them,
// so that a test compares the program's text with the wording, never with itself.

#include <string>

namespace ovaro::testing {

inline const std::wstring kTitle = L"Datenorder f\u00fcr Ovaro festlegen";     // every message box's title
inline const std::wstring kCaption = L"Datenordner f\u00fcr Ovaro festlegen";  // the main window's

inline const std::wstring kSaveQuestionText =
    L"Sollen die Datenordner jetzt in der Registry gespeichert werden?\r\n"
    L"ACHTUNG: Vergessen Sie nicht, alle ge\u00f6ffneten Ovaro-Programme zuvor zu beenden und bereits vorhandene "
    L"Ovaro-Dateien bzw. Unterordner in den neuen Datenordner zu verschieben.";
inline const std::wstring kSaveReportText =
    L"Die neue Einstellung wurde in der Registry gespeichert.\r\n"
    L"ACHTUNG: Wenn Sie eine fr\u00fchere Sicherung der Registry wiederherstellen (zum Beispiel mit der "
    L"Systemwiederherstellung von Windows), vergessen Sie nicht, die Datenordner von Ovaro zu \u00fcberpr\u00fcfen "
    L"und gegebenenfalls erneut zu setzen.";
inline const std::wstring kCloseQuestionText = L"Das Programm wirklich beenden, ohne die \u00c4nderungen zu speichern?";
// A later start whose running copy cannot be brought forward.
inline const std::wstring kAlreadyRunningText =
    L"Das Programm l\u00e4uft bereits.\r\n"
    L"Bitte wechseln Sie zu seinem Fenster. L\u00e4uft es mit anderen Rechten (zum Beispiel als Administrator), "
    L"kann es von hier aus nicht nach vorn geholt werden.";

// The folder tree's messages; the platform's description of the error follows the last two.
inline std::wstring NotReadyText(const std::wstring& folder) {
    return L"Auf Ordner " + folder + L" kann nicht zugegriffen werden.\r\nDas Laufwerk ist nicht bereit.";
}
inline const std::wstring kReadFailedText = L"Fehler beim Lesen des Ordners aufgetreten: ";
inline const std::wstring kAddFailedText = L"Beim Einlesen des Verzeichnisses ist ein Fehler aufgetreten: ";

}  // namespace ovaro::testing
