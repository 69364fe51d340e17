#pragma once

#include <QProxyStyle>

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

// Makes the application draw with CompactComboStyle around its current style. Call once,
// before the first window is built.
void UseCompactComboStyle();

} // namespace kelvarin
