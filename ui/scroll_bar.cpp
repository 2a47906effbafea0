#include "ui/scroll_bar.h"

#include <QPainter>
#include <QStyleOptionSlider>

CScrollBar::CScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void CScrollBar::paintEvent(QPaintEvent* event) {
    if (isEnabled()) {
        QScrollBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls &= ~QStyle::SC_ScrollBarSlider;
    option.activeSubControls = QStyle::SC_None;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
}
