#include "gui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include "gui/readout_label.h"

namespace clinora {
namespace {

// A read-out: its name says what it shows, its text is its value. The text
// is also offered read-only through the text interface, which is how the
// AT-SPI bridge hands a label's words to a screen reader.
class ReadoutAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReadoutAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        if (t == QAccessible::Value) return shown();
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // Read-only text: no selection, no cursor, no geometry per character.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QString shown() const { return static_cast<const QLabel*>(object())->text(); }
};

// A selector as Qt presents it (its popup list, the edit of an editable one,
// opening and closing as its action), its current entry as its value. A
// screen reader on AT-SPI reads a selector's name as what it shows, so a
// selector with an accessible name of its own is named by it and its current
// entry ("Units: Volts"); without one it is named by its current entry, as
// Qt does.
class SelectorAccessible final : public QAccessibleWidget {
public:
    explicit SelectorAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const QString choice =
            box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
        if (t == QAccessible::Value) return choice;
        if (t == QAccessible::Name) {
            const QString own = box()->accessibleName();
            if (own.isEmpty()) return choice;
            return choice.isEmpty() ? own : own + ": " + choice;
        }
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        if (child->object() == box()->view()) return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit()) return 1;
        return -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(object()); }
};

// Asked with each class name of an object's class chain, most derived first.
QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String(ReadoutLabel::staticMetaObject.className()))
        if (auto* label = qobject_cast<ReadoutLabel*>(object)) return new ReadoutAccessible(label);
    if (className == QLatin1String("QComboBox"))
        if (auto* box = qobject_cast<QComboBox*>(object)) return new SelectorAccessible(box);
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static bool installed = false;  // the user-interface thread only
    if (installed) return;
    installed = true;
    QAccessible::installFactory(&Factory);
}

}  // namespace clinora
