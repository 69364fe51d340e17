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
    OpenedImage image;
    image.trouble = std::move(trouble);
    return image;
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
        if (fields.error.kind != FileErrorKind::None) {
            return fields;
        }
        if (!SelectionFromFieldText(text, selection)) {
            fields.error = {FileErrorKind::Other,
                            {},
                            FileError::Step::Read,
                            slot.offset,
                            FileFinding::NotHexadecimal};
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
    messages::Conflict conflict;
    if (!record.holdsImage) {
        conflict.loaded = false;
        return messages::ChangedOnDisk(path, conflict);
    }
    if (now.error.kind != FileErrorKind::None) {
        return messages::NothingWritten(path, messages::FileTrouble(now.error, Operation::Save));
    }
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (now.values[i] != record.fields[i] && now.values[i] != record.tried[i]) {
            conflict.changed.push_back(&kRosterSlots[i]);
            messages::AddLine(
                conflict.lines,
                messages::ChangedFieldLine(kRosterSlots[i], record.fields[i], now.values[i]));
        }
    }
    conflict.size = image.facts.size;
    conflict.sizeWas = record.size;
    conflict.outside = now.outside;
    conflict.sameFile = image.facts.identity == record.identity;
    if (conflict.size == conflict.sizeWas && conflict.changed.empty() && now.outside.empty()) {
        return std::nullopt;
    }
    return messages::ChangedOnDisk(path, conflict);
}

// ---- Saving: write, confirm, classify, remember ----

// One field of a save, from what the window shows to what the storage gives back.
struct FieldOutcome {
    std::uint16_t held = 0;  // in the file just before the writes, as far as it could be read
    std::uint16_t shown = 0; // what the window shows, and what is written
    bool tried = false;      // a write was attempted
    bool written = false;    // the system accepted the write
    FileError error;         // why it did not
    std::optional<std::uint16_t> readBack; // what the storage gave back after the flush

    [[nodiscard]] bool changed() const { return shown != held; }
    [[nodiscard]] bool kept() const { return written && readBack == shown; }
};
using Outcomes = std::array<FieldOutcome, kRosterSlotCount>;

Outcomes ShownAndHeld(const ListSelection& lists, const FieldValues& held) {
    Outcomes outcomes{};
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        outcomes[i].held = held[i];
        outcomes[i].shown =
            static_cast<std::uint16_t>(lists.selectedIndex(kRosterSlots[i].control));
    }
    return outcomes;
}

// Writes every field with one write each. A program that ignores the lock may cut the file
// meanwhile, and a write past its new end would grow it again: once the size moves, or can no
// longer be told (a share that stalls), nothing more is written, and the error says why.
FileError WriteFields(const ImageFile& file, std::int64_t size, Outcomes& outcomes) {
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        FileFacts now;
        FileError error;
        if (!file.facts(now, &error) || now.size != size) {
            return error;
        }
        FieldOutcome& field = outcomes[i];
        std::string fieldText = FieldTextFromSelection(static_cast<std::int16_t>(field.shown));
        std::int32_t start = kRosterSlots[i].offset;
        field.tried = true;
        WriteHEX(file, start, fieldText, &field.error);
        field.written = field.error.kind == FileErrorKind::None;
    }
    return {};
}

// What the system said during and after the writes.
struct Confirmation {
    FileError sizeDuringWrites; // the size could not be told between two writes
    bool flushed = false;
    FileError flushError;
    bool sizeKnown = false;
    FileFacts after;
    FileError sizeError;
    bool readBack = false;
    std::optional<ImageFile::ReadBack> way;
    FileError readBackError;
    bool closed = false;
    FileError closeError;
    bool anyWritten = false;
};

// Reads the written fields back as the storage holds them, in one read of the fields' region.
void ReadBack(const ImageFile& file, Outcomes& outcomes, Confirmation& confirmation) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kRosterEnd - kRosterStart));
    ImageFile::ReadBack way = ImageFile::ReadBack::CachedOnly;
    confirmation.readBack =
        file.readBackAt(kRosterStart, bytes, way, &confirmation.readBackError) == bytes.size();
    confirmation.way = way;
    for (std::size_t i = 0; confirmation.readBack && i < kRosterSlots.size(); ++i) {
        if (outcomes[i].written) {
            const auto at = static_cast<std::size_t>(kRosterSlots[i].offset - kRosterStart);
            outcomes[i].readBack = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
        }
    }
}

bool SizeHeld(const Confirmation& confirmation, std::int64_t size) {
    return confirmation.sizeKnown && confirmation.after.size == size;
}

// Until the system confirms the data is on the disk, a crash or power cut could still lose it;
// only once it is there can a read come from the storage. The lock holds until the file is
// closed, so that no other writer that honours it comes between the flush and the read-back.
Confirmation Confirm(ImageFile& file, std::int64_t size, Outcomes& outcomes,
                     FileError sizeDuringWrites) {
    Confirmation confirmation;
    confirmation.sizeDuringWrites = std::move(sizeDuringWrites);
    confirmation.flushed = file.flushToDisk(&confirmation.flushError);
    confirmation.sizeKnown = file.facts(confirmation.after, &confirmation.sizeError);
    confirmation.anyWritten = std::any_of(outcomes.begin(), outcomes.end(),
                                          [](const FieldOutcome& field) { return field.written; });
    if (confirmation.flushed && SizeHeld(confirmation, size) && confirmation.anyWritten) {
        ReadBack(file, outcomes, confirmation);
    }
    confirmation.closed = file.close(&confirmation.closeError);
    return confirmation;
}

// The one cause a person is told, and the system's error that goes with it.
void ClassifyCause(const Confirmation& confirmation, std::int64_t size, std::size_t mismatches,
                   messages::SaveTrouble& trouble) {
    using Cause = messages::SaveTrouble::Cause;
    if (confirmation.sizeDuringWrites.kind != FileErrorKind::None) {
        trouble.cause = Cause::SizeUnknown;
        trouble.error = confirmation.sizeDuringWrites;
    } else if (!SizeHeld(confirmation, size)) {
        trouble.cause = confirmation.sizeKnown ? Cause::SizeChanged : Cause::SizeUnknown;
        trouble.error = confirmation.sizeError;
        trouble.sizeWas = size;
        trouble.size = confirmation.after.size;
    } else if (mismatches > 0) {
        trouble.cause = Cause::ReadBack;
    } else if (trouble.error.kind != FileErrorKind::None) {
        trouble.cause = Cause::Write; // a refused write is the cause; what failed after follows
    } else if (!confirmation.flushed || !confirmation.closed) {
        trouble.cause = Cause::Flush;
        trouble.error = confirmation.flushed ? confirmation.closeError : confirmation.flushError;
    } else {
        trouble.cause = Cause::ReadBackFailed;
        trouble.error = confirmation.readBackError;
    }
}

// What became of each field, for the person: which changes are not (known to be) in the file.
messages::SaveTrouble Classify(const Outcomes& outcomes, const Confirmation& confirmation,
                               std::int64_t size) {
    messages::SaveTrouble trouble;
    std::size_t mismatches = 0;
    std::string unconfirmed;
    trouble.confirmed = confirmation.flushed && confirmation.closed &&
                        SizeHeld(confirmation, size) && confirmation.readBack;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const FieldOutcome& field = outcomes[i];
        const RosterSlot& slot = kRosterSlots[i];
        trouble.writes += field.written ? 1 : 0;
        trouble.changes += field.changed() ? 1 : 0;
        if (field.tried && !field.written && trouble.error.kind == FileErrorKind::None) {
            trouble.error = field.error; // the first failure is the cause; later ones follow
        }
        // Fields after a stop of the writes were never tried: they are not written either.
        if (!field.written && field.changed() && (field.tried || confirmation.anyWritten)) {
            messages::AddLine(trouble.lines,
                              messages::UnwrittenLine(slot, field.shown, field.error));
        }
        if (field.readBack && !field.kept()) {
            ++mismatches;
            messages::AddLine(trouble.lines,
                              messages::ReadBackLine(slot, field.shown, *field.readBack));
        }
        if (field.changed() && !(trouble.confirmed && field.kept())) {
            trouble.missing.push_back(&slot);
            if (!trouble.confirmed && field.written) {
                messages::AddLine(unconfirmed, messages::UnconfirmedLine(slot, field.shown));
            }
        }
    }
    messages::AddLine(trouble.lines, unconfirmed);
    // With nothing written there was nothing to confirm.
    trouble.confirmed = trouble.confirmed || (trouble.writes == 0 && confirmation.flushed &&
                                              confirmation.closed && SizeHeld(confirmation, size));
    ClassifyCause(confirmation, size, mismatches, trouble);
    return trouble;
}

// After a failed save that got past the check, the record takes what the file held just before
// the writes, what the storage gave back where it is known, and what was tried: a later save
// then blames nobody for Kelvarin's own writes, and still sees another program's.
void Remember(ImageRecord& record, const Outcomes& outcomes, bool confirmed) {
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const FieldOutcome& field = outcomes[i];
        record.fields[i] = confirmed && field.readBack ? *field.readBack : field.held;
        record.tried[i] = field.tried ? field.shown : field.held;
    }
}

std::vector<const RosterSlot*> NotKnownOnDisk(const Outcomes& outcomes, bool confirmed) {
    std::vector<const RosterSlot*> fields;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (!(confirmed && outcomes[i].kept())) {
            fields.push_back(&kRosterSlots[i]);
        }
    }
    return fields;
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
        std::string lines;
        for (const RosterSlot* slot : fields.outside) {
            const auto i = static_cast<std::size_t>(slot - kRosterSlots.data());
            messages::AddLine(lines, messages::OutOfRange(*slot, fields.values[i]));
        }
        return messages::NotTheExpectedImage(path, fields.outside, lines);
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
    const std::int64_t size = image.facts.size;
    Outcomes outcomes = ShownAndHeld(
        lists, before.error.kind == FileErrorKind::None ? before.values : record.fields);
    FileError sizeDuringWrites = WriteFields(image.file, size, outcomes);
    const Confirmation confirmation =
        Confirm(image.file, size, outcomes, std::move(sizeDuringWrites));
    const messages::SaveTrouble trouble = Classify(outcomes, confirmation, size);

    if (trouble.confirmed && std::all_of(outcomes.begin(), outcomes.end(),
                                         [](const FieldOutcome& field) { return field.kept(); })) {
        FieldValues shown{};
        std::transform(outcomes.begin(), outcomes.end(), shown.begin(),
                       [](const FieldOutcome& field) { return field.shown; });
        const FileFacts& after = confirmation.after;
        record = {true, after.identity, after.size, after.modified, shown, shown};
        SaveResult saved{SaveStatus::Saved, messages::Saved(ImagePath, trouble.changes), {}, {}, {},
                         confirmation.way};
        return saved;
    }
    SaveResult failed = messages::FailedSave(ImagePath, trouble);
    failed.unwritten = NotKnownOnDisk(outcomes, trouble.confirmed);
    failed.readBack = confirmation.way;
    if (record.holdsImage) {
        Remember(record, outcomes, trouble.confirmed);
    }
    return failed;
}

} // namespace kelvarin
