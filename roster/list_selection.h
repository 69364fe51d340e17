#pragma once

#include <cstdint>
#include <string_view>

namespace kelvarin {

// The only thing the passes know of the window: the selected entry of a drop-down list, named
// by its control name. -1 means no entry is selected.
class ListSelection {
  public:
    virtual ~ListSelection() = default;
    [[nodiscard]] virtual std::int16_t selectedIndex(std::string_view control) const = 0;
    virtual void setSelectedIndex(std::string_view control, std::int16_t index) = 0;
};

} // namespace kelvarin
