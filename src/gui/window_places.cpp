#include "gui/window_places.h"

#include <QWidget>
#include <string>

#include "app/settings_store.h"

namespace clinora {

namespace {

// The windows whose places are kept; each is a text value of hex digits.
const char* const kWindows[] = {"Main", "Residuals", "Trend"};
constexpr const char* kLastPageValue = "Window/LastPage";

std::string ValueName(const QString& window) { return "Window/" + window.toStdString(); }

}  // namespace

WindowPlaces::WindowPlaces(SettingsStore* store, QObject* parent) : QObject(parent), store_(store) {
    setObjectName("WindowPlaces");
}

void WindowPlaces::load() {
    if (!store_ || !store_->open()) return;
    for (const char* window : kWindows) {
        std::string hex;
        if (store_->readText(ValueName(window), hex))
            geometries_[window] = QByteArray::fromHex(QByteArray::fromStdString(hex));
    }
    std::string page;
    if (store_->readText(kLastPageValue, page)) lastPage_ = QString::fromStdString(page);
    store_->close();
}

void WindowPlaces::save() {
    if (!store_ || !store_->open()) return;
    for (const auto& [window, geometry] : geometries_)
        store_->writeText(ValueName(window), geometry.toHex().toStdString());
    if (!lastPage_.isEmpty()) store_->writeText(kLastPageValue, lastPage_.toStdString());
    store_->close();
}

QByteArray WindowPlaces::geometry(const QString& window) const {
    const auto it = geometries_.find(window);
    return it == geometries_.end() ? QByteArray() : it->second;
}

void WindowPlaces::setGeometry(const QString& window, const QByteArray& geometry) {
    if (!geometry.isEmpty()) geometries_[window] = geometry;
}

WindowPlaces* WindowPlaces::of(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* places = w->findChild<WindowPlaces*>("WindowPlaces", Qt::FindDirectChildrenOnly))
            return places;
    }
    return nullptr;
}

}  // namespace clinora
