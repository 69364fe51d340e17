#include "ui/field_list.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace kelvarin {

namespace {

// What assistive technology is told of a FieldList: a combo box named by its field whose value,
// and whose only text, is the entry it shows. The text is read-only: only picking from the
// drop-down list changes it, and that list is the one child, as in Qt's own interface.
// Screen readers that read a combo box's value from its text (Orca, over AT-SPI) find it there.
class FieldListInterface final : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit FieldListInterface(FieldList* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return list()->currentText();
        }
        // The name is the widget's accessible name, the field; the description its accessible
        // description.
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->popupShown();
        return state;
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        // Looked up rather than made: the drop-down list is built on first use.
        const auto* view = list()->findChild<QAbstractItemView*>();
        return child != nullptr && view != nullptr && child->object() == view ? 0 : -1;
    }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override {
        return nullptr; // the closed list shows no part of its child
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    // Opening and closing the drop-down list, as a click does, then what any widget offers.
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (!list()->isEnabled()) {
            return;
        }
        if (list()->popupShown()) {
            list()->hidePopup();
        } else {
            list()->showPopup();
        }
    }

    // The entry as read-only text, without a caret or a selection.
    void selection(int /*index*/, int* start, int* end) const override {
        *start = 0;
        *end = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int /*start*/, int /*end*/) override {}
    void removeSelection(int /*index*/) override {}
    void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    void scrollToSubstring(int /*start*/, int /*end*/) override {}

    QString text(int start, int end) const override {
        const QString entry = list()->currentText();
        const auto length = static_cast<int>(entry.size());
        // A negative end stands for the end of the text.
        end = end < 0 ? length : std::min(end, length);
        start = std::clamp(start, 0, end);
        return entry.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(list()->currentText().size()); }

    // In screen coordinates, for magnifiers and for a pointer that follows the review cursor.
    QRect characterRect(int offset) const override {
        const QString entry = list()->currentText();
        if (offset < 0 || offset >= entry.size()) {
            return {};
        }
        const QFontMetrics metrics = list()->fontMetrics();
        const QRect field = list()->entryRect();
        const QPoint topLeft(field.left() + metrics.horizontalAdvance(entry, offset),
                             field.top() + (field.height() - metrics.height()) / 2);
        return {list()->mapToGlobal(topLeft),
                QSize(metrics.horizontalAdvance(entry.at(offset)), metrics.height())};
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = list()->mapFromGlobal(point);
        const QRect field = list()->entryRect();
        if (!field.contains(local)) {
            return -1;
        }
        const QString entry = list()->currentText();
        const QFontMetrics metrics = list()->fontMetrics();
        for (int offset = 0; offset < entry.size(); ++offset) {
            if (local.x() < field.left() + metrics.horizontalAdvance(entry, offset + 1)) {
                return offset;
            }
        }
        return -1;
    }
    // One run of text without attributes of its own.
    QString attributes(int /*offset*/, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

  private:
    FieldList* list() const { return static_cast<FieldList*>(widget()); }
};

QAccessibleInterface* FieldListInterfaceFor(const QString& className, QObject* object) {
    if (className == QLatin1String(FieldList::staticMetaObject.className())) {
        if (auto* list = qobject_cast<FieldList*>(object)) {
            return new FieldListInterface(list);
        }
    }
    return nullptr;
}

} // namespace

void InstallFieldListAccessibility() {
    QAccessible::installFactory(&FieldListInterfaceFor);
}

FieldList::FieldList(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, &FieldList::announceEntry);
}

QRect FieldList::entryRect() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                   this);
}

bool FieldList::popupShown() const {
    return popupShown_;
}

void FieldList::showPopup() {
    if (watchedPopup_ == nullptr) {
        // The drop-down list's own window, which also closes without hidePopup(): by a click
        // elsewhere, or when the window loses the focus.
        watchedPopup_ = view()->window();
        watchedPopup_->installEventFilter(this);
    }
    QComboBox::showPopup();
}

bool FieldList::eventFilter(QObject* watched, QEvent* event) {
    // Kept from the window's own events: while it hides, it still counts as visible.
    if (watched == watchedPopup_ && !event->spontaneous() &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        popupShown_ = event->type() == QEvent::Show;
        QAccessible::State changed;
        changed.expanded = true;
        QAccessibleStateChangeEvent expanded(this, changed);
        QAccessible::updateAccessibility(&expanded);
    }
    return QComboBox::eventFilter(watched, event);
}

// The shown entry is the interface's text, so a new one replaces it as text too: screen readers
// and braille displays that keep the text of the focused control follow it.
void FieldList::announceEntry() {
    const QString entry = currentText();
    if (entry == shown_) {
        return;
    }
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent replaced(this, 0, shown_, entry);
        QAccessible::updateAccessibility(&replaced);
    }
    shown_ = entry;
}

} // namespace kelvarin
