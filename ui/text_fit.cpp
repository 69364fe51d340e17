#include "ui/text_fit.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QtMath>

#include <algorithm>
#include <map>

namespace kelvarin {

namespace {

constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kPointSizeStep = 0.5;
constexpr qreal kHintingAllowance = 0.98;
// Styles inset an entry's text by a pixel on each side of a list's text field.
constexpr int kListTextInset = 2;
// Styles start a frame title this far in from the frame's edge.
constexpr int kFrameTitleMargin = 8;

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
        return estimate + margin_ <= limit ? estimate : metrics_.horizontalAdvance(text);
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

// Measures every text of every box in `font`; `onText` gets each text with the size it needs
// and its box.
template <typename OnText>
void MeasureBoxes(const std::vector<TextBox>& boxes, const QFont& font, OnText onText) {
    TextMeasure measure(font);
    for (const TextBox& box : boxes) {
        for (const QString& text : box.texts) {
            onText(text, QSize(measure.width(text, box.room.width()), measure.height()), box);
        }
    }
}

bool Fits(QSize needed, QSize room) {
    return needed.width() <= room.width() && needed.height() <= room.height();
}

qreal PointSizeOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

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

std::vector<CutOffText> CutOffTexts(const std::vector<TextBox>& boxes, const QFont& font) {
    std::vector<CutOffText> cut;
    MeasureBoxes(boxes, font, [&cut](const QString& text, QSize needed, const TextBox& box) {
        if (!Fits(needed, box.room)) {
            cut.push_back({box.owner, text, needed, box.room});
        }
    });
    return cut;
}

QFont FontThatFits(const std::vector<TextBox>& boxes, const QFont& base) {
    // Text widths grow about in proportion to the point size and to the stretch, so a font
    // that is too wide by a factor tells which sizes and stretches cannot fit either; those are
    // skipped instead of being loaded and measured. Hinting widens small sizes a little beyond
    // the proportion, hence the allowance.
    const auto worstWidthRatio = [&boxes](const QFont& font, bool& fits) {
        qreal worst = 0;
        fits = true;
        MeasureBoxes(
            boxes, font, [&worst, &fits](const QString&, QSize needed, const TextBox& box) {
                fits = fits && Fits(needed, box.room);
                worst = std::max(worst, qreal(needed.width()) / std::max(box.room.width(), 1));
            });
        return worst;
    };
    const qreal baseSize = PointSizeOf(base);
    std::map<int, qreal> largestPossible; // point size, by stretch
    QFont candidate = base;
    for (qreal size = baseSize; size >= kSmallestPointSize; size -= kPointSizeStep) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            const auto limit = largestPossible.find(stretch);
            if (limit != largestPossible.end() && size > limit->second) {
                continue;
            }
            candidate = base;
            candidate.setPointSizeF(size);
            candidate.setStretch(stretch);
            bool fits = false;
            const qreal worst = worstWidthRatio(candidate, fits);
            if (fits) {
                return candidate;
            }
            const auto shrinkTo = [&](qreal factor) {
                return worst > 1 ? size / (worst * factor) * kHintingAllowance
                                 : size - kPointSizeStep;
            };
            largestPossible[stretch] = shrinkTo(1.0);
            if (stretch == QFont::Unstretched && !largestPossible.contains(QFont::SemiCondensed)) {
                largestPossible[QFont::SemiCondensed] =
                    shrinkTo(qreal(QFont::SemiCondensed) / qreal(QFont::Unstretched));
            }
        }
    }
    return candidate;
}

} // namespace kelvarin
