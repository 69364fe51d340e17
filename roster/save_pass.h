#pragma once

#include "list_selection.h"
#include "roster_slot.h"

#include <string>
#include <vector>

namespace kelvarin {

enum class SaveStatus {
    Saved,         // all 46 fields are written and on the disk
    NothingToSave, // no image is open: no file was touched
    Failed,        // `message` says which fields were not written and why
};

struct SaveResult {
    SaveStatus status;
    std::string message;                      // empty when Saved
    std::vector<const RosterSlot*> unwritten; // fields that may not hold the shown value on disk

    [[nodiscard]] bool saved() const { return status == SaveStatus::Saved; }
};

// Writes the 46 selections into the image named by ImagePath, in place. Never creates or extends
// a file, touches no byte outside the fields, and reports success only once the data is flushed
// to the disk.
SaveResult SaveRoster(const std::string& ImagePath, const ListSelection& lists);

} // namespace kelvarin
