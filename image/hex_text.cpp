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

int HexByteValue(char high, char low) {
    const int h = HexDigitValue(high);
    const int l = HexDigitValue(low);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

} // namespace kelvarin
