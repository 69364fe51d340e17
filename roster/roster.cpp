#include "roster.h"

#include "image/hex_byte_access.h"
#include "image/hex_text.h"

#include <algorithm>
#include <optional>

namespace kelvarin {
namespace {

using FieldValues = std::array<std::uint16_t, kRosterSlotCount>;

constexpr const char* kSaveAnywayAdvice =
    "Save anyway writes all 46 fields as shown here over what the file holds now. Cancel writes "
    "nothing; open the file again to see what it holds now.";
constexpr const char* kWaitForOtherProgram =
    "Wait until the other program has finished with the file (or close it there), then try "
    "again.";
constexpr const char* kPartlySavedAdvice =
    "Check the file before you use it: solve the problem and save again, or open it again to "
    "see what it holds now.";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void AddLine(std::string& lines, const std::string& line) {
    lines += (lines.empty() ? "" : "\n") + line;
}

bool FitsList(SlotKind kind, std::uint16_t value) {
    const auto selection = static_cast<std::int16_t>(value);
    return selection >= -1 && selection < EntryCount(kind);
}

// A stored value as the slot's list shows it ("Cherubi", "42"), so that a person can recognise
// it; a value no entry stands for is shown as the number it is.
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

// ---- Opening an image: look at the path, open, lock, look again at what was opened ----

struct OpenedImage {
    ImageFile file;
    FileFacts facts;     // of the open file, taken under the lock
    std::string problem; // empty when the file may be used; else what is wrong, for a person
    std::string advice;  // the one thing to do about the problem
};

OpenedImage Unusable(std::string problem, std::string advice) {
    OpenedImage image;
    image.problem = std::move(problem);
    image.advice = std::move(advice);
    return image;
}

// Whatever the facts say against using the file, or an empty image if it may be used.
OpenedImage ProblemWith(const FileFacts& facts) {
    if (!facts.notPlainFile.empty()) {
        return Unusable("it is " + facts.notPlainFile + ", not a game image file",
                        "Open the game image file itself.");
    }
    if (facts.size < kRosterEnd) {
        return Unusable("the file is too short to be the game image: it has " +
                            std::to_string(facts.size) + " bytes, but the gym teams end at byte " +
                            std::to_string(kRosterEnd) + " (" +
                            HexNumber(static_cast<std::uint64_t>(kRosterEnd)) + ")",
                        "Open the complete game image; this file may be damaged or cut short.");
    }
    return {};
}

OpenedImage OpenRosterImage(const std::string& path, ImageFile::Access access,
                            ImageFile::Lock lock) {
    // Look before opening: a named pipe or a device is refused without being opened at all.
    std::string error;
    FileFacts atPath;
    if (!InspectPath(path, atPath, &error)) {
        return atPath.missing
                   ? Unusable("the file does not exist",
                              "Check the file's name and folder, then open it again.")
                   : Unusable("the system says: " + error, "Check the file and try again.");
    }
    if (OpenedImage refusal = ProblemWith(atPath); !refusal.problem.empty()) {
        return refusal;
    }

    OpenedImage image;
    image.file = ImageFile::Open(path, access, &error);
    if (!image.file.isOpen() && error == kFileInUse) {
        return Unusable(error, kWaitForOtherProgram);
    }
    if (!image.file.isOpen()) {
        const bool reading = access == ImageFile::Access::Read;
        return Unusable(std::string("it cannot be opened for ") +
                            (reading ? "reading: " : "writing: ") + error,
                        std::string("Check that you may ") + (reading ? "read" : "write") +
                            " the file, then try again.");
    }
    if (!image.file.lock(lock, &error)) {
        return Unusable(error, error == kFileInUse ? kWaitForOtherProgram
                                                   : "Check the file and try again.");
    }
    // Check again on what was actually opened, in case the path changed in between, and only
    // now, under the lock, take the facts a save compares and re-checks.
    if (!image.file.facts(image.facts, &error)) {
        return Unusable("the system says: " + error, "Check the file and try again.");
    }
    if (OpenedImage refusal = ProblemWith(image.facts); !refusal.problem.empty()) {
        return refusal;
    }
    return image;
}

// The 46 fields as the open file holds them now.
struct FieldsOnDisk {
    FieldValues values{};
    std::string error;       // the field and the reason if a read failed; empty if none did
    std::size_t outside = 0; // how many hold a value no list entry stands for
};

FieldsOnDisk ReadFields(const ImageFile& file) {
    FieldsOnDisk fields;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        std::int32_t start = slot.offset; // ReadHEX moves its Start on: hand it a copy
        const std::string text = ReadHEX(file, start, kFieldSize, &fields.error);
        std::int16_t selection = 0;
        if (fields.error.empty() && !SelectionFromFieldText(text, selection)) {
            fields.error = "\"" + text + "\" is no field value";
        }
        if (!fields.error.empty()) {
            fields.error = SlotTitle(slot) + ": " + fields.error;
            return fields;
        }
        fields.values[i] = static_cast<std::uint16_t>(selection);
        fields.outside += FitsList(slot.kind, fields.values[i]) ? 0 : 1;
    }
    return fields;
}

// ---- Load ----

LoadResult Refuse(const std::string& path, const std::string& problem, std::string advice,
                  std::string details = {}) {
    return {LoadStatus::Refused,
            "Cannot load " + Quoted(path) + ": " + problem + ". Nothing was changed.",
            std::move(advice), std::move(details)};
}

// ---- Save ----

SaveResult NothingWritten(const std::string& path, const std::string& problem, std::string advice) {
    return {SaveStatus::Failed,
            "Cannot save to " + Quoted(path) + ": " + problem + ". Nothing was written.",
            std::move(advice),
            {},
            {}};
}

SaveResult ChangedOnDisk(std::string message, std::string details = {}) {
    return {SaveStatus::ChangedOnDisk,
            std::move(message) + " Nothing was written.",
            kSaveAnywayAdvice,
            std::move(details),
            {}};
}

// Compares the open file with what was loaded or saved last. Nothing when it is the same file
// with the same size and the same 92 field bytes (a newer modification time alone means another
// tool touched other parts of the image); otherwise the result to hand back.
std::optional<SaveResult> ChangeSince(const ImageRecord& record, const OpenedImage& image,
                                      const std::string& path) {
    if (!record.holdsImage) {
        return ChangedOnDisk("Kelvarin has not loaded " + Quoted(path) +
                             ", so it cannot tell what saving would overwrite.");
    }
    const FieldsOnDisk now = ReadFields(image.file);
    if (!now.error.empty()) {
        return NothingWritten(path, now.error, "Check the file and try again.");
    }
    std::string details;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (now.values[i] != record.fields[i]) {
            ++changed;
            AddLine(details, SlotTitle(kRosterSlots[i]) + ": loaded " +
                                 ShownValue(kRosterSlots[i], record.fields[i]) + ", now " +
                                 ShownValue(kRosterSlots[i], now.values[i]));
        }
    }
    const bool sameFile = image.facts.identity == record.identity;
    const bool sameSize = image.facts.size == record.size;
    if (sameFile && sameSize && changed == 0) {
        return std::nullopt;
    }

    std::string message =
        sameFile
            ? Quoted(path) + " was changed by another program since Kelvarin last loaded or "
                             "saved it."
            : "It is a different file now: " + Quoted(path) +
                  " was replaced, re-linked or rebuilt since Kelvarin last loaded or saved it.";
    if (!sameSize) {
        message += " It has " + std::to_string(image.facts.size) + " bytes instead of " +
                   std::to_string(record.size) + ".";
    }
    if (now.outside > 0) {
        message +=
            " It is no longer a game image Kelvarin can read: " + Unreadable(now.outside) + ".";
    } else if (changed > 0) {
        message += " " + Plural(changed, "field holds another value now.",
                                "fields hold other values now.");
    }
    return ChangedOnDisk(std::move(message), std::move(details));
}

} // namespace

bool SelectionFromFieldText(const std::string& fileOrderHex, std::int16_t& selection) {
    if (fileOrderHex.size() != 2 * kFieldSize) {
        return false;
    }
    std::string digits = fileOrderHex;
    const std::string valueOrder = ReverseHEX(digits); // high byte's digits first
    const int high = HexByteValue(valueOrder[0], valueOrder[1]);
    const int low = HexByteValue(valueOrder[2], valueOrder[3]);
    if (high < 0 || low < 0) {
        return false;
    }
    // Two's complement: 0x8000..0xFFFF stand for -32768..-1.
    selection = static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low));
    return true;
}

std::string FieldTextFromSelection(std::int16_t selection) {
    std::string valueOrder; // high byte's digits first
    AppendHexDigits(valueOrder, static_cast<std::uint16_t>(selection), 2 * kFieldSize);
    return ReverseHEX(valueOrder);
}

LoadResult LoadRoster(const std::string& path, std::string& ImagePath, ListSelection& lists,
                      ImageRecord& record) {
    if (path.empty()) {
        return {LoadStatus::Cancelled, {}, {}, {}};
    }
    const OpenedImage image =
        OpenRosterImage(path, ImageFile::Access::Read, ImageFile::Lock::Shared);
    if (!image.problem.empty()) {
        return Refuse(path, image.problem, image.advice);
    }

    // Everything is read and checked before anything is shown, so a bad file leaves the window
    // exactly as it was.
    const FieldsOnDisk fields = ReadFields(image.file);
    if (!fields.error.empty()) {
        return Refuse(path, fields.error, "Check the file and try again.");
    }
    if (fields.outside > 0) {
        std::string details;
        for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
            if (!FitsList(kRosterSlots[i].kind, fields.values[i])) {
                AddLine(details, OutOfRange(kRosterSlots[i], fields.values[i]));
            }
        }
        return Refuse(
            path, Unreadable(fields.outside) + ", so it is probably not the expected game image",
            "Open the game image whose gym teams you mean to edit; if this is it, it "
            "may be damaged or of another version.",
            std::move(details));
    }

    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        lists.setSelectedIndex(kRosterSlots[i].control,
                               static_cast<std::int16_t>(fields.values[i]));
    }
    ImagePath = path;
    record = {true, image.facts.identity, image.facts.size, image.facts.modified, fields.values};
    return {LoadStatus::Loaded, {}, {}, {}};
}

SaveResult SaveRoster(const std::string& ImagePath, const ListSelection& lists, ImageRecord& record,
                      SaveMode mode) {
    if (ImagePath.empty()) {
        return {SaveStatus::NothingToSave,
                "No game image is open, so there is nothing to save.",
                "Open a game image first.",
                {},
                {}};
    }
    OpenedImage image =
        OpenRosterImage(ImagePath, ImageFile::Access::ReadWrite, ImageFile::Lock::Exclusive);
    if (!image.problem.empty()) {
        return NothingWritten(ImagePath, image.problem, image.advice);
    }
    if (mode == SaveMode::UnlessChanged) {
        if (std::optional<SaveResult> change = ChangeSince(record, image, ImagePath)) {
            return std::move(*change);
        }
    }

    SaveResult result{SaveStatus::Saved, {}, {}, {}, {}};
    FieldValues shown{};
    bool sizeHeldSoFar = true;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        const std::int16_t selection = lists.selectedIndex(slot.control);
        shown[i] = static_cast<std::uint16_t>(selection);
        // A program that ignores the lock may cut the file meanwhile; a write past its new end
        // would grow it again. Once the size moves, nothing more is written.
        FileFacts now;
        sizeHeldSoFar = sizeHeldSoFar && image.file.facts(now) && now.size == image.facts.size;
        if (!sizeHeldSoFar) {
            result.unwritten.push_back(&slot);
            continue;
        }
        std::string fieldText = FieldTextFromSelection(selection);
        std::int32_t start = slot.offset;
        std::string error;
        WriteHEX(image.file, start, fieldText, &error);
        if (!error.empty()) {
            result.unwritten.push_back(&slot);
            AddLine(result.details, SlotTitle(slot) + ": " + error);
        }
    }

    // Until the system confirms the data is on the disk, a crash or power cut could still lose
    // it; success is reported only after that confirmation, and only if nobody cut or extended
    // the file meanwhile (the lock is advisory: other programs need not honour it).
    std::string flushError;
    bool flushed = image.file.flushToDisk(&flushError);
    FileFacts after;
    std::string sizeError;
    const bool looked = image.file.facts(after, &sizeError);
    const bool sizeHeld = looked && after.size == image.facts.size;
    flushed = image.file.close(&flushError) && flushed;

    if (result.unwritten.empty() && flushed && sizeHeld) {
        record = {true, after.identity, after.size, after.modified, shown};
        return result;
    }
    result.status = SaveStatus::Failed;
    result.advice = kPartlySavedAdvice;
    const std::string path = Quoted(ImagePath);
    if (!sizeHeld) {
        result.message =
            looked ? "Saving to " + path + " failed: the file's size changed from " +
                         std::to_string(image.facts.size) + " to " + std::to_string(after.size) +
                         " bytes during the save, so another program changed it at the same time."
                   : "Saving to " + path +
                         " failed: the system could not tell the file's size "
                         "after the save: " +
                         sizeError + ".";
        result.advice = "Make sure no other program changes the file, open it again to see what "
                        "it holds now, and save again.";
    } else if (!flushed) {
        result.message = "The system could not confirm that the changes to " + path +
                         " reached the disk: " + flushError + ".";
    } else {
        result.message = "Could not save every change to " + path + ": " +
                         std::to_string(result.unwritten.size()) + " of the " +
                         std::to_string(kRosterSlotCount) + " fields were not written.";
    }
    result.message += " The file may now hold some of the changes and not others.";
    if (!flushed || !sizeHeld) {
        // Without that confirmation none of the fields can be trusted to be on disk.
        result.unwritten.clear();
        for (const RosterSlot& slot : kRosterSlots) {
            result.unwritten.push_back(&slot);
        }
    } else if (record.holdsImage) {
        // The fields that were written are the file's now: saving again after solving the
        // problem must not ask about them as if another program had changed them.
        for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
            if (std::find(result.unwritten.begin(), result.unwritten.end(), &kRosterSlots[i]) ==
                result.unwritten.end()) {
                record.fields[i] = shown[i];
            }
        }
    }
    return result;
}

} // namespace kelvarin
