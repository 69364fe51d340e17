#include "roster_image.h"

#include "image/hex_text.h"
#include "roster_slot.h"

namespace kelvarin {
namespace {

std::string TooShort(std::int64_t size) {
    return "the file is too short to be the game image: it has " + std::to_string(size) +
           " bytes, but the gym teams end at byte " + std::to_string(kRosterEnd) + " (" +
           HexNumber(static_cast<std::uint64_t>(kRosterEnd)) + ")";
}

// Whatever a check found about the file, or empty if it may be used.
std::string ProblemWith(const FileFacts& facts) {
    if (!facts.notPlainFile.empty()) {
        return "it is " + facts.notPlainFile + ", not a game image file";
    }
    if (facts.size < kRosterEnd) {
        return TooShort(facts.size);
    }
    return {};
}

} // namespace

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

ImageFile OpenRosterImage(const std::string& path, ImageFile::Access access, std::string& problem) {
    // Look before opening: a named pipe or a device is refused without being opened at all.
    std::string error;
    FileFacts atPath;
    if (!InspectPath(path, atPath, &error)) {
        problem = atPath.missing ? "the file does not exist" : "the system says: " + error;
        return {};
    }
    problem = ProblemWith(atPath);
    if (!problem.empty()) {
        return {};
    }

    ImageFile file = ImageFile::Open(path, access, &error);
    if (!file.isOpen()) {
        const char* purpose = access == ImageFile::Access::Read ? "reading" : "writing";
        problem = std::string("it cannot be opened for ") + purpose + ": " + error;
        return {};
    }
    // Check again on what was actually opened, in case the path changed in between.
    FileFacts opened;
    if (!file.facts(opened, &error)) {
        problem = "the system says: " + error;
        return {};
    }
    problem = ProblemWith(opened);
    if (!problem.empty()) {
        return {};
    }
    return file;
}

} // namespace kelvarin
