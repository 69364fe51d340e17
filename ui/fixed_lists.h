#pragma once

#include <QStringList>

class QAbstractItemModel;
class QObject;
class QStringListModel;

namespace kelvarin {

// The texts shown by the drop-down lists. They never change while the program runs.
QStringList SpeciesListEntries(); // 494 entries, "??????????" first
QStringList LevelListEntries();   // "0" ... "100"
inline const QString kSpeciesPlaceholderEntry = QStringLiteral("??????????");
inline const QString kLevelPlaceholderEntry = QStringLiteral("???");

// One model per kind of list, filled once and shared by every list of that kind: 23 species
// lists showing one model cost one copy of the 494 names instead of 23.
class FixedListModels {
  public:
    explicit FixedListModels(QObject* owner);

    [[nodiscard]] QStringList speciesEntries() const;
    [[nodiscard]] QStringList levelEntries() const;

    [[nodiscard]] QAbstractItemModel* species() const;
    [[nodiscard]] QAbstractItemModel* level() const;
    [[nodiscard]] QAbstractItemModel* speciesPlaceholder() const;
    [[nodiscard]] QAbstractItemModel* levelPlaceholder() const;

  private:
    QStringListModel* species_;
    QStringListModel* level_;
    QStringListModel* speciesPlaceholder_;
    QStringListModel* levelPlaceholder_;
};

} // namespace kelvarin
