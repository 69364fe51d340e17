#include "roster_messages.h"

#include "image/hex_text.h"

#include <algorithm>

namespace kelvarin::messages {
namespace {

// The cause of each kind of file trouble in plain words, and the one useful thing to do, as met
// while opening a file and while saving into it. Nothing else in the program says these things.
struct KindWords {
    FileErrorKind kind;
    const char* loadCause;
    const char* saveCause; // null: as when loading
    const char* loadAdvice;
    const char* saveAdvice;
};

// clang-format off
constexpr KindWords kKindWords[] = {
    {FileErrorKind::InUse, "another program is using the file", nullptr,
     "Wait until the other program has finished with the file (or close it there), then open it again.",
     "Wait until the other program has finished with the file (or close it there), then save again."},
    {FileErrorKind::Missing, "the file does not exist", "the file does not exist any more",
     "Check the file's name and folder, then open it again.",
     "Check that the disk or card is connected and the file is still in its folder, then save again."},
    {FileErrorKind::MediumGone, "the disk or card that holds the file is not there or not ready", nullptr,
     "Insert the card or connect the disk, then open the file again.",
     "Put the card back in or connect the disk again, then save again; your changes are still shown here."},
    {FileErrorKind::NotPlainFile, "it is not a plain file", nullptr,
     "Open the game image file itself.",
     "Put the game image file back where it was, then save again; your changes are still shown here."},
    {FileErrorKind::NoSpace, "the disk is full", nullptr,
     "Free some space on the disk or card that holds the file, then open it again.",
     "Free some space on the disk or card that holds the file, then save again."},
    {FileErrorKind::QuotaExceeded, "your share of the disk (your quota) is used up", nullptr,
     "Delete some of your files on that disk, or ask its administrator for a larger quota, then open the file again.",
     "Delete some of your files on that disk, or ask its administrator for a larger quota, then save again."},
    {FileErrorKind::FileTooLarge, "the file is larger than the disk or the system allows", nullptr,
     "Copy the image to a disk that takes files this large (NTFS, exFAT or ext4 rather than FAT32), then open the copy.",
     "Raise the file-size limit Kelvarin runs under (ulimit -f), or copy the image to a disk that takes files this large (NTFS, exFAT or ext4 rather than FAT32), open the copy and save again."},
    {FileErrorKind::ReadOnly, "the disk or card is read-only or write-protected", nullptr,
     "Open a copy of the image that lies on a readable, writable disk.",
     "Unlock the card (its write-protect switch) or make the disk writable, or open a copy of the image that lies on a writable disk."},
    {FileErrorKind::PermissionDenied, "you have no permission for reading this file", "you have no permission for writing this file",
     "Check that you may read the file (its permissions or owner), then open it again.",
     "Check that you may write to the file (its permissions or owner), then save again."},
    {FileErrorKind::NotPermitted, "the file is marked as unchangeable", nullptr,
     "Check the file's attributes, then open it again.",
     "Clear the mark that keeps the file from changing (on Windows \"Read-only\" in the file's Properties; on Linux the immutable or append-only attribute, with chattr -i -a), then save again."},
    {FileErrorKind::InputOutput, "the disk or card reported an error", nullptr,
     "Check the disk or card (it may be failing, or was removed) and copy the image to another disk before you open it again.",
     "Check the disk or card (it may be failing, or was removed) and keep a copy of the image elsewhere before you save again."},
    {FileErrorKind::Network, "the network share stopped answering", nullptr,
     "Reconnect to the network share, then open the file again.",
     "Reconnect to the network share, then save again."},
    {FileErrorKind::StoppedAnswering, "the disk or share that holds the file stopped answering", nullptr,
     "Connect the disk or card again, or reconnect to the share, then open the file again.",
     "Connect the disk or card again, or reconnect to the share, then save again; your changes are still shown here."},
    {FileErrorKind::NetworkPathMissing, "the network share or the computer named in the file's path cannot be found", nullptr,
     "Check the share's name and that the computer sharing it is on, then open the file again.",
     "Check that the share is there again under the same name, then save again."},
    {FileErrorKind::CloudUnavailable, "the program that syncs the file's folder (OneDrive or another) cannot provide the file now", nullptr,
     "Start the sync program and let it connect, or make the file available on this device (in Explorer, right-click it and choose \"Always keep on this device\"), then open it again; or move the image out of the synced folder.",
     "Start the sync program and let it connect, or make the file available on this device (in Explorer, right-click it and choose \"Always keep on this device\"), then save again; or move the image out of the synced folder. Your changes are still shown here."},
    {FileErrorKind::CloudSyncing, "the program that syncs the file's folder (OneDrive or another) is busy with the file", nullptr,
     "Wait until the sync program has finished with the file, then open it again; if this keeps happening, move the image out of the synced folder.",
     "Wait until the sync program has finished with the file, then save again; if this keeps happening, move the image out of the synced folder. Your changes are still shown here."},
    {FileErrorKind::Other, "the system reported a problem with the file", nullptr,
     "Check the file, then open it again.",
     "Check the file and the disk it lies on, then save again."},
};
// clang-format on

// A kind of trouble's cause and advice, as met while loading or while saving.
Trouble Words(FileErrorKind kind, Operation operation) {
    const auto found = std::find_if(std::begin(kKindWords), std::end(kKindWords),
                                    [kind](const KindWords& words) { return words.kind == kind; });
    const KindWords& words = found != std::end(kKindWords) ? *found : std::end(kKindWords)[-1];
    const bool save = operation == Operation::Save;
    return {save && words.saveCause ? words.saveCause : words.loadCause,
            save ? words.saveAdvice : words.loadAdvice,
            {}};
}

constexpr const char* kSaveAnyway = "Save anyway";

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void AddLine(std::string& lines, const std::string& line) {
    if (!line.empty()) {
        lines += (lines.empty() ? "" : "\n") + line;
    }
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

// First strong isolate and pop directional isolate: the name between them is laid out on its
// own, and whatever direction it takes ends with it.
constexpr const char* kIsolateStart = "\u2068";
constexpr const char* kIsolateEnd = "\u2069";

// A name's control characters as symbols: C0 ones and DEL as their control pictures (a line
// break as "\u240A"), C1 ones and the line and paragraph separators as the replacement character.
std::string ShownControls(const std::string& name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        const auto third = i + 2 < name.size() ? static_cast<unsigned char>(name[i + 2]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            const unsigned picture = byte == 0x7F ? 0x2421 : 0x2400 + byte;
            shown += static_cast<char>(0xE0 | (picture >> 12));
            shown += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
            shown += static_cast<char>(0x80 | (picture & 0x3F));
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            shown += "\uFFFD";
            i += 1;
        } else if (byte == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {
            shown += "\uFFFD";
            i += 2;
        } else {
            shown += name[i];
        }
    }
    return shown;
}

// The file as the first sentence names it: by its name alone.
std::string Named(const std::string& path) {
    return "\"" + std::string(kIsolateStart) + ShownControls(FileNameOf(path)) + kIsolateEnd + "\"";
}

std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

// What Kelvarin found itself where the system said nothing, as part of a sentence, in the order
// of FileFinding.
constexpr const char* kFindingWords[] = {
    "",
    "the position lies past the end of the file",
    "the system accepted no bytes",
    "the bytes are no hexadecimal field value",
    "the offset lies before the start of the file",
    "the offset is the largest there is",
    "too many bytes were asked for at once",
    "the file name is not valid UTF-8 text",
    "the name is that of a device, not of a file",
    "the file has the Read-only attribute",
};
static_assert(std::size(kFindingWords) == static_cast<std::size_t>(FileFinding::ReadOnlyMark) + 1);

// "what: why", or either alone.
std::string Joined(const std::string& what, const std::string& why) {
    return what.empty() || why.empty() ? what + why : what + ": " + why;
}

// The field a failed read or write touched, if it touched one.
const RosterSlot* SlotAt(std::int64_t offset) {
    const auto found = std::find_if(kRosterSlots.begin(), kRosterSlots.end(), [offset](auto& slot) {
        return offset >= slot.offset && offset < slot.offset + kFieldSize;
    });
    return found != kRosterSlots.end() ? &*found : nullptr;
}

// "reading at offset 0x1C30042 failed", with what Kelvarin found when the system said nothing.
std::string WhatFailed(const FileError& error) {
    std::string what;
    if (error.step == FileError::Step::Read || error.step == FileError::Step::Write) {
        what = std::string(error.step == FileError::Step::Read ? "reading" : "writing") +
               " at offset " +
               HexNumber(static_cast<std::uint64_t>(std::max<std::int64_t>(error.offset, 0))) +
               " failed";
    }
    return Joined(what, kFindingWords[static_cast<std::size_t>(error.finding)]);
}

// Where it failed, in a line of its own: "Gym 7, member 2, level: reading at offset 0x1C30042
// failed." The system's own words follow on the next line.
std::string WhereLine(const FileError& error) {
    const std::string what = WhatFailed(error);
    const RosterSlot* slot = SlotAt(error.offset);
    return what.empty() ? what : (slot ? SlotTitle(*slot) + ": " + what : Capitalised(what)) + ".";
}

// What the details always begin with: which file it was, in full; then `more`.
std::string Details(const std::string& path, const std::string& more) {
    std::string details = "File: " + ShownControls(path);
    AddLine(details, more);
    return details;
}

// "the species of gym 4, member 1": a field in plain words, as part of a sentence.
std::string FieldInWords(const RosterSlot& slot) {
    return std::string("the ") + SlotKindName(slot.kind) + " of gym " + std::to_string(slot.gym) +
           ", member " + std::to_string(slot.member);
}

// "A", "A and B", "A, B and C".
std::string FieldsInWords(const std::vector<const RosterSlot*>& fields) {
    std::string words;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        words += (i == 0 ? "" : i + 1 == fields.size() ? " and " : ", ") + FieldInWords(*fields[i]);
    }
    return words;
}

// Few enough fields to name in a sentence that is read aloud; more go to the details.
bool FewToName(const std::vector<const RosterSlot*>& fields) {
    return !fields.empty() && fields.size() <= 3;
}

// "the species of gym 2, member 1 holds", "A and B hold" or "4 fields hold": the fields a
// sentence is about, named when they are few.
std::string FieldsHold(const std::vector<const RosterSlot*>& fields) {
    if (FewToName(fields)) {
        return FieldsInWords(fields) + (fields.size() == 1 ? " holds" : " hold");
    }
    return Plural(fields.size(), "field holds", "fields hold");
}

std::string HoldNoEntry(const std::vector<const RosterSlot*>& fields) {
    return FieldsHold(fields) + (fields.size() == 1 ? " a value" : " values") +
           " that no list entry stands for";
}

// "your change to the species of gym 4, member 1" or "your changes to A and B".
std::string YourChangesTo(const std::vector<const RosterSlot*>& fields) {
    return std::string(fields.size() == 1 ? "your change to " : "your changes to ") +
           FieldsInWords(fields);
}

// What a file changed on disk now holds, in a sentence: its fields named when they are few.
std::string WhatChanged(const Conflict& conflict) {
    std::string sentences;
    if (conflict.size != conflict.sizeWas) {
        sentences += " Its size has changed.";
    }
    if (!conflict.outside.empty()) {
        return sentences +
               " It is no longer a game image Kelvarin can read: " + HoldNoEntry(conflict.outside) +
               ".";
    }
    if (!conflict.changed.empty()) {
        sentences += " " + Capitalised(FieldsHold(conflict.changed)) +
                     (conflict.changed.size() == 1 ? " another value now" : " other values now") +
                     (FewToName(conflict.changed) ? "." : " (listed in the details).");
    }
    return sentences;
}

// A save's fields as its message counts them.
struct Tally {
    std::size_t changes = 0;                // fields whose shown value differed from the file's
    std::size_t writes = 0;                 // fields whose write the system took
    bool confirmed = true;                  // false: the system could not say what reached the disk
    std::vector<const RosterSlot*> missing; // changes not (known to be) in the file
    std::string lines;                      // one line on each field concerned
};

Tally TallyOf(const SaveOutcome& outcome) {
    using F = SaveOutcome::Fate;
    Tally tally;
    std::string unconfirmed;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const SaveOutcome::Field& field = outcome.fields[i];
        const RosterSlot& slot = kRosterSlots[i];
        const std::string title = SlotTitle(slot) + ": ";
        tally.writes += field.fate != F::NotWritten ? 1 : 0;
        tally.confirmed = tally.confirmed && field.fate != F::Written;
        tally.changes += field.changed() ? 1 : 0;
        if (field.changed() && field.fate != F::Confirmed) {
            tally.missing.push_back(&slot);
        }
        if (field.fate == F::ReadOtherwise) {
            AddLine(tally.lines, title + "wrote " + ShownValue(slot, field.shown) +
                                     ", the file reads " + ShownValue(slot, field.readBack));
        } else if (field.fate == F::Written && field.changed()) {
            AddLine(unconfirmed, title + ShownValue(slot, field.shown) + " may not be on the disk");
        } else if (field.fate == F::NotWritten && field.changed() &&
                   (field.tried || tally.writes > 0)) {
            const std::string why = Joined(WhatFailed(field.error), field.error.text);
            AddLine(tally.lines, title + ShownValue(slot, field.shown) + " was not written" +
                                     (why.empty() ? "" : " (" + why + ")"));
        }
    }
    AddLine(tally.lines, unconfirmed);
    return tally;
}

std::string UnconfirmedFate(const Tally& tally) {
    if (tally.changes == 0) {
        return "You had changed no field, but the fields Kelvarin rewrote may not all be on the "
               "disk.";
    }
    if (tally.missing.size() == 1) {
        return "It is not known whether " + YourChangesTo(tally.missing) + " is in the file.";
    }
    if (FewToName(tally.missing)) {
        return "It is not known which of " + YourChangesTo(tally.missing) + " are in the file.";
    }
    return "It is not known which of your " + Plural(tally.changes, "change", "changes") +
           " are in the file.";
}

std::string ConfirmedFate(const Tally& tally) {
    const std::size_t missing = tally.missing.size();
    if (tally.changes == 0) {
        return "You had changed no field; the file may still hold what it held before.";
    }
    if (missing == 0) {
        return tally.changes == 1 ? "Your change is in the file."
                                  : "All of your " + Plural(tally.changes, "change", "changes") +
                                        " are in the file.";
    }
    const std::string verb = missing == 1 ? " is" : " are";
    if (missing == tally.changes) {
        return FewToName(tally.missing)
                   ? Capitalised(YourChangesTo(tally.missing)) + verb + " not in the file."
                   : "None of your " + Plural(tally.changes, "change", "changes") +
                         " is in the file.";
    }
    const std::string which =
        FewToName(tally.missing)
            ? Capitalised(YourChangesTo(tally.missing)) + verb + " not in the file"
            : std::to_string(missing) + " of your " + Plural(tally.changes, "change", "changes") +
                  verb + " not in the file (listed in the details)";
    return which + ", so it now holds some of your changes and not others.";
}

// The cause of a failed save in words, and what goes to the details besides the field lines.
Trouble CauseInWords(const SaveOutcome& outcome) {
    using C = SaveOutcome::Cause;
    Trouble words = FileTrouble(outcome.error, Operation::Save);
    switch (outcome.cause) {
    case C::None:
    case C::Write:
        break;
    case C::Flush:
        words.problem =
            "the system could not confirm that the data reached the disk: " + words.problem;
        break;
    case C::ReadBackFailed:
        words.problem = "the file could not be read back after the save: " + words.problem;
        break;
    case C::SizeUnknown:
        words.problem = "the system could not tell the file's size during the save";
        break;
    case C::SizeChanged:
        return {"another program changed the file's size during the save",
                "Make sure no other program changes the file, open it again to see what it "
                "holds now, and save again.",
                "Its size changed from " +
                    Plural(static_cast<std::size_t>(outcome.sizeWas), "byte", "bytes") + " to " +
                    Plural(static_cast<std::size_t>(outcome.size), "byte", "bytes") +
                    " during the save."};
    case C::ReadBack:
        return {"the disk or card did not keep what Kelvarin wrote",
                "The storage did not keep the data: check the file, or restore it from a copy, "
                "before you use it, and save to another disk or card.",
                {}};
    }
    return words;
}

} // namespace

Trouble FileTrouble(const FileError& error, Operation operation) {
    Trouble trouble = Words(error.kind, operation);
    trouble.details = WhereLine(error);
    AddLine(trouble.details, error.text.empty() ? "" : "The system said: " + error.text);
    return trouble;
}

Trouble NotAPlainFile(const std::string& what, Operation operation) {
    return {"it is " + what + ", not a game image file",
            Words(FileErrorKind::NotPlainFile, operation).advice,
            {}};
}

Trouble TooShort(std::int64_t size, Operation operation) {
    return {"the file is too short to be the game image",
            operation == Operation::Load
                ? "Open the complete game image; this file may be damaged or cut short."
                : "Another program cut the file short: restore the complete game image from a "
                  "copy, open it and save again.",
            "It has " + Plural(static_cast<std::size_t>(size), "byte", "bytes") +
                ", but the gym teams end at byte " + std::to_string(kRosterEnd) + " (" +
                HexNumber(static_cast<std::uint64_t>(kRosterEnd)) + ")."};
}

LoadResult Refused(const std::string& path, const Trouble& trouble) {
    return {LoadStatus::Refused,
            "Cannot load " + Named(path) + ": " + trouble.problem + ". Nothing was changed.",
            trouble.advice, Details(path, trouble.details)};
}

LoadResult NotTheExpectedImage(const std::string& path,
                               const std::vector<const RosterSlot*>& fields,
                               const std::array<std::uint16_t, kRosterSlotCount>& values) {
    std::string lines;
    for (const RosterSlot* slot : fields) {
        AddLine(lines,
                OutOfRange(*slot, values[static_cast<std::size_t>(slot - kRosterSlots.data())]));
    }
    return Refused(path, {HoldNoEntry(fields) + ", so it is probably not the expected game image",
                          "Open the game image whose gym teams you mean to edit; if this is it, "
                          "it may be damaged or of another version.",
                          lines});
}

SaveResult NothingToSave() {
    return {SaveStatus::NothingToSave,
            "No game image is open, so there is nothing to save.",
            "Open a game image first.",
            {},
            {},
            {}};
}

SaveResult NothingWritten(const std::string& path, const Trouble& trouble) {
    return {SaveStatus::Failed,
            "Cannot save to " + Named(path) + ": " + trouble.problem + ". Nothing was written.",
            trouble.advice,
            Details(path, trouble.details),
            {},
            {}};
}

SaveResult ChangedOnDisk(const std::string& path, const Conflict& conflict) {
    std::string message;
    std::string details = Details(path, {});
    if (!conflict.loaded) {
        message = "Kelvarin has not loaded " + Named(path) +
                  ", so it cannot tell what saving would overwrite.";
    } else {
        message =
            conflict.sameFile
                ? Named(path) +
                      " was changed by another program since Kelvarin last loaded or saved it."
                : "It is a different file now: " + Named(path) +
                      " was replaced, re-linked or rebuilt since Kelvarin last loaded or "
                      "saved it.";
        message += WhatChanged(conflict);
        if (conflict.size != conflict.sizeWas) {
            AddLine(details, "It has " +
                                 Plural(static_cast<std::size_t>(conflict.size), "byte", "bytes") +
                                 " instead of " + std::to_string(conflict.sizeWas) + ".");
        }
        for (const RosterSlot* slot : conflict.changed) {
            const auto i = static_cast<std::size_t>(slot - kRosterSlots.data());
            AddLine(details, SlotTitle(*slot) + ": loaded " + ShownValue(*slot, conflict.was[i]) +
                                 ", now " + ShownValue(*slot, conflict.now[i]));
        }
    }
    return {SaveStatus::ChangedOnDisk,
            message + " Nothing was written.",
            std::string(kSaveAnyway) + " writes all " + std::to_string(kRosterSlotCount) +
                " fields as shown here over what the file holds now. Cancel writes nothing; open "
                "the file again to see what it holds now.",
            std::move(details),
            {},
            {}};
}

SaveResult Reported(const std::string& path, const SaveOutcome& outcome) {
    const Tally tally = TallyOf(outcome);
    SaveResult result{SaveStatus::Saved, {}, {}, {}, {}, outcome.way};
    if (outcome.cause == SaveOutcome::Cause::None) {
        result.message = tally.changes == 0
                             ? "Saved " + Named(path) + "; it already held every value shown."
                             : "Saved " + Plural(tally.changes, "change", "changes") + " to " +
                                   Named(path) + ".";
        if (outcome.way == ImageFile::ReadBack::CachedOnly) {
            result.details = Details(path, "The fields read back as written, from the system's "
                                           "cache: this file system offers no way past it.");
        }
        return result;
    }
    const Trouble cause = CauseInWords(outcome);
    result.status = SaveStatus::Failed;
    result.message = "Cannot save to " + Named(path) + ": " + cause.problem + ". " +
                     (tally.writes == 0 ? "Nothing was written."
                      : tally.confirmed ? ConfirmedFate(tally)
                                        : UnconfirmedFate(tally));
    result.advice = cause.advice;
    result.details = Details(path, cause.details);
    AddLine(result.details, tally.lines);
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (outcome.fields[i].fate != SaveOutcome::Fate::Confirmed) {
            result.unwritten.push_back(&kRosterSlots[i]);
        }
    }
    return result;
}

} // namespace kelvarin::messages

namespace kelvarin {

std::string NameInSentence(const std::string& path) {
    return messages::Named(path);
}

LossWords QuestionBeforeLosing(bool closing, const std::string& path, std::size_t changes) {
    const std::string yours =
        changes == 1 ? "your change" : "your " + std::to_string(changes) + " changes";
    const std::string save = "Save " + yours + " to " + NameInSentence(path) + " before ";
    const std::string fate = changes == 1 ? "it is lost." : "they are lost.";
    if (closing) {
        return {save + "closing?", "If you close without saving, " + fate, "Close without saving"};
    }
    return {save + "opening another image?", "If you open another image without saving, " + fate,
            "Open without saving"};
}

std::string SaveAnywayCaption() {
    return messages::kSaveAnyway;
}

std::string UnexpectedTrouble(bool saving, const std::string& what) {
    return std::string("The image could not be ") + (saving ? "saved: " : "opened: ") + what;
}

} // namespace kelvarin
