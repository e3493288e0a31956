#pragma once

// The accessibility tree as a screen reader or UI automation meets it: walked
// through QAccessible (the tree the AT-SPI bridge serves), hidden widgets
// included, so the sheet's other pages are walked too. Offscreen the tree is
// built on demand; nothing needs to be switched on to query it.

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "gui/colour_box.h"
#include "gui/readout_label.h"

namespace clinora::testing {

struct AccessibleNode {
    QString path;  // roles and names from the root, for messages
    QAccessible::Role role = QAccessible::NoRole;
    QString name, value, description;
    QObject* object = nullptr;
};

// The roles the walk speaks of; `control`: a user operates or reads it, so
// it needs a name.
struct RoleInfo {
    QAccessible::Role role;
    const char* name;
    bool control;
};
inline constexpr RoleInfo kRoles[] = {
    {QAccessible::PushButton, "button", true},
    {QAccessible::ButtonMenu, "menu button", true},
    {QAccessible::ButtonDropDown, "drop-down button", true},
    {QAccessible::CheckBox, "check box", true},
    {QAccessible::RadioButton, "radio", true},
    {QAccessible::ComboBox, "selector", true},
    {QAccessible::SpinBox, "spin box", true},
    {QAccessible::Slider, "slider", true},
    {QAccessible::EditableText, "edit", true},
    {QAccessible::List, "list", true},
    {QAccessible::Tree, "tree", true},
    {QAccessible::Table, "table", true},
    {QAccessible::ProgressBar, "progress bar", true},
    {QAccessible::PageTab, "tab", true},
    {QAccessible::StaticText, "text", false},
    {QAccessible::Grouping, "group", false},
};

inline const RoleInfo* FindRole(QAccessible::Role role) {
    for (const RoleInfo& info : kRoles)
        if (info.role == role) return &info;
    return nullptr;
}
inline bool IsNamedControl(QAccessible::Role role) {
    const RoleInfo* info = FindRole(role);
    return info && info->control;
}
inline QString RoleName(QAccessible::Role role) {
    const RoleInfo* info = FindRole(role);
    return info ? QString(info->name) : QString("role %1").arg(int(role), 0, 16);
}

// Below these are their items (content), not controls of their own.
inline bool HoldsItems(QAccessible::Role role) {
    return role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table ||
           role == QAccessible::ComboBox;
}

inline void WalkAccessible(QAccessibleInterface* node, const QString& parentPath, int depth,
                           const std::function<void(const AccessibleNode&)>& visit) {
    if (!node || !node->isValid() || depth > 64) return;
    AccessibleNode n;
    n.role = node->role();
    n.name = node->text(QAccessible::Name);
    n.value = node->text(QAccessible::Value);
    n.description = node->text(QAccessible::Description);
    n.object = node->object();
    n.path = parentPath + "/" + RoleName(n.role) + " '" + n.name + "'";
    visit(n);
    if (HoldsItems(n.role)) return;
    for (int i = 0; i < node->childCount(); ++i)
        WalkAccessible(node->child(i), n.path, depth + 1, visit);
}

inline std::vector<AccessibleNode> AccessibleNodes(QWidget* root) {
    std::vector<AccessibleNode> nodes;
    WalkAccessible(QAccessible::queryAccessibleInterface(root), QString(), 0,
                   [&](const AccessibleNode& n) { nodes.push_back(n); });
    return nodes;
}

inline bool HasLetter(const QString& text) {
    for (QChar c : text)
        if (c.isLetter()) return true;
    return false;
}

// A colour that says something: anything but the box's resting colours.
inline bool SpeakingColour(const QColor& colour) {
    return colour != QPalette().color(QPalette::Button) && colour != colours::kLightGrey &&
           colour != colours::kWhite;
}

// The control takes its name only from the title of the group around it
// (Qt's last resort): the title says what the group is, not the control.
inline bool NamedByGroupOnly(const QWidget* widget, const QString& name) {
    if (!widget || !widget->accessibleName().isEmpty()) return false;
    const auto* group = qobject_cast<const QGroupBox*>(widget->parentWidget());
    if (!group || name != QString(group->title()).remove('&')) return false;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        if (QString(button->text()).remove('&') == name) return false;
    for (const QLabel* label : group->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->buddy() == widget) return false;
    return true;
}

// What breaks the rule, one line per node:
// - a control (button, edit, selector, check box, radio, list, progress bar,
//   tab) without a name, named only by its group's title, or (a selector) by
//   the entry it shows;
// - a read-out without a name of its own: a ReadoutLabel or ColourBox without
//   an accessible name (its text is its value), or a plain label whose text
//   has no letter (a number, dashes, blanks), which is a value, not a caption;
// - a colour box that shows no text but a telling colour and says nothing
//   about what the colour means;
// - a column header of a list with columns that has no name (the header may
//   show none, but a screen reader must say what the column holds).
inline QStringList AccessibilityFaults(QWidget* root) {
    QStringList faults;
    for (const AccessibleNode& n : AccessibleNodes(root)) {
        const QString where = n.path + (n.object ? QString(" [%1 %2]")
                                                       .arg(n.object->metaObject()->className(),
                                                            n.object->objectName())
                                                 : QString());
        auto* widget = qobject_cast<QWidget*>(n.object);
        if (IsNamedControl(n.role)) {
            if (n.name.trimmed().isEmpty())
                faults << "no name: " + where;
            else if (NamedByGroupOnly(widget, n.name))
                faults << "named by its group: " + where;
            else if (n.role == QAccessible::ComboBox && n.name == n.value)
                faults << "named by its entry: " + where;
        }
        if (n.role == QAccessible::Tree || n.role == QAccessible::Table) {
            QAccessibleInterface* view = QAccessible::queryAccessibleInterface(n.object);
            for (int i = 0; view && i < view->childCount(); ++i) {
                QAccessibleInterface* cell = view->child(i);
                if (cell && cell->role() == QAccessible::ColumnHeader &&
                    cell->text(QAccessible::Name).trimmed().isEmpty())
                    faults << QString("column %1 header without a name: ").arg(i) + where;
            }
        }
        if (n.role != QAccessible::StaticText) continue;
        if (auto* readout = qobject_cast<ReadoutLabel*>(n.object)) {
            if (readout->accessibleName().trimmed().isEmpty())
                faults << "read-out without a name: " + where;
            auto* box = qobject_cast<ColourBox*>(readout);
            if (box && box->text().trimmed().isEmpty() && n.description.trimmed().isEmpty() &&
                SpeakingColour(box->background()))
                faults << "colour without words: " + where;
        } else if (qobject_cast<QLabel*>(n.object) && !HasLetter(n.name)) {
            faults << "read-out named by its value: " + where;
        }
    }
    return faults;
}

}  // namespace clinora::testing
