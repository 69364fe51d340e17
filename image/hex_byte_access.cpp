#include "hex_byte_access.h"

#include "hex_text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <vector>

namespace kelvarin {
namespace {

constexpr std::size_t kReadChunk = 4096;

void Note(ByteIoReport* report, ByteIoStep step, std::int64_t offset, std::string reason) {
    if (report) {
        report->add(step, offset, std::move(reason));
    }
}

// Raises the caller's position by one, as every caller of the byte operations expects. At the
// top of the 32-bit range there is no higher position; the value stays and the caller is told.
void AdvanceStart(std::int32_t& Start, ByteIoReport* report) {
    if (Start == std::numeric_limits<std::int32_t>::max()) {
        Note(report, ByteIoStep::Range, Start, "the offset is the largest there is");
        return;
    }
    ++Start;
}

void AppendByte(std::string& text, std::uint8_t byte) {
    AppendHexDigits(text, byte, 2);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

void PadToEvenLength(std::string& text) {
    if (text.size() % 2 != 0) {
        text.insert(text.begin(), '0');
    }
}

// Reads `length` bytes from `offset` (the 0-based offset the caller passed) as hex text. A byte
// that cannot be read repeats the last byte value of this call, or 0 before any was read; `file`
// may be null for a file that could not be opened.
std::string ReadRun(const ImageFile* file, std::int64_t offset, std::int32_t length,
                    ByteIoReport* report) {
    std::string text;
    if (length <= 0) {
        return text;
    }
    text.reserve(2 * static_cast<std::size_t>(length));
    std::uint8_t byteValue = 0;
    std::array<std::uint8_t, kReadChunk> chunk; // only the bytes read are looked at
    std::int64_t position = offset;
    const std::int64_t end = offset + length;
    bool readable = file != nullptr && file->isOpen();
    if (readable && offset < 0) {
        Note(report, ByteIoStep::Range, offset, "a file has no bytes before its start");
        readable = false;
    }
    while (position < end && readable) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(end - position, static_cast<std::int64_t>(chunk.size())));
        std::string error;
        bool endOfFile = false;
        const std::size_t got = file->readAt(position, {chunk.data(), want}, &error, &endOfFile);
        for (std::size_t i = 0; i < got; ++i) {
            byteValue = chunk[i];
            AppendByte(text, byteValue);
        }
        position += static_cast<std::int64_t>(got);
        if (got == want) {
            continue;
        }
        Note(report, ByteIoStep::Read, position, error);
        if (endOfFile) {
            // Every later position lies past the end as well: no point asking again.
            readable = false;
        } else {
            AppendByte(text, byteValue);
            ++position;
        }
    }
    while (position < end) {
        AppendByte(text, byteValue);
        ++position;
    }
    return text;
}

// Converts every digit pair first and writes each unbroken run of good bytes with one call, so
// that a field lands on the disk whole (old or new, never half of each) even if the program is
// stopped in the middle of a save.
void WriteRun(const ImageFile* file, std::int64_t offset, std::string& Data, ByteIoReport* report) {
    PadToEvenLength(Data);
    std::vector<std::uint8_t> run;
    std::int64_t runStart = offset;
    const auto flushRun = [&] {
        if (run.empty() || file == nullptr) {
            run.clear();
            return; // a failed open was reported once already
        }
        if (runStart < 0) {
            Note(report, ByteIoStep::Range, runStart, "a file has no bytes before its start");
        } else if (std::string error; !file->writeAt(runStart, run, &error)) {
            Note(report, ByteIoStep::Write, runStart, error);
        }
        run.clear();
    };
    for (std::size_t pair = 0; pair < Data.size(); pair += 2) {
        const std::int64_t position = offset + static_cast<std::int64_t>(pair / 2);
        const int high = HexDigitValue(Data[pair]);
        const int low = HexDigitValue(Data[pair + 1]);
        if (high < 0 || low < 0) {
            flushRun();
            Note(report, ByteIoStep::Convert, position,
                 "\"" + Data.substr(pair, 2) + "\" is not a hexadecimal byte");
            continue;
        }
        if (run.empty()) {
            runStart = position;
        }
        run.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    flushRun();
    Data.clear();
}

} // namespace

std::string ReadHEX(const ImageFile& file, std::int32_t& Start, std::int32_t Length,
                    ByteIoReport* report) {
    const std::int64_t offset = Start;
    AdvanceStart(Start, report);
    try {
        return ReadRun(&file, offset, Length, report);
    } catch (const std::bad_alloc&) {
        Note(report, ByteIoStep::Range, offset, "too many bytes asked for at once");
        return {};
    }
}

std::string ReadHEX(const std::string& FilePath, std::int32_t& Start, std::int32_t Length,
                    ByteIoReport* report) {
    std::string error;
    const ImageFile file = ImageFile::Open(FilePath, ImageFile::Access::Read, &error);
    if (!file.isOpen()) {
        Note(report, ByteIoStep::Open, -1, error);
    }
    return ReadHEX(file, Start, Length, report);
}

void WriteHEX(const ImageFile& file, std::int32_t& Start, std::string& Data, ByteIoReport* report) {
    const std::int64_t offset = Start;
    AdvanceStart(Start, report);
    WriteRun(file.isOpen() ? &file : nullptr, offset, Data, report);
}

void WriteHEX(const std::string& FilePath, std::int32_t& Start, std::string& Data,
              ByteIoReport* report) {
    if (Data.empty()) {
        // Nothing to write: the file is not even opened.
        AdvanceStart(Start, report);
        return;
    }
    std::string error;
    const ImageFile file = ImageFile::Open(FilePath, ImageFile::Access::ReadWrite, &error);
    if (!file.isOpen()) {
        Note(report, ByteIoStep::Open, -1, error);
    }
    WriteHEX(file, Start, Data, report);
}

std::string ReverseHEX(std::string& HEXData) {
    PadToEvenLength(HEXData);
    std::string reversed;
    reversed.reserve(HEXData.size());
    for (std::size_t end = HEXData.size(); end >= 2; end -= 2) {
        reversed.append(HEXData, end - 2, 2);
    }
    HEXData.clear();
    return reversed;
}

} // namespace kelvarin
