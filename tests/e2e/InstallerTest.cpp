// The Windows Installer package as an administrator uses it, silently with msiexec: it
// installs, starts, is replaced by a later build or version, refuses an earlier one, and
// leaves nothing behind when removed by its file or by its product code. The packages are
// built from this build's exe by release/make-msi.sh (tests/e2e/CMakeLists.txt): this
// version as build 100 (package version 1.1.100), a newer build of it (1.1.101), and the
// same at 1.02 (1.2.102).
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "TestSupport.h"

namespace ovaro::e2e {
namespace {

const std::wstring kProductName = L"Tool zum Festlegen von Ovaro-Ordnern";
const std::wstring kPublisher = L"The ZomaOvaroOrdnerSetzen authors";
const std::wstring kInstallDir = L"C:\\Program Files\\ZomaOvaroOrdnerSetzen";
const std::wstring kInstalledExe = kInstallDir + L"\\ZomaOvaroOrdnerSetzen.exe";
const std::wstring kShortcut = L"Datenordner f\u00fcr Ovaro festlegen.lnk";
const std::wstring kMainCaption = L"Datenordner f\u00fcr Ovaro festlegen";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring WinePath(const char* unix) {
    std::wstring path = L"Z:";
    for (const char* c = unix; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return path;
}

// A file's bytes; empty when it cannot be read.
std::vector<char> Bytes(const std::wstring& path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
}

// Runs a command line to its end; its exit code, or -1 when it did not start or end.
int Run(std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

int Msiexec(const std::wstring& args) { return Run(L"msiexec.exe " + args); }

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    RegCloseKey(handle);
    return names;
}

// The uninstall entries that carry the product's name.
std::vector<std::wstring> UninstallEntries() {
    std::vector<std::wstring> found;
    for (const auto& code : SubKeys(HKEY_LOCAL_MACHINE, kUninstall))
        if (testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, kUninstall + L"\\" + code, L"DisplayName").Text() ==
            kProductName)
            found.push_back(kUninstall + L"\\" + code);
    return found;
}

std::wstring EntryValue(const std::wstring& entry, const wchar_t* name) {
    return testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, entry, name).Text();
}

// Everything below these places, as lines: the files and folders, and the registry's
// keys with their values. Windows Installer keeps its own empty container keys; an
// empty key is therefore listed only when it names the product.
struct Snapshot {
    std::set<std::wstring> lines;

    void Files(const std::wstring& dir) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            lines.insert(dir + L"\\" + name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Files(dir + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }

    void Keys(HKEY root, const std::wstring& key, const std::wstring& label) {
        HKEY handle = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
        wchar_t name[16384];
        std::vector<BYTE> data(65536);
        bool empty = true;
        for (DWORD i = 0;; ++i) {
            DWORD size = static_cast<DWORD>(std::size(name)), bytes = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueW(handle, i, name, &size, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS) break;
            empty = false;
            lines.insert(label + L"\\" + key + L" : " + std::wstring(name, size) + L" = " +
                         std::wstring(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t)));
        }
        RegCloseKey(handle);
        for (const auto& sub : SubKeys(root, key)) {
            empty = false;
            Keys(root, key + L"\\" + sub, label);
        }
        if (empty) emptyKeys.insert(label + L"\\" + key);
    }

    std::set<std::wstring> emptyKeys;
};

Snapshot TakeSnapshot() {
    Snapshot s;
    s.Files(L"C:\\Program Files");
    s.Files(Folder(CSIDL_COMMON_PROGRAMS));
    s.Files(Folder(CSIDL_PROGRAMS));
    s.Files(L"C:\\windows\\Installer");
    s.Keys(HKEY_LOCAL_MACHINE, kUninstall, L"HKLM");
    s.Keys(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer", L"HKLM");
    s.Keys(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Installer", L"HKLM");
    s.Keys(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer", L"HKCU");
    return s;
}

// The shortcuts of that name in the Start menu (the one of all users, where a package
// per machine puts it on Windows, and the user's own, where Wine puts it), each with
// the file it starts.
std::vector<std::wstring> ShortcutTargets() {
    std::vector<std::wstring> targets;
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::wstring link = Folder(csidl) + L"\\" + kShortcut;
        if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        std::wstring target = L"<unreadable>";
        IShellLinkW* shell = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       reinterpret_cast<void**>(&shell)))) {
            IPersistFile* file = nullptr;
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shell->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            if (file) file->Release();
            shell->Release();
        }
        targets.push_back(target);
    }
    return targets;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The message of a package's launch condition, read from the package itself.
std::wstring LaunchConditionMessage(const std::wstring& package, const std::wstring& condition) {
    std::wstring message = L"<none>";
    MSIHANDLE db = 0, view = 0, record = 0;
    const std::wstring query = L"SELECT `Description` FROM `LaunchCondition` WHERE `Condition` = '" + condition + L"'";
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &db) == ERROR_SUCCESS &&
        MsiDatabaseOpenViewW(db, query.c_str(), &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS &&
        MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[1024] = {};
        DWORD size = static_cast<DWORD>(std::size(text));
        if (MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS) message = text;
    }
    for (MSIHANDLE h : {record, view, db})
        if (h) MsiCloseHandle(h);
    return message;
}

// {00112233-4455-6677-8899-AABBCCDDEEFF} -> 3322110055447766998899AABBCCDDEEFF with the
// pairs of the last two groups swapped: the form of Windows Installer's registry keys.
std::wstring Packed(const std::wstring& braced) {
    std::wstring hex;
    for (wchar_t c : braced)
        if (iswxdigit(c)) hex += c;
    if (hex.size() != 32) return braced;
    std::wstring packed;
    for (auto [from, to] : {std::pair{0, 8}, std::pair{8, 12}, std::pair{12, 16}})
        packed.append(hex.rbegin() + (32 - to), hex.rbegin() + (32 - from));
    for (size_t i = 16; i < 32; i += 2) packed += {hex[i + 1], hex[i]};
    return packed;
}

class Installer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }

    // Installs in the build's own prefix only; starts from a machine without the product.
    void SetUp() override {
        OVARO_REQUIRE_OWN_WINE_PREFIX();
        RemoveAll();
        ASSERT_TRUE(UninstallEntries().empty());
        before = TakeSnapshot();
    }
    void TearDown() override {
        if (testing::WhyNotInTheBuildsOwnPrefix().empty()) RemoveAll();
    }
    // Whatever an earlier run left installed, by its product code.
    static void RemoveAll() {
        for (const auto& entry : UninstallEntries()) Msiexec(L"/x " + entry.substr(kUninstall.size() + 1) + L" /qn");
    }

    const std::wstring msi = WinePath(OVARO_MSI_PATH);
    const std::wstring nextMsi = WinePath(OVARO_MSI_NEXT_PATH);
    Snapshot before;
};

TEST_F(Installer, SilentInstallPlacesTheExeShortcutAndUninstallEntryAndTheProgramStarts) {
    ASSERT_EQ(Msiexec(L"/i \"" + msi + L"\" /qn"), 0);

    const auto exe = Bytes(kInstalledExe);
    EXPECT_FALSE(exe.empty());
    EXPECT_TRUE(exe == Bytes(WinePath(OVARO_EXE_PATH))) << "the installed exe differs from the built one";
    for (const wchar_t* text : {L"\\LIESMICH.txt", L"\\LICENSE.txt"})
        EXPECT_NE(GetFileAttributesW((kInstallDir + text).c_str()), INVALID_FILE_ATTRIBUTES) << text;

    const auto targets = ShortcutTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(_wcsicmp(targets[0].c_str(), kInstalledExe.c_str()), 0);

    const auto entries = UninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(EntryValue(entries[0], L"DisplayVersion"), L"1.1.100");
    EXPECT_EQ(EntryValue(entries[0], L"Publisher"), kPublisher);
    EXPECT_EQ(testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, entries[0], L"NoModify").bytes,
              (std::vector<BYTE>{1, 0, 0, 0}));
    // The entry's icon: Windows Installer keeps it with the product's advertised data.
    bool icon = false;
    for (const auto& packed : SubKeys(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Installer\\Products")) {
        const std::wstring key = L"Software\\Classes\\Installer\\Products\\" + packed;
        if (testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, key, L"ProductName").Text() != kProductName) continue;
        const auto file = Bytes(testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, key, L"ProductIcon").Text());
        icon = !file.empty() && file == Bytes(WinePath(OVARO_ICON_PATH));
    }
    EXPECT_TRUE(icon) << "no product icon, or not the program's icon";

    {
        Program installed(kMainCaption, kInstalledExe);
        EXPECT_TRUE(IsWindowVisible(installed.First()));
    }

    // Removal by the file of the build installed. (Windows refuses another build's file with
    // 1605, since its product code differs; Wine's msiexec runs that package's upgrade
    // instead and removes the installed build, so that is not shown here.)
    EXPECT_EQ(Msiexec(L"/x \"" + msi + L"\" /qn"), 0);
    EXPECT_TRUE(UninstallEntries().empty());
    EXPECT_EQ(GetFileAttributesW(kInstalledExe.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Installer, ALaterBuildOrVersionReplacesItAnEarlierOneIsRefusedAndRemovalLeavesNothing) {
    ASSERT_EQ(Msiexec(L"/i \"" + msi + L"\" /qn"), 0);
    const std::wstring firstCode = UninstallEntries().at(0);

    // A newer build of the same version replaces it.
    ASSERT_EQ(Msiexec(L"/i \"" + WinePath(OVARO_MSI_REBUILT_PATH) + L"\" /qn"), 0);
    auto entries = UninstallEntries();
    ASSERT_EQ(entries.size(), 1u) << "two builds of one version are installed";
    EXPECT_NE(entries[0], firstCode);
    EXPECT_EQ(EntryValue(entries[0], L"DisplayVersion"), L"1.1.101");
    const std::wstring newerBuild = entries[0];

    // The older build of the same version is refused, as an older version is (below), and
    // the newer build stays. Wine's msiexec neither logs nor shows a launch condition's
    // text, so the German message is read from the package.
    const std::wstring log = L"C:\\windows\\temp\\ovaro-downgrade.log";
    const auto refused = [&](const std::wstring& installed) {
        DeleteFileW(log.c_str());
        EXPECT_EQ(Msiexec(L"/i \"" + msi + L"\" /qn /l*v " + log), ERROR_INSTALL_FAILURE);
        const auto text = Bytes(log);
        DeleteFileW(log.c_str());
        const std::string detected = "WIX_DOWNGRADE_DETECTED = " + Narrow(installed.substr(kUninstall.size() + 1));
        EXPECT_NE(std::string(text.begin(), text.end()).find(detected), std::string::npos)
            << "not in the log: " << detected;
    };
    refused(newerBuild);
    entries = UninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], newerBuild);
    EXPECT_EQ(EntryValue(entries[0], L"DisplayVersion"), L"1.1.101");

    ASSERT_EQ(Msiexec(L"/i \"" + nextMsi + L"\" /qn"), 0);
    entries = UninstallEntries();
    ASSERT_EQ(entries.size(), 1u) << "both versions are installed";
    EXPECT_NE(entries[0], newerBuild);
    EXPECT_EQ(EntryValue(entries[0], L"DisplayVersion"), L"1.2.102");
    EXPECT_TRUE(Bytes(kInstalledExe) == Bytes(WinePath(OVARO_EXE_PATH)));
    EXPECT_EQ(ShortcutTargets().size(), 1u);

    // The earlier version is refused, and nothing changes.
    refused(entries[0]);
    EXPECT_EQ(LaunchConditionMessage(msi, L"NOT WIX_DOWNGRADE_DETECTED"),
              L"Eine neuere Version von [ProductName] ist bereits installiert. Entfernen Sie sie zuerst, wenn Sie "
              L"diese \u00e4ltere Version installieren wollen.");
    entries = UninstallEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(EntryValue(entries[0], L"DisplayVersion"), L"1.2.102");

    // Removed by its product code, the name of its uninstall entry, as an administrator
    // without the package's file does it.
    const std::wstring code = entries[0].substr(kUninstall.size() + 1);
    ASSERT_EQ(code.front(), L'{');
    ASSERT_EQ(Msiexec(L"/x " + code + L" /qn"), 0);
    const Snapshot after = TakeSnapshot();
    std::vector<std::wstring> added, gone;
    std::set_difference(after.lines.begin(), after.lines.end(), before.lines.begin(), before.lines.end(),
                        std::back_inserter(added));
    std::set_difference(before.lines.begin(), before.lines.end(), after.lines.begin(), after.lines.end(),
                        std::back_inserter(gone));
    for (const auto& line : added) ADD_FAILURE() << "left behind: " << Narrow(line);
    for (const auto& line : gone) ADD_FAILURE() << "removed: " << Narrow(line);
    // No key left that names its product code, braced or packed as Windows Installer's keys do.
    for (const auto& key : after.emptyKeys)
        EXPECT_TRUE(key.find(code) == std::wstring::npos && key.find(Packed(code)) == std::wstring::npos)
            << "left behind: " << Narrow(key);
}

}  // namespace
}  // namespace ovaro::e2e
