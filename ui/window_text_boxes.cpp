#include "ui/window_text_boxes.h"

#include "ui/fixed_lists.h"
#include "ui/twips.h"
#include "ui/window_layout.h"

namespace kelvarin {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QSize Size(const QRect& twips) {
    return PixelRect(twips).size();
}

} // namespace

std::vector<TextBox> WindowTextBoxes(const QStyle& style, const QStringList& speciesEntries,
                                     const QStringList& levelEntries) {
    // Lists are ordered last: they are the costliest to measure, and most fonts that do not
    // fit already fail on a caption.
    std::vector<TextBox> boxes;
    boxes.push_back({QStringLiteral("cmdOpen"),
                     ButtonRoom(style, Size(kOpenButtonTwips)),
                     {QStringLiteral("Open")}});
    boxes.push_back({QStringLiteral("cmdSave"),
                     ButtonRoom(style, Size(kSaveButtonTwips)),
                     {QStringLiteral("Save")}});
    const QSize titleRoom =
        FrameTitleRoom(TwipsToPixels(kGymFrameWidthTwips), TwipsToPixels(kPictureTwips.top()));
    const QSize leaderRoom = LabelRoom(Size(kLeaderLabelTwips));
    QRect gym1LeaderTwips = kLeaderLabelTwips;
    gym1LeaderTwips.setWidth(kGym1LeaderLabelWidthTwips);
    for (const GymFrameLayout& gym : kGymFrames) {
        // Styles leave a blank after a frame title.
        boxes.push_back({Text(gym.frame), titleRoom, {Text(gym.caption) + QLatin1Char(' ')}});
        boxes.push_back({Text(gym.leaderLabel),
                         gym.gym == 1 ? LabelRoom(Size(gym1LeaderTwips)) : leaderRoom,
                         {Text(gym.leaderText)}});
        boxes.push_back({Text(gym.levelHeading),
                         LabelRoom(Size(kLevelHeadingTwips)),
                         {Text(kLevelHeadingText)}});
        boxes.push_back({Text(gym.speciesHeading),
                         LabelRoom(Size(kSpeciesHeadingTwips)),
                         {Text(kSpeciesHeadingText)}});
    }
    boxes.push_back(
        {QStringLiteral("Label25"), LabelRoom(Size(kCreditsLabelTwips)), {Text(kCreditsText)}});

    // Every list of a kind has the same size, so one box per kind covers them all.
    const QSize levelRoom = ListRoom(style, Size(kFirstLevelListTwips));
    const QSize speciesRoom = ListRoom(style, Size(kFirstSpeciesListTwips));
    boxes.push_back({QStringLiteral("level lists"), levelRoom, levelEntries});
    boxes.push_back({QStringLiteral("level placeholders"), levelRoom, {kLevelPlaceholderEntry}});
    boxes.push_back({QStringLiteral("species lists"), speciesRoom, speciesEntries});
    boxes.push_back(
        {QStringLiteral("species placeholders"), speciesRoom, {kSpeciesPlaceholderEntry}});
    return boxes;
}

} // namespace kelvarin
