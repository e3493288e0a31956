#include "gui/qt_settings_store.h"

namespace clinora {

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

bool QtSettingsStore::open() {
    settings_->sync();
    open_ = settings_->status() != QSettings::AccessError;
    return open_;
}

void QtSettingsStore::close() {
    if (open_) settings_->sync();
    open_ = false;
}

bool QtSettingsStore::readNumber(const std::string& name, int32_t& value) {
    const QVariant stored = settings_->value(QString::fromStdString(name));
    if (!open_ || !stored.isValid()) return false;
    bool ok = false;
    const int number = stored.toInt(&ok);
    if (ok) value = number;
    return ok;
}

bool QtSettingsStore::readText(const std::string& name, std::string& value) {
    const QVariant stored = settings_->value(QString::fromStdString(name));
    if (!open_ || !stored.isValid() || !stored.canConvert<QString>()) return false;
    value = stored.toString().toStdString();
    return true;
}

bool QtSettingsStore::writeNumber(const std::string& name, int32_t value) {
    if (!open_) return false;
    settings_->setValue(QString::fromStdString(name), value);
    return true;
}

bool QtSettingsStore::writeText(const std::string& name, const std::string& value) {
    if (!open_) return false;
    settings_->setValue(QString::fromStdString(name), QString::fromStdString(value));
    return true;
}

}  // namespace clinora
