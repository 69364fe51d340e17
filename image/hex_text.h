#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// Every hex digit of the program, in both directions: the upper-case digits written into file
// text and messages, and the digits (either case) read back from hex text.

// Appends the `digits` lowest hex digits of `value`, upper case and zero-padded.
void AppendHexDigits(std::string& text, std::uint64_t value, int digits);

// "0x1C300A6" for messages: at least `minDigits` digits, more when the value needs them.
std::string HexNumber(std::uint64_t value, int minDigits = 1);

// The value of one hex digit, 0 to 15, or -1 for a character that is none.
int HexDigitValue(char c);

// The byte two hex digits spell ("2a" -> 0x2A), or -1 if either character is no hex digit.
int HexByteValue(char high, char low);

} // namespace kelvarin
