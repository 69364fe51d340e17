#include "load_pass.h"

#include "field_conversion.h"
#include "image/hex_byte_access.h"
#include "image/hex_text.h"
#include "roster_image.h"
#include "roster_slot.h"

#include <array>

namespace kelvarin {
namespace {

// `details` are whole lines that follow the one-line summary.
LoadResult Refuse(const std::string& path, const std::string& problem,
                  const std::string& details = {}) {
    return {LoadStatus::Refused, "Cannot load " + Quoted(path) + ": " + problem + "." + details +
                                     "\nNothing was changed."};
}

bool FitsList(const RosterSlot& slot, std::int16_t selection) {
    return selection >= -1 && selection < EntryCount(slot.kind);
}

std::string OutOfRange(const RosterSlot& slot, std::int16_t selection) {
    const auto stored = static_cast<std::uint16_t>(selection);
    return DescribeSlot(slot) + " holds " + HexNumber(stored, 4) + " (" + std::to_string(stored) +
           "); a " + SlotKindName(slot.kind) + " must be 0 to " +
           std::to_string(EntryCount(slot.kind) - 1) + ", or 0xFFFF for none";
}

} // namespace

LoadResult LoadRoster(const std::string& path, std::string& ImagePath, ListSelection& lists) {
    if (path.empty()) {
        return {LoadStatus::Cancelled, {}};
    }

    std::string problem;
    const ImageFile file = OpenRosterImage(path, ImageFile::Access::Read, problem);
    if (!file.isOpen()) {
        return Refuse(path, problem);
    }

    // Everything is read and checked before anything is shown, so a bad file leaves the window
    // exactly as it was.
    std::array<std::int16_t, kRosterSlotCount> selections{};
    std::string outOfRange;
    int badFields = 0;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const RosterSlot& slot = kRosterSlots[i];
        std::int32_t start = slot.offset;
        ByteIoReport report;
        const std::string fieldText = ReadHEX(file, start, kFieldSize, &report);
        if (!report.ok()) {
            return Refuse(path, "reading " + DescribeSlot(slot) +
                                    " failed: " + report.failures.front().reason);
        }
        selections[i] = SelectionFromFieldText(fieldText);
        if (!FitsList(slot, selections[i])) {
            outOfRange += "\n  " + OutOfRange(slot, selections[i]);
            ++badFields;
        }
    }
    if (badFields > 0) {
        const std::string count = badFields == 1
                                      ? "1 field holds a value"
                                      : std::to_string(badFields) + " fields hold values";
        return Refuse(path,
                      count + " that no list entry stands for, so it is probably not the "
                              "expected game image",
                      outOfRange);
    }

    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        lists.setSelectedIndex(kRosterSlots[i].control, selections[i]);
    }
    ImagePath = path;
    return {LoadStatus::Loaded, {}};
}

} // namespace kelvarin
