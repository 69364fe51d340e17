#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

class QStyle;

namespace kelvarin {

// A fixed box and every text it may have to show, such as all entries of a drop-down list.
struct TextBox {
    QString owner; // object name of the control
    QSize room;    // where the text is drawn, in logical pixels
    QStringList texts;
};

// A text that would be cut off in its box.
struct CutOffText {
    QString owner;
    QString text;
    QSize needed;
    QSize available;
};

// The room a style leaves for text in a control of the given size.
QSize LabelRoom(QSize label);
QSize ButtonRoom(const QStyle& style, QSize button);
QSize ListRoom(const QStyle& style, QSize list);
// A frame's title runs between the frame's side margins, above every control in the frame.
QSize FrameTitleRoom(int frameWidth, int firstControlTop);

// Every text that would not fit its box in `font`.
std::vector<CutOffText> CutOffTexts(const std::vector<TextBox>& boxes, const QFont& font);

// A font in which every text fits its box: `base` if it fits, else the first that fits of its
// smaller sizes in half points, trying the semi-condensed form of each size after the normal
// one. Sizes that by proportion cannot fit are not tried. When none fits, the smallest tried.
QFont FontThatFits(const std::vector<TextBox>& boxes, const QFont& base);

} // namespace kelvarin
