#include "app/about_dlg.h"

#include <QPushButton>

#include "res/resource.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::OnInitDialog() {
    // Message map.
    if (auto* ok = qobject_cast<QPushButton*>(GetDlgItem(IDOK))) {
        connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
    }
}
