#include "image/hex_byte_access.h"
#include "test_image.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace kelvarin {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadBytesAt;
using ::testing::StartsWith;
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
    FileError error{FileErrorKind::Other, "left over from before"};
    EXPECT_EQ(ReadHEX(image, start, length, &error), "2A01");
    EXPECT_EQ(start, 0x101);
    EXPECT_EQ(image, path);
    EXPECT_THAT(error.text, IsEmpty());
    EXPECT_EQ(error.kind, FileErrorKind::None);

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
    FileError systemSays; // in the system's own words, which differ between systems
    ASSERT_FALSE(ImageFile::Open(missing, ImageFile::Access::Read, &systemSays).isOpen());
    ASSERT_FALSE(systemSays.text.empty());
    for (std::int32_t length : {0, 2}) {
        std::int32_t start = 0x100;
        FileError error;
        EXPECT_EQ(ReadHEX(missing, start, length, &error), std::string(2 * length, '0'));
        EXPECT_EQ(start, 0x101);
        EXPECT_EQ(error.step, FileError::Step::Open);
        EXPECT_EQ(error.text, systemSays.text);
        EXPECT_EQ(error.kind, FileErrorKind::Missing);
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
}

TEST_F(HexByteAccess, ReadPastTheEndRepeatsLastByteAndSaysWhereTheFileEnded) {
    std::int32_t start = 0x1FF;
    WriteBytesAt(image, 0x1FF, {0x7C});
    FileError error;
    EXPECT_EQ(ReadHEX(image, start, 3, &error), "7C7C7C");
    EXPECT_EQ(error.step, FileError::Step::Read);
    EXPECT_EQ(error.offset, 0x200);
    EXPECT_EQ(error.finding, FileFinding::PastTheEnd);
    EXPECT_THAT(error.text, IsEmpty()); // the system said nothing: the file ended

    start = 0x400;
    EXPECT_EQ(ReadHEX(image, start, 2), "0000");
}

TEST_F(HexByteAccess, ReadAtNegativeOrTopOffsetNeitherCrashesNorOverflows) {
    std::int32_t start = -4;
    FileError error;
    EXPECT_EQ(ReadHEX(image, start, 2, &error), "0000");
    EXPECT_EQ(start, -3);
    EXPECT_EQ(error.finding, FileFinding::BeforeTheStart);

    start = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(ReadHEX(image, start, 2, &error), "0000");
    EXPECT_EQ(start, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(error.finding, FileFinding::LastOffset);
    EXPECT_EQ(error.offset, 0x7FFFFFFF);
}

TEST_F(HexByteAccess, ReadOfFolderReportsInsteadOfThrowing) {
    std::int32_t start = 0;
    FileError error;
    EXPECT_EQ(ReadHEX(dir.path().string(), start, 2, &error), "0000");
#ifdef _WIN32
    EXPECT_EQ(error.step, FileError::Step::Open); // Windows opens no folder
#else
    EXPECT_EQ(error.text, "Is a directory"); // POSIX opens it, then cannot read it
#endif
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
    FileError error{FileErrorKind::Other, "left over from before"};
    WriteHEX(image, start, data, &error);
    EXPECT_THAT(error.text, IsEmpty());
    EXPECT_EQ(error.kind, FileErrorKind::None);
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

TEST_F(HexByteAccess, WriteSkipsPairsThatAreNotHexAndReportsTheFirst) {
    std::int32_t start = 0x20;
    std::string data = "11ZZ33g044";
    FileError error;
    WriteHEX(image, start, data, &error);
    EXPECT_EQ(ReadBytesAt(image, 0x20, 5),
              (std::vector<std::uint8_t>{0x11, 0x00, 0x33, 0x00, 0x44}));
    EXPECT_EQ(error.finding, FileFinding::NotHexadecimal);
    EXPECT_EQ(error.offset, 0x21);
}

TEST_F(HexByteAccess, WriteNeverCreatesOrExtendsAFile) {
    const std::string missing = dir.file("missing.nds");
    std::int32_t start = 0;
    std::string data = "0102";
    FileError error;
    WriteHEX(missing, start, data, &error);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(start, 1);
    EXPECT_EQ(error.step, FileError::Step::Open);
    EXPECT_EQ(error.kind, FileErrorKind::Missing);

    std::string empty;
    start = 0;
    WriteHEX(missing, start, empty, &error);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_THAT(error.text, IsEmpty());
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
    FileError error;
    const ImageFile writer = ImageFile::Open(image, ImageFile::Access::ReadWrite, &error);
    ASSERT_TRUE(writer.isOpen()) << error.text;
    std::int32_t start = 0x30;
    std::string data = "BEEF";
    WriteHEX(writer, start, data);
    const ImageFile reader = ImageFile::Open(image, ImageFile::Access::Read, &error);
    ASSERT_TRUE(reader.isOpen()) << error.text;
    start = 0x30;
    EXPECT_EQ(ReadHEX(reader, start, 2), "BEEF");
    FileFacts facts;
    ASSERT_TRUE(reader.facts(facts, &error)) << error.text;
    EXPECT_EQ(facts.notPlainFile, "");
    EXPECT_EQ(facts.size, 0x200);
}

} // namespace
} // namespace kelvarin
