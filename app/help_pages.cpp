#include "app/help_pages.h"

#include <QMessageBox>

#include "res/string_table.h"

void OpenLink(const QUrl& address, CShell& shell, QWidget* parent) {
    if (shell.Open(address)) {
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tavelo Desktop"),
                    QStringLiteral("No web browser could open this page. To read it, copy its "
                                   "address into a browser:\n\n%1")
                        .arg(address.toString()),
                    QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

void OpenHelpPage(int stringId, CShell& shell, QWidget* parent) {
    const QString page = QString::fromStdString(GetHelpFolder()) + LoadResString(stringId);
    OpenLink(QUrl::fromLocalFile(page), shell, parent);
}
