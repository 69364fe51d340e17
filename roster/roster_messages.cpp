#include "roster_messages.h"

#include "image/hex_text.h"

namespace kelvarin::messages {
namespace {

constexpr const char* kSaveAnywayAdvice =
    "Save anyway writes all 46 fields as shown here over what the file holds now. Cancel writes "
    "nothing; open the file again to see what it holds now.";
constexpr const char* kCheckAndRetry = "Check the file and try again.";

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The cause in plain words, and the one useful thing to do, for each kind of file trouble.
Trouble ByKind(FileErrorKind kind, bool reading) {
    const std::string verb = reading ? "reading" : "writing";
    switch (kind) {
    case FileErrorKind::InUse:
        return {"another program is using the file",
                "Wait until the other program has finished with the file (or close it there), "
                "then try again."};
    case FileErrorKind::Missing:
        return {"the file does not exist any more",
                "Check that the disk or card is connected and the file is in its folder, then "
                "open it again."};
    case FileErrorKind::NotPlainFile:
        return {"it is not a plain file", "Open the game image file itself."};
    case FileErrorKind::NoSpace:
        return {"the disk is full",
                "Free some space on the disk or card that holds the file, then save again."};
    case FileErrorKind::ReadOnly:
        return {"the disk or card is read-only or write-protected",
                "Unlock the card (its write-protect switch) or make the disk writable, or open "
                "a copy of the image that lies on a writable disk."};
    case FileErrorKind::PermissionDenied:
        return {"you have no permission for " + verb + " this file",
                std::string("Check that you may ") + (reading ? "read" : "write") +
                    " the file, then try again."};
    case FileErrorKind::NotPermitted:
        return {"the file is marked as unchangeable",
                "Clear the mark that keeps the file from changing (on Windows \"Read-only\" in "
                "the file's Properties; on Linux the immutable or append-only attribute, with "
                "chattr -i -a), then save again."};
    case FileErrorKind::InputOutput:
        return {"the disk or card reported an error while " + verb,
                "Check the disk or card (it may be failing, or was removed) and keep a copy of "
                "the image elsewhere before you try again."};
    case FileErrorKind::Network:
        return {"the network share stopped answering",
                "Reconnect to the network share, then save again."};
    case FileErrorKind::None:
    case FileErrorKind::Other:
        break;
    }
    return {"the system reported a problem while " + verb, kCheckAndRetry};
}

std::string WithSystemText(const std::string& cause, const FileError& error) {
    return error.text.empty() ? cause : cause + " (" + error.text + ")";
}

std::string Fate(const SaveTrouble& trouble) {
    if (trouble.writes == 0) {
        return "Nothing was written.";
    }
    const std::string yours = Plural(trouble.changes, "change", "changes");
    if (!trouble.confirmed) {
        return trouble.changes == 0
                   ? "You had changed no field, but the fields Kelvarin rewrote may not all be on "
                     "the disk."
                   : "It is not known which of your " + yours + " are in the file.";
    }
    if (trouble.changes == 0) {
        return "You had changed no field; the file may still hold what it held before.";
    }
    if (trouble.changesMissing == 0) {
        return "All of your " + yours + " are in the file.";
    }
    if (trouble.changesMissing == trouble.changes) {
        return trouble.changes == 1 ? "Your change is not in the file."
                                    : "None of your " + yours + " is in the file.";
    }
    return std::to_string(trouble.changesMissing) + " of your " + yours +
           (trouble.changesMissing == 1 ? " is" : " are") +
           " not in the file (listed in the details), so it now holds some of the changes and not "
           "others.";
}

} // namespace

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

void AddLine(std::string& lines, const std::string& line) {
    lines += (lines.empty() ? "" : "\n") + line;
}

std::string ShownValue(const RosterSlot& slot, std::uint16_t value) {
    if (value == 0xFFFF) {
        return "no entry (0xFFFF)";
    }
    if (!FitsList(slot.kind, value)) {
        return HexNumber(value, 4) + " (outside the list)";
    }
    return slot.kind == SlotKind::Species ? std::string(kSpeciesEntries[value])
                                          : std::to_string(value);
}

std::string OutOfRange(const RosterSlot& slot, std::uint16_t stored) {
    return DescribeSlot(slot) + " holds " + HexNumber(stored, 4) + " (" + std::to_string(stored) +
           "); a " + SlotKindName(slot.kind) + " must be 0 to " +
           std::to_string(EntryCount(slot.kind) - 1) + ", or 0xFFFF for none";
}

std::string Unreadable(std::size_t badFields) {
    return Plural(badFields, "field holds a value", "fields hold values") +
           " that no list entry stands for";
}

std::string NotAFieldValue(const RosterSlot& slot, const std::string& text) {
    return SlotTitle(slot) + ": \"" + text + "\" is no field value";
}

Trouble NotAPlainFile(const std::string& what) {
    return {"it is " + what + ", not a game image file", "Open the game image file itself."};
}

Trouble TooShort(std::int64_t size) {
    return {"the file is too short to be the game image: it has " + std::to_string(size) +
                " bytes, but the gym teams end at byte " + std::to_string(kRosterEnd) + " (" +
                HexNumber(static_cast<std::uint64_t>(kRosterEnd)) + ")",
            "Open the complete game image; this file may be damaged or cut short."};
}

Trouble FileTrouble(const FileError& error, bool reading) {
    Trouble trouble = ByKind(error.kind, reading);
    if (error.kind == FileErrorKind::Missing) {
        trouble.problem = "the file does not exist";
        trouble.advice = "Check the file's name and folder, then open it again.";
    }
    trouble.problem = WithSystemText(trouble.problem, error);
    return trouble;
}

LoadResult Refused(const std::string& path, const std::string& problem, std::string advice,
                   std::string details) {
    return {LoadStatus::Refused,
            "Cannot load " + Quoted(path) + ": " + problem + ". Nothing was changed.",
            std::move(advice), std::move(details)};
}

LoadResult NotTheExpectedImage(const std::string& path, std::size_t badFields,
                               std::string details) {
    return Refused(path, Unreadable(badFields) + ", so it is probably not the expected game image",
                   "Open the game image whose gym teams you mean to edit; if this is it, it may "
                   "be damaged or of another version.",
                   std::move(details));
}

SaveResult NothingToSave() {
    return {SaveStatus::NothingToSave,
            "No game image is open, so there is nothing to save.",
            "Open a game image first.",
            {},
            {}};
}

std::string Saved(const std::string& path, std::size_t changes) {
    const std::string name = FileNameOf(path);
    if (changes == 0) {
        return "Saved " + name + "; it already held every value shown.";
    }
    return "Saved " + Plural(changes, "change", "changes") + " to " + name + ".";
}

SaveResult NothingWritten(const std::string& path, const Trouble& trouble) {
    return {SaveStatus::Failed,
            "Cannot save to " + Quoted(path) + ": " + trouble.problem + ". Nothing was written.",
            trouble.advice,
            {},
            {}};
}

std::string ChangedFieldLine(const RosterSlot& slot, std::uint16_t was, std::uint16_t now) {
    return SlotTitle(slot) + ": loaded " + ShownValue(slot, was) + ", now " + ShownValue(slot, now);
}

SaveResult ChangedOnDisk(const std::string& path, const Conflict& conflict) {
    std::string message;
    if (!conflict.loaded) {
        message = "Kelvarin has not loaded " + Quoted(path) +
                  ", so it cannot tell what saving would overwrite.";
    } else {
        message =
            conflict.sameFile
                ? Quoted(path) +
                      " was changed by another program since Kelvarin last loaded or saved it."
                : "It is a different file now: " + Quoted(path) +
                      " was replaced, re-linked or rebuilt since Kelvarin last loaded or "
                      "saved it.";
        if (conflict.size != conflict.sizeWas) {
            message += " It has " + std::to_string(conflict.size) + " bytes instead of " +
                       std::to_string(conflict.sizeWas) + ".";
        }
        if (conflict.outside > 0) {
            message +=
                " It is no longer a game image Kelvarin can read: " + Unreadable(conflict.outside) +
                ".";
        } else if (!conflict.fieldLines.empty()) {
            message += " " + Plural(conflict.fieldLines.size(), "field holds another value now.",
                                    "fields hold other values now.");
        }
    }
    std::string details;
    for (const std::string& line : conflict.fieldLines) {
        AddLine(details, line);
    }
    return {SaveStatus::ChangedOnDisk,
            message + " Nothing was written.",
            kSaveAnywayAdvice,
            std::move(details),
            {}};
}

std::string UnwrittenLine(const RosterSlot& slot, std::uint16_t shown, const FileError& error) {
    return SlotTitle(slot) + ": " + ShownValue(slot, shown) + " was not written (" + error.text +
           ")";
}

std::string UnconfirmedLine(const RosterSlot& slot, std::uint16_t shown) {
    return SlotTitle(slot) + ": " + ShownValue(slot, shown) + " may not be on the disk";
}

std::string ReadBackLine(const RosterSlot& slot, std::uint16_t wrote, std::uint16_t reads) {
    return SlotTitle(slot) + ": wrote " + ShownValue(slot, wrote) + ", the file reads " +
           ShownValue(slot, reads);
}

void FillFailedSave(SaveResult& result, const std::string& path, const SaveTrouble& trouble) {
    using Cause = SaveTrouble::Cause;
    result.status = SaveStatus::Failed;
    std::string cause;
    switch (trouble.cause) {
    case Cause::Write:
    case Cause::Flush:
    case Cause::ReadBackFailed: {
        const Trouble kind = ByKind(trouble.error.kind, trouble.cause == Cause::ReadBackFailed);
        cause = WithSystemText(kind.problem, trouble.error);
        if (trouble.cause == Cause::Flush) {
            cause = "the system could not confirm that the data reached the disk: " + cause;
        }
        result.advice = kind.advice;
        break;
    }
    case Cause::SizeChanged:
        cause = "the file's size changed from " + std::to_string(trouble.sizeWas) + " to " +
                std::to_string(trouble.size) +
                " bytes during the save, so another program changed it at the same time";
        result.advice = "Make sure no other program changes the file, open it again to see what "
                        "it holds now, and save again.";
        break;
    case Cause::SizeUnknown:
        cause = WithSystemText("the system could not tell the file's size after the save",
                               trouble.error);
        result.advice = kCheckAndRetry;
        break;
    case Cause::ReadBack:
        cause = "the disk or card did not keep what Kelvarin wrote: read back, the file holds "
                "other values";
        result.advice = "The storage did not keep the data: check the file, or restore it from a "
                        "copy, before you use it, and save to another disk or card.";
        break;
    }
    result.message = "Cannot save to " + Quoted(path) + ": " + cause + ". " + Fate(trouble);
    result.details = trouble.details;
}

} // namespace kelvarin::messages
