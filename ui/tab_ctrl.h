#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QTabBar;

// A tab control as dialogs know it: a strip of tabs over a framed area. The pages are not
// its children to manage; their owner places them in ClientArea() and shows one at a time.
class CTabCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CTabCtrl(QWidget* parent = nullptr);

    int InsertItem(int index, const QString& text);
    int GetItemCount() const;
    int GetCurSel() const;
    // Selects tab `index` without reporting a change, as a program's own selection is not one.
    void SetCurSel(int index);
    // The area below the tabs, inside the frame, in this control's coordinates.
    QRect ClientArea() const;
    QTabBar* TabBar() const { return m_tabBar; }

signals:
    // The user chose another tab.
    void selChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutTabBar();

    QTabBar* m_tabBar;
    bool m_settingSelection = false;
};
