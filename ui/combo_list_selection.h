#pragma once

#include "roster/roster.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QComboBox;

namespace kelvarin {

// Lets the load and save passes reach the window's drop-down lists by control name.
class ComboListSelection final : public ListSelection {
  public:
    void bind(std::string_view control, QComboBox* list);

    // The list bound to `control`, or nullptr.
    [[nodiscard]] QComboBox* find(std::string_view control) const;
    [[nodiscard]] std::size_t size() const { return lists_.size(); }

    // A name that is bound to no list reads as "nothing selected" and ignores writes; every
    // name of the roster table is bound when the window is built.
    [[nodiscard]] std::int16_t selectedIndex(std::string_view control) const override;
    void setSelectedIndex(std::string_view control, std::int16_t index) override;

  private:
    std::vector<std::pair<std::string, QComboBox*>> lists_;
};

} // namespace kelvarin
