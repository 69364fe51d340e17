#include "ui/combo_list_selection.h"

#include <QComboBox>

#include <algorithm>

namespace kelvarin {

void ComboListSelection::bind(std::string_view control, QComboBox* list) {
    lists_.emplace_back(std::string(control), list);
}

QComboBox* ComboListSelection::find(std::string_view control) const {
    const auto found = std::find_if(lists_.begin(), lists_.end(), [control](const auto& entry) {
        return entry.first == control;
    });
    return found == lists_.end() ? nullptr : found->second;
}

std::int16_t ComboListSelection::selectedIndex(std::string_view control) const {
    const QComboBox* list = find(control);
    return list == nullptr ? std::int16_t{-1} : static_cast<std::int16_t>(list->currentIndex());
}

void ComboListSelection::setSelectedIndex(std::string_view control, std::int16_t index) {
    if (QComboBox* list = find(control)) {
        list->setCurrentIndex(index);
    }
}

} // namespace kelvarin
