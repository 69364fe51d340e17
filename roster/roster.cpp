#include "roster.h"

#include "roster_messages.h"

#include "image/hex_byte_access.h"
#include "image/hex_text.h"

#include <algorithm>
#include <optional>

namespace kelvarin {
namespace {

using FieldValues = std::array<std::uint16_t, kRosterSlotCount>;
using messages::Operation;
using messages::Trouble;

// ---- Opening an image: look at the path, open, lock, look again at what was opened ----

struct OpenedImage {
    ImageFile file;
    FileFacts facts; // of the open file, taken under the lock
    Trouble trouble; // empty problem when the file may be used
};

OpenedImage Unusable(Trouble trouble) {
    return {{}, {}, std::move(trouble)};
}

// Whatever the facts say against using the file; an empty problem if it may be used.
Trouble ProblemWith(const FileFacts& facts, Operation operation) {
    if (!facts.notPlainFile.empty()) {
        return messages::NotAPlainFile(facts.notPlainFile, operation);
    }
    if (facts.size < kRosterEnd) {
        return messages::TooShort(facts.size, operation);
    }
    return {};
}

OpenedImage OpenRosterImage(const std::string& path, ImageFile::Access access,
                            ImageFile::Lock lock) {
    const Operation operation =
        access == ImageFile::Access::Read ? Operation::Load : Operation::Save;
    // Look before opening: a named pipe or a device is refused without being opened at all.
    FileError error;
    FileFacts atPath;
    if (!InspectPath(path, atPath, &error)) {
        return Unusable(messages::FileTrouble(error, operation));
    }
    if (Trouble refusal = ProblemWith(atPath, operation); !refusal.problem.empty()) {
        return Unusable(std::move(refusal));
    }

    OpenedImage image;
    image.file = ImageFile::Open(path, access, &error);
    if (!image.file.isOpen() || !image.file.lock(lock, &error)) {
        return Unusable(messages::FileTrouble(error, operation));
    }
    // Check again on what was actually opened, in case the path changed in between, and only
    // now, under the lock, take the facts a save compares and re-checks.
    if (!image.file.facts(image.facts, &error)) {
        return Unusable(messages::FileTrouble(error, operation));
    }
    if (Trouble refusal = ProblemWith(image.facts, operation); !refusal.problem.empty()) {
        return Unusable(std::move(refusal));
    }
    return image;
}

// The 46 fields as the open file holds them now.
struct FieldsOnDisk {
    FieldValues values{};
    FileError error; // the field and the reason if a read failed; kind None if none did
    std::vector<const RosterSlot*> outside; // fields holding a value no list entry stands for
};

FieldsOnDisk ReadFields(const ImageFile& file) {
    FieldsOnDisk fields;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        std::int32_t start = slot.offset; // ReadHEX moves its Start on: hand it a copy
        const std::string text = ReadHEX(file, start, kFieldSize, &fields.error);
        std::int16_t selection = 0;
        if (fields.error.kind == FileErrorKind::None && !SelectionFromFieldText(text, selection)) {
            fields.error = {FileErrorKind::Other, {}, FileError::Step::Read, slot.offset};
            fields.error.finding = FileFinding::NotHexadecimal;
        }
        if (fields.error.kind != FileErrorKind::None) {
            return fields;
        }
        fields.values[i] = static_cast<std::uint16_t>(selection);
        if (!FitsList(slot.kind, fields.values[i])) {
            fields.outside.push_back(&slot);
        }
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
    messages::Conflict conflict{record.holdsImage, image.facts.identity == record.identity,
                                image.facts.size,  record.size,
                                now.outside,       {},
                                record.fields,     now.values};
    if (!record.holdsImage) {
        return messages::ChangedOnDisk(path, conflict);
    }
    if (now.error.kind != FileErrorKind::None) {
        return messages::NothingWritten(path, messages::FileTrouble(now.error, Operation::Save));
    }
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (now.values[i] != record.fields[i] && now.values[i] != record.tried[i]) {
            conflict.changed.push_back(&kRosterSlots[i]);
        }
    }
    if (conflict.size == conflict.sizeWas && conflict.changed.empty() && now.outside.empty()) {
        return std::nullopt;
    }
    return messages::ChangedOnDisk(path, conflict);
}

// ---- Saving: write, confirm, remember ----

using Outcome = messages::SaveOutcome;
using Fate = Outcome::Fate;

Outcome ShownAndHeld(const ListSelection& lists, const FieldValues& held, std::int64_t size) {
    Outcome outcome;
    outcome.sizeWas = outcome.size = size;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        outcome.fields[i].held = held[i];
        outcome.fields[i].shown =
            static_cast<std::uint16_t>(lists.selectedIndex(kRosterSlots[i].control));
    }
    return outcome;
}

// Writes every field with one write each. A program that ignores the lock may cut the file
// meanwhile, and a write past its new end would grow it again: once the size moves, or can no
// longer be told (a share that stalls), nothing more is written, and the error says why.
FileError WriteFields(const ImageFile& file, Outcome& outcome) {
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        FileFacts now;
        FileError error;
        if (!file.facts(now, &error) || now.size != outcome.sizeWas) {
            outcome.size = now.size;
            return error;
        }
        Outcome::Field& field = outcome.fields[i];
        std::string fieldText = FieldTextFromSelection(static_cast<std::int16_t>(field.shown));
        std::int32_t start = kRosterSlots[i].offset;
        field.tried = true;
        WriteHEX(file, start, fieldText, &field.error);
        field.fate = field.error.kind == FileErrorKind::None ? Fate::Written : Fate::NotWritten;
    }
    return {};
}

// Reads the written fields back as the storage holds them, in one read of the fields' region.
bool ReadBack(const ImageFile& file, Outcome& outcome, FileError& error) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kRosterEnd - kRosterStart));
    outcome.way = ImageFile::ReadBack::CachedOnly;
    const bool read = file.readBackAt(kRosterStart, bytes, *outcome.way, &error) == bytes.size();
    for (std::size_t i = 0; read && i < kRosterSlots.size(); ++i) {
        Outcome::Field& field = outcome.fields[i];
        const auto at = static_cast<std::size_t>(kRosterSlots[i].offset - kRosterStart);
        if (field.fate == Fate::Written) {
            field.readBack = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
            field.fate = field.readBack == field.shown ? Fate::Confirmed : Fate::ReadOtherwise;
        }
    }
    return read;
}

// Until the system confirms the data is on the disk, a crash or power cut could still lose it;
// only once it is there can a read come from the storage. The lock holds until the file is
// closed, so that no other writer that honours it comes between the flush and the read-back.
// Here, and only here, the save's cause is decided: the first of these that went wrong.
FileFacts Confirm(ImageFile& file, Outcome& outcome, const FileError& stopped) {
    using Cause = Outcome::Cause;
    auto& fields = outcome.fields;
    const auto has = [&](auto test) { return std::any_of(fields.begin(), fields.end(), test); };
    FileError flushError, sizeError, readError, closeError;
    const bool flushed = file.flushToDisk(&flushError);
    FileFacts after;
    const bool sizeKnown = file.facts(after, &sizeError);
    const bool sizeHeld = sizeKnown && after.size == outcome.sizeWas;
    const bool written = has([](const auto& field) { return field.fate == Fate::Written; });
    const bool readBack = flushed && sizeHeld && written && ReadBack(file, outcome, readError);
    const bool closed = file.close(&closeError);
    const auto refused = std::find_if(fields.begin(), fields.end(), [](const auto& field) {
        return field.tried && field.fate == Fate::NotWritten;
    });
    const auto cause = [&](Cause why, const FileError& error = {}) {
        outcome.cause = why;
        outcome.error = error;
    };
    if (stopped.kind != FileErrorKind::None || !sizeKnown) {
        cause(Cause::SizeUnknown, stopped.kind != FileErrorKind::None ? stopped : sizeError);
    } else if (!sizeHeld || has([](const auto& field) { return !field.tried; })) {
        outcome.size = sizeHeld ? outcome.size : after.size; // else as it was when writing stopped
        cause(Cause::SizeChanged);
    } else if (has([](const auto& field) { return field.fate == Fate::ReadOtherwise; })) {
        cause(Cause::ReadBack);
    } else if (refused != fields.end()) {
        cause(Cause::Write, refused->error); // the first refusal; what failed after follows
    } else if (!flushed || !closed) {
        cause(Cause::Flush, flushed ? closeError : flushError);
    } else if (written && !readBack) {
        cause(Cause::ReadBackFailed, readError);
    }
    // A failed close can be the first sign that written data was lost: nothing is confirmed then.
    for (Outcome::Field& field : fields) {
        field.fate = !closed && field.fate == Fate::Confirmed ? Fate::Written : field.fate;
    }
    return after;
}

// After a save that got past the check, the record takes what the file held just before the
// writes, what the storage gave back where it is known, and what was tried: after a failed one a
// later save then blames nobody for Kelvarin's own writes, and still sees another program's.
void Remember(ImageRecord& record, const Outcome& outcome) {
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const Outcome::Field& field = outcome.fields[i];
        const bool readBack = field.fate == Fate::Confirmed || field.fate == Fate::ReadOtherwise;
        record.fields[i] = readBack ? field.readBack : field.held;
        record.tried[i] = field.tried ? field.shown : field.held;
    }
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
        return messages::Refused(path, image.trouble);
    }

    // Everything is read and checked before anything is shown, so a bad file leaves the window
    // exactly as it was.
    const FieldsOnDisk fields = ReadFields(image.file);
    if (fields.error.kind != FileErrorKind::None) {
        return messages::Refused(path, messages::FileTrouble(fields.error, Operation::Load));
    }
    if (!fields.outside.empty()) {
        return messages::NotTheExpectedImage(path, fields.outside, fields.values);
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
    Outcome outcome = ShownAndHeld(
        lists, before.error.kind == FileErrorKind::None ? before.values : record.fields,
        image.facts.size);
    const FileError stopped = WriteFields(image.file, outcome);
    const FileFacts after = Confirm(image.file, outcome, stopped);
    const bool saved = outcome.cause == Outcome::Cause::None;
    if (saved || record.holdsImage) {
        Remember(record, outcome); // when saved, every field was read back as shown
    }
    if (saved) {
        record = {true, after.identity, after.size, after.modified, record.fields, record.tried};
    }
    return messages::Reported(ImagePath, outcome);
}

} // namespace kelvarin
