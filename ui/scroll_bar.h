#pragma once

#include <QScrollBar>

// A scroll bar that shows no thumb while it is disabled, so that nothing looks scrollable
// when there is nothing to scroll.
class CScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
