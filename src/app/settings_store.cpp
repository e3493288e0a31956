#include "app/settings_store.h"

namespace clinora {

bool MemorySettingsStore::open() {
    open_ = openable_;
    return open_;
}

bool MemorySettingsStore::readNumber(const std::string& name, int32_t& value) {
    if (!open_) return false;
    visited.push_back(name);
    auto it = values.find(name);
    if (it == values.end() || !std::holds_alternative<int32_t>(it->second)) return false;
    value = std::get<int32_t>(it->second);
    return true;
}

bool MemorySettingsStore::readText(const std::string& name, std::string& value) {
    if (!open_) return false;
    visited.push_back(name);
    auto it = values.find(name);
    if (it == values.end() || !std::holds_alternative<std::string>(it->second)) return false;
    value = std::get<std::string>(it->second);
    return true;
}

bool MemorySettingsStore::writeNumber(const std::string& name, int32_t value) {
    if (!open_) return false;
    visited.push_back(name);
    values[name] = value;
    return true;
}

bool MemorySettingsStore::writeText(const std::string& name, const std::string& value) {
    if (!open_) return false;
    visited.push_back(name);
    values[name] = value;
    return true;
}

}  // namespace clinora
