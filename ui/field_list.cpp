#include "ui/field_list.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <utility>

namespace kelvarin {

namespace {

// The item of the drop-down list at `index`, as assistive technology meets it.
QAccessibleInterface* ItemOf(QAbstractItemView* view, const QModelIndex& index) {
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(view);
    QAccessibleTableInterface* table = shown != nullptr ? shown->tableInterface() : nullptr;
    return table != nullptr && index.isValid() ? table->cellAt(index.row(), index.column())
                                               : nullptr;
}

QModelIndex EntryIndex(const FieldList& list) {
    return list.model()->index(list.currentIndex(), list.modelColumn(), list.rootModelIndex());
}

// Qt tells assistive technology of a selection from 6.5 on.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
#define KELVARIN_SELECTION_INTERFACE

// A list's entry as its one selected item, the item of the drop-down list that shows it: a screen
// reader told that the selection changed speaks that item, as it does for the lists of other
// toolkits. Only the keys and the drop-down list pick an entry, so the selection cannot be set
// from outside.
class EntrySelection : public QAccessibleSelectionInterface {
  public:
    explicit EntrySelection(FieldList& list) : list_(list) {}

    int selectedItemCount() const override { return entryItem() != nullptr ? 1 : 0; }
    QList<QAccessibleInterface*> selectedItems() const override {
        QAccessibleInterface* item = entryItem();
        return item != nullptr ? QList<QAccessibleInterface*>{item}
                               : QList<QAccessibleInterface*>{};
    }
    bool select(QAccessibleInterface* /*item*/) override { return false; }
    bool unselect(QAccessibleInterface* /*item*/) override { return false; }
    bool selectAll() override { return false; }
    bool clear() override { return false; }

  private:
    // None while no entry is selected.
    QAccessibleInterface* entryItem() const { return ItemOf(list_.view(), EntryIndex(list_)); }

    FieldList& list_;
};
#else
class EntrySelection {
  public:
    explicit EntrySelection(FieldList& /*list*/) {}
};
#endif

// What assistive technology is told of a FieldList: a combo box named by its field whose value,
// and whose only text, is the entry it shows. The text is read-only: only picking from the
// drop-down list changes it, and that list is the one child, as in Qt's own interface.
// Screen readers that read a combo box's value from its text (Orca, over AT-SPI) find it there.
// Where Qt can tell of a selection, the entry is also the list's selection.
class FieldListInterface final : public QAccessibleWidget,
                                 public QAccessibleTextInterface,
                                 public EntrySelection {
  public:
    explicit FieldListInterface(FieldList* list)
        : QAccessibleWidget(list, QAccessible::ComboBox), EntrySelection(*list) {}

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

    void* interface_cast(QAccessible::InterfaceType type) override;

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

void* FieldListInterface::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
#ifdef KELVARIN_SELECTION_INTERFACE
    if (type == QAccessible::SelectionInterface) {
        return static_cast<QAccessibleSelectionInterface*>(this);
    }
#endif
    return QAccessibleWidget::interface_cast(type);
}

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
    // Looked up rather than made: the drop-down list is built on first use.
    const auto* shown = findChild<QAbstractItemView*>();
    return shown != nullptr && shown->isVisible();
}

void FieldList::showPopup() {
    if (watchedView_ == nullptr) {
        watchedView_ = view();
        watchedView_->installEventFilter(this);
    }
    QComboBox::showPopup();
}

bool FieldList::eventFilter(QObject* watched, QEvent* event) {
    // The open list takes the focus, and Qt tells assistive technology that the list has it; the
    // item it starts on is told next, queued after that, so that a screen reader says which entry
    // is current, not only how many there are. Not when the screen reader was pointed at that
    // item while the list was closed: it does not speak an item twice, and its focus moved on to
    // the list would leave it only the news that the list opened.
    if (watched == watchedView_ && event->type() == QEvent::FocusIn &&
        view()->currentIndex() != heardAsItem_) {
        QMetaObject::invokeMethod(
            this, [this] { focusItem(view()->currentIndex()); }, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(watched, event);
}

void FieldList::focusInEvent(QFocusEvent* event) {
    heardAsItem_ = QPersistentModelIndex();
    QComboBox::focusInEvent(event);
}

// The shown entry is the interface's text, so a new one replaces it as text too: screen readers
// and braille displays that keep the text of the focused control follow it.
void FieldList::announceEntry() {
    const QString entry = currentText();
    if (entry == shown_) {
        return;
    }
    const QString replaced = std::exchange(shown_, entry);
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleTextUpdateEvent update(this, 0, replaced, entry);
    QAccessible::updateAccessibility(&update);
#ifndef KELVARIN_SELECTION_INTERFACE
    // Qt 6.4 cannot tell of a selected entry. A closed list changed by key (or by the wheel) makes
    // its new entry the drop-down list's current item, which Qt 6.4's list tells assistive
    // technology has the focus, as for Qt's own search by typed letters: a screen reader follows.
    if (hasFocus() && !popupShown()) {
        view()->setCurrentIndex(EntryIndex(*this));
        heardAsItem_ = view()->currentIndex();
    }
#endif
}

void FieldList::focusItem(const QModelIndex& item) {
    if (QAccessibleInterface* shown = ItemOf(view(), item)) {
        QAccessibleEvent focus(shown, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

} // namespace kelvarin
