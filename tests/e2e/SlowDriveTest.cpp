// The real exe over a slow drive l: (tests/slowdrive): a FUSE file system whose folder
// listings wait as the test says, mapped into the test prefix by the slow_drive fixture.
// The program must keep answering while it reads, let Esc stop a read, keep its
// messages in the tree's order, and end when asked even while a read never returns.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "ProgramDriver.h"
#include "TestSupport.h"

namespace ovaro::e2e {
namespace {

const std::wstring kDialogCaption = L"Ordner w\u00e4hlen";
const std::wstring kBoxTitle = L"Datenorder f\u00fcr Ovaro festlegen";
const std::wstring kChoose = L"W\u00e4hlen...";
const std::wstring kOk = L"OK";
const std::wstring kCancel = L"Abbrechen";

// The rules file of the drive, as Wine sees the Linux path (below Z:).
std::wstring RulesPath() {
    std::wstring path = L"Z:";
    for (char c : std::string(OVARO_SLOW_DRIVE_DIR) + "/rules")
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

// The drive's paths whose listings hang now (and hung since the last Rules), one a line.
std::wstring Hanging() {
    HANDLE file = CreateFileW((RulesPath() + L".hanging").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    char buffer[4096] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(file);
    return std::wstring(buffer, buffer + read);
}

// How often the drive opened path for listing since the last Rules.
int Opens(const std::wstring& path) {
    HANDLE file = CreateFileW((RulesPath() + L".opens").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char buffer[16384] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(file);
    const std::wstring log(buffer, buffer + read);
    int n = 0;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = log.find(L'\n', at);
        if (log.substr(at, end - at) == path) ++n;
        if (end == std::wstring::npos) break;
        at = end + 1;
    }
    return n;
}

// Sets how the drive's listings behave from now on: "SECONDS|hang|fail|fail:SECONDS PATH"
// lines.
void Rules(const std::string& text) {
    DeleteFileW((RulesPath() + L".hanging").c_str());
    DeleteFileW((RulesPath() + L".opens").c_str());
    HANDLE file = CreateFileW(RulesPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, text.size());
}

bool Answers(HWND window, DWORD limitMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result) != 0;
}

std::wstring Stored(int edition) {
    const wchar_t* names[] = {L"Lumarix Ovaro", L"Lumarix Ovaro f\u00fcr KDPX"};
    const std::wstring path =
        std::wstring(L"Software\\VB and VBA Program Settings\\") + names[edition - 1] + L"\\Optionen";
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"Datenpfad", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

class SlowDrive : public ::testing::Test {
protected:
    // The program works on the settings the editions read: only in the build's own prefix.
    void SetUp() override {
        OVARO_REQUIRE_OWN_WINE_PREFIX();
        ownPrefix = true;
        Rules("");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings");
        program = std::make_unique<Program>();
    }
    void TearDown() override {
        if (!ownPrefix) return;
        Rules("");  // lets go of hung listings, so that no process stays stuck in them
        tree.reset();
        program.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings");
    }
    bool ownPrefix = false;

    HWND Main() const { return program->Main(); }
    // Edition rows 0 and 1 stand below the common row.
    HWND Box(int row) const { return Controls(Main(), L"Edit").at(static_cast<size_t>(row) + 1); }
    HWND ChooseButton(int row) const { return Controls(Main(), L"Button", &kChoose).at(static_cast<size_t>(row) + 1); }

    // The dialog once it shows; the prefix's unreachable network drive n: tells so in a
    // box while the tree loads, which is confirmed here.
    HWND WaitForDialog() {
        HWND dialog = nullptr;
        Eventually(
            [&] {
                if (HWND box = program->FindWindowNow(kBoxTitle);
                    box && MessageBoxText(box).rfind(L"Auf Ordner n:", 0) == 0) {
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    program->WaitUntilGone(box);
                }
                return (dialog = program->FindWindowNow(kDialogCaption)) != nullptr;
            },
            30s);
        if (dialog) Activate(dialog);
        return dialog;
    }
    // Once the dialog shows: reads its tree and gives the node of l: (null when missing).
    HTREEITEM DialogAtL() {
        dialog = WaitForDialog();
        if (dialog == nullptr) return nullptr;
        tree = std::make_unique<RemoteTree>(TreeViewOf(dialog), program->ProcessId());
        return tree->Child(tree->Root(), L"l:");
    }
    // The same after a click on row 0's "Wählen...".
    HTREEITEM OpenDialogAtL() {
        Click(ChooseButton(0));
        return DialogAtL();
    }
    // Opens row 0's dialog, then l: while the drive's listings follow `rules`.
    HTREEITEM ExpandLWith(const std::string& rules) {
        HTREEITEM l = OpenDialogAtL();
        if (l == nullptr) return nullptr;
        Rules(rules);
        tree->ClickButton(l);
        return l;
    }
    // Row 0 holds l:\Ruhig; in its dialog, Down onto Kind and Enter: OK must first read
    // Kind, whose listing hangs until the rules change. True once OK waits for it.
    bool OkWaitsForKind() {
        if (Text(Box(0)) != L"l:\\Ruhig") {
            Click(Box(0));
            TypeText(L"l:\\Ruhig");
        }
        if (!Eventually([&] { return Text(Box(0)) == L"l:\\Ruhig"; })) return false;
        HTREEITEM l = OpenDialogAtL();
        if (l == nullptr || tree->Selected() != tree->Child(l, L"Ruhig")) return false;
        kind = tree->Child(tree->Child(l, L"Ruhig"), L"Kind");
        Rules("hang /Ruhig/Kind\n");
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
        return Eventually([&] { return Hanging().find(L"/Ruhig/Kind") != std::wstring::npos; }, 15s) &&
               tree->Selected() == kind;
    }
    HTREEITEM kind = nullptr;

    std::vector<std::wstring> Names(HTREEITEM item) const {
        std::vector<std::wstring> names;
        for (HTREEITEM c : tree->Children(item)) names.push_back(tree->ItemText(c));
        return names;
    }

    std::unique_ptr<Program> program;
    HWND dialog = nullptr;
    std::unique_ptr<RemoteTree> tree;
};

TEST_F(SlowDrive, MainWindowAndDialogAnswerWhileAListingIsSlow) {
    // Opening the dialog reads l:\ for 4 s: the dialog shows meanwhile, and l: fills after.
    Rules("4 /\n");
    Click(ChooseButton(0));
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(Answers(Main(), 1500));
    HTREEITEM l = DialogAtL();
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(Names(l).empty()) << "the read was over before the dialog showed";
    EXPECT_TRUE(Eventually([&] {
        return Names(l) == std::vector<std::wstring>{L"A_Langsam", L"Breit", L"B_Kaputt", L"Haengt", L"Langsam",
                                                     L"Ruhig"};
    }, 15s)) << ::testing::PrintToString(Names(l));
    // The unreachable n: after l:, while the dialog shows.
    HWND box = program->WaitForWindow(kBoxTitle, 15s);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(L"Auf Ordner n:", 0), 0u) << MessageBoxText(box);
    ClickMessageBoxButton(box, IDOK);
    ASSERT_TRUE(program->WaitUntilGone(box));

    // Opening l: reads its folders one level ahead; Langsam takes 10 s. Meanwhile the
    // program answers, and a second start brings the dialog to the front.
    OtherWindow other;
    Rules("10 /Langsam\n");
    tree->ClickButton(l);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(Answers(dialog, 1500));
    EXPECT_TRUE(Answers(Main(), 1500));
    Activate(other.Window());
    EXPECT_EQ(RunAnotherCopy(), 0);
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == dialog; }, 3s));
    EXPECT_FALSE(tree->Expanded(l)) << "the read was over before the answers";
    ASSERT_TRUE(Eventually([&] { return tree->Expanded(l); }, 15s));
    EXPECT_EQ(Names(tree->Child(l, L"Langsam")), std::vector<std::wstring>{L"Innen"});
    EXPECT_EQ(Names(tree->Child(l, L"Ruhig")), std::vector<std::wstring>{L"Kind"});
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
}

TEST_F(SlowDrive, EscStopsASlowReadAndALaterClickReadsIt) {
    HTREEITEM l = OpenDialogAtL();
    ASSERT_NE(l, nullptr);
    HTREEITEM langsam = tree->Child(l, L"Langsam");
    ASSERT_NE(langsam, nullptr);

    Rules("3 /Langsam\n");
    tree->ClickButton(l);
    std::this_thread::sleep_for(800ms);
    PressKey(VK_ESCAPE);
    // Stopped: l: does not open as if its folders were empty, nothing is told, and the
    // dialog is still open (Esc stopped the read, it did not cancel the dialog).
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(tree->Expanded(l));
    EXPECT_TRUE(tree->Children(langsam).empty());
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));

    // The next occasion reads it: opening l: again, and a click.
    Rules("");
    tree->ClickButton(l);
    EXPECT_TRUE(Eventually([&] { return tree->Expanded(l); }, 15s));
    EXPECT_TRUE(Eventually([&] { return Names(langsam) == std::vector<std::wstring>{L"Innen"}; }, 15s));
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
}

TEST_F(SlowDrive, AFailingFolderIsReportedOnlyAfterTheSlowOneBeforeIt) {
    // Both are read at once; B_Kaputt fails at once, A_Langsam takes 2 s and comes first.
    HTREEITEM l = ExpandLWith("2 /A_Langsam\nfail /B_Kaputt\n");
    ASSERT_NE(l, nullptr);
    HWND box = program->WaitForWindow(kBoxTitle, 15s);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(L"Fehler beim Lesen des Ordners aufgetreten: ", 0), 0u) << MessageBoxText(box);
    EXPECT_EQ(Names(tree->Child(l, L"A_Langsam")), std::vector<std::wstring>{L"Kind"});
    ClickMessageBoxButton(box, IDOK);
    ASSERT_TRUE(program->WaitUntilGone(box));
    ASSERT_TRUE(Eventually([&] { return tree->Expanded(l); }, 10s));
    EXPECT_TRUE(tree->Children(tree->Child(l, L"B_Kaputt")).empty());
    EXPECT_EQ(Names(tree->Child(l, L"Ruhig")), std::vector<std::wstring>{L"Kind"});
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
}

TEST_F(SlowDrive, AFolderWhoseOpenTimesOutIsToldAfterOneAttempt) {
    // Opening Langsam fails after 3 s, as a share that times out does. Under Wine the
    // whole session waits meanwhile (its server opens the folder), so the test only
    // counts the drive's attempts.
    HTREEITEM l = ExpandLWith("fail:3 /Langsam\n");
    ASSERT_NE(l, nullptr);
    HWND box = program->WaitForWindow(kBoxTitle, 20s);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(L"Fehler beim Lesen des Ordners aufgetreten: ", 0), 0u) << MessageBoxText(box);
    EXPECT_EQ(Opens(L"/Langsam"), 1);
    ClickMessageBoxButton(box, IDOK);
    ASSERT_TRUE(program->WaitUntilGone(box));
    ASSERT_TRUE(Eventually([&] { return tree->Expanded(l); }, 10s));
    HTREEITEM langsam = tree->Child(l, L"Langsam");
    EXPECT_TRUE(tree->Children(langsam).empty());
    EXPECT_EQ(Opens(L"/Langsam"), 1);

    // A click reads it again; Esc 1 s into the open leaves that one attempt too.
    Rules("fail:3 /Langsam\n");
    tree->ClickText(langsam);
    std::this_thread::sleep_for(1s);
    PressKey(VK_ESCAPE);
    // A second attempt would start as the first fails, 3 s after the click.
    std::this_thread::sleep_for(4s);
    if (HWND late = program->FindWindowNow(kBoxTitle)) {
        // Under Wine the failure may come before the Esc does: then it is told.
        EXPECT_EQ(MessageBoxText(late).rfind(L"Fehler beim Lesen des Ordners aufgetreten: ", 0), 0u);
        ClickMessageBoxButton(late, IDOK);
        program->WaitUntilGone(late);
    }
    EXPECT_TRUE(Answers(dialog, 1500));
    EXPECT_EQ(Opens(L"/Langsam"), 1);
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(SlowDrive, AListingThatNeverReturnsKeepsNeitherTheDialogNorTheProgramFromClosing) {
    // Only folders below the root hang here: a hanging root listing would hold the FUSE
    // root for every later process of the Wine session as well.
    // The close command while a listing never returns: with the dialog open it brings the
    // dialog forward and ends nothing (sent, so it has been handled when the call returns);
    // once the dialog is closed, it ends the program.
    ASSERT_NE(ExpandLWith("hang /Haengt\n"), nullptr);
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(Answers(Main(), 1500));
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(Main(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result));
    EXPECT_TRUE(program->Running());
    EXPECT_TRUE(IsWindowVisible(dialog));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->WaitUntilGone(dialog, 60s));  // slow under Wine, see below
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->WaitForExit(15s));

    // The dialog closed while a read hangs, then the end of the session with a change.
    Rules("");
    program = std::make_unique<Program>();
    Click(Box(1));
    TypeText(L"d:\\neu");
    ASSERT_TRUE(Eventually([&] { return Text(Box(1)) == L"d:\\neu"; }));
    ASSERT_NE(ExpandLWith("hang /Haengt\n"), nullptr);
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(Answers(dialog, 1500));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    // Under Wine every window destroyed while a thread of the process is stuck in the
    // kernel costs about 2 s (seen with a bare window, too), hence the long limits.
    EXPECT_TRUE(program->WaitUntilGone(dialog, 60s));
    EXPECT_TRUE(Eventually([&] { return Answers(Main(), 1500); }, 60s));
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(Text(Box(0)), L"");

    DWORD_PTR agreed = 0;
    EXPECT_TRUE(SendMessageTimeoutW(Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &agreed));
    EXPECT_NE(agreed, 0u);
    const auto t0 = std::chrono::steady_clock::now();
    SendMessageTimeoutW(Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, nullptr);
    EXPECT_TRUE(program->WaitForExit(240s));
    std::printf(
        "ended after %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count()));
    EXPECT_EQ(program->FindWindowNow(kBoxTitle), nullptr);
    EXPECT_EQ(Stored(1), L"<missing>");
    EXPECT_EQ(Stored(2), L"<missing>");
}

// Beside 300 folders whose listings hang, all but those that show: the dialog shows and
// answers, OK hands over, Abbrechen closes, and the program ends with the reads still hanging.
// Under Wine one listing that hangs holds up every later listing of the process (Windows
// reads folders independently), so nothing here reads once a listing hangs.
TEST_F(SlowDrive, BesideFoldersWhoseListingsHangTheDialogWorksAndTheProgramEnds) {
    Click(Box(0));
    TypeText(L"l:\\Breit\\Ordner001");
    ASSERT_TRUE(Eventually([&] { return Text(Box(0)) == L"l:\\Breit\\Ordner001"; }));
    std::string rules;
    for (int i = 1; i <= 40; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "0 /Breit/Ordner%03d\n", i);
        rules += line;
    }
    rules += "hang /Breit/*\n";
    Rules(rules);
    HTREEITEM l = OpenDialogAtL();
    ASSERT_NE(l, nullptr);
    const HTREEITEM breit = tree->Child(l, L"Breit");
    EXPECT_EQ(tree->Children(breit).size(), 300u);
    EXPECT_EQ(tree->Selected(), tree->Child(breit, L"Ordner001"));
    ASSERT_TRUE(Eventually([&] { return Hanging().find(L"/Breit/Ordner") != std::wstring::npos; }, 15s));
    EXPECT_TRUE(Answers(dialog, 1500));
    Click(Controls(dialog, L"Button", &kOk).at(0));
    EXPECT_TRUE(program->WaitUntilGone(dialog, 30s));
    EXPECT_TRUE(Eventually([&] { return Text(Box(0)) == L"l:\\Breit\\Ordner001\\"; }, 15s));

    // Once more, closed with Abbrechen; the first dialog's reads are let go first.
    Rules("");
    std::this_thread::sleep_for(1s);
    Rules(rules);
    ASSERT_NE(OpenDialogAtL(), nullptr);
    ASSERT_TRUE(Eventually([&] { return Hanging().find(L"/Breit/Ordner") != std::wstring::npos; }, 15s));
    Click(Controls(dialog, L"Button", &kCancel).at(0));
    EXPECT_TRUE(program->WaitUntilGone(dialog, 30s));
    EXPECT_EQ(Text(Box(0)), L"l:\\Breit\\Ordner001\\");
    ASSERT_TRUE(Eventually([&] { return Answers(Main(), 1500); }, 30s));
    // The change is not saved: the program asks, and Yes ends it, with the reads hanging.
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(Eventually([&] { return (question = program->FindWindowNow(kBoxTitle)) != nullptr; }, 15s));
    ClickMessageBoxButton(question, IDYES);
    EXPECT_TRUE(program->WaitForExit(30s));
    EXPECT_NE(Hanging().find(L"/Breit/Ordner"), std::wstring::npos);
}

// A screen reader in another process, this one, asks for the tree's name while a
// listing hangs (the first question of the session: the program's thread enters COM for
// it) and is answered while the listing still hangs.
TEST_F(SlowDrive, AScreenReaderIsAnsweredWhileAListingHangs) {
    HTREEITEM l = ExpandLWith("hang /Haengt\n");
    ASSERT_NE(l, nullptr);
    ASSERT_TRUE(Eventually([&] { return Hanging().find(L"/Haengt") != std::wstring::npos; }, 15s));
    const HWND treeView = TreeViewOf(dialog);
    std::atomic<bool> answered{false};
    std::wstring name;
    std::thread reader([&] {
        name = testing::ReadAccessible(treeView).name;
        answered = true;
    });
    const bool inTime = Eventually([&] { return answered.load(); }, 10s);
    const bool stillHanging = Hanging().find(L"/Haengt") != std::wstring::npos && !tree->Expanded(l);
    Rules("");  // lets the read go, and with it a reader that was not answered
    reader.join();
    EXPECT_TRUE(inTime);
    EXPECT_EQ(name, L"Ordner");
    EXPECT_TRUE(stillHanging) << "the listing was over before the answer";
}

TEST_F(SlowDrive, ADialogClosedWhileOkWaitsForAReadHandsNothingOver) {
    ASSERT_TRUE(OkWaitsForKind());
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->WaitUntilGone(dialog, 60s));
    Rules("");  // the read ends now, and goes nowhere
    ASSERT_TRUE(Eventually([&] { return IsWindowEnabled(Main()) && Answers(Main(), 1500); }, 60s));
    EXPECT_TRUE(Answers(Main(), 1500));
    EXPECT_EQ(Text(Box(0)), L"l:\\Ruhig");
    EXPECT_EQ(program->FindWindowNow(kDialogCaption), nullptr);

    // The same with Alt+F4, which the wait takes as the close request it is.
    ASSERT_TRUE(OkWaitsForKind());
    PressKey(VK_F4, {VK_MENU});
    EXPECT_TRUE(program->WaitUntilGone(dialog, 60s));
    Rules("");
    ASSERT_TRUE(Eventually([&] { return IsWindowEnabled(Main()) && Answers(Main(), 1500); }, 60s));
    EXPECT_TRUE(Answers(Main(), 1500));
    EXPECT_EQ(Text(Box(0)), L"l:\\Ruhig");
}

TEST_F(SlowDrive, EscWhileOkWaitsStopsTheReadAndOkIsNotCarriedOut) {
    ASSERT_TRUE(OkWaitsForKind());
    PressKey(VK_ESCAPE);
    Rules("");
    // The dialog still takes keys, with its selection: Up moves it (pressed until the
    // wait, which drops keys, is over).
    ASSERT_TRUE(Eventually(
        [&] {
            PressKey(VK_UP);
            return Eventually([&] { return tree->Selected() != kind; }, 1s);
        },
        30s));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(Main()));
    EXPECT_EQ(Text(Box(0)), L"l:\\Ruhig");
    // OK again: now it is carried out.
    const std::wstring chosen = L"l:\\" + tree->ItemText(tree->Selected()) + L"\\";
    PressKey(VK_RETURN);
    EXPECT_TRUE(program->WaitUntilGone(dialog, 30s));
    EXPECT_TRUE(Eventually([&] { return Text(Box(0)) == chosen; })) << Text(Box(0));
}

TEST_F(SlowDrive, TheDialogHiddenFromOutsideStaysModalAndOkStillHandsOver) {
    // As the system does to owned windows while their owner is minimised.
    Click(Box(0));
    TypeText(L"l:\\Ruhig");
    ASSERT_TRUE(Eventually([&] { return Text(Box(0)) == L"l:\\Ruhig"; }));
    ASSERT_NE(OpenDialogAtL(), nullptr);
    ShowWindow(dialog, SW_HIDE);
    ASSERT_TRUE(Eventually([&] { return !IsWindowVisible(dialog); }));
    EXPECT_TRUE(Answers(Main(), 1500));
    EXPECT_TRUE(Answers(Main(), 1500));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowEnabled(Main()));
    EXPECT_EQ(Text(Box(0)), L"l:\\Ruhig");

    ShowWindow(dialog, SW_SHOW);
    Activate(dialog);
    PressKey(VK_RETURN);
    EXPECT_TRUE(program->WaitUntilGone(dialog, 30s));
    EXPECT_TRUE(Eventually([&] { return Text(Box(0)) == L"l:\\Ruhig\\"; })) << Text(Box(0));
}

}  // namespace
}  // namespace ovaro::e2e
