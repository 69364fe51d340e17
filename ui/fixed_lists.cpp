#include "ui/fixed_lists.h"

#include "roster/roster.h"
#include "ui/pokemon_names.h"
#include "ui/window_layout.h"

#include <QStringListModel>

namespace kelvarin {

QStringList SpeciesListEntries() {
    QStringList entries;
    entries.reserve(kSpeciesEntryCount);
    for (std::string_view name : kSpeciesEntries) {
        entries.append(ToQString(name));
    }
    return entries;
}

QStringList LevelListEntries() {
    QStringList entries;
    entries.reserve(kLevelEntryCount);
    for (int level = 0; level < kLevelEntryCount; ++level) {
        entries.append(QString::number(level));
    }
    return entries;
}

FixedListModels::FixedListModels(QObject* owner)
    : species_(new QStringListModel(SpeciesListEntries(), owner)),
      level_(new QStringListModel(LevelListEntries(), owner)),
      speciesPlaceholder_(new QStringListModel({kSpeciesPlaceholderEntry}, owner)),
      levelPlaceholder_(new QStringListModel({kLevelPlaceholderEntry}, owner)) {}

QStringList FixedListModels::speciesEntries() const {
    return species_->stringList();
}
QStringList FixedListModels::levelEntries() const {
    return level_->stringList();
}

QAbstractItemModel* FixedListModels::species() const {
    return species_;
}
QAbstractItemModel* FixedListModels::level() const {
    return level_;
}
QAbstractItemModel* FixedListModels::speciesPlaceholder() const {
    return speciesPlaceholder_;
}
QAbstractItemModel* FixedListModels::levelPlaceholder() const {
    return levelPlaceholder_;
}

} // namespace kelvarin
