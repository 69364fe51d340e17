#pragma once

#include "ui/font_fit.h"

#include <QFont>
#include <QSize>
#include <QString>

#include <vector>

class QWidget;

namespace kelvarin::testing {

// The boxes of every caption, frame title, label and list under `root`, read off the widgets as
// built: an account of the window independent of the one its font was chosen from.
std::vector<TextBox> TextBoxesOf(const QWidget& root);

// A text that would be cut off in its box.
struct CutOffText {
    QString owner;
    QString text;
    QSize needed;
    QSize available;
};

// Every text that would not fit its box in `font`, each measured exactly with kerning and
// shaping, unlike the window's own quicker estimate.
std::vector<CutOffText> CutOffTexts(const std::vector<TextBox>& boxes, const QFont& font);

} // namespace kelvarin::testing
