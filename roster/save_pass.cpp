#include "save_pass.h"

#include "field_conversion.h"
#include "image/hex_byte_access.h"
#include "roster_image.h"

namespace kelvarin {
namespace {

SaveResult NothingWritten(const std::string& path, const std::string& problem) {
    return {SaveStatus::Failed,
            "Cannot save to " + Quoted(path) + ": " + problem + ".\nNothing was written.",
            {}};
}

// One line per field, with each distinct reason once (both bytes usually fail alike).
std::string WriteFailureLine(const RosterSlot& slot, const ByteIoReport& report) {
    std::string reasons;
    for (const ByteIoFailure& failure : report.failures) {
        if (reasons.find(failure.reason) == std::string::npos) {
            reasons += (reasons.empty() ? "" : "; ") + failure.reason;
        }
    }
    return "\n  " + DescribeSlot(slot) + ": " + reasons;
}

} // namespace

SaveResult SaveRoster(const std::string& ImagePath, const ListSelection& lists) {
    if (ImagePath.empty()) {
        return {
            SaveStatus::NothingToSave, "No game image is open, so there is nothing to save.", {}};
    }

    std::string problem;
    ImageFile file = OpenRosterImage(ImagePath, ImageFile::Access::ReadWrite, problem);
    if (!file.isOpen()) {
        return NothingWritten(ImagePath, problem);
    }

    SaveResult result{SaveStatus::Saved, {}, {}};
    std::string failures;
    for (const RosterSlot& slot : kRosterSlots) {
        std::string fieldText = FieldTextFromSelection(lists.selectedIndex(slot.control));
        std::int32_t start = slot.offset;
        ByteIoReport report;
        WriteHEX(file, start, fieldText, &report);
        if (!report.ok()) {
            result.unwritten.push_back(&slot);
            failures += WriteFailureLine(slot, report);
        }
    }

    // Until the system confirms the data is on the disk, a crash or power cut could still lose
    // it; success is reported only after that confirmation.
    std::string flushError;
    const bool flushed = file.flushToDisk(&flushError) && file.close(&flushError);

    if (result.unwritten.empty() && flushed) {
        return result;
    }
    result.status = SaveStatus::Failed;
    if (!result.unwritten.empty()) {
        result.message = "Could not save every change to " + Quoted(ImagePath) + ": " +
                         std::to_string(result.unwritten.size()) + " of the " +
                         std::to_string(kRosterSlotCount) + " fields were not written:" + failures;
    }
    if (!flushed) {
        result.message += (result.message.empty() ? "" : "\n") +
                          std::string("The system could not confirm that the changes to ") +
                          Quoted(ImagePath) + " reached the disk: " + flushError + ".";
        // Without that confirmation none of the fields can be trusted to be on disk.
        result.unwritten.clear();
        for (const RosterSlot& slot : kRosterSlots) {
            result.unwritten.push_back(&slot);
        }
    }
    result.message += "\nThe file may now hold some of the changes and not others; check it "
                      "before you use it, or save again.";
    return result;
}

} // namespace kelvarin
