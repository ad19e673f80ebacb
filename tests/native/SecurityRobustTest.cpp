// What the program's own sources must never do, checked on their text: a Windows
// program's start-up, registry access and message texts cannot all be observed from a
// test, so the sources are read instead. Comments are left out of every check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The file without // and /* */ comments; string literals stay.
std::string Code(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    std::string out;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!inString && text.compare(i, 2, "//") == 0) {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (!inString && text.compare(i, 2, "/*") == 0) {
            const auto end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 1;
            continue;
        }
        if (i >= text.size()) break;
        if (text[i] == '"' && (i == 0 || text[i - 1] != '\\')) inString = !inString;
        out += text[i];
    }
    return out;
}

std::vector<fs::path> ProgramSources() {
    std::vector<fs::path> files;
    for (const char* dir : {"app", "folderchooser", "win32ui"})
        for (const auto& entry : fs::directory_iterator(fs::path(OVARO_SOURCE_DIR) / dir)) {
            const auto ext = entry.path().extension();
            if (ext == ".cpp" || ext == ".h") files.push_back(entry.path());
        }
    return files;
}

// The argument text of every call of fn in code.
std::vector<std::string> Calls(const std::string& code, const std::string& fn) {
    std::vector<std::string> calls;
    for (auto at = code.find(fn + "("); at != std::string::npos; at = code.find(fn + "(", at + 1)) {
        if (at > 0 && (std::isalnum(static_cast<unsigned char>(code[at - 1])) || code[at - 1] == '_')) continue;
        int depth = 0;
        std::size_t i = at + fn.size();
        for (; i < code.size(); ++i) {
            if (code[i] == '(') ++depth;
            if (code[i] == ')' && --depth == 0) break;
        }
        calls.push_back(code.substr(at, i - at + 1));
    }
    return calls;
}

TEST(SecurityHygiene, TheSourcesAreThere) {
    // Guards the checks below against passing on an empty file list.
    const auto files = ProgramSources();
    EXPECT_GE(files.size(), 10u);
    EXPECT_NE(Code(fs::path(OVARO_SOURCE_DIR) / "app/Main.cpp").find("wWinMain"), std::string::npos);
}

TEST(SecurityHygiene, DllSearchIsRestrictedToSystem32BeforeAnythingIsLoaded) {
    const std::string main = Code(fs::path(OVARO_SOURCE_DIR) / "app/Main.cpp");
    const auto body = main.find('{', main.find("wWinMain"));
    ASSERT_NE(body, std::string::npos);
    const auto restrict = main.find("SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)", body);
    ASSERT_NE(restrict, std::string::npos) << "wWinMain does not restrict the DLL search path";
    // Nothing that may load a DLL comes first: only the error mode may be set before it.
    const std::string before = main.substr(body + 1, restrict - body - 1);
    const std::regex call(R"(([A-Za-z_][A-Za-z_0-9:]*)\s*\()");
    for (auto it = std::sregex_iterator(before.begin(), before.end(), call); it != std::sregex_iterator(); ++it)
        EXPECT_EQ((*it)[1].str(), "SetErrorMode") << "called before the DLL search path is restricted";

    // Later loads name the system folder too; the current folder never joins the search.
    for (const auto& file : ProgramSources()) {
        const std::string code = Code(file);
        for (const char* fn : {"LoadLibraryW", "LoadLibraryA", "LoadLibrary"})
            EXPECT_TRUE(Calls(code, fn).empty()) << file << " uses " << fn;
        for (const auto& c : Calls(code, "LoadLibraryExW"))
            EXPECT_NE(c.find("LOAD_LIBRARY_SEARCH_SYSTEM32"), std::string::npos) << file << ": " << c;
        EXPECT_TRUE(Calls(code, "SetDllDirectoryW").empty()) << file;
        EXPECT_TRUE(Calls(code, "AddDllDirectory").empty()) << file;
    }
}

TEST(SecurityHygiene, RegistryKeysAreOpenedWithTheLeastAccess) {
    int opens = 0, creates = 0;
    const std::regex accessRight(R"(\b(KEY_[A-Z_0-9]+|MAXIMUM_ALLOWED|GENERIC_[A-Z]+)\b)");
    auto rights = [&](const std::string& call) {
        std::vector<std::string> found;
        for (auto it = std::sregex_iterator(call.begin(), call.end(), accessRight); it != std::sregex_iterator(); ++it)
            found.push_back((*it)[1].str());
        return found;
    };
    for (const auto& file : ProgramSources()) {
        const std::string code = Code(file);
        for (const auto& c : Calls(code, "RegOpenKeyExW")) {
            ++opens;
            EXPECT_EQ(rights(c), std::vector<std::string>{"KEY_QUERY_VALUE"}) << file << ": " << c;
        }
        for (const auto& c : Calls(code, "RegCreateKeyExW")) {
            ++creates;
            EXPECT_EQ(rights(c), std::vector<std::string>{"KEY_SET_VALUE"}) << file << ": " << c;
        }
        // The old calls open with every right the caller has; HKLM is no place of ours.
        for (const char* fn : {"RegOpenKeyW", "RegOpenKeyA", "RegCreateKeyW", "RegCreateKeyA", "RegOpenKeyExA",
                               "RegCreateKeyExA", "RegDeleteKeyW", "RegDeleteTreeW", "RegDeleteValueW"})
            EXPECT_TRUE(Calls(code, fn).empty()) << file << " uses " << fn;
        EXPECT_EQ(code.find("HKEY_LOCAL_MACHINE"), std::string::npos) << file;
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(creates, 1);
}

TEST(SecurityHygiene, NoTextIsEverUsedAsAFormat) {
    const std::regex formatting(
        R"(\b(std::format|std::vformat|[a-z_]*printf(_s)?|wsprintf[AW]?|wvsprintf[AW]?|StringC[bc]Printf(Ex)?|StringC[bc]VPrintf(Ex)?)\s*\()");
    for (const auto& file : ProgramSources()) {
        const std::string code = Code(file);
        std::smatch m;
        EXPECT_FALSE(std::regex_search(code, m, formatting)) << file << " formats text: " << m.str();
        // The platform's error texts may carry inserts such as %1; they stay as they are.
        for (const auto& c : Calls(code, "FormatMessageW"))
            EXPECT_NE(c.find("FORMAT_MESSAGE_IGNORE_INSERTS"), std::string::npos) << file << ": " << c;
        EXPECT_TRUE(Calls(code, "FormatMessageA").empty()) << file;
        EXPECT_TRUE(Calls(code, "FormatMessage").empty()) << file;
    }
}

}  // namespace
