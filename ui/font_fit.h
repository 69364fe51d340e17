#pragma once

#include <QFont>
#include <QProxyStyle>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

// Why the window's font is what it is.
//
// Every control of the window has a fixed size, designed in twips for a font that the platform
// may not have. The window therefore takes the platform's default font at the largest size,
// normal or semi-condensed, in which every text it can ever show fits its control uncut: each
// caption, each label and every entry of every list. That choice depends on three things only:
//   - the window's layout (ui/window_layout.h), which gives each control its size;
//   - the texts: the captions in the layout and the entries of the fixed lists;
//   - the style the controls are drawn in, which decides how much of a control is left for its
//     text. The window draws its lists in CompactComboStyle; it installs that style with
//     UseCompactComboStyle() and measures with the style that call returns, before it makes
//     any control.
// It does not depend on the order in which main() sets things up.
namespace kelvarin {

// The platform style with a narrower drop-down button on combo boxes. The editor's level lists
// are only 41 pixels wide; with the usual 19-pixel button "100" cannot be shown at a readable
// size, so the button gives part of its width to the text. Everything else is drawn as the
// platform style draws it.
class CompactComboStyle final : public QProxyStyle {
    Q_OBJECT

  public:
    static constexpr int kMaxArrowWidth = 14;

    CompactComboStyle();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
};

// Makes the application draw with CompactComboStyle around its current style, unless it does
// already, and returns that style. Installing it once more is harmless.
const QStyle& UseCompactComboStyle();

// A fixed box and every text it may have to show, such as all entries of a drop-down list.
struct TextBox {
    QString owner; // object name of the control
    QSize room;    // where the text is drawn, in logical pixels
    QStringList texts;
};

// The room a style leaves for text in a control of the given size.
QSize LabelRoom(QSize label);
QSize ButtonRoom(const QStyle& style, QSize button);
QSize ListRoom(const QStyle& style, QSize list);
// A frame's title runs between the frame's side margins, above every control in the frame.
QSize FrameTitleRoom(int frameWidth, int firstControlTop);

// Every text of the editor window with the room `style` leaves it, worked out from the window's
// layout alone at `scale` (ui/window_layout.h), so that its font can be chosen before any control
// exists.
std::vector<TextBox> WindowTextBoxes(const QStyle& style, const QStringList& speciesEntries,
                                     const QStringList& levelEntries, qreal scale = 1.0);

// A font in which every text fits its box: `base` if it fits, else the first that fits of its
// smaller sizes in half points, trying the semi-condensed form of each size after the normal
// one. Sizes that by proportion cannot fit are not tried. When none fits, the smallest tried.
QFont FontThatFits(const std::vector<TextBox>& boxes, const QFont& base);

// The size of the font that desktops hand programs unless the person chose another, and for
// which the window's fixed layout is fitted: Qt's own on Linux desktops, the message font of
// Windows (Segoe UI 9 pt at 100 %).
inline constexpr qreal kReferencePointSize = 9.0;

// How much larger `person` is than the reference size, by the line spacing of its own family,
// so that another family of the same size counts as no larger; below 1 for a smaller font.
qreal FontRatio(const QFont& person);

// The window's font and the scale of its layout for the person's font.
struct WindowFit {
    QFont font;
    qreal scale = 1; // of every twip of the layout
};

// For a font no larger than the reference, the layout as designed in the largest font that fits
// it (FontThatFits), as always. For a larger one, the person's font itself, and the layout grown
// by the font's ratio and further until every text fits its box uncut: the person reads at the
// size they chose, and a screen too small for the window scrolls. The narrowest box, gym 1's
// leader label, is why the layout grows more than the font: at the reference size too its text
// fits only in a smaller font.
WindowFit FitWindow(const QStyle& style, const QStringList& speciesEntries,
                    const QStringList& levelEntries, const QFont& person);

} // namespace kelvarin
