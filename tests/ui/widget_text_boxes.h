#pragma once

#include "ui/text_fit.h"

#include <vector>

class QWidget;

namespace kelvarin::testing {

// The boxes of every caption, frame title, label and list under `root`, read off the widgets as
// built: an account of the window independent of the one its font was chosen from.
std::vector<TextBox> TextBoxesOf(const QWidget& root);

} // namespace kelvarin::testing
