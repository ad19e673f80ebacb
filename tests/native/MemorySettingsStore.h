#pragma once
// A settings store in memory that records every call and can be told to fail.

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "SettingsStore.h"

namespace ovaro::testing {

class MemorySettingsStore final : public SettingsStore {
public:
    using Address = std::tuple<std::wstring, std::wstring, std::wstring>;

    std::map<Address, std::wstring> values;
    std::set<std::wstring> failReads;    // application names whose read fails
    std::set<std::wstring> failWrites;   // application names whose write fails
    std::vector<std::wstring> writeLog;  // application names in the order written

    std::wstring Read(std::wstring_view application, std::wstring_view section, std::wstring_view key,
                      std::wstring_view fallback) override {
        if (failReads.count(std::wstring(application)))
            throw SettingsError(SettingsError::Operation::Read, std::wstring(application), 5, L"Zugriff verweigert");
        const auto found = values.find(Address(application, section, key));
        return found == values.end() ? std::wstring(fallback) : found->second;
    }

    void Write(std::wstring_view application, std::wstring_view section, std::wstring_view key,
               std::wstring_view value) override {
        if (failWrites.count(std::wstring(application)))
            throw SettingsError(SettingsError::Operation::Write, std::wstring(application), 5, L"Zugriff verweigert");
        writeLog.emplace_back(application);
        values[Address(application, section, key)] = std::wstring(value);
    }

    std::wstring Stored(std::wstring_view application) const {
        const auto found = values.find(Address(application, L"Optionen", L"Datenpfad"));
        return found == values.end() ? L"<missing>" : found->second;
    }
};

}  // namespace ovaro::testing
