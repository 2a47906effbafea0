#include "app/help_pages.h"

#include "res/string_table.h"

void OpenHelpPage(int stringId, CShell& shell) {
    const QString page = QString::fromStdString(GetHelpFolder()) + LoadResString(stringId);
    (void)shell.Open(QUrl::fromLocalFile(page));
}
