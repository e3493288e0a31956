#pragma once

#include <QSettings>
#include <memory>

#include "app/settings_store.h"

namespace clinora {

// The program's settings store: an INI file (SettingsFileFor says which).
class QtSettingsStore final : public SettingsStore {
public:
    explicit QtSettingsStore(const QString& iniFile);

    bool open() override;
    void close() override;
    bool readNumber(const std::string& name, int32_t& value) override;
    bool readText(const std::string& name, std::string& value) override;
    bool writeNumber(const std::string& name, int32_t value) override;
    bool writeText(const std::string& name, const std::string& value) override;

    QString fileName() const { return settings_->fileName(); }

private:
    std::unique_ptr<QSettings> settings_;
    bool open_ = false;
};

}  // namespace clinora
