#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <map>

namespace clinora {

class SettingsStore;

// Where the user left the program's windows, and its last page: kept in the
// settings store beside the settings ("Window/<name>" values), read when the
// main window is made and written when it goes. The main window owns the
// one object; its other windows find it through WindowPlaces::of.
class WindowPlaces : public QObject {
    Q_OBJECT
public:
    // Without a store the places are kept only while the program runs.
    explicit WindowPlaces(SettingsStore* store, QObject* parent = nullptr);

    void load();
    void save();

    // A window's geometry as QWidget::saveGeometry gives it; empty when unknown.
    QByteArray geometry(const QString& window) const;
    void setGeometry(const QString& window, const QByteArray& geometry);
    QString lastPage() const { return lastPage_; }
    void setLastPage(const QString& title) { lastPage_ = title; }

    // The places of the main window that `widget` belongs to (or is), if any.
    static WindowPlaces* of(const QWidget* widget);

private:
    SettingsStore* store_;
    std::map<QString, QByteArray> geometries_;
    QString lastPage_;
};

}  // namespace clinora
