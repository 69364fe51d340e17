#include "roster.h"

#include "roster_messages.h"

#include "image/hex_byte_access.h"
#include "image/hex_text.h"

#include <algorithm>
#include <optional>

namespace kelvarin {
namespace {

using FieldValues = std::array<std::uint16_t, kRosterSlotCount>;
using messages::Trouble;

// ---- Opening an image: look at the path, open, lock, look again at what was opened ----

struct OpenedImage {
    ImageFile file;
    FileFacts facts; // of the open file, taken under the lock
    Trouble trouble; // empty problem when the file may be used
};

OpenedImage Unusable(Trouble trouble) {
    OpenedImage image;
    image.trouble = std::move(trouble);
    return image;
}

// Whatever the facts say against using the file; an empty problem if it may be used.
Trouble ProblemWith(const FileFacts& facts) {
    if (!facts.notPlainFile.empty()) {
        return messages::NotAPlainFile(facts.notPlainFile);
    }
    if (facts.size < kRosterEnd) {
        return messages::TooShort(facts.size);
    }
    return {};
}

OpenedImage OpenRosterImage(const std::string& path, ImageFile::Access access,
                            ImageFile::Lock lock) {
    const bool reading = access == ImageFile::Access::Read;
    // Look before opening: a named pipe or a device is refused without being opened at all.
    FileError error;
    FileFacts atPath;
    if (!InspectPath(path, atPath, &error)) {
        if (atPath.missing) {
            error.kind = FileErrorKind::Missing;
        }
        return Unusable(messages::FileTrouble(error, reading));
    }
    if (Trouble refusal = ProblemWith(atPath); !refusal.problem.empty()) {
        return Unusable(std::move(refusal));
    }

    OpenedImage image;
    image.file = ImageFile::Open(path, access, &error);
    if (!image.file.isOpen() || !image.file.lock(lock, &error)) {
        return Unusable(messages::FileTrouble(error, reading));
    }
    // Check again on what was actually opened, in case the path changed in between, and only
    // now, under the lock, take the facts a save compares and re-checks.
    if (!image.file.facts(image.facts, &error)) {
        return Unusable(messages::FileTrouble(error, reading));
    }
    if (Trouble refusal = ProblemWith(image.facts); !refusal.problem.empty()) {
        return Unusable(std::move(refusal));
    }
    return image;
}

// The 46 fields as the open file holds them now.
struct FieldsOnDisk {
    FieldValues values{};
    FileError error;         // the field and the reason if a read failed; kind None if none did
    std::size_t outside = 0; // how many hold a value no list entry stands for
};

FieldsOnDisk ReadFields(const ImageFile& file) {
    FieldsOnDisk fields;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        std::int32_t start = slot.offset; // ReadHEX moves its Start on: hand it a copy
        const std::string text = ReadHEX(file, start, kFieldSize, &fields.error);
        std::int16_t selection = 0;
        if (fields.error.kind != FileErrorKind::None) {
            fields.error.text = SlotTitle(slot) + ": " + fields.error.text;
            return fields;
        }
        if (!SelectionFromFieldText(text, selection)) {
            fields.error = {FileErrorKind::Other, messages::NotAFieldValue(slot, text)};
            return fields;
        }
        fields.values[i] = static_cast<std::uint16_t>(selection);
        fields.outside += FitsList(slot.kind, fields.values[i]) ? 0 : 1;
    }
    return fields;
}

// Compares the open file with what was loaded or saved last. Nothing when it has the same size
// and the same 92 field bytes, a field counting as the same when it holds what Kelvarin last
// knew there or what it last tried to write. Neither a newer modification time (another tool
// touched other parts of the image) nor a new identity (file systems renumber files nobody
// touched: FUSE drivers when the kernel forgets the file, a card plugged in again, network
// mounts) is a change by itself; otherwise the result to hand back.
std::optional<SaveResult> ChangeSince(const ImageRecord& record, const OpenedImage& image,
                                      const FieldsOnDisk& now, const std::string& path) {
    messages::Conflict conflict;
    if (!record.holdsImage) {
        conflict.loaded = false;
        return messages::ChangedOnDisk(path, conflict);
    }
    if (now.error.kind != FileErrorKind::None) {
        return messages::NothingWritten(
            path, {now.error.text, messages::FileTrouble(now.error, true).advice});
    }
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (now.values[i] != record.fields[i] && now.values[i] != record.tried[i]) {
            conflict.fieldLines.push_back(
                messages::ChangedFieldLine(kRosterSlots[i], record.fields[i], now.values[i]));
        }
    }
    conflict.size = image.facts.size;
    conflict.sizeWas = record.size;
    conflict.outside = now.outside;
    conflict.sameFile = image.facts.identity == record.identity;
    if (conflict.size == conflict.sizeWas && conflict.fieldLines.empty() && now.outside == 0) {
        return std::nullopt;
    }
    return messages::ChangedOnDisk(path, conflict);
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

std::size_t PendingChanges(const ListSelection& lists, const ImageRecord& record) {
    if (!record.holdsImage) {
        return 0;
    }
    std::size_t pending = 0;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const auto shown = static_cast<std::uint16_t>(lists.selectedIndex(kRosterSlots[i].control));
        pending += shown != record.fields[i] ? 1 : 0;
    }
    return pending;
}

LoadResult LoadRoster(const std::string& path, std::string& ImagePath, ListSelection& lists,
                      ImageRecord& record) {
    if (path.empty()) {
        return {LoadStatus::Cancelled, {}, {}, {}};
    }
    const OpenedImage image =
        OpenRosterImage(path, ImageFile::Access::Read, ImageFile::Lock::Shared);
    if (!image.trouble.problem.empty()) {
        return messages::Refused(path, image.trouble.problem, image.trouble.advice);
    }

    // Everything is read and checked before anything is shown, so a bad file leaves the window
    // exactly as it was.
    const FieldsOnDisk fields = ReadFields(image.file);
    if (fields.error.kind != FileErrorKind::None) {
        return messages::Refused(path, fields.error.text, "Check the file and try again.");
    }
    if (fields.outside > 0) {
        std::string details;
        for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
            if (!FitsList(kRosterSlots[i].kind, fields.values[i])) {
                messages::AddLine(details, messages::OutOfRange(kRosterSlots[i], fields.values[i]));
            }
        }
        return messages::NotTheExpectedImage(path, fields.outside, std::move(details));
    }

    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        lists.setSelectedIndex(kRosterSlots[i].control,
                               static_cast<std::int16_t>(fields.values[i]));
    }
    ImagePath = path;
    record = {true,          image.facts.identity, image.facts.size, image.facts.modified,
              fields.values, fields.values};
    return {LoadStatus::Loaded, {}, {}, {}};
}

SaveResult SaveRoster(const std::string& ImagePath, const ListSelection& lists, ImageRecord& record,
                      SaveMode mode) {
    if (ImagePath.empty()) {
        return messages::NothingToSave();
    }
    OpenedImage image =
        OpenRosterImage(ImagePath, ImageFile::Access::ReadWrite, ImageFile::Lock::Exclusive);
    if (!image.trouble.problem.empty()) {
        return messages::NothingWritten(ImagePath, image.trouble);
    }
    // What the file holds before the save: the person's changes are the fields shown otherwise.
    const FieldsOnDisk before = ReadFields(image.file);
    if (mode == SaveMode::UnlessChanged) {
        if (std::optional<SaveResult> change = ChangeSince(record, image, before, ImagePath)) {
            return std::move(*change);
        }
    }
    const FieldValues& held =
        before.error.kind == FileErrorKind::None ? before.values : record.fields;

    SaveResult result{SaveStatus::Saved, {}, {}, {}, {}};
    messages::SaveTrouble trouble;
    FieldValues shown{};
    std::array<bool, kRosterSlotCount> tried{};
    std::array<bool, kRosterSlotCount> written{};
    bool sizeHeldSoFar = true;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        shown[i] = static_cast<std::uint16_t>(lists.selectedIndex(slot.control));
        trouble.changes += shown[i] != held[i] ? 1 : 0;
        // A program that ignores the lock may cut the file meanwhile; a write past its new end
        // would grow it again. Once the size moves, nothing more is written.
        FileFacts now;
        sizeHeldSoFar = sizeHeldSoFar && image.file.facts(now) && now.size == image.facts.size;
        if (!sizeHeldSoFar) {
            continue;
        }
        tried[i] = true;
        std::string fieldText = FieldTextFromSelection(static_cast<std::int16_t>(shown[i]));
        std::int32_t start = slot.offset;
        FileError error;
        WriteHEX(image.file, start, fieldText, &error);
        written[i] = error.kind == FileErrorKind::None;
        trouble.writes += written[i] ? 1 : 0;
        if (!written[i] && trouble.error.kind == FileErrorKind::None) {
            trouble.error = error; // the first failure is the cause; later ones follow from it
        }
        if (!written[i] && shown[i] != held[i]) {
            messages::AddLine(trouble.details, messages::UnwrittenLine(slot, shown[i], error));
        }
    }

    // Until the system confirms the data is on the disk, a crash or power cut could still lose
    // it; success is reported only after that confirmation, only if the storage gives back what
    // was written, and only if nobody cut or extended the file meanwhile (the lock is advisory:
    // other programs need not honour it).
    FileError flushError;
    const bool flushed = image.file.flushToDisk(&flushError);
    FileFacts after;
    FileError sizeError;
    const bool looked = image.file.facts(after, &sizeError);
    const bool sizeHeld = looked && after.size == image.facts.size;
    // Read back only once the data is on the disk, so the read can come from the storage.
    std::array<bool, kRosterSlotCount> kept = written;
    FieldValues readsBack{};
    std::size_t mismatches = 0;
    FileError readBackError;
    bool readBack = false;
    if (flushed && sizeHeld && trouble.writes > 0) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kRosterEnd - kRosterStart));
        readBack = image.file.readBackAt(kRosterStart, bytes, &readBackError) == bytes.size();
        for (std::size_t i = 0; readBack && i < kRosterSlots.size(); ++i) {
            if (!written[i]) {
                continue;
            }
            const auto at = static_cast<std::size_t>(kRosterSlots[i].offset - kRosterStart);
            readsBack[i] = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
            if (readsBack[i] != shown[i]) {
                kept[i] = false;
                ++mismatches;
                messages::AddLine(trouble.details,
                                  messages::ReadBackLine(kRosterSlots[i], shown[i], readsBack[i]));
            }
        }
    }
    FileError closeError;
    const bool closed = image.file.close(&closeError);

    if (trouble.writes == kRosterSlotCount && flushed && sizeHeld && readBack && mismatches == 0 &&
        closed) {
        record = {true, after.identity, after.size, after.modified, shown, shown};
        result.message = messages::Saved(ImagePath, trouble.changes);
        return result;
    }

    using Cause = messages::SaveTrouble::Cause;
    const bool confirmed = flushed && closed && sizeHeld && (readBack || trouble.writes == 0);
    trouble.confirmed = confirmed;
    if (!sizeHeld) {
        trouble.cause = looked ? Cause::SizeChanged : Cause::SizeUnknown;
        trouble.error = sizeError;
        trouble.sizeWas = image.facts.size;
        trouble.size = after.size;
    } else if (mismatches > 0) {
        trouble.cause = Cause::ReadBack;
    } else if (trouble.error.kind != FileErrorKind::None) {
        trouble.cause = Cause::Write; // a refused write is the cause; what failed after follows
    } else if (!flushed || !closed) {
        trouble.cause = Cause::Flush;
        trouble.error = flushed ? closeError : flushError;
    } else {
        trouble.cause = Cause::ReadBackFailed;
        trouble.error = readBackError;
    }
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const bool onDisk = confirmed && kept[i];
        if (!onDisk) {
            result.unwritten.push_back(&kRosterSlots[i]);
            trouble.changesMissing += shown[i] != held[i] ? 1 : 0;
            if (!confirmed && written[i] && shown[i] != held[i]) {
                messages::AddLine(trouble.details,
                                  messages::UnconfirmedLine(kRosterSlots[i], shown[i]));
            }
        }
    }
    messages::FillFailedSave(result, ImagePath, trouble);
    if (record.holdsImage && trouble.writes > 0) {
        // Kelvarin's own writes are not another program's: the next save takes a field holding
        // either the value last known there or the one tried now as untouched by others.
        // A field that read back otherwise holds what the storage made of it: that is the
        // value last known on disk.
        for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
            if (confirmed && written[i]) {
                record.fields[i] = kept[i] ? shown[i] : readsBack[i];
            } else if (tried[i]) {
                record.tried[i] = shown[i];
            }
        }
    }
    return result;
}

} // namespace kelvarin
