#include "ui/compact_combo_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComplex>

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

void UseCompactComboStyle() {
    if (qobject_cast<CompactComboStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new CompactComboStyle);
    }
}

} // namespace kelvarin
