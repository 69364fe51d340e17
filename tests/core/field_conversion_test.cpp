#include "roster/roster.h"

#include <gtest/gtest.h>

namespace kelvarin {
namespace {

std::string FileOrderText(std::uint16_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::uint8_t low = value & 0xFF;
    const std::uint8_t high = value >> 8;
    return {kDigits[low >> 4], kDigits[low & 0xF], kDigits[high >> 4], kDigits[high & 0xF]};
}

// The selection a field text stands for, or 12345 (no 16-bit pattern maps to it through a
// failed conversion) when it was refused.
int Selection(const std::string& text) {
    std::int16_t selection = 0;
    return SelectionFromFieldText(text, selection) ? selection : 12345;
}

TEST(FieldConversion, KnownValues) {
    EXPECT_EQ(Selection("2A01"), 298);
    EXPECT_EQ(Selection("0000"), 0);
    EXPECT_EQ(Selection("FFFF"), -1);
    EXPECT_EQ(Selection("0080"), -32768);
    EXPECT_EQ(Selection("FF7F"), 32767);
    EXPECT_EQ(Selection("6400"), 100);
    EXPECT_EQ(Selection("ed01"), 493);

    EXPECT_EQ(FieldTextFromSelection(298), "2A01");
    EXPECT_EQ(FieldTextFromSelection(-1), "FFFF");
    EXPECT_EQ(FieldTextFromSelection(5), "0500");
    EXPECT_EQ(FieldTextFromSelection(493), "ED01");
    EXPECT_EQ(FieldTextFromSelection(-32768), "0080");
}

TEST(FieldConversion, EverySixteenBitPatternRoundTripsExactly) {
    for (std::uint32_t pattern = 0; pattern <= 0xFFFF; ++pattern) {
        const auto value = static_cast<std::uint16_t>(pattern);
        const std::string text = FileOrderText(value);
        std::int16_t selection = 0;
        ASSERT_TRUE(SelectionFromFieldText(text, selection)) << text;
        // Two's complement, computed independently of the code under test.
        const int expected =
            pattern < 0x8000 ? static_cast<int>(pattern) : static_cast<int>(pattern) - 0x10000;
        ASSERT_EQ(selection, expected) << text;
        ASSERT_EQ(FieldTextFromSelection(selection), text) << pattern;
    }
}

TEST(FieldConversion, TextThatIsNotFourHexDigitsIsRefused) {
    for (const char* text : {"", "2A0", "2A011", "2A0G", " 2A0", "0x2A"}) {
        EXPECT_EQ(Selection(text), 12345) << text;
    }
}

} // namespace
} // namespace kelvarin
