#pragma once

#include "ui/text_fit.h"

#include <QStringList>

#include <vector>

class QStyle;

namespace kelvarin {

// Every text of the editor window with the room `style` leaves it, worked out from the window's
// layout alone, so that its font can be chosen before any control exists.
std::vector<TextBox> WindowTextBoxes(const QStyle& style, const QStringList& speciesEntries,
                                     const QStringList& levelEntries);

} // namespace kelvarin
