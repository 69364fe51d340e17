#include "ui/command_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>

namespace kelvarin {

namespace {

// A push button as assistive technology sees it: named by its caption, pressed by its Press
// action, and with its shortcut both as that action's key and as its accelerator, which is
// what UI Automation reports as the button's key.
class CommandButtonInterface final : public QAccessibleWidget {
  public:
    explicit CommandButtonInterface(CommandButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Accelerator) {
            return shortcut();
        }
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            text = button()->text();
            text.remove(QLatin1Char('&'));
        }
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
        } else if (button()->isEnabled()) {
            // As Qt's own buttons do: the press shows, and the click comes after the call has
            // returned, so that assistive technology is not kept waiting by a dialog it opens.
            button()->animateClick();
        }
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return action == pressAction() ? QStringList{shortcut()} : QStringList();
    }

  private:
    CommandButton* button() const { return static_cast<CommandButton*>(widget()); }
    QString shortcut() const { return button()->shortcut().toString(QKeySequence::NativeText); }
};

QAccessibleInterface* CommandButtonInterfaceFor(const QString& className, QObject* object) {
    if (className == QLatin1String(CommandButton::staticMetaObject.className())) {
        if (auto* button = qobject_cast<CommandButton*>(object)) {
            return new CommandButtonInterface(button);
        }
    }
    return nullptr;
}

} // namespace

void InstallCommandButtonAccessibility() {
    QAccessible::installFactory(&CommandButtonInterfaceFor);
}

} // namespace kelvarin
