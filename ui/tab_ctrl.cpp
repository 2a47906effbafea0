#include "ui/tab_ctrl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

CTabCtrl::CTabCtrl(QWidget* parent) : QWidget(parent), m_tabBar(new QTabBar(this)) {
    m_tabBar->setDrawBase(false);
    m_tabBar->setExpanding(false);
    connect(m_tabBar, &QTabBar::currentChanged, this, [this] {
        if (!m_settingSelection) {
            emit selChange();
        }
    });
}

int CTabCtrl::InsertItem(int index, const QString& text) {
    const int inserted = m_tabBar->insertTab(index, text);
    LayoutTabBar();
    update();
    return inserted;
}

int CTabCtrl::GetItemCount() const {
    return m_tabBar->count();
}

int CTabCtrl::GetCurSel() const {
    return m_tabBar->currentIndex();
}

void CTabCtrl::SetCurSel(int index) {
    m_settingSelection = true;
    m_tabBar->setCurrentIndex(index);
    m_settingSelection = false;
}

QRect CTabCtrl::ClientArea() const {
    const int top = m_tabBar->count() > 0 ? m_tabBar->height() : 0;
    return QRect(0, top, width(), height() - top);
}

void CTabCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = ClientArea();
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = m_tabBar->size();
    frame.tabBarRect = m_tabBar->geometry();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

void CTabCtrl::resizeEvent(QResizeEvent*) {
    LayoutTabBar();
}

void CTabCtrl::LayoutTabBar() {
    m_tabBar->resize(qMin(m_tabBar->sizeHint().width(), width()), m_tabBar->sizeHint().height());
}
