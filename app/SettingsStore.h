#pragma once
// The per-user program-settings store, reduced to what the data folders need:
// one string value by application, section and key.

#include <stdexcept>
#include <string>
#include <string_view>

namespace ovaro {

// A read or write the store could not carry out. A value that does not exist is
// no failure: it reads as the default.
class SettingsError : public std::runtime_error {
public:
    enum class Operation { Read, Write };

    SettingsError(Operation operation, std::wstring application, unsigned long code, std::wstring description)
        : std::runtime_error("settings store failure"), operation_(operation), application_(std::move(application)),
          code_(code), description_(std::move(description)) {}

    Operation operation() const { return operation_; }
    const std::wstring& application() const { return application_; }
    unsigned long code() const { return code_; }
    const std::wstring& description() const { return description_; }

private:
    Operation operation_;
    std::wstring application_;
    unsigned long code_;
    std::wstring description_;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or `fallback` when the application, section or value does not exist.
    virtual std::wstring Read(std::wstring_view application, std::wstring_view section, std::wstring_view key,
                              std::wstring_view fallback) = 0;
    // Stores the value, creating application and section as needed; never deletes anything.
    virtual void Write(std::wstring_view application, std::wstring_view section, std::wstring_view key,
                       std::wstring_view value) = 0;
};

}  // namespace ovaro
