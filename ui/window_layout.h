#pragma once

#include "roster/roster_slot.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <array>
#include <string_view>
#include <utility>
#include <vector>

class QWidget;

// Where every control of the editor window sits, in twips as the window was designed, and what
// it is called. Child positions are relative to their frame.
namespace kelvarin {

// The window's geometry is designed in twips (1/1440 inch) at 15 twips per logical pixel. A
// person's larger font makes every twip larger by `scale` (ui/font_fit.h); at 1 the window is
// exactly as designed.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips, qreal scale = 1.0) {
    return scale <= 1.0 ? twips / kTwipsPerPixel : qRound(twips * scale / kTwipsPerPixel);
}

// A rectangle given as left, top, width and height in twips, in logical pixels.
constexpr QRect PixelRect(const QRect& twips, qreal scale = 1.0) {
    return {TwipsToPixels(twips.left(), scale), TwipsToPixels(twips.top(), scale),
            TwipsToPixels(twips.width(), scale), TwipsToPixels(twips.height(), scale)};
}

// The names and texts of the window's tables (this layout, the slot table, the species names),
// as the widgets take them.
inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline constexpr int kClientWidthTwips = 6855;
inline constexpr int kClientHeightTwips = 11535;

constexpr QSize ClientPixels(qreal scale = 1.0) {
    return {TwipsToPixels(kClientWidthTwips, scale), TwipsToPixels(kClientHeightTwips, scale)};
}

// The window's controls with their places in twips, put in pixels at one scale: as each is made,
// and all of them again when the scale changes. Each control keeps its place against the others,
// and nothing but the scale moves it.
class PlacedControls {
  public:
    void place(QWidget& control, const QRect& twips);
    void setScale(qreal scale);

  private:
    std::vector<std::pair<QWidget*, QRect>> placed_; // children of the window, gone with it
    qreal scale_ = 1.0;
};

// A control that shows one fixed text: its name, its text and its place.
struct PlacedText {
    std::string_view name;
    std::string_view text;
    QRect twips;
};

// The two buttons, in keyboard order.
inline constexpr PlacedText kOpenButton{"cmdOpen", "Open", {2520, 240, 975, 375}};
inline constexpr PlacedText kSaveButton{"cmdSave", "Save", {3480, 240, 855, 375}};

inline constexpr int kGymFrameWidthTwips = 3135;
inline constexpr int kThreeMemberFrameHeightTwips = 2175;
inline constexpr int kFourMemberFrameHeightTwips = 2535;

inline constexpr QRect kLevelHeadingTwips{240, 720, 255, 255};
inline constexpr QRect kSpeciesHeadingTwips{1440, 720, 855, 255};
inline constexpr QRect kPictureTwips{2640, 240, 375, 375};

// Member row k (from 0) lies at the first row's top + k * step.
inline constexpr QRect kFirstLevelListTwips{120, 960, 615, 315};
inline constexpr QRect kFirstSpeciesListTwips{840, 960, 2175, 315};
inline constexpr int kMemberRowStepTwips = 360;

// The untitled credits strip at the bottom and its one line, placed within the strip.
inline constexpr std::string_view kCreditsFrame = "Frame4";
inline constexpr QRect kCreditsFrameTwips{120, 10800, 6615, 615};
inline constexpr PlacedText kCreditsLabel{
    "Label25",
    "Kelvarin gym leader team editor, written by the Kelvarin developers",
    {120, 120, 6375, 375}};
inline constexpr std::string_view kLevelHeadingText = "Lv";
inline constexpr std::string_view kSpeciesHeadingText = "Pokemon";

inline constexpr int kMaxMembers = 4;

struct MemberRow {
    std::string_view levelList;
    std::string_view speciesList;
};
using MemberRows = std::array<MemberRow, kMaxMembers>;

struct GymFrameLayout {
    int gym;
    std::string_view frame;
    std::string_view caption;
    int leftTwips;
    int topTwips;
    std::string_view leaderLabel;
    int leaderWidthTwips;
    std::string_view leaderText;
    std::string_view levelHeading;
    std::string_view speciesHeading;
    std::string_view picture;
    int members;
    bool boundToRoster; // gym 6's lists are shown but tied to no field of the image
    // Names of the lists of a gym bound to no field; a bound gym's lists are named by the
    // roster's slot table.
    MemberRows unboundRows;
};

// In gym order, which is also the keyboard order of the frames.
extern const std::array<GymFrameLayout, 8> kGymFrames;

// The leader label of `gym`; its width differs from gym to gym.
constexpr QRect LeaderLabelTwips(const GymFrameLayout& gym) {
    return {240, 360, gym.leaderWidthTwips, 255};
}

// The names of the level and species lists of member row `row` (from 0) of `gym`.
MemberRow ListNames(const GymFrameLayout& gym, int row);

// What a screen reader calls the list of `kind` of member `member` (from 1) of `gym`:
// "Gym 8, member 4, species".
QString FieldName(int gym, int member, SlotKind kind);

} // namespace kelvarin
