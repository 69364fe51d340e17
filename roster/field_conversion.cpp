#include "field_conversion.h"

#include "image/hex_byte_access.h"
#include "image/hex_text.h"

#include <charconv>

namespace kelvarin {

std::int16_t SelectionFromFieldText(const std::string& fileOrderHex) {
    std::string digits = fileOrderHex;
    const std::string valueOrder = ReverseHEX(digits); // high byte's digits first
    std::uint16_t value = 0;
    std::from_chars(valueOrder.data(), valueOrder.data() + valueOrder.size(), value, 16);
    // Two's complement: 0x8000..0xFFFF stand for -32768..-1.
    return static_cast<std::int16_t>(value);
}

std::string FieldTextFromSelection(std::int16_t selection) {
    std::string valueOrder; // high byte's digits first
    AppendHexDigits(valueOrder, static_cast<std::uint16_t>(selection), 4);
    return ReverseHEX(valueOrder);
}

} // namespace kelvarin
