// The real main window against a damaged or locked registry, odd text in its boxes and
// the session ending while a message box is open: what the user sees, what is stored.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "ExpectedTexts.h"
#include "MainWindow.h"
#include "MainWindowHarness.h"
#include "MessageBoxWatcher.h"
#include "RegistrySettingsStore.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

using testing::SetKeySecurity;

// Everyone may do anything but write values or create sub-keys.
constexpr const wchar_t* kDenyWrite = L"D:(D;;0x6;;;WD)(A;;KA;;;WD)";
constexpr const wchar_t* kOpen = L"D:(A;;KA;;;WD)";

std::wstring Text(HWND hwnd) { return testing::WindowText(hwnd); }

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class MainWindowFaultTest : public testing::MainWindowHarness {
protected:
    void TearDown() override {
        window.reset();
        // Keys locked by a test open again, so that the scratch key can go.
        for (int e = 1; e <= kEditionCount; ++e) SetKeySecurity(SectionPath(e), kOpen);
    }

    void PutRaw(int edition, DWORD type, const void* data, DWORD bytes) {
        ASSERT_EQ(testing::WriteRegistryValue(HKEY_CURRENT_USER, SectionPath(edition), L"Datenpfad", type, data, bytes),
                  ERROR_SUCCESS);
    }
    std::wstring StoredText(int edition) const { return Stored(edition).Text(); }
    // Byte for byte: REG_SZ, the text's characters and one terminating NUL.
    void ExpectStoredExactly(int edition, const std::wstring& text) const {
        const testing::RegistryValue v = Stored(edition);
        ASSERT_TRUE(v.exists) << edition;
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << edition;
        ASSERT_EQ(v.bytes.size(), (text.size() + 1) * sizeof(wchar_t)) << edition;
        EXPECT_EQ(std::memcmp(v.bytes.data(), text.c_str(), v.bytes.size()), 0) << edition;
    }
    void Save() { SendMessageW(window->Control(ControlKind::SaveButton), BM_CLICK, 0, 0); }
};

TEST_F(MainWindowFaultTest, DamagedValuesLoadAsWhatTheEditionsWouldReadWithoutAnyMessage) {
    // 1 missing, 2 empty, 3 DWORD, 4 binary, 5 multi-string, 6 REG_SZ without its NUL,
    // 7 100,000 characters of every plane.
    PutText(2, L"");
    const DWORD number = 0x003a0063;  // "c:" if it were taken as text
    PutRaw(3, REG_DWORD, &number, sizeof number);
    const wchar_t binary[] = L"d:\\Daten\\";
    PutRaw(4, REG_BINARY, binary, sizeof binary);
    const wchar_t multi[] = L"e:\\Eins\0f:\\Zwei\0";
    PutRaw(5, REG_MULTI_SZ, multi, sizeof multi);
    const std::wstring unterminated = L"g:\\Ohne Ende";
    PutRaw(6, REG_SZ, unterminated.data(), static_cast<DWORD>(unterminated.size() * sizeof(wchar_t)));
    std::wstring huge;
    const std::wstring pattern = L"h:\\\u00c4\u00df\u65e5\u672c\U0001F3B5\u202e\u0416&%!~ .\t";
    while (huge.size() < 100000) huge += pattern;
    huge.resize(100000);
    if (IS_HIGH_SURROGATE(huge.back())) huge.back() = L'x';
    PutText(7, huge);

    Open();
    EXPECT_TRUE(shown.empty()) << Narrow(shown.empty() ? L"" : shown[0].text);
    for (int16_t r = 0; r < 5; ++r) EXPECT_EQ(Text(Row(r)), L"") << r;
    EXPECT_EQ(Text(Row(5)), unterminated);
    EXPECT_EQ(Text(Row(6)), huge);
    EXPECT_FALSE(window->Behaviour().bGeaendert());

    // A save writes what the rows show, as REG_SZ; the damaged values become empty strings.
    Save();
    ASSERT_EQ(shown.size(), 2u);
    for (int e = 1; e <= 5; ++e) ExpectStoredExactly(e, L"");
    ExpectStoredExactly(6, unterminated);
    ExpectStoredExactly(7, huge);
}

TEST_F(MainWindowFaultTest, AnUnreadableKeyIsReportedByNameAndTheOtherRowsStillLoad) {
    for (int e = 1; e <= kEditionCount; ++e) PutText(e, L"alt" + std::to_wstring(e));
    ASSERT_TRUE(SetKeySecurity(SectionPath(3), L"D:(D;;0x1;;;WD)(A;;KA;;;WD)"));  // no KEY_QUERY_VALUE
    Open();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].style, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_NE(shown[0].text.find(L"'Lumarix Ovaro f\u00fcr NEF' konnte nicht aus der Registry gelesen werden."),
              std::wstring::npos)
        << Narrow(shown[0].text);
    EXPECT_EQ(Text(Row(2)), L"");
    EXPECT_EQ(Text(Row(3)), L"alt4");
    EXPECT_EQ(Text(Row(6)), L"alt7");
    EXPECT_FALSE(window->Behaviour().bGeaendert());
}

TEST_F(MainWindowFaultTest, AKeyThatMayBeReadButNotWrittenStopsTheSaveThereAndALaterSaveWritesAll) {
    for (int e = 1; e <= kEditionCount; ++e) PutText(e, L"alt" + std::to_wstring(e));
    ASSERT_TRUE(SetKeySecurity(SectionPath(4), kDenyWrite));
    Open();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Text(Row(3)), L"alt4");  // reading is still allowed
    std::vector<std::wstring> typed;
    for (int16_t r = 0; r < kEditionCount; ++r) {
        typed.push_back(L"x:\\Neu " + std::to_wstring(r) + L" \u00e4 %s%n");
        SetWindowTextW(Row(r), typed.back().c_str());
    }
    Save();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].style, 4u);  // the question
    EXPECT_EQ(shown[1].style, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_EQ(shown[1].text.rfind(L"Der Datenordner von 'Lumarix Ovaro f\u00fcr Belvard' konnte nicht in der Registry "
                                  L"gespeichert werden.\r\nFehler 5: ",
                                  0),
              0u)
        << Narrow(shown[1].text);
    for (int e = 1; e <= 3; ++e) ExpectStoredExactly(e, typed[e - 1]);
    for (int e = 4; e <= 7; ++e) ExpectStoredExactly(e, L"alt" + std::to_wstring(e));
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    for (int16_t r = 0; r < kEditionCount; ++r) EXPECT_EQ(Text(Row(r)), typed[r]) << r;

    // With unsaved changes, closing still asks.
    answers = {IDNO};
    SendMessageW(window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(shown.back().text, testing::kCloseQuestionText);
    EXPECT_EQ(ended, 0);

    ASSERT_TRUE(SetKeySecurity(SectionPath(4), kOpen));
    shown.clear();
    Save();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, testing::kSaveReportText);
    for (int e = 1; e <= 7; ++e) ExpectStoredExactly(e, typed[e - 1]);
    EXPECT_FALSE(window->Behaviour().bGeaendert());
}

TEST_F(MainWindowFaultTest, TextsOfEveryFormAreStoredByteForByte) {
    Open();
    // Paths in the forms the walk handles, and what else a user may leave in a box.
    const std::vector<std::wstring> forms = {L"C:\\Windows\\",
                                             L"c:",
                                             L"\\\\server\\freigabe\\",
                                             L"c:\\\\windows\\\\",
                                             L"c:/windows",
                                             L"c:\\windows\\..\\temp",
                                             L"  c:\\Blanks  \\ ",
                                             L"q:\\daten.",
                                             L"Arbeitsplatz\\",
                                             L"\\",
                                             L"c:\\\u65e5\u672c\\\u0414\u043e\u0447\\\U0001F3B5\\",
                                             L"\t\x01\x1b\x7f\u200b\u202e"};
    for (int16_t r = 0; r < kEditionCount; ++r) SetWindowTextW(Row(r), forms[r].c_str());
    Save();
    for (int e = 1; e <= 7; ++e) ExpectStoredExactly(e, forms[e - 1]);
    for (std::size_t i = 7; i < forms.size(); ++i) {
        SetWindowTextW(Row(0), forms[i].c_str());
        Save();
        ExpectStoredExactly(1, forms[i]);
    }
}

// Puts text on the clipboard and pastes it into the box, as Ctrl+V does.
void Paste(HWND box, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
    SendMessageW(box, WM_PASTE, 0, 0);
}

TEST_F(MainWindowFaultTest, TypedAndPastedTextUpToAMillionCharactersIsStoredAsShown) {
    Open();
    // The boxes take text up to the platform's own limit, not the default 30,000.
    EXPECT_GE(static_cast<DWORD>(SendMessageW(Row(0), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);

    std::wstring typed = L"d:\\Getippt & 100 % ! ~ \u00c4\u00d6\u00dc \u65e5\u672c . ";
    SetFocus(Row(0));
    for (wchar_t c : typed) SendMessageW(Row(0), WM_CHAR, c, 0);
    std::wstring pasted(1000000, L'p');
    for (std::size_t i = 0; i < pasted.size(); i += 97) pasted[i] = static_cast<wchar_t>(0x4e00 + i % 5000);
    Paste(Row(1), pasted);
    // Control characters pasted: what the box keeps is what is stored.
    Paste(Row(2),
          L"a\tb\x01"
          L"c\x7f"
          L"d");
    EXPECT_TRUE(window->Behaviour().bGeaendert());
    EXPECT_EQ(Text(Row(0)), typed);
    EXPECT_EQ(Text(Row(1)), pasted);
    const std::wstring kept = Text(Row(2));
    EXPECT_FALSE(kept.empty());

    Save();
    ASSERT_EQ(shown.size(), 2u) << Narrow(shown.back().text.substr(0, 200));
    EXPECT_EQ(shown[1].text, testing::kSaveReportText);
    ExpectStoredExactly(1, typed);
    ExpectStoredExactly(2, pasted);
    ExpectStoredExactly(3, kept);
    EXPECT_FALSE(window->Behaviour().bGeaendert());
}

// Ends the Windows session the way the system does, from outside the UI thread, as
// soon as the program's message box shows; the box is left unanswered.
class SessionEnder {
public:
    explicit SessionEnder(HWND main)
        : watcher_(testing::kTitle, [this, main](HWND) {
              seen = true;
              DWORD_PTR result = 0;
              const bool asked =
                  SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &result) != 0;
              agreed = asked && result != 0;
              if (agreed)
                  SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &result);
              // Whatever is still open afterwards is closed the way the system ends a program.
              testing::Eventually(
                  [&] {
                      HWND left = FindWindowW(L"#32770", testing::kTitle.c_str());
                      if (left == nullptr) return true;
                      ++boxesAfterwards;
                      PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
                      PostMessageW(left, WM_CLOSE, 0, 0);
                      return false;
                  },
                  std::chrono::seconds(5));
          }) {}
    void Join() { watcher_.Wait(); }
    std::atomic<bool> seen{false}, agreed{false};
    std::atomic<int> boxesAfterwards{0};

private:
    testing::MessageBoxWatcher watcher_;
};

// The session end destroys the window under the open question: that is no Yes.
TEST_F(MainWindowFaultTest, SessionEndWhileTheSaveQuestionIsOpenWritesNothing) {
    for (int e = 1; e <= kEditionCount; ++e) PutText(e, L"alt" + std::to_wstring(e));
    Open(true);  // real message boxes
    for (int16_t r = 0; r < kEditionCount; ++r) SetWindowTextW(Row(r), L"neu");
    HWND main = window->Window();
    {
        SessionEnder ender(main);
        Save();  // returns when the question has gone, one way or another
        ender.Join();
        ASSERT_TRUE(ender.seen);
        EXPECT_TRUE(ender.agreed);
    }
    Pump();
    // The user never answered the question: not one value may have changed.
    for (int e = 1; e <= kEditionCount; ++e) EXPECT_EQ(StoredText(e), L"alt" + std::to_wstring(e)) << e;
    EXPECT_EQ(ended, 0);
}

TEST_F(MainWindowFaultTest, SessionEndWhileTheCloseQuestionIsOpenEndsWithoutWriting) {
    PutText(1, L"alt");
    Open(true);
    SetWindowTextW(Row(0), L"neu");
    {
        SessionEnder ender(window->Window());
        SendMessageW(window->Window(), WM_CLOSE, 0, 0);
        ender.Join();
        ASSERT_TRUE(ender.seen);
    }
    Pump();
    EXPECT_EQ(StoredText(1), L"alt");
    EXPECT_FALSE(IsWindow(window->Window()) && IsWindowVisible(window->Window()) && ended == 0)
        << "the session ended, yet the window is still up";
}

}  // namespace
}  // namespace ovaro
