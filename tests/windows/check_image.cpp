// The image the Windows package's window check edits, and the check of what its Save wrote:
//   kelvarin_check_image make FOLDER LIST     FOLDER/image.nds, a copy in FOLDER/before.nds,
//                                             and the window's designed client size in
//                                             FOLDER/client-size ("457x769")
//   kelvarin_check_image compare FOLDER LIST  passes when image.nds differs from before.nds in
//                                             exactly LIST's two bytes, one entry further down
// LIST is a species list ("G8P4"): its field holds 255, so that one step down (256) changes
// both of its bytes.
#include "roster/roster_slot.h"
#include "test_image.h"
#include "ui/window_layout.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace kelvarin;
using namespace kelvarin::testing;

constexpr std::uint16_t kLoaded = 255;
constexpr std::uint16_t kOneDown = kLoaded + 1;

const RosterSlot* FindList(const std::string& name) {
    for (const RosterSlot& slot : kRosterSlots) {
        if (slot.control == name) {
            return &slot;
        }
    }
    return nullptr;
}

// The field a byte of the image belongs to, or what lies there.
std::string Place(std::int64_t offset) {
    for (const RosterSlot& slot : kRosterSlots) {
        if (offset >= slot.offset && offset < slot.offset + kFieldSize) {
            return std::string(slot.control) + ", " + DescribeSlot(slot);
        }
    }
    return "no field";
}

int Make(const std::filesystem::path& folder, const RosterSlot& slot) {
    const std::string image = (folder / "image.nds").string();
    std::filesystem::create_directories(folder);
    MakeRosterImage(image);
    StoreField(image, slot.offset, kLoaded);
    std::filesystem::copy_file(image, folder / "before.nds",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(folder / "client-size")
        << TwipsToPixels(kClientWidthTwips) << 'x' << TwipsToPixels(kClientHeightTwips) << '\n';
    std::printf("%s: the 46 fields of a roster image, %s holding %u\n",
                (folder / "image.nds").generic_string().c_str(), DescribeSlot(slot).c_str(),
                unsigned{kLoaded});
    return 0;
}

int Compare(const std::filesystem::path& folder, const RosterSlot& slot) {
    const std::string before = (folder / "before.nds").string();
    const std::string after = (folder / "image.nds").string();
    const std::vector<std::int64_t> changed = DifferingOffsets(before, after);
    const std::vector<std::int64_t> expected{slot.offset, slot.offset + 1};
    const unsigned now = StoredValue(after, slot.offset);
    if (changed == expected && now == kOneDown) {
        std::printf("%s changed from %u to %u, as chosen; no other byte changed\n",
                    DescribeSlot(slot).c_str(), unsigned{kLoaded}, now);
        return 0;
    }
    std::printf("expected exactly the two bytes of %s to change, from %u to %u; %s holds %u\n",
                DescribeSlot(slot).c_str(), unsigned{kLoaded}, unsigned{kOneDown},
                std::string(slot.control).c_str(), now);
    std::printf("%zu byte%s changed%s\n", changed.size(), changed.size() == 1 ? "" : "s",
                changed.empty() ? "" : ":");
    for (const std::int64_t offset : changed) {
        const auto old = ReadBytesAt(before, offset, 1);
        const auto saved = ReadBytesAt(after, offset, 1);
        std::printf("  0x%llX (%s): %s -> %s\n", static_cast<unsigned long long>(offset),
                    Place(offset).c_str(), old.empty() ? "none" : std::to_string(old[0]).c_str(),
                    saved.empty() ? "none" : std::to_string(saved[0]).c_str());
    }
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const RosterSlot* slot = args.size() == 3 ? FindList(args[2]) : nullptr;
    if (slot == nullptr || slot->kind != SlotKind::Species ||
        (args[0] != "make" && args[0] != "compare")) {
        std::fprintf(stderr, "usage: kelvarin_check_image make|compare FOLDER SPECIES-LIST\n");
        return 2;
    }
    try {
        return args[0] == "make" ? Make(args[1], *slot) : Compare(args[1], *slot);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kelvarin_check_image: %s\n", error.what());
        return 1;
    }
}
