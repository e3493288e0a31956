#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace clinora {

// A key of named values: 32-bit numbers and texts. The program's store keeps
// them in an INI file; tests use MemorySettingsStore.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens the key for reading and writing, creating it when missing.
    virtual bool open() = 0;
    virtual void close() = 0;
    // False when the value is missing or of the other kind; `value` is then unchanged.
    virtual bool readNumber(const std::string& name, int32_t& value) = 0;
    virtual bool readText(const std::string& name, std::string& value) = 0;
    virtual bool writeNumber(const std::string& name, int32_t value) = 0;
    virtual bool writeText(const std::string& name, const std::string& value) = 0;
};

// A store held in memory. It records the names it is asked for, in order.
class MemorySettingsStore final : public SettingsStore {
public:
    using Value = std::variant<int32_t, std::string>;

    bool open() override;
    void close() override { open_ = false; }
    bool readNumber(const std::string& name, int32_t& value) override;
    bool readText(const std::string& name, std::string& value) override;
    bool writeNumber(const std::string& name, int32_t value) override;
    bool writeText(const std::string& name, const std::string& value) override;

    // A store that cannot be opened (a key that cannot be created).
    void setOpenable(bool openable) { openable_ = openable; }

    std::map<std::string, Value> values;
    std::vector<std::string> visited;

private:
    bool openable_ = true;
    bool open_ = false;
};

}  // namespace clinora
