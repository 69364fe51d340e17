#pragma once

#include "roster/roster.h"

#include <array>
#include <string_view>

namespace kelvarin {

// The texts of the species list: entry 0 is the "unknown" entry, entries 1 to 493 the species
// in national index order. A stored species value is nothing but an index into this table.
extern const std::array<std::string_view, kSpeciesEntryCount> kSpeciesEntries;

} // namespace kelvarin
