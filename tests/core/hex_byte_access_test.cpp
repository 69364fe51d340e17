#include "image/hex_byte_access.h"
#include "test_image.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

namespace kelvarin {
namespace {

using testing::ReadBytesAt;
using testing::TempDir;
using testing::WriteBytesAt;

class HexByteAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::MakeSparseFile(image, 0x200);
        WriteBytesAt(image, 0x100, {0x2A, 0x01, 0x00, 0x0A, 0xFF});
    }
    TempDir dir;
    std::string image = dir.file("image.bin");
};

TEST_F(HexByteAccess, ReadGivesUpperCaseDigitsInFileOrderAndRaisesStart) {
    std::int32_t start = 0x100;
    const std::int32_t length = 2;
    const std::string path = image;
    ByteIoReport report;
    EXPECT_EQ(ReadHEX(image, start, length, &report), "2A01");
    EXPECT_EQ(start, 0x101);
    EXPECT_EQ(image, path);
    EXPECT_TRUE(report.ok());

    start = 0x102;
    EXPECT_EQ(ReadHEX(image, start, 3), "000AFF");
}

TEST_F(HexByteAccess, ReadOfNothingIsEmptyText) {
    for (std::int32_t length : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        std::int32_t start = 0x100;
        EXPECT_EQ(ReadHEX(image, start, length), "");
        EXPECT_EQ(start, 0x101);
    }
}

TEST_F(HexByteAccess, ReadOfMissingFileReadsZerosReportsAndCreatesNothing) {
    const std::string missing = dir.file("missing.nds");
    for (std::int32_t length : {0, 2}) {
        std::int32_t start = 0x100;
        ByteIoReport report;
        EXPECT_EQ(ReadHEX(missing, start, length, &report), std::string(2 * length, '0'));
        EXPECT_EQ(start, 0x101);
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.failures.front().step, ByteIoStep::Open);
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
}

TEST_F(HexByteAccess, ReadPastTheEndRepeatsLastByteAndReportsEachGap) {
    std::int32_t start = 0x1FF;
    WriteBytesAt(image, 0x1FF, {0x7C});
    ByteIoReport report;
    EXPECT_EQ(ReadHEX(image, start, 3, &report), "7C7C7C");
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].step, ByteIoStep::Read);
    EXPECT_EQ(report.failures[0].offset, 0x200);

    start = 0x400;
    EXPECT_EQ(ReadHEX(image, start, 2), "0000");
}

TEST_F(HexByteAccess, ReadAtNegativeOrTopOffsetNeitherCrashesNorOverflows) {
    std::int32_t start = -4;
    ByteIoReport report;
    EXPECT_EQ(ReadHEX(image, start, 2, &report), "0000");
    EXPECT_EQ(start, -3);
    EXPECT_FALSE(report.ok());

    start = std::numeric_limits<std::int32_t>::max();
    ByteIoReport top;
    EXPECT_EQ(ReadHEX(image, start, 2, &top), "0000");
    EXPECT_EQ(start, std::numeric_limits<std::int32_t>::max());
    EXPECT_FALSE(top.ok());
}

TEST_F(HexByteAccess, ReadOfFolderReportsInsteadOfThrowing) {
    std::int32_t start = 0;
    ByteIoReport report;
    EXPECT_EQ(ReadHEX(dir.path().string(), start, 2, &report), "0000");
    EXPECT_FALSE(report.ok());
}

TEST(ReverseHex, ReversesPairsAndConsumesItsArgument) {
    struct Case {
        std::string in;
        std::string out;
    };
    for (const Case& c : {Case{"2A01", "012A"}, Case{"0102AB", "AB0201"}, Case{"ABC", "BC0A"},
                          Case{"A", "0A"}, Case{"", ""}, Case{"WXYZ", "YZWX"}}) {
        std::string text = c.in;
        EXPECT_EQ(ReverseHEX(text), c.out) << c.in;
        EXPECT_TRUE(text.empty());
    }
    std::string twice = "0102AB";
    std::string once = ReverseHEX(twice);
    EXPECT_EQ(ReverseHEX(once), "0102AB");
}

TEST_F(HexByteAccess, WriteChangesExactlyItsBytes) {
    const auto before = ReadBytesAt(image, 0, 0x200);
    std::int32_t start = 0x100;
    std::string data = "012a";
    ByteIoReport report;
    WriteHEX(image, start, data, &report);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(start, 0x101);

    auto expected = before;
    expected[0x100] = 0x01;
    expected[0x101] = 0x2A;
    EXPECT_EQ(ReadBytesAt(image, 0, 0x400), expected);
}

TEST_F(HexByteAccess, WriteOfOddLengthGetsLeadingZero) {
    std::int32_t start = 0x10;
    std::string data = "ABC";
    WriteHEX(image, start, data);
    EXPECT_EQ(ReadBytesAt(image, 0x10, 2), (std::vector<std::uint8_t>{0x0A, 0xBC}));
}

TEST_F(HexByteAccess, WriteSkipsAndReportsPairsThatAreNotHex) {
    std::int32_t start = 0x20;
    std::string data = "11ZZ33";
    ByteIoReport report;
    WriteHEX(image, start, data, &report);
    EXPECT_EQ(ReadBytesAt(image, 0x20, 3), (std::vector<std::uint8_t>{0x11, 0x00, 0x33}));
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].step, ByteIoStep::Convert);
    EXPECT_EQ(report.failures[0].offset, 0x21);
}

TEST_F(HexByteAccess, WriteNeverCreatesOrExtendsAFile) {
    const std::string missing = dir.file("missing.nds");
    std::int32_t start = 0;
    std::string data = "0102";
    ByteIoReport report;
    WriteHEX(missing, start, data, &report);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(start, 1);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failures.front().step, ByteIoStep::Open);

    std::string empty;
    start = 0;
    ByteIoReport quiet;
    WriteHEX(missing, start, empty, &quiet);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(quiet.ok());
}

TEST_F(HexByteAccess, ReadReverseReverseWriteLeavesFileIdentical) {
    const auto before = ReadBytesAt(image, 0, 0x200);
    std::int32_t readStart = 0x100;
    std::string text = ReadHEX(image, readStart, 2);
    std::string reversed = ReverseHEX(text);
    std::string back = ReverseHEX(reversed);
    std::int32_t writeStart = 0x100;
    WriteHEX(image, writeStart, back);
    EXPECT_EQ(ReadBytesAt(image, 0, 0x400), before);
}

TEST_F(HexByteAccess, OpenHandleReadsAndWritesLikeThePathForms) {
    std::string error;
    const ImageFile writer = ImageFile::Open(image, ImageFile::Access::ReadWrite, &error);
    ASSERT_TRUE(writer.isOpen()) << error;
    std::int32_t start = 0x30;
    std::string data = "BEEF";
    WriteHEX(writer, start, data);
    const ImageFile reader = ImageFile::Open(image, ImageFile::Access::Read, &error);
    ASSERT_TRUE(reader.isOpen()) << error;
    start = 0x30;
    EXPECT_EQ(ReadHEX(reader, start, 2), "BEEF");
    FileFacts facts;
    ASSERT_TRUE(reader.facts(facts, &error)) << error;
    EXPECT_EQ(facts.notPlainFile, "");
    EXPECT_EQ(facts.size, 0x200);
}

} // namespace
} // namespace kelvarin
