// The built exe and the settings store seen from outside: no elevation in the exe's
// manifest, the DLL search restriction linked in, the usual hardening flags, and
// registry keys that grant only the one right the store needs still work.
#include <windows.h>

#include <sddl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistrySettingsStore.h"
#include "TestSupport.h"

namespace ovaro {
namespace {

// The exe's path as this process sees it; CMake gives the build machine's path.
std::wstring ExePath() {
    std::string unixPath = OVARO_EXE_PATH;
    std::wstring path(unixPath.begin(), unixPath.end());
    if (!path.empty() && path[0] == L'/') {
        for (auto& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

class Exe {
public:
    Exe() { module_ = LoadLibraryExW(ExePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES); }
    ~Exe() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }
    const BYTE* base() const {
        return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR(3));
    }
    const IMAGE_NT_HEADERS* nt() const {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(base() + dos->e_lfanew);
    }

private:
    HMODULE module_ = nullptr;
};

TEST(ExeHygiene, ManifestAsksForNoElevation) {
    HMODULE exe = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr) << GetLastError();
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(data, SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos)
        << manifest;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
    EXPECT_EQ(manifest.find("uiAccess=\"true\""), std::string::npos);
}

TEST(ExeHygiene, VersionRecordAndManifestCarryTheNamesAndTheOneVersion) {
    const std::wstring path = ExePath();
    DWORD ignored = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(record.empty()) << GetLastError();
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    auto value = [&](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(record.data(), key.c_str(), &text, &length) || length == 0) return std::wstring(L"<none>");
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    EXPECT_EQ(value(L"ProductName"), L"Tool zum Festlegen von Ovaro-Ordnern");
    EXPECT_EQ(value(L"FileVersion"), L"1.01");
    EXPECT_EQ(value(L"ProductVersion"), L"1.01");
    EXPECT_EQ(value(L"InternalName"), L"ZomaOvaroOrdnerSetzen");
    EXPECT_EQ(value(L"OriginalFilename"), L"ZomaOvaroOrdnerSetzen.exe");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);  // 1.1: the numbers of "1.01"
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);

    HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr) << GetLastError();
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, found))),
                               SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_NE(manifest.find("name=\"ZomaOvaroOrdnerSetzen\" version=\"1.1.0.0\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("<description>Tool zum Festlegen von Ovaro-Ordnern</description>"), std::string::npos);
}

TEST(ExeHygiene, HardeningFlagsAndTheDllSearchRestrictionAreLinkedIn) {
    Exe exe;
    ASSERT_NE(exe.get(), nullptr) << GetLastError();
    const auto* nt = exe.nt();
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    const WORD flags = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);

    // The exe imports SetDefaultDllDirectories from kernel32 (the call itself is checked
    // on the source text by the native tests).
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    bool imported = false;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(exe.base() + dir.VirtualAddress); d->Name != 0;
         ++d) {
        const std::string dll = reinterpret_cast<const char*>(exe.base() + d->Name);
        if (_stricmp(dll.c_str(), "kernel32.dll") != 0) continue;
        const DWORD thunks = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        for (auto* t = reinterpret_cast<const IMAGE_THUNK_DATA*>(exe.base() + thunks); t->u1.AddressOfData != 0; ++t) {
            if (IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(exe.base() + t->u1.AddressOfData);
            if (std::string(reinterpret_cast<const char*>(byName->Name)) == "SetDefaultDllDirectories") imported = true;
        }
    }
    EXPECT_TRUE(imported);
}

// A scratch settings tree whose section key grants exactly the given rights (plus
// what the test needs to remove it again).
class LeastAccessTest : public ::testing::Test {
protected:
    testing::ScratchRegistryKey scratch;
    const std::wstring base = scratch.Path();
    const std::wstring section = base + L"\\Edition\\Optionen";

    void SetUp() override {
        Restore();
        RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        const wchar_t value[] = L"c:\\Alt\\";
        RegSetValueExW(key, L"Datenpfad", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
        RegCloseKey(key);
    }
    void TearDown() override {
        Restore();
        RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
    }
    void Grant(DWORD rights) {
        const std::wstring sddl = L"D:(A;;" + std::to_wstring(rights | WRITE_DAC | DELETE) + L";;;WD)";
        Apply(sddl.c_str());
    }
    void Restore() { Apply(L"D:(A;;KA;;;WD)"); }
    void Apply(const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, section.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
            EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
            RegCloseKey(key);
        }
        LocalFree(sd);
    }
    LSTATUS OpenWith(REGSAM access) {
        HKEY key = nullptr;
        const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, section.c_str(), 0, access, &key);
        if (key) RegCloseKey(key);
        return status;
    }
    RegistrySettingsStore Store() { return RegistrySettingsStore(HKEY_CURRENT_USER, base); }
};

TEST_F(LeastAccessTest, ReadingNeedsOnlyTheRightToQueryValues) {
    Grant(KEY_QUERY_VALUE);
    ASSERT_EQ(OpenWith(KEY_READ), ERROR_ACCESS_DENIED);  // the key really is that tight
    EXPECT_EQ(Store().Read(L"Edition", L"Optionen", L"Datenpfad", L"-"), L"c:\\Alt\\");
}

TEST_F(LeastAccessTest, WritingNeedsOnlyTheRightToSetValues) {
    Grant(KEY_SET_VALUE);
    ASSERT_EQ(OpenWith(KEY_WRITE), ERROR_ACCESS_DENIED);
    ASSERT_EQ(OpenWith(KEY_QUERY_VALUE), ERROR_ACCESS_DENIED);
    EXPECT_NO_THROW(Store().Write(L"Edition", L"Optionen", L"Datenpfad", L"d:\\Neu\\"));
    Restore();
    EXPECT_EQ(Store().Read(L"Edition", L"Optionen", L"Datenpfad", L"-"), L"d:\\Neu\\");
}

}  // namespace
}  // namespace ovaro
