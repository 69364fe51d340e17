#include "hex_text.h"

namespace kelvarin {

void AppendHexDigits(std::string& text, std::uint64_t value, int digits) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        text.push_back(kHexDigits[(value >> shift) & 0xF]);
    }
}

std::string HexNumber(std::uint64_t value, int minDigits) {
    int digits = 1;
    while (digits < 16 && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    std::string text = "0x";
    AppendHexDigits(text, value, digits > minDigits ? digits : minDigits);
    return text;
}

} // namespace kelvarin
