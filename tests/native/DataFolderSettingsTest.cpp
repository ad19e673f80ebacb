#include <gtest/gtest.h>

#include "DataFolderSettings.h"
#include "MemorySettingsStore.h"

namespace ovaro {
namespace {

using testing::MemorySettingsStore;

TEST(EditionList, NamesAndLabelsAreExact) {
    ASSERT_EQ(kEditionen.size(), 7u);
    EXPECT_EQ(kEditionen[0].applicationName, L"Lumarix Ovaro");
    EXPECT_EQ(kEditionen[1].applicationName, L"Lumarix Ovaro f\u00fcr KDPX");
    EXPECT_EQ(kEditionen[6].applicationName, L"Lumarix Ovaro f\u00fcr Tirra");
    EXPECT_EQ(kEditionen[6].rowLabel, L"&tirra desk");
    EXPECT_EQ(kSettingsSection, L"Optionen");
    EXPECT_EQ(kSettingsKey, L"Datenpfad");
}

TEST(LeseDatenpfade, NothingStoredGivesSevenEmptyStrings) {
    MemorySettingsStore store;
    const auto pfade = LeseDatenpfade(store, nullptr);
    for (const auto& pfad : pfade) EXPECT_EQ(pfad, L"");
}

TEST(LeseDatenpfade, ReadsEachEditionUnderItsOwnNameUnchanged) {
    MemorySettingsStore store;
    for (int i = 0; i < kEditionCount; ++i)
        store.values[{std::wstring(kEditionen[i].applicationName), L"Optionen", L"Datenpfad"}] =
            L" d:\\Daten " + std::to_wstring(i) + L"\\";
    const auto pfade = LeseDatenpfade(store, nullptr);
    for (int i = 0; i < kEditionCount; ++i) EXPECT_EQ(pfade[i], L" d:\\Daten " + std::to_wstring(i) + L"\\");
}

TEST(LeseDatenpfade, AnUnreadableValueIsReportedAndTheOthersStillRead) {
    MemorySettingsStore store;
    for (int i = 0; i < kEditionCount; ++i)
        store.values[{std::wstring(kEditionen[i].applicationName), L"Optionen", L"Datenpfad"}] =
            L"x" + std::to_wstring(i);
    store.failReads.insert(std::wstring(kEditionen[2].applicationName));
    std::vector<std::wstring> reported;
    const auto pfade = LeseDatenpfade(store, [&](const SettingsError& e) { reported.push_back(e.application()); });
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], kEditionen[2].applicationName);
    EXPECT_EQ(pfade[1], L"x1");
    EXPECT_EQ(pfade[2], L"");
    EXPECT_EQ(pfade[6], L"x6");
}

TEST(SpeichereDatenpfade, WritesAllSevenInOrderEvenEmptyOnes) {
    MemorySettingsStore store;
    Datenpfade pfade{L"a", L"", L"c", L"", L"e", L"f", L""};
    SpeichereDatenpfade(store, pfade);
    ASSERT_EQ(store.writeLog.size(), 7u);
    for (int i = 0; i < kEditionCount; ++i) {
        EXPECT_EQ(store.writeLog[i], kEditionen[i].applicationName);
        EXPECT_EQ(store.Stored(kEditionen[i].applicationName), pfade[i]);
    }
}

TEST(SpeichereDatenpfade, AFailingWriteStopsAtThatEditionAndThrows) {
    MemorySettingsStore store;
    for (int i = 0; i < kEditionCount; ++i)
        store.values[{std::wstring(kEditionen[i].applicationName), L"Optionen", L"Datenpfad"}] = L"alt";
    store.failWrites.insert(std::wstring(kEditionen[3].applicationName));
    try {
        SpeichereDatenpfade(store, Datenpfade{L"neu", L"neu", L"neu", L"neu", L"neu", L"neu", L"neu"});
        FAIL() << "expected the failing write to throw";
    } catch (const SettingsError& e) {
        EXPECT_EQ(e.application(), kEditionen[3].applicationName);
        EXPECT_EQ(e.operation(), SettingsError::Operation::Write);
    }
    for (int i = 0; i < kEditionCount; ++i)
        EXPECT_EQ(store.Stored(kEditionen[i].applicationName), i < 3 ? L"neu" : L"alt") << i;
}

}  // namespace
}  // namespace ovaro
