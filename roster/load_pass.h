#pragma once

#include "list_selection.h"

#include <string>

namespace kelvarin {

enum class LoadStatus {
    Loaded,    // every selection and ImagePath now show the file
    Cancelled, // no path was given (the dialog was cancelled): nothing changed
    Refused,   // the file could not be used: nothing changed, `message` says why
};

struct LoadResult {
    LoadStatus status;
    std::string message; // empty unless Refused

    [[nodiscard]] bool loaded() const { return status == LoadStatus::Loaded; }
};

// Reads the 46 roster fields of the image at `path` into the lists. All or nothing: every field
// is read and checked against its list before any selection or ImagePath changes.
LoadResult LoadRoster(const std::string& path, std::string& ImagePath, ListSelection& lists);

} // namespace kelvarin
