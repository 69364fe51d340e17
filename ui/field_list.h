#pragma once

#include <QComboBox>
#include <QRect>
#include <QString>

class QEvent;

namespace kelvarin {

// A drop-down list of the window that stands for one field. Assistive technology hears which
// field it is (its accessible name, such as "Gym 8, member 4, species") and the entry it shows
// (its value, such as "Luxray") as two things, on every platform and whatever the list shows.
// Qt's own interface for a combo box names it by its current entry on Linux once it has one,
// which leaves a screen reader nothing to tell 52 lists apart by.
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

  private:
    void announceEntry();

    QString shown_; // the entry last announced, for the text it replaces
    QObject* watchedPopup_ = nullptr;
    bool popupShown_ = false;
};

// Gives every FieldList its own accessible interface. Qt picks a widget's interface by its class
// name and keeps the first one it makes: called once at start-up, before any window is made.
void InstallFieldListAccessibility();

} // namespace kelvarin
