#pragma once

// Everything the window needs of the gym roster: the slot table, the list interface the passes
// talk to, what is remembered of the image between passes, and the load and save passes.
#include "image/image_file.h"
#include "roster_slot.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvarin {

// The only thing the passes know of the window: the selected entry of a drop-down list, named
// by its control name. -1 means no entry is selected.
class ListSelection {
  public:
    virtual ~ListSelection() = default;
    [[nodiscard]] virtual std::int16_t selectedIndex(std::string_view control) const = 0;
    virtual void setSelectedIndex(std::string_view control, std::int16_t index) = 0;
};

// What the image file was when it was last loaded or saved; empty before the first load. A save
// compares the file with it, so that values another program (or another window) put there since
// are not overwritten unseen.
struct ImageRecord {
    bool holdsImage = false; // false until a load succeeds
    FileIdentity identity;
    std::int64_t size = 0;
    std::int64_t modified = 0; // kept for reference only: touching a file is no conflict
    // The 92 field bytes as last known on disk, as the 46 little-endian values in table order.
    std::array<std::uint16_t, kRosterSlotCount> fields{};
    // What Kelvarin last tried to write to each field; the same as `fields` except after a save
    // that failed, when the disk may hold either. A field holding either was not changed by
    // another program.
    std::array<std::uint16_t, kRosterSlotCount> tried{};
};

enum class LoadStatus {
    Loaded,    // every selection, ImagePath and the record now show the file
    Cancelled, // no path was given (the dialog was cancelled): nothing changed
    Refused,   // the file could not be used: nothing changed, the message says why
};

enum class SaveStatus {
    Saved,         // all 46 fields are written and on the disk
    NothingToSave, // no image is open: no file was touched
    ChangedOnDisk, // the file is not what was loaded: nothing was written, the user decides
    Failed,        // the message says what was not written and why
};

enum class SaveMode {
    UnlessChanged, // write only if the file still is what the record says
    Overwrite,     // write all 46 fields as shown whatever the file holds now ("Save anyway")
};

// Messages come in three parts so that a window can keep its box small: `message` is one short
// paragraph saying what happened and what it means for the file, `advice` the one thing to do
// (for ChangedOnDisk, what "Save anyway" and "Cancel" do), and `details` one line per field
// concerned, empty when none is. File names are plain text, quoted, never markup.
struct LoadResult {
    LoadStatus status;
    std::string message; // empty unless Refused (the same for advice and details)
    std::string advice;
    std::string details;

    [[nodiscard]] bool loaded() const { return status == LoadStatus::Loaded; }
};

struct SaveResult {
    SaveStatus status;
    std::string message; // when Saved, the confirmation: "Saved 3 changes to gym-hack.nds."
    std::string advice;
    std::string details; // when Saved: empty, or that the read-back reached only the cache
    // When a save failed after it began to write: the fields that may not hold the shown value
    // on disk (all of them when nothing was written). Empty otherwise.
    std::vector<const RosterSlot*> unwritten;
    // How the save read its writes back, once it came so far: past the system's cache, after
    // the system dropped it, or (where the system offers neither) possibly from it.
    std::optional<ImageFile::ReadBack> readBack;

    [[nodiscard]] bool saved() const { return status == SaveStatus::Saved; }
};

// Reads the 46 roster fields of the image at `path` into the lists, under a shared lock. All or
// nothing: every field is read and checked against its list before any selection, ImagePath or
// the record changes.
LoadResult LoadRoster(const std::string& path, std::string& ImagePath, ListSelection& lists,
                      ImageRecord& record);

// Writes the 46 selections into the image named by ImagePath, in place, under an exclusive
// lock. With UnlessChanged, a file whose size or field bytes differ from the record gets nothing
// written and the result says what changed (ChangedOnDisk); a new identity alone (a file system
// that renumbers files, a card plugged in again) is no change. Never creates or extends a file,
// touches no byte outside the fields, and reports success only once the data is flushed to the
// disk, read back as written, and the file's size held still throughout. A successful save
// updates the record. A failed one that got past the check remembers what the file held just
// before its writes and what it tried to write, so that a later save takes neither for another
// program's change.
SaveResult SaveRoster(const std::string& ImagePath, const ListSelection& lists, ImageRecord& record,
                      SaveMode mode = SaveMode::UnlessChanged);

// How many bound lists show another value than the image held when Kelvarin last loaded it or
// saved into it: what closing the window or opening another image would lose. None while no
// image is loaded.
std::size_t PendingChanges(const ListSelection& lists, const ImageRecord& record);

// The name of the file at `path` as every sentence shows it: quoted, and isolated so that its
// own writing direction (an Arabic or Hebrew name, or a right-to-left override put into it to
// mislead) cannot turn the sentence around it; control characters in it are shown as symbols
// rather than obeyed.
std::string NameInSentence(const std::string& path);

// The words of the window's own boxes, from the same table as every message: the question before
// changes not saved are lost (by closing the window, or by opening another image), the caption of
// the button that writes over a file changed on disk, and a pass ended by an unexpected error.
struct LossWords {
    std::string question;
    std::string consequence; // what the other answer does to the changes
    std::string loseButton;
};
LossWords QuestionBeforeLosing(bool closing, const std::string& path, std::size_t changes);
std::string SaveAnywayCaption();
std::string UnexpectedTrouble(bool saving, const std::string& what);

// The conversions between a field's hex text in file order ("2A01": low byte first) and the
// selection index it stands for, a 16-bit two's-complement number: "2A01" <-> 298,
// "FFFF" <-> -1, "0080" <-> -32768. False for text that is not four hex digits.
bool SelectionFromFieldText(const std::string& fileOrderHex, std::int16_t& selection);
std::string FieldTextFromSelection(std::int16_t selection);

} // namespace kelvarin
