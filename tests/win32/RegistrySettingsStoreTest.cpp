// The registry store against Wine's real registry, in the test run's own prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DataFolderSettings.h"
#include "RegistrySettingsStore.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

// Each test works below a scratch key of its own, removed afterwards.
class RegistryStoreTest : public ::testing::Test {
protected:
    std::wstring SectionPath(std::wstring_view app) const { return base_ + L"\\" + std::wstring(app) + L"\\Optionen"; }

    void PutRaw(std::wstring_view app, DWORD type, const void* data, DWORD bytes) {
        EXPECT_EQ(testing::WriteRegistryValue(HKEY_CURRENT_USER, SectionPath(app), L"Datenpfad", type, data, bytes),
                  ERROR_SUCCESS);
    }

    // Type and raw bytes as stored.
    std::pair<DWORD, std::vector<BYTE>> GetRaw(std::wstring_view app) {
        const testing::RegistryValue value =
            testing::ReadRegistryValue(HKEY_CURRENT_USER, SectionPath(app), L"Datenpfad");
        EXPECT_TRUE(value.exists);
        return {value.type, value.bytes};
    }

    RegistrySettingsStore Store() const { return RegistrySettingsStore(HKEY_CURRENT_USER, base_); }

    testing::ScratchRegistryKey scratch_;
    const std::wstring base_ = scratch_.Path();
};

TEST_F(RegistryStoreTest, WritesRegSzWithTerminatingNulAndReadsItBack) {
    auto store = Store();
    store.Write(L"Lumarix Ovaro f\u00fcr NEF", L"Optionen", L"Datenpfad", L"d:\\Daten\\");
    const auto [type, data] = GetRaw(L"Lumarix Ovaro f\u00fcr NEF");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    const wchar_t expected[] = L"d:\\Daten\\";
    ASSERT_EQ(data.size(), sizeof expected);  // includes the NUL
    EXPECT_EQ(std::memcmp(data.data(), expected, sizeof expected), 0);
    EXPECT_EQ(store.Read(L"Lumarix Ovaro f\u00fcr NEF", L"Optionen", L"Datenpfad", L""), L"d:\\Daten\\");
}

TEST_F(RegistryStoreTest, EmptyTextIsStoredAsEmptyStringValueNotDeleted) {
    auto store = Store();
    store.Write(L"App", L"Optionen", L"Datenpfad", L"c:\\x");
    store.Write(L"App", L"Optionen", L"Datenpfad", L"");
    const auto [type, data] = GetRaw(L"App");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data.size(), sizeof(wchar_t));
    EXPECT_EQ(store.Read(L"App", L"Optionen", L"Datenpfad", L"fallback"), L"");
}

TEST_F(RegistryStoreTest, MissingKeyOrValueGivesTheDefault) {
    auto store = Store();
    EXPECT_EQ(store.Read(L"Nie", L"Optionen", L"Datenpfad", L""), L"");
    EXPECT_EQ(store.Read(L"Nie", L"Optionen", L"Datenpfad", L"dflt"), L"dflt");
    store.Write(L"App", L"Optionen", L"Anderes", L"x");
    EXPECT_EQ(store.Read(L"App", L"Optionen", L"Datenpfad", L""), L"");
}

TEST_F(RegistryStoreTest, ValuesOfOtherTypesReadEmptyExpandSzUnexpanded) {
    auto store = Store();
    const DWORD number = 42;
    PutRaw(L"Dword", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(store.Read(L"Dword", L"Optionen", L"Datenpfad", L""), L"");
    const BYTE binary[] = {0x63, 0, 0x3a, 0};
    PutRaw(L"Binary", REG_BINARY, binary, sizeof binary);
    EXPECT_EQ(store.Read(L"Binary", L"Optionen", L"Datenpfad", L""), L"");
    const wchar_t multi[] = L"c:\\a\0c:\\b\0";
    PutRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    EXPECT_EQ(store.Read(L"Multi", L"Optionen", L"Datenpfad", L""), L"");
    const wchar_t expand[] = L"%TEMP%\\Ovaro";
    PutRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
    EXPECT_EQ(store.Read(L"Expand", L"Optionen", L"Datenpfad", L""), L"%TEMP%\\Ovaro");
}

TEST_F(RegistryStoreTest, DataWithoutNulOrWithOddLengthReadsAsItsWholeCharacters) {
    auto store = Store();
    const wchar_t text[] = {L'e', L':', L'\\', L'z'};
    PutRaw(L"NoNul", REG_SZ, text, sizeof text);
    EXPECT_EQ(store.Read(L"NoNul", L"Optionen", L"Datenpfad", L""), L"e:\\z");
    PutRaw(L"Odd", REG_SZ, text, sizeof text - 1);
    EXPECT_EQ(store.Read(L"Odd", L"Optionen", L"Datenpfad", L""), L"e:\\");
}

TEST_F(RegistryStoreTest, LongAndUnicodeTextsRoundTripUnchanged) {
    auto store = Store();
    std::wstring longText(100000, L'x');
    for (size_t i = 0; i < longText.size(); i += 7) longText[i] = L'\u00e4';
    store.Write(L"Long", L"Optionen", L"Datenpfad", longText);
    EXPECT_EQ(store.Read(L"Long", L"Optionen", L"Datenpfad", L""), longText);
    const std::wstring unicode = L"  d:\\\u65e5\u672c\\\u0414\u0430\u043d\u043d\u044b\u0435\\\U0001F4C8 %s%n ";
    store.Write(L"Uni", L"Optionen", L"Datenpfad", unicode);
    EXPECT_EQ(store.Read(L"Uni", L"Optionen", L"Datenpfad", L""), unicode);
}

TEST_F(RegistryStoreTest, AKeyThatRefusesWritingFailsWithTheEditionNamed) {
    auto store = Store();
    store.Write(L"Locked", L"Optionen", L"Datenpfad", L"alt");
    // A volatile section key refuses nothing, but a non-volatile child below a
    // volatile key does: the write must fail and name its application.
    HKEY vol = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\Volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &vol, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(vol);
    try {
        store.Write(L"Volatile", L"Optionen", L"Datenpfad", L"neu");
        FAIL() << "write below a volatile key should fail";
    } catch (const SettingsError& e) {
        EXPECT_EQ(e.application(), L"Volatile");
        EXPECT_EQ(e.code(), static_cast<unsigned long>(ERROR_CHILD_MUST_BE_VOLATILE));
        EXPECT_FALSE(e.description().empty());
    }
}

// The one test of the real place the editions read; in the build's own prefix only.
TEST(RegistryLayout, DataFoldersLandAtTheEditionsOwnKeys) {
    OVARO_REQUIRE_OWN_WINE_PREFIX();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings");
    RegistrySettingsStore store;
    Datenpfade pfade{L"a:\\", L"b:\\", L"c:\\", L"", L"e:\\ ", L"f:\\F", L"g:\\"};
    SpeichereDatenpfade(store, pfade);
    for (int i = 0; i < kEditionCount; ++i) {
        const std::wstring path =
            L"Software\\VB and VBA Program Settings\\" + std::wstring(kEditionen[i].applicationName) + L"\\Optionen";
        const testing::RegistryValue value = testing::ReadRegistryValue(HKEY_CURRENT_USER, path, L"Datenpfad");
        ASSERT_TRUE(value.exists) << i;
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value.Text(), pfade[i]);
    }
    EXPECT_EQ(LeseDatenpfade(store, nullptr), pfade);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings");
}

}  // namespace
}  // namespace ovaro
