#pragma once

#include <QComboBox>
#include <QPersistentModelIndex>
#include <QRect>
#include <QString>

class QEvent;
class QFocusEvent;

namespace kelvarin {

// A drop-down list of the window that stands for one field. Assistive technology hears which
// field it is (its accessible name, such as "Gym 8, member 4, species") and the entry it shows
// (its value, such as "Luxray") as two things, on every platform and whatever the list shows.
// Qt's own interface for a combo box names it by its current entry on Linux once it has one,
// which leaves a screen reader nothing to tell 52 lists apart by.
//
// Screen readers speak a list's entry as it changes by key only when they are told of it as an
// item of the drop-down list, also while that list is closed: as the list's selection, or (Qt
// 6.4, which cannot tell of one) as the item with the focus. Opening the list points them at its
// current item.
class FieldList final : public QComboBox {
    Q_OBJECT

  public:
    explicit FieldList(QWidget* parent = nullptr);

    // Where the current entry is drawn, in the list's own coordinates.
    [[nodiscard]] QRect entryRect() const;
    // Whether the drop-down list is open.
    [[nodiscard]] bool popupShown() const;

    void showPopup() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void announceEntry();
    void focusItem(const QModelIndex& item);

    QString shown_; // the entry last announced, for the text it replaces
    QObject* watchedView_ = nullptr;
    // The item a screen reader was pointed at while the list was closed, until the list gets the
    // keyboard focus again.
    QPersistentModelIndex heardAsItem_;
};

// Gives every FieldList its own accessible interface (through InstallAccessibleInterfaces).
void InstallFieldListAccessibility();

} // namespace kelvarin
