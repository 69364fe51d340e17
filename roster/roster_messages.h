#pragma once

// Every sentence the load and save passes hand to a person, so that the passes read as the steps
// they are and the wording can be reviewed (and one day translated) as a whole. Internal to the
// roster.
//
// A message is read first, often aloud by a screen reader: its first sentence names the file by
// its name and says what happened in plain words, naming up to three fields. The whole path, the
// system's own words, byte offsets and hex values go to the details.
#include "roster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin::messages {

// What is wrong with a file, for a person: the cause in plain words, the one thing to do about
// it, and what only the details show (the system's words, sizes, offsets).
struct Trouble {
    std::string problem; // empty when nothing is wrong
    std::string advice;
    std::string details;
};

// Whether the trouble met the file while it was being opened, or while it was being saved.
enum class Operation { Load, Save };

// The file layer's error, as a person is told it while loading or while saving.
Trouble FileTrouble(const FileError& error, Operation operation);
Trouble NotAPlainFile(const std::string& what, Operation operation);
Trouble TooShort(std::int64_t size, Operation operation);

LoadResult Refused(const std::string& path, const Trouble& trouble);
// The fields of the file that hold values no list entry stands for, and a line on each value.
LoadResult NotTheExpectedImage(const std::string& path,
                               const std::vector<const RosterSlot*>& fields,
                               const std::array<std::uint16_t, kRosterSlotCount>& values);

SaveResult NothingToSave();
SaveResult NothingWritten(const std::string& path, const Trouble& trouble);

// The file on disk is not what was last loaded or saved.
struct Conflict {
    bool loaded = true;    // false: nothing was loaded, so nothing could be compared
    bool sameFile = true;  // the identity still is the loaded file's
    std::int64_t size = 0; // now
    std::int64_t sizeWas = 0;
    std::vector<const RosterSlot*> outside; // fields holding values no list entry stands for
    std::vector<const RosterSlot*> changed; // fields holding other values than were known
    std::array<std::uint16_t, kRosterSlotCount> was{}, now{}; // the fields' values, known and now
};
SaveResult ChangedOnDisk(const std::string& path, const Conflict& conflict);

// A save that began to write, as the save pass found it once: the one cause a person is told
// (None: saved), the system's error that goes with it, and each field's fate. Every message about
// the save is made from this alone. A field is unchanged when it shows what the file held.
struct SaveOutcome {
    enum class Cause { None, Write, Flush, SizeChanged, SizeUnknown, ReadBack, ReadBackFailed };
    enum class Fate {
        NotWritten,    // the write was refused, or never made
        Written,       // the system took it but could not confirm that it reached the disk
        Confirmed,     // read back as written after the flush
        ReadOtherwise, // read back after the flush, and the storage gave other bytes
    };
    struct Field {
        std::uint16_t held = 0;  // in the file just before the writes, as far as it could be read
        std::uint16_t shown = 0; // what the window shows, and what is written
        bool tried = false;      // a write was made
        Fate fate = Fate::NotWritten;
        std::uint16_t readBack = 0; // for Confirmed and ReadOtherwise
        FileError error;            // why a write that was made was refused

        [[nodiscard]] bool changed() const { return shown != held; }
    };
    Cause cause = Cause::None;
    FileError error;                    // for Write, Flush, SizeUnknown, ReadBackFailed
    std::int64_t sizeWas = 0, size = 0; // for SizeChanged
    std::optional<ImageFile::ReadBack> way;
    std::array<Field, kRosterSlotCount> fields{};
};
// "Saved 3 changes to ..." or what went wrong, which fields are not (known to be) in the file,
// and how the fields were read back.
SaveResult Reported(const std::string& path, const SaveOutcome& outcome);

} // namespace kelvarin::messages
