#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "ExpectedTexts.h"
#include "MainWindowBehaviour.h"
#include "MemorySettingsStore.h"

namespace ovaro {
namespace {

using testing::kCloseQuestionText;
using testing::kSaveQuestionText;
using testing::kSaveReportText;
using testing::MemorySettingsStore;

struct Message {
    std::wstring text;
    unsigned style;
};

// Rows, enabled states and message boxes in memory; a text change raises the
// change handler only when the text really changes, as the edit control does.
class FakeSurface final : public MainWindowSurface {
public:
    MainWindowBehaviour* behaviour = nullptr;
    std::map<int16_t, std::wstring> rows;
    std::map<std::pair<int16_t, RowControl>, bool> enabled;
    int check = 0;
    std::deque<int> answers;  // answers to give, Yes (6) when none is left
    std::vector<Message> messages;
    std::vector<std::wstring> reports;
    int endCalls = 0;
    int changeEvents = 0;

    std::wstring RowText(int16_t index) const override {
        const auto it = rows.find(index);
        return it == rows.end() ? L"" : it->second;
    }
    void SetRowText(int16_t index, const std::wstring& text) override {
        if (RowText(index) == text) return;
        rows[index] = text;
        ++changeEvents;
        behaviour->txtOrdner_Change(index);
    }
    void SetEnabled(int16_t index, RowControl control, bool on) override { enabled[{index, control}] = on; }
    int CheckState() const override { return check; }
    int ShowMessage(std::wstring_view text, unsigned style) override {
        messages.push_back({std::wstring(text), style});
        if (answers.empty()) return 6;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void EndProgramAtOnce() override { ++endCalls; }
    void ReportFailure(std::wstring_view text) override { reports.emplace_back(text); }

    bool Enabled(int16_t index, RowControl control) const {
        const auto it = enabled.find({index, control});
        return it == enabled.end() ? true : it->second;  // every control starts enabled
    }
};

struct FakeChoiceScript {
    std::wstring tag;
    std::wstring path;
    bool throwOnSetPath = false;
    std::vector<std::wstring> setPaths;
    int shown = 0;
    int created = 0;
    int destroyed = 0;
};

class FakeChoice final : public FolderChoice {
public:
    explicit FakeChoice(FakeChoiceScript& s) : s_(s) { ++s_.created; }
    ~FakeChoice() override { ++s_.destroyed; }
    void SetPath(const std::wstring& path) override {
        s_.setPaths.push_back(path);
        if (s_.throwOnSetPath) throw std::runtime_error("tree failed");
    }
    void ShowModal() override { ++s_.shown; }
    std::wstring Tag() const override { return s_.tag; }
    std::wstring Path() const override { return s_.path; }

private:
    FakeChoiceScript& s_;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : behaviour(surface, store, [this] { return std::make_unique<FakeChoice>(choice); }) {
        surface.behaviour = &behaviour;
    }
    void Script(const std::wstring& tag, const std::wstring& path) {
        choice.tag = tag;
        choice.path = path;
    }
    void Store(int edition, const std::wstring& value) {
        store.values[{std::wstring(kEditionen[edition - 1].applicationName), L"Optionen", L"Datenpfad"}] = value;
    }

    MemorySettingsStore store;
    FakeSurface surface;
    FakeChoiceScript choice;
    MainWindowBehaviour behaviour;
};

TEST_F(MainWindowTest, LoadFillsEditionRowsAndLeavesNoUnsavedChange) {
    Store(1, L"c:\\Ovaro\\");
    Store(7, L" t:\\ ");
    behaviour.Form_Load();
    EXPECT_EQ(surface.rows[0], L"c:\\Ovaro\\");
    EXPECT_EQ(surface.rows[6], L" t:\\ ");
    EXPECT_EQ(surface.RowText(kCommonRow), L"");
    EXPECT_GE(surface.changeEvents, 2);    // the assignments did count as changes...
    EXPECT_FALSE(behaviour.bGeaendert());  // ...but the load clears the flag afterwards
    EXPECT_TRUE(surface.enabled.empty());  // nothing was disabled
}

TEST_F(MainWindowTest, AnUnreadableValueIsReportedAndLaterRowsStillLoad) {
    Store(3, L"alt3");
    Store(5, L"alt5");
    store.failReads.insert(std::wstring(kEditionen[2].applicationName));
    behaviour.Form_Load();
    ASSERT_EQ(surface.reports.size(), 1u);
    EXPECT_NE(surface.reports[0].find(L"Lumarix Ovaro f\u00fcr NEF"), std::wstring::npos);
    EXPECT_NE(surface.reports[0].find(L"gelesen"), std::wstring::npos);
    EXPECT_EQ(surface.rows[4], L"alt5");
    EXPECT_FALSE(behaviour.bGeaendert());
}

TEST_F(MainWindowTest, ATextChangeSetsTheFlag) {
    behaviour.Form_Load();
    surface.SetRowText(kCommonRow, L"x");  // typed or set by the program, common row too
    EXPECT_TRUE(behaviour.bGeaendert());
}

TEST_F(MainWindowTest, ResetEmptiesTheRowAndSetsTheFlagEvenWhenAlreadyEmpty) {
    Store(2, L"b:\\");
    behaviour.Form_Load();
    behaviour.btnSetStandard_Click(1);
    EXPECT_EQ(surface.rows[1], L"");
    behaviour.Form_Load();  // clears the flag again; row 2 is empty
    behaviour.btnSetStandard_Click(2);
    EXPECT_TRUE(behaviour.bGeaendert());
}

TEST_F(MainWindowTest, CheckBoxSwitchesWhichRowsAreUsableAndMarksAChange) {
    behaviour.Form_Load();
    surface.check = 1;
    behaviour.optGemeinsameVersion_Click();
    EXPECT_TRUE(behaviour.bGeaendert());
    for (int16_t r = 0; r < 7; ++r)
        for (auto c : {RowControl::Text, RowControl::Choose, RowControl::Reset}) EXPECT_FALSE(surface.Enabled(r, c));
    for (auto c : {RowControl::Text, RowControl::Choose, RowControl::Reset})
        EXPECT_TRUE(surface.Enabled(kCommonRow, c));

    surface.check = 0;
    behaviour.optGemeinsameVersion_Click();
    EXPECT_TRUE(behaviour.bGeaendert());
    for (int16_t r = 0; r < 7; ++r) EXPECT_TRUE(surface.Enabled(r, RowControl::Reset));
    for (auto c : {RowControl::Text, RowControl::Choose, RowControl::Reset})
        EXPECT_FALSE(surface.Enabled(kCommonRow, c));
}

TEST_F(MainWindowTest, SaveInIndividualModeWritesTheSevenRowsAndReports) {
    behaviour.Form_Load();
    for (int16_t r = 0; r < 7; ++r) surface.SetRowText(r, L"d:\\" + std::to_wstring(r));
    surface.SetRowText(kCommonRow, L"unbenutzt");
    behaviour.btnFertigstellen_Click();
    ASSERT_EQ(surface.messages.size(), 2u);
    EXPECT_EQ(surface.messages[0].text, kSaveQuestionText);
    EXPECT_EQ(surface.messages[0].style, 4u);  // Yes and No
    EXPECT_EQ(surface.messages[1].text, kSaveReportText);
    EXPECT_EQ(surface.messages[1].style, 0u);  // OK only
    for (int i = 0; i < 7; ++i) EXPECT_EQ(store.Stored(kEditionen[i].applicationName), L"d:\\" + std::to_wstring(i));
    EXPECT_FALSE(behaviour.bGeaendert());
}

TEST_F(MainWindowTest, SaveInCommonModeWritesTheCommonRowSevenTimesEvenEmpty) {
    // Every edition starts with a text of its own, so an edition left out keeps it.
    for (int e = 1; e <= 7; ++e) Store(e, L"alt" + std::to_wstring(e));
    behaviour.Form_Load();
    surface.check = 1;
    behaviour.optGemeinsameVersion_Click();
    behaviour.btnFertigstellen_Click();
    for (int i = 0; i < 7; ++i) EXPECT_EQ(store.Stored(kEditionen[i].applicationName), L"") << i;
    for (int16_t r = 0; r < 7; ++r)  // the edition rows keep showing their former texts
        EXPECT_EQ(surface.rows[r], L"alt" + std::to_wstring(r + 1)) << r;

    surface.SetRowText(kCommonRow, L"g:\\Gemeinsam\\");
    behaviour.btnFertigstellen_Click();
    for (int i = 0; i < 7; ++i) EXPECT_EQ(store.Stored(kEditionen[i].applicationName), L"g:\\Gemeinsam\\") << i;
}

TEST_F(MainWindowTest, SaveRefusedWritesNothingAndKeepsTheFlag) {
    behaviour.Form_Load();
    surface.SetRowText(0, L"neu");
    surface.answers = {7};  // No
    behaviour.btnFertigstellen_Click();
    EXPECT_TRUE(store.writeLog.empty());
    EXPECT_EQ(surface.messages.size(), 1u);
    EXPECT_TRUE(behaviour.bGeaendert());
}

// Only Yes (6) is consent: No (7), Esc in Wine's box (IDCANCEL, 2) and a box torn down
// without an answer (0) neither save nor end, in the save and in the close question.
TEST_F(MainWindowTest, OnlyYesInEitherQuestionSavesOrEnds) {
    behaviour.Form_Load();
    surface.SetRowText(0, L"neu");
    for (int answer : {7, 2, 0}) {
        surface.messages.clear();
        surface.answers = {answer};
        behaviour.btnFertigstellen_Click();
        ASSERT_EQ(surface.messages.size(), 1u) << answer;  // the question, no report
        EXPECT_EQ(surface.messages[0].text, kSaveQuestionText);
        EXPECT_TRUE(store.writeLog.empty()) << answer;

        surface.answers = {answer};
        int16_t cancel = 0;
        behaviour.Form_QueryUnload(cancel, 0);
        EXPECT_EQ(surface.messages.back().text, kCloseQuestionText);
        EXPECT_EQ(cancel, -1) << answer;
        EXPECT_EQ(surface.endCalls, 0) << answer;
        EXPECT_TRUE(behaviour.bGeaendert()) << answer;
    }
    surface.answers = {6, 6, 6};
    behaviour.btnFertigstellen_Click();
    EXPECT_EQ(store.writeLog.size(), 7u);
    EXPECT_EQ(surface.messages.back().text, kSaveReportText);
    surface.SetRowText(0, L"neuer");
    behaviour.btnEnde_Click();
    EXPECT_EQ(surface.endCalls, 1);
}

TEST_F(MainWindowTest, SaveWithoutChangesStillWritesAllSeven) {
    Store(4, L"q:\\");
    behaviour.Form_Load();
    behaviour.btnFertigstellen_Click();
    EXPECT_EQ(store.writeLog.size(), 7u);
    EXPECT_EQ(store.Stored(kEditionen[3].applicationName), L"q:\\");
}

TEST_F(MainWindowTest, AFailingWriteEscapesWithoutReportAndKeepsTheFlag) {
    behaviour.Form_Load();
    surface.SetRowText(0, L"neu");
    store.failWrites.insert(std::wstring(kEditionen[4].applicationName));
    EXPECT_THROW(behaviour.btnFertigstellen_Click(), SettingsError);
    EXPECT_TRUE(behaviour.bGeaendert());
    EXPECT_EQ(surface.messages.size(), 1u);  // the question only, no report
    EXPECT_EQ(store.writeLog.size(), 4u);
}

TEST_F(MainWindowTest, FailureTextNamesTheEditionAndTheError) {
    const SettingsError e(SettingsError::Operation::Write, L"Lumarix Ovaro f\u00fcr QM", 5, L"Zugriff verweigert %s");
    EXPECT_EQ(SettingsFailureText(e),
              L"Der Datenordner von 'Lumarix Ovaro f\u00fcr QM' konnte nicht in der Registry gespeichert werden.\r\n"
              L"Fehler 5: Zugriff verweigert %s");
}

TEST_F(MainWindowTest, ClosingWithoutChangesEndsWithoutQuestion) {
    behaviour.Form_Load();
    int16_t cancel = 0;
    behaviour.Form_QueryUnload(cancel, 0);
    EXPECT_TRUE(surface.messages.empty());
    EXPECT_EQ(surface.endCalls, 1);
}

TEST_F(MainWindowTest, ClosingWithChangesAsksAndNoKeepsTheWindowOpen) {
    behaviour.Form_Load();
    surface.SetRowText(1, L"x");
    surface.answers = {7};  // No
    int16_t cancel = 0;
    behaviour.Form_QueryUnload(cancel, 0);
    ASSERT_EQ(surface.messages.size(), 1u);
    EXPECT_EQ(surface.messages[0].text, kCloseQuestionText);
    EXPECT_EQ(surface.messages[0].style, 4u);
    EXPECT_EQ(cancel, -1);
    EXPECT_EQ(surface.endCalls, 0);
    EXPECT_TRUE(behaviour.bGeaendert());

    behaviour.btnEnde_Click();  // now Yes
    EXPECT_EQ(surface.endCalls, 1);
    EXPECT_TRUE(store.writeLog.empty());
}

TEST_F(MainWindowTest, SessionEndClosesWithoutQuestionAndWritesNothing) {
    behaviour.Form_Load();
    surface.SetRowText(1, L"x");
    for (int16_t reason : {1, 2, 3, 4, 5}) {
        int16_t cancel = 0;
        behaviour.Form_QueryUnload(cancel, reason);
        EXPECT_EQ(cancel, 0);
    }
    EXPECT_TRUE(surface.messages.empty());
    EXPECT_EQ(surface.endCalls, 0);
    EXPECT_TRUE(store.writeLog.empty());
}

TEST_F(MainWindowTest, ChooseOkPutsTheTreePathIntoTheRow) {
    behaviour.Form_Load();
    surface.SetRowText(2, L"C:\\WINDOWS");
    Script(L"OK", L"c:\\Windows\\");
    behaviour.btnOrdnerwahl_Click(2);
    EXPECT_EQ(choice.setPaths, std::vector<std::wstring>{L"C:\\WINDOWS"});
    EXPECT_EQ(surface.rows[2], L"c:\\Windows\\");
    EXPECT_EQ(choice.shown, 1);
    EXPECT_EQ(choice.destroyed, 1);
}

TEST_F(MainWindowTest, ChooseOnEmptyRowSetsNoPathAndOkWithNothingSelectedEmptiesTheRow) {
    behaviour.Form_Load();
    Script(L"OK", L"");
    behaviour.btnOrdnerwahl_Click(kCommonRow);
    EXPECT_TRUE(choice.setPaths.empty());
    EXPECT_EQ(surface.RowText(kCommonRow), L"");
    EXPECT_FALSE(behaviour.bGeaendert());  // the text did not change

    surface.SetRowText(0, L"x:\\weg");
    Script(L"OK", L"");
    behaviour.btnOrdnerwahl_Click(0);
    EXPECT_EQ(surface.rows[0], L"");
}

TEST_F(MainWindowTest, ChooseCancelledChangesNothingAndAFailingPathStillShows) {
    Store(6, L"e:\\daten");
    behaviour.Form_Load();
    Script(L"", L"c:\\anders\\");
    choice.throwOnSetPath = true;
    behaviour.btnOrdnerwahl_Click(5);
    EXPECT_EQ(choice.shown, 1);
    EXPECT_EQ(choice.destroyed, 1);
    EXPECT_EQ(choice.setPaths, std::vector<std::wstring>{L"e:\\daten"});
    EXPECT_EQ(surface.rows[5], L"e:\\daten");
    EXPECT_FALSE(behaviour.bGeaendert());
}

}  // namespace
}  // namespace ovaro
