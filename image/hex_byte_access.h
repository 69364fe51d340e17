#pragma once

#include "image_file.h"

#include <cstdint>
#include <string>

namespace kelvarin {

// Hex byte strings: two upper-case hex digits per byte, bytes in file order, no separators.
//
// ReadHEX and WriteHEX are forgiving: they never throw, ReadHEX always returns 2 * Length
// characters and WriteHEX always consumes all of Data. Both raise the caller's Start by one, as
// long-standing callers expect. When `error` is given it is cleared at the start of the call and
// afterwards holds the first failure: its kind, the system's words, and the step and offset where
// it happened (writing at 0x1C30004: "File too large"); a kind of None means all went well.

// Returns the hex text of the Length bytes at offset Start of the file. A byte that cannot be
// read repeats the last byte read in this call ("00" when none was). Never creates the file.
std::string ReadHEX(const std::string& FilePath, std::int32_t& Start, std::int32_t Length,
                    FileError* error = nullptr);

// The same on a file the caller already holds open, so that a pass over many fields checks and
// reads one and the same file.
std::string ReadHEX(const ImageFile& file, std::int32_t& Start, std::int32_t Length,
                    FileError* error = nullptr);

// Writes the bytes that Data spells (an odd-length text gets a leading "0"), the first at
// offset Start; each unbroken run of bytes goes to the file with one write. A pair that is not
// hexadecimal is not written. Data is empty afterwards. Never creates or truncates the file; an
// empty Data opens nothing.
void WriteHEX(const std::string& FilePath, std::int32_t& Start, std::string& Data,
              FileError* error = nullptr);

void WriteHEX(const ImageFile& file, std::int32_t& Start, std::string& Data,
              FileError* error = nullptr);

// Returns the two-character groups of HEXData in reverse order (an odd-length text gets a
// leading "0" first); HEXData is empty afterwards. Works on characters, not on their values.
std::string ReverseHEX(std::string& HEXData);

} // namespace kelvarin
