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

// A stored value as the slot's list shows it ("Cherubi", "42"), or the number it is.
std::string ShownValue(const RosterSlot& slot, std::uint16_t value);
std::string OutOfRange(const RosterSlot& slot, std::uint16_t stored);

void AddLine(std::string& lines, const std::string& line);

LoadResult Refused(const std::string& path, const Trouble& trouble);
// The fields of the file that hold values no list entry stands for, and a line on each.
LoadResult NotTheExpectedImage(const std::string& path,
                               const std::vector<const RosterSlot*>& fields,
                               const std::string& lines);

SaveResult NothingToSave();
SaveResult NothingWritten(const std::string& path, const Trouble& trouble);
// What a successful save tells a person: how many of the shown values were changes.
std::string Saved(const std::string& path, std::size_t changes);

// The file on disk is not what was last loaded or saved.
struct Conflict {
    bool loaded = true;    // false: nothing was loaded, so nothing could be compared
    bool sameFile = true;  // the identity still is the loaded file's
    std::int64_t size = 0; // now
    std::int64_t sizeWas = 0;
    std::vector<const RosterSlot*> outside; // fields holding values no list entry stands for
    std::vector<const RosterSlot*> changed; // fields holding other values than were known
    std::string lines;                      // one line on each changed field
};
std::string ChangedFieldLine(const RosterSlot& slot, std::uint16_t was, std::uint16_t now);
SaveResult ChangedOnDisk(const std::string& path, const Conflict& conflict);

// What became of a save that began writing and did not end well.
struct SaveTrouble {
    enum class Cause { Write, Flush, SizeChanged, SizeUnknown, ReadBack, ReadBackFailed };
    Cause cause = Cause::Write;
    FileError error;                        // for Write, Flush, SizeUnknown, ReadBackFailed
    std::int64_t sizeWas = 0, size = 0;     // for SizeChanged
    std::size_t writes = 0;                 // fields whose write the system accepted
    std::size_t changes = 0;                // fields whose shown value differed from the file's
    std::vector<const RosterSlot*> missing; // changed fields not (known to be) in the file
    bool confirmed = true;                  // false: the system could not say what reached the disk
    std::string lines;                      // one line on each field concerned
};
std::string UnwrittenLine(const RosterSlot& slot, std::uint16_t shown, const FileError& error);
std::string UnconfirmedLine(const RosterSlot& slot, std::uint16_t shown);
std::string ReadBackLine(const RosterSlot& slot, std::uint16_t wrote, std::uint16_t reads);
SaveResult FailedSave(const std::string& path, const SaveTrouble& trouble);

} // namespace kelvarin::messages
