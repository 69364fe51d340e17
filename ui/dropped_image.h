#pragma once

#include <QString>
#include <Qt>

class QDropEvent;
class QMimeData;

namespace kelvarin {

// What a drop onto the window opens: exactly one file of this computer that is not a folder.
// Anything else is refused, with what the window takes and why this was not it.
struct DroppedImage {
    QString path;    // the file to open; empty when refused
    QString refusal; // why, for the message; empty when taken
};

// What a refused drop is told first; the refusal says why.
inline const QString kDropWhat =
    QStringLiteral("Drop one game image file on the window to open it.");

DroppedImage ReadDrop(const QMimeData& data);

// Whether a drag may end on the window, and with which action: the window takes what carries
// files, so that a drop of the wrong ones is told why. It only ever copies: a source that was
// told the file moved would delete it.
bool TakeDrag(QDropEvent& event);

} // namespace kelvarin
