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

// Keeps the first failure of a call: later ones are usually its consequences.
void Note(FileError* error, const FileError& what) {
    if (error && error->kind == FileErrorKind::None) {
        *error = what;
    }
}

// A failure of this layer's own finding, at `offset`.
void Note(FileError* error, FileFinding finding, std::int64_t offset,
          FileError::Step step = FileError::Step::None) {
    Note(error, {FileErrorKind::Other, {}, step, offset, finding});
}

// The system's reason for a failed step, with where it happened.
void Note(FileError* error, FileError reason, FileError::Step step, std::int64_t offset) {
    reason.step = step;
    reason.offset = offset;
    Note(error, reason);
}

void Clear(FileError* error) {
    if (error) {
        *error = {};
    }
}

// Raises the caller's position by one, as every caller of the byte operations expects. At the
// top of the 32-bit range there is no higher position; the value stays and the caller is told.
void AdvanceStart(std::int32_t& Start, FileError* error) {
    if (Start == std::numeric_limits<std::int32_t>::max()) {
        Note(error, FileFinding::LastOffset, Start);
        return;
    }
    ++Start;
}

void AppendByte(std::string& text, std::uint8_t byte) {
    AppendHexDigits(text, byte, 2);
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
                    FileError* error) {
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
        Note(error, FileFinding::BeforeTheStart, offset, FileError::Step::Read);
        readable = false;
    }
    while (position < end && readable) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(end - position, static_cast<std::int64_t>(chunk.size())));
        FileError reason;
        bool endOfFile = false;
        const std::size_t got = file->readAt(position, {chunk.data(), want}, &reason, &endOfFile);
        for (std::size_t i = 0; i < got; ++i) {
            byteValue = chunk[i];
            AppendByte(text, byteValue);
        }
        position += static_cast<std::int64_t>(got);
        if (got == want) {
            continue;
        }
        Note(error, reason, FileError::Step::Read, position);
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

void WriteBytes(const ImageFile* file, std::int64_t offset, std::vector<std::uint8_t>& run,
                FileError* error) {
    if (run.empty() || file == nullptr) {
        run.clear();
        return; // a failed open was noted already
    }
    if (offset < 0) {
        Note(error, FileFinding::BeforeTheStart, offset, FileError::Step::Write);
    } else if (FileError reason; !file->writeAt(offset, run, &reason)) {
        Note(error, reason, FileError::Step::Write, offset);
    }
    run.clear();
}

// Converts every digit pair first and writes each unbroken run of good bytes with one call, so
// that a field lands on the disk whole (old or new, never half of each) even if the program is
// stopped in the middle of a save.
void WriteRun(const ImageFile* file, std::int64_t offset, std::string& Data, FileError* error) {
    PadToEvenLength(Data);
    std::vector<std::uint8_t> run;
    std::int64_t runStart = offset;
    for (std::size_t pair = 0; pair < Data.size(); pair += 2) {
        const std::int64_t position = offset + static_cast<std::int64_t>(pair / 2);
        const int byte = HexByteValue(Data[pair], Data[pair + 1]);
        if (byte < 0) {
            WriteBytes(file, runStart, run, error);
            Note(error, FileFinding::NotHexadecimal, position, FileError::Step::Write);
            continue;
        }
        if (run.empty()) {
            runStart = position;
        }
        run.push_back(static_cast<std::uint8_t>(byte));
    }
    WriteBytes(file, runStart, run, error);
    Data.clear();
}

std::string ReadFrom(const ImageFile* file, std::int32_t& Start, std::int32_t Length,
                     FileError* error) {
    const std::int64_t offset = Start;
    AdvanceStart(Start, error);
    try {
        return ReadRun(file, offset, Length, error);
    } catch (const std::bad_alloc&) {
        Note(error, FileFinding::TooMany, offset, FileError::Step::Read);
        return {};
    }
}

void WriteTo(const ImageFile& file, std::int32_t& Start, std::string& Data, FileError* error) {
    const std::int64_t offset = Start;
    AdvanceStart(Start, error);
    WriteRun(file.isOpen() ? &file : nullptr, offset, Data, error);
}

} // namespace

std::string ReadHEX(const ImageFile& file, std::int32_t& Start, std::int32_t Length,
                    FileError* error) {
    Clear(error);
    return ReadFrom(&file, Start, Length, error);
}

std::string ReadHEX(const std::string& FilePath, std::int32_t& Start, std::int32_t Length,
                    FileError* error) {
    Clear(error);
    FileError reason;
    const ImageFile file = ImageFile::Open(FilePath, ImageFile::Access::Read, &reason);
    if (!file.isOpen()) {
        Note(error, reason, FileError::Step::Open, -1);
    }
    return ReadFrom(&file, Start, Length, error);
}

void WriteHEX(const ImageFile& file, std::int32_t& Start, std::string& Data, FileError* error) {
    Clear(error);
    WriteTo(file, Start, Data, error);
}

void WriteHEX(const std::string& FilePath, std::int32_t& Start, std::string& Data,
              FileError* error) {
    Clear(error);
    if (Data.empty()) {
        // Nothing to write: the file is not even opened.
        AdvanceStart(Start, error);
        return;
    }
    FileError reason;
    const ImageFile file = ImageFile::Open(FilePath, ImageFile::Access::ReadWrite, &reason);
    if (!file.isOpen()) {
        Note(error, reason, FileError::Step::Open, -1);
    }
    WriteTo(file, Start, Data, error);
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
