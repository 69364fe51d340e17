#include "ui/font_fit.h"

#include "ui/fixed_lists.h"
#include "ui/window_layout.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QtMath>

#include <algorithm>
#include <limits>

namespace kelvarin {

CompactComboStyle::CompactComboStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

QRect CompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                        SubControl subControl, const QWidget* widget) const {
    QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
    if (control != CC_ComboBox ||
        (subControl != SC_ComboBoxArrow && subControl != SC_ComboBoxEditField)) {
        return rect;
    }
    const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int spare = arrow.width() - kMaxArrowWidth;
    if (spare <= 0) {
        return rect;
    }
    const bool rightToLeft = option->direction == Qt::RightToLeft;
    if (subControl == SC_ComboBoxArrow) {
        return rightToLeft ? rect.adjusted(0, 0, -spare, 0) : rect.adjusted(spare, 0, 0, 0);
    }
    return rightToLeft ? rect.adjusted(-spare, 0, 0, 0) : rect.adjusted(0, 0, spare, 0);
}

const QStyle& UseCompactComboStyle() {
    if (qobject_cast<CompactComboStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new CompactComboStyle);
    }
    return *QApplication::style();
}

namespace {

// Styles inset an entry's text by a pixel on each side of a list's text field.
constexpr int kListTextInset = 2;
// Styles start a frame title this far in from the frame's edge.
constexpr int kFrameTitleMargin = 8;

constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kPointSizeStep = 0.5;
// Hinting widens small sizes a little beyond their proportion.
constexpr qreal kHintingAllowance = 0.98;
// How wide a semi-condensed text is against the same text unstretched.
constexpr qreal kSemiCondensedWidth = qreal(QFont::SemiCondensed) / qreal(QFont::Unstretched);
constexpr qreal kNoLimit = std::numeric_limits<qreal>::infinity();
// Growing the layout for a person's font: at least this much a step, and so many steps at most.
constexpr qreal kSmallestScaleStep = 1.005;
constexpr int kScaleAttempts = 24;

QSize Size(const QRect& twips, qreal scale) {
    return PixelRect(twips, scale).size();
}

// Measures texts in one font cheaply. A width is first estimated from the advances of its
// characters, each measured once; only a text whose estimate comes near the limit is measured
// exactly, with kerning and shaping. Kerning moves a name by a pixel or two, well inside a
// margin of a third of the line height.
class TextMeasure {
  public:
    explicit TextMeasure(const QFont& font)
        : metrics_(font), margin_(qCeil(metrics_.height() / 3)) {}

    [[nodiscard]] int height() const { return metrics_.height(); }

    // The text's width where it may matter against `limit`; an estimate where it clearly fits.
    int width(const QString& text, int limit) {
        const int estimate = estimatedWidth(text);
        return estimate + margin_ <= limit ? estimate : qCeil(metrics_.horizontalAdvance(text));
    }

  private:
    int estimatedWidth(const QString& text) {
        qreal width = 0;
        for (const QChar character : text) {
            auto known = advances_.constFind(character.unicode());
            if (known == advances_.cend()) {
                known =
                    advances_.insert(character.unicode(), metrics_.horizontalAdvance(character));
            }
            width += *known;
        }
        return qCeil(width);
    }

    QFontMetricsF metrics_;
    int margin_;
    QHash<char16_t, qreal> advances_;
};

// How the texts of all boxes come out in one font.
struct Survey {
    bool fits = true;
    qreal worstWidthRatio = 0;  // the largest of a text's width over its room's
    qreal worstHeightRatio = 0; // the same of the line height
};

Survey SurveyBoxes(const std::vector<TextBox>& boxes, const QFont& font) {
    TextMeasure measure(font);
    Survey survey;
    for (const TextBox& box : boxes) {
        for (const QString& text : box.texts) {
            const int width = measure.width(text, box.room.width());
            survey.fits =
                survey.fits && width <= box.room.width() && measure.height() <= box.room.height();
            survey.worstWidthRatio =
                std::max(survey.worstWidthRatio, qreal(width) / std::max(box.room.width(), 1));
        }
        survey.worstHeightRatio = std::max(
            survey.worstHeightRatio, qreal(measure.height()) / std::max(box.room.height(), 1));
    }
    return survey;
}

// Text widths grow about in proportion to the point size and to the stretch, so a font that is
// too wide by a factor tells which sizes cannot fit either: those need not be loaded and
// measured. A font that is too tall but wide enough tells only that its own size fails.
qreal LargestSizeThatMayFit(qreal failedSize, qreal worstWidthRatio, qreal relativeWidth) {
    if (worstWidthRatio <= 1) {
        return failedSize - kPointSizeStep;
    }
    return failedSize / (worstWidthRatio * relativeWidth) * kHintingAllowance;
}

qreal PointSizeOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

QFont Resized(const QFont& base, qreal pointSize, int stretch) {
    QFont font = base;
    font.setPointSizeF(pointSize);
    font.setStretch(stretch);
    return font;
}

// One stretch of the base font and the sizes in it still worth trying.
struct Form {
    int stretch;
    qreal largestSize = kNoLimit;
};

} // namespace

QSize LabelRoom(QSize label) {
    return label;
}

QSize ButtonRoom(const QStyle& style, QSize button) {
    QStyleOptionButton option;
    option.rect = QRect(QPoint(0, 0), button);
    return style.subElementRect(QStyle::SE_PushButtonContents, &option, nullptr).size();
}

QSize ListRoom(const QStyle& style, QSize list) {
    QStyleOptionComboBox option;
    option.rect = QRect(QPoint(0, 0), list);
    option.editable = false;
    option.frame = true;
    const QRect field =
        style.subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, nullptr);
    return field.size() - QSize(kListTextInset, 0);
}

QSize FrameTitleRoom(int frameWidth, int firstControlTop) {
    return {frameWidth - 2 * kFrameTitleMargin, firstControlTop};
}

std::vector<TextBox> WindowTextBoxes(const QStyle& style, const QStringList& speciesEntries,
                                     const QStringList& levelEntries, qreal scale) {
    // Lists are ordered last: they are the costliest to measure, and most fonts that do not
    // fit already fail on a caption.
    std::vector<TextBox> boxes;
    for (const PlacedText& button : {kOpenButton, kSaveButton}) {
        boxes.push_back({ToQString(button.name),
                         ButtonRoom(style, Size(button.twips, scale)),
                         {ToQString(button.text)}});
    }
    const QSize titleRoom = FrameTitleRoom(TwipsToPixels(kGymFrameWidthTwips, scale),
                                           TwipsToPixels(kPictureTwips.top(), scale));
    for (const GymFrameLayout& gym : kGymFrames) {
        // Styles leave a blank after a frame title.
        boxes.push_back(
            {ToQString(gym.frame), titleRoom, {ToQString(gym.caption) + QLatin1Char(' ')}});
        boxes.push_back({ToQString(gym.leaderLabel),
                         LabelRoom(Size(LeaderLabelTwips(gym), scale)),
                         {ToQString(gym.leaderText)}});
        boxes.push_back({ToQString(gym.levelHeading),
                         LabelRoom(Size(kLevelHeadingTwips, scale)),
                         {ToQString(kLevelHeadingText)}});
        boxes.push_back({ToQString(gym.speciesHeading),
                         LabelRoom(Size(kSpeciesHeadingTwips, scale)),
                         {ToQString(kSpeciesHeadingText)}});
    }
    boxes.push_back({ToQString(kCreditsLabel.name),
                     LabelRoom(Size(kCreditsLabel.twips, scale)),
                     {ToQString(kCreditsLabel.text)}});

    // Every list of a kind has the same size, so one box per kind covers them all.
    const QSize levelRoom = ListRoom(style, Size(kFirstLevelListTwips, scale));
    const QSize speciesRoom = ListRoom(style, Size(kFirstSpeciesListTwips, scale));
    boxes.push_back({QStringLiteral("level lists"), levelRoom, levelEntries});
    boxes.push_back({QStringLiteral("level placeholders"), levelRoom, {kLevelPlaceholderEntry}});
    boxes.push_back({QStringLiteral("species lists"), speciesRoom, speciesEntries});
    boxes.push_back(
        {QStringLiteral("species placeholders"), speciesRoom, {kSpeciesPlaceholderEntry}});
    return boxes;
}

QFont FontThatFits(const std::vector<TextBox>& boxes, const QFont& base) {
    Form normal{QFont::Unstretched};
    Form condensed{QFont::SemiCondensed};
    QFont candidate = base;
    for (qreal size = PointSizeOf(base); size >= kSmallestPointSize; size -= kPointSizeStep) {
        for (Form* form : {&normal, &condensed}) {
            if (size > form->largestSize) {
                continue;
            }
            candidate = Resized(base, size, form->stretch);
            const Survey survey = SurveyBoxes(boxes, candidate);
            if (survey.fits) {
                return candidate;
            }
            form->largestSize = LargestSizeThatMayFit(size, survey.worstWidthRatio, 1.0);
            if (form == &normal && condensed.largestSize == kNoLimit) {
                // The first miss bounds the narrower form too, before it is ever measured.
                condensed.largestSize =
                    LargestSizeThatMayFit(size, survey.worstWidthRatio, kSemiCondensedWidth);
            }
        }
    }
    return candidate;
}

qreal FontRatio(const QFont& person) {
    QFont reference = person;
    reference.setPointSizeF(kReferencePointSize);
    return QFontMetricsF(person).height() / QFontMetricsF(reference).height();
}

WindowFit FitWindow(const QStyle& style, const QStringList& speciesEntries,
                    const QStringList& levelEntries, const QFont& person) {
    const qreal ratio = FontRatio(person);
    if (ratio <= 1) {
        return {FontThatFits(WindowTextBoxes(style, speciesEntries, levelEntries), person), 1};
    }
    // The rooms grow a little less than the scale, by the styles' margins, so the scale is
    // raised by what the tightest text still lacks until every one fits.
    qreal scale = ratio;
    for (int attempt = 0; attempt < kScaleAttempts; ++attempt) {
        const Survey survey =
            SurveyBoxes(WindowTextBoxes(style, speciesEntries, levelEntries, scale), person);
        if (survey.fits) {
            break;
        }
        scale *= std::max({kSmallestScaleStep, survey.worstWidthRatio, survey.worstHeightRatio});
    }
    return {person, scale};
}

} // namespace kelvarin
