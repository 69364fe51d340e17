#pragma once

// The checks the core tests make on an image under test. They need the test framework, so they
// stay in this header, out of the support library that the fuzzer and the benchmarks link.
#include "roster/roster.h"
#include "test_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace kelvarin::testing {

inline bool SameRecord(const ImageRecord& a, const ImageRecord& b) {
    return a.holdsImage == b.holdsImage && a.identity == b.identity && a.size == b.size &&
           a.modified == b.modified && a.fields == b.fields;
}

// A message as a person reads it, or hears it from a screen reader: the first sentence names the
// file by its name; the whole path, offsets and hex values stand only in the details, which
// begin with the path. `problem` may stand in either.
inline void ExpectReadsWell(const std::string& path, const std::string& message,
                            const std::string& details, const std::string& problem) {
    using ::testing::HasSubstr;
    using ::testing::Not;
    EXPECT_THAT(message, HasSubstr(NameInSentence(path)));
    EXPECT_THAT(message, Not(HasSubstr("0x")));
    if (FileNameOf(path) != path) {
        EXPECT_THAT(message, Not(HasSubstr(path)));
    }
    EXPECT_THAT(details, ::testing::StartsWith("File: " + path));
    EXPECT_THAT(message + "\n" + details, HasSubstr(problem));
}

struct CheckedImage : ImageUnderTest {
    // Open pressed on `path`, and the file refused: the message names the file and the
    // problem, and the window shows exactly what it showed before.
    void ExpectLoadRefused(const std::string& path, const std::string& problem) {
        using ::testing::HasSubstr;
        const auto shown = lists.all();
        const std::string earlierPath = ImagePath;
        const ImageRecord earlierRecord = record;
        const LoadResult result = LoadRoster(path, ImagePath, lists, record);
        EXPECT_EQ(result.status, LoadStatus::Refused) << path;
        EXPECT_THAT(result.message, HasSubstr("Nothing was changed."));
        ExpectReadsWell(path, result.message, result.details, problem);
        EXPECT_THAT(result.advice, ::testing::Not(::testing::IsEmpty()));
        EXPECT_EQ(lists.all(), shown);
        EXPECT_EQ(ImagePath, earlierPath);
        EXPECT_TRUE(SameRecord(record, earlierRecord));
    }

    void LoadAndChange(const std::string& path) {
        ASSERT_TRUE(LoadRoster(path, ImagePath, lists, record).loaded()) << path;
        // Change every field, so any field that did not reach the disk would show.
        for (const RosterSlot& slot : kRosterSlots) {
            lists.setSelectedIndex(slot.control, static_cast<std::int16_t>(slot.member * 3));
        }
    }

    void ExpectSaveFailedWithoutWriting(const std::string& problem) {
        using ::testing::HasSubstr;
        const SaveResult result = SaveRoster(ImagePath, lists, record);
        EXPECT_EQ(result.status, SaveStatus::Failed);
        EXPECT_THAT(result.message, HasSubstr("Nothing was written"));
        ExpectReadsWell(ImagePath, result.message, result.details, problem);
    }
};

} // namespace kelvarin::testing
