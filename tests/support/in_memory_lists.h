#pragma once

#include "roster/roster.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace kelvarin {

// Selections kept in memory instead of in a window: for running the passes without one
// (benchmarks, fuzzing, tests). A list never set has no selection.
class InMemoryLists : public ListSelection {
  public:
    using Selections = std::map<std::string, std::int16_t, std::less<>>;

    [[nodiscard]] std::int16_t selectedIndex(std::string_view control) const override {
        const auto found = selections_.find(control);
        return found == selections_.end() ? std::int16_t{-1} : found->second;
    }
    void setSelectedIndex(std::string_view control, std::int16_t index) override {
        selections_.insert_or_assign(std::string(control), index);
        ++changes_;
    }

    [[nodiscard]] const Selections& all() const { return selections_; }
    // How many times a selection was set since construction.
    [[nodiscard]] int changes() const { return changes_; }

  private:
    Selections selections_;
    int changes_ = 0;
};

} // namespace kelvarin
