#pragma once

#include <QRect>

#include <array>
#include <string_view>

// Where every control of the editor window sits, in twips as the window was designed, and what
// it is called. Child positions are relative to their frame.
namespace kelvarin {

inline constexpr int kClientWidthTwips = 6855;
inline constexpr int kClientHeightTwips = 11535;

inline constexpr QRect kOpenButtonTwips{2520, 240, 975, 375};
inline constexpr QRect kSaveButtonTwips{3480, 240, 855, 375};

inline constexpr int kGymFrameWidthTwips = 3135;
inline constexpr int kThreeMemberFrameHeightTwips = 2175;
inline constexpr int kFourMemberFrameHeightTwips = 2535;

inline constexpr QRect kLeaderLabelTwips{240, 360, 2055, 255};
inline constexpr int kGym1LeaderLabelWidthTwips = 1215;
inline constexpr QRect kLevelHeadingTwips{240, 720, 255, 255};
inline constexpr QRect kSpeciesHeadingTwips{1440, 720, 855, 255};
inline constexpr QRect kPictureTwips{2640, 240, 375, 375};

// Member row k (from 0) lies at the first row's top + k * step.
inline constexpr QRect kFirstLevelListTwips{120, 960, 615, 315};
inline constexpr QRect kFirstSpeciesListTwips{840, 960, 2175, 315};
inline constexpr int kMemberRowStepTwips = 360;

inline constexpr QRect kCreditsFrameTwips{120, 10800, 6615, 615};
inline constexpr QRect kCreditsLabelTwips{120, 120, 6375, 375};

inline constexpr std::string_view kCreditsText =
    "Kelvarin gym leader team editor, written by the Kelvarin developers";
inline constexpr std::string_view kLevelHeadingText = "Lv";
inline constexpr std::string_view kSpeciesHeadingText = "Pokemon";

inline constexpr int kMaxMembers = 4;

struct MemberRow {
    std::string_view levelList;
    std::string_view speciesList;
};

struct GymFrameLayout {
    int gym;
    std::string_view frame;
    std::string_view caption;
    int leftTwips;
    int topTwips;
    std::string_view leaderLabel;
    std::string_view leaderText;
    std::string_view levelHeading;
    std::string_view speciesHeading;
    std::string_view picture;
    int members;
    bool boundToRoster; // gym 6's lists are shown but tied to no field of the image
    // Names of the lists of a gym bound to no field; a bound gym's lists are named by the
    // roster's slot table.
    std::array<MemberRow, kMaxMembers> unboundRows;
};

// The names of the level and species lists of member row `row` (from 0) of `gym`.
MemberRow ListNames(const GymFrameLayout& gym, int row);

// In gym order, which is also the keyboard order of the frames.
extern const std::array<GymFrameLayout, 8> kGymFrames;

} // namespace kelvarin
