// The wording table as a person reads it: every kind of file trouble told while loading and while
// saving, and what a save tells of the changes it was given. The one place whole sentences are
// held to their words.
#include "roster/roster.h"
#include "roster/roster_messages.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace kelvarin {
namespace {

using messages::Operation;
using messages::SaveOutcome;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Each kind, loading and saving: a cause of its own and advice that fits what was being done,
// and nothing quoted as the system's that the system did not say.
TEST(Wording, EveryKindOfTroubleIsToldForLoadingAndForSaving) {
    std::set<std::string> causes;
    for (int k = static_cast<int>(FileErrorKind::InUse);
         k <= static_cast<int>(FileErrorKind::Other); ++k) {
        const auto kind = static_cast<FileErrorKind>(k);
        SCOPED_TRACE(k);
        const messages::Trouble load = messages::FileTrouble({kind, {}}, Operation::Load);
        const messages::Trouble save =
            messages::FileTrouble({kind, "Words of the system"}, Operation::Save);
        EXPECT_TRUE(causes.insert(load.problem).second) << "shared by two kinds: " << load.problem;
        EXPECT_THAT(load.advice, AllOf(Not(IsEmpty()), Not(HasSubstr("save again"))));
        EXPECT_THAT(save.advice, AllOf(Not(IsEmpty()), Not(HasSubstr("open it again")),
                                       Not(HasSubstr("open the file again"))));
        EXPECT_THAT(load.details, IsEmpty());
        EXPECT_EQ(save.details, "The system said: Words of the system");
    }
}

// Where a read or write failed and what the system said stand apart; what Kelvarin found itself
// is never quoted as the system's.
TEST(Wording, WhereItFailedIsKelvarinsWordsAndOnlyTheSystemsAreQuoted) {
    const FileError write{FileErrorKind::NoSpace, "No space left on device", FileError::Step::Write,
                          0x1C300A4};
    EXPECT_EQ(messages::FileTrouble(write, Operation::Save).details,
              "Gym 8, member 4, species: writing at offset 0x1C300A4 failed.\n"
              "The system said: No space left on device");
    const FileError end{
        FileErrorKind::Other, {}, FileError::Step::Read, 0x1C30042, FileFinding::PastTheEnd};
    EXPECT_EQ(messages::FileTrouble(end, Operation::Load).details,
              "Gym 7, member 2, level: reading at offset 0x1C30042 failed: the position lies past "
              "the end of the file.");
}

// A save of `changes` changed fields (the first ones of the table): the first `withFate` of them
// with `fate`, the rest of them read back as written; the unchanged fields with `fate` too, or,
// when the changes' writes were refused, read back as written.
SaveOutcome SaveOf(std::size_t changes, SaveOutcome::Cause cause, SaveOutcome::Fate fate,
                   std::size_t withFate = kRosterSlotCount) {
    SaveOutcome outcome;
    outcome.cause = cause;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        SaveOutcome::Field& field = outcome.fields[i];
        field.held = 5;
        field.shown = i < changes ? 6 : 5;
        field.tried = true;
        const bool hit = i < changes ? i < withFate : fate != SaveOutcome::Fate::NotWritten;
        field.fate = hit ? fate : SaveOutcome::Fate::Confirmed;
        field.readBack = field.shown;
    }
    return outcome;
}

struct FateCase {
    std::size_t changes;
    SaveOutcome outcome;
    std::string fate; // the message's last sentence, or its start for a saved one
};

TEST(Wording, TheFateOfNoneOneThreeAndFourChanges) {
    using C = SaveOutcome::Cause;
    using F = SaveOutcome::Fate;
    const std::string name = NameInSentence("/games/image.nds");
    const FateCase cases[] = {
        {0, SaveOf(0, C::None, F::Confirmed),
         "Saved " + name + "; it already held every value shown."},
        {1, SaveOf(1, C::None, F::Confirmed), "Saved 1 change to " + name + "."},
        {4, SaveOf(4, C::None, F::Confirmed), "Saved 4 changes to " + name + "."},
        // Refused writes of the changed fields; the others were written and read back.
        {0, SaveOf(0, C::Write, F::NotWritten),
         "You had changed no field; the file may still hold what it held before."},
        {1, SaveOf(1, C::Write, F::NotWritten),
         "Your change to the species of gym 1, member 1 is not in the file."},
        {3, SaveOf(3, C::Write, F::NotWritten),
         "Your changes to the species of gym 1, member 1, the species of gym 1, member 2 and the "
         "species of gym 1, member 3 are not in the file."},
        {4, SaveOf(4, C::Write, F::NotWritten), "None of your 4 changes is in the file."},
        {4, SaveOf(4, C::Write, F::NotWritten, 1),
         "Your change to the species of gym 1, member 1 is not in the file, so it now holds some "
         "of your changes and not others."},
        {4, SaveOf(4, C::Write, F::NotWritten, 3),
         "Your changes to the species of gym 1, member 1, the species of gym 1, member 2 and the "
         "species of gym 1, member 3 are not in the file, so it now holds some of your changes and "
         "not others."},
        // The flush failed: whatever was written may not be on the disk.
        {0, SaveOf(0, C::Flush, F::Written),
         "You had changed no field, but the fields Kelvarin rewrote may not all be on the disk."},
        {1, SaveOf(1, C::Flush, F::Written),
         "It is not known whether your change to the species of gym 1, member 1 is in the file."},
        {3, SaveOf(3, C::Flush, F::Written),
         "It is not known which of your changes to the species of gym 1, member 1, the species of "
         "gym 1, member 2 and the species of gym 1, member 3 are in the file."},
        {4, SaveOf(4, C::Flush, F::Written),
         "It is not known which of your 4 changes are in the file."},
        // Every write refused.
        {3,
         [] {
             SaveOutcome none = SaveOf(3, C::Write, F::NotWritten);
             for (SaveOutcome::Field& field : none.fields) {
                 field.fate = F::NotWritten;
             }
             return none;
         }(),
         "Nothing was written."},
    };
    for (const FateCase& c : cases) {
        SCOPED_TRACE(c.fate);
        const SaveResult result = messages::Reported("/games/image.nds", c.outcome);
        EXPECT_THAT(result.message, HasSubstr(c.fate));
        EXPECT_EQ(result.saved(), c.outcome.cause == C::None);
        std::size_t notKnown = 0;
        std::size_t changesNotKnown = 0; // each has a line of its own in the details, no other
        for (const SaveOutcome::Field& field : c.outcome.fields) {
            notKnown += field.fate != F::Confirmed ? 1 : 0;
            changesNotKnown += field.fate != F::Confirmed && field.changed() ? 1 : 0;
        }
        EXPECT_EQ(result.unwritten.size(), notKnown);
        const auto lines = std::count(result.details.begin(), result.details.end(), '\n');
        EXPECT_EQ(static_cast<std::size_t>(lines), result.saved() ? 0 : changesNotKnown)
            << result.details;
    }
}

// A read-back that could reach only the system's cache is said, calmly, with the confirmation.
TEST(Wording, AConfirmationSaysWhenTheReadBackReachedOnlyTheCache) {
    SaveOutcome outcome = SaveOf(2, SaveOutcome::Cause::None, SaveOutcome::Fate::Confirmed);
    outcome.way = ImageFile::ReadBack::PastCache;
    EXPECT_THAT(messages::Reported("/games/image.nds", outcome).details, IsEmpty());
    outcome.way = ImageFile::ReadBack::CachedOnly;
    const SaveResult cached = messages::Reported("/games/image.nds", outcome);
    EXPECT_EQ(cached.message, "Saved 2 changes to " + NameInSentence("image.nds") + ".");
    EXPECT_EQ(cached.details, "File: /games/image.nds\nThe fields read back as written, from the "
                              "system's cache: this file system offers no way past it.");
}

} // namespace
} // namespace kelvarin
