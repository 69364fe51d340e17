#pragma once

// Every sentence the load and save passes hand to a person, so that the passes read as the steps
// they are and the wording can be reviewed (and one day translated) as a whole. Internal to the
// roster.
#include "roster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin::messages {

// What is wrong with a file, for a person, and the one thing to do about it.
struct Trouble {
    std::string problem; // empty when nothing is wrong
    std::string advice;
};

std::string Quoted(const std::string& path);

// A stored value as the slot's list shows it ("Cherubi", "42"), or the number it is.
std::string ShownValue(const RosterSlot& slot, std::uint16_t value);

std::string OutOfRange(const RosterSlot& slot, std::uint16_t stored);
std::string Unreadable(std::size_t badFields);
std::string NotAFieldValue(const RosterSlot& slot, const std::string& text);

Trouble NotAPlainFile(const std::string& what);
Trouble TooShort(std::int64_t size);
// The file layer's error, for the file being opened for reading or for writing.
Trouble FileTrouble(const FileError& error, bool reading);

LoadResult Refused(const std::string& path, const std::string& problem, std::string advice,
                   std::string details = {});
LoadResult NotTheExpectedImage(const std::string& path, std::size_t badFields, std::string details);

SaveResult NothingToSave();
// What a successful save tells a person: how many of the shown values were changes.
std::string Saved(const std::string& path, std::size_t changes);
SaveResult NothingWritten(const std::string& path, const Trouble& trouble);

// The file on disk is not what was last loaded or saved.
struct Conflict {
    bool loaded = true;    // false: nothing was loaded, so nothing could be compared
    bool sameFile = true;  // the identity still is the loaded file's
    std::int64_t size = 0; // now
    std::int64_t sizeWas = 0;
    std::size_t outside = 0; // fields holding values no list entry stands for
    std::vector<std::string> fieldLines;
};
std::string ChangedFieldLine(const RosterSlot& slot, std::uint16_t was, std::uint16_t now);
SaveResult ChangedOnDisk(const std::string& path, const Conflict& conflict);

// What became of a save that began writing and did not end well.
struct SaveTrouble {
    enum class Cause { Write, Flush, SizeChanged, SizeUnknown, ReadBack, ReadBackFailed };
    Cause cause = Cause::Write;
    FileError error;                    // for Write, Flush, SizeUnknown, ReadBackFailed
    std::int64_t sizeWas = 0, size = 0; // for SizeChanged
    std::size_t writes = 0;             // fields whose write the system accepted
    std::size_t changes = 0;            // fields whose shown value differed from the file's
    std::size_t changesMissing = 0;     // of those, how many are not (known to be) in the file
    bool confirmed = true;              // false: the system could not say what reached the disk
    std::string details;
};
std::string UnwrittenLine(const RosterSlot& slot, std::uint16_t shown, const FileError& error);
std::string UnconfirmedLine(const RosterSlot& slot, std::uint16_t shown);
std::string ReadBackLine(const RosterSlot& slot, std::uint16_t wrote, std::uint16_t reads);
void AddLine(std::string& lines, const std::string& line);
void FillFailedSave(SaveResult& result, const std::string& path, const SaveTrouble& trouble);

} // namespace kelvarin::messages
