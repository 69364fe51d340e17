#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// Appends the `digits` lowest hex digits of `value`, upper case and zero-padded: the one way
// this program spells numbers in hex, for file text and messages alike.
void AppendHexDigits(std::string& text, std::uint64_t value, int digits);

// "0x1C300A6" for messages: at least `minDigits` digits, more when the value needs them.
std::string HexNumber(std::uint64_t value, int minDigits = 1);

} // namespace kelvarin
