#include "widget_text_boxes.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace kelvarin::testing {
namespace {

constexpr int kUnlimited = std::numeric_limits<int>::max() / 2;

QStringList Entries(const QComboBox& list) {
    QStringList entries;
    const QAbstractItemModel* model = list.model();
    entries.reserve(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row) {
        entries.append(model->index(row, list.modelColumn()).data().toString());
    }
    return entries;
}

} // namespace

std::vector<TextBox> TextBoxesOf(const QWidget& root) {
    std::vector<TextBox> boxes;
    for (const QWidget* widget : root.findChildren<QWidget*>()) {
        if (widget->isHidden()) {
            continue; // never drawn
        }
        const QString owner = widget->objectName();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (!label->text().isEmpty()) {
                boxes.push_back({owner, LabelRoom(label->contentsRect().size()), {label->text()}});
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            boxes.push_back(
                {owner, ButtonRoom(*button->style(), button->size()), {button->text()}});
        } else if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
            boxes.push_back({owner, ListRoom(*list->style(), list->size()), Entries(*list)});
        } else if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
            if (frame->title().isEmpty()) {
                continue;
            }
            int firstControlTop = kUnlimited;
            for (const QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (child->isHidden()) {
                    continue;
                }
                firstControlTop = std::min(firstControlTop, child->y());
            }
            // Styles leave a blank after a frame title.
            boxes.push_back({owner,
                             FrameTitleRoom(frame->width(), firstControlTop),
                             {frame->title() + QLatin1Char(' ')}});
        }
    }
    return boxes;
}

std::vector<CutOffText> CutOffTexts(const std::vector<TextBox>& boxes, const QFont& font) {
    const QFontMetrics metrics(font);
    std::vector<CutOffText> cut;
    for (const TextBox& box : boxes) {
        for (const QString& text : box.texts) {
            const QSize needed(metrics.horizontalAdvance(text), metrics.height());
            if (needed.width() > box.room.width() || needed.height() > box.room.height()) {
                cut.push_back({box.owner, text, needed, box.room});
            }
        }
    }
    return cut;
}

} // namespace kelvarin::testing
