#include "panes/preview_pane.h"

#include <QFrame>
#include <QScrollBar>

#include "res/resource.h"
#include "res/string_table.h"
#include "ui/tab_ctrl.h"

CPreviewPane::CPreviewPane(QWidget* parent) : CPaneDialog(IDD_PREVIEW_PANE, parent) {}

void CPreviewPane::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SETTINGS_TAB, m_tab);
    DDX_Control(dx, IDC_PREVIEW_VSCROLL, m_vertical);
    DDX_Control(dx, IDC_PREVIEW_HSCROLL, m_horizontal);
    DDX_Control(dx, IDC_PREVIEW_AREA, m_area);
}

void CPreviewPane::OnInitDialog() {
    m_tab->InsertItem(0, LoadResString(IDS_TAB_ANNOTATION));
    m_tab->InsertItem(1, LoadResString(IDS_TAB_COLOR));
    m_tab->InsertItem(2, LoadResString(IDS_TAB_SIZE));
    m_tab->SetCurSel(0);

    // The picture is shown 1:1 in a window as large as the handheld's screen, whatever the
    // dialog units make of the template's area; the bars follow it.
    const QRect area(m_area->pos(), QSize(kViewSide, kViewSide));
    m_area->setGeometry(area);
    m_horizontal->setGeometry(area.x(), area.y() + area.height() + kBarGap, kViewSide,
                              kBarThickness);
    m_vertical->setGeometry(area.x() + area.width() + kBarGap, area.y(), kBarThickness, kViewSide);
}

bool CPreviewPane::ShowImage(CAlbumImage* entry) {
    m_current = entry;
    return true;
}

void CPreviewPane::ClearPreview() {
    m_current = nullptr;
    m_tab->SetCurSel(0);
}

bool CPreviewPane::StoreControls(CAlbumImage* entry) {
    return (entry != nullptr ? entry : m_current) != nullptr;
}

void CPreviewPane::SetEditingEnabled(bool /*enable*/) {}
