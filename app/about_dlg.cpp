#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "res/resource.h"
#include "tavelo_version.h"

namespace {
constexpr char kProgramLine[] = "Tavelo Desktop v";
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::OnInitDialog() {
    // The program's line carries the version it was built as.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->text().startsWith(QLatin1String(kProgramLine))) {
            label->setText(QLatin1String(kProgramLine) + QLatin1String(kTaveloVersion));
        }
    }
    // Message map.
    if (auto* ok = qobject_cast<QPushButton*>(GetDlgItem(IDOK))) {
        connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
    }
}
