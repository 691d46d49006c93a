#include "port_box.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace orn {

void TPortBox::showPopup() {
    if (OnPopup) OnPopup();
    // The full names are wider than the box: the list takes their width.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
    QComboBox::showPopup();
}

void TPortBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QVariant shortText = itemData(currentIndex(), Qt::UserRole);
    if (shortText.isValid()) option.currentText = shortText.toString();
    // A network address may be wider than the box: it ends in "…" (the box's
    // tool tip has it whole).
    const QRect label = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, label.width());
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace orn
