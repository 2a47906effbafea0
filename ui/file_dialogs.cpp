#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include "platform/registry.h"
#include "platform/system_path.h"

QStringList FileDialogFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;  // the closing "||"
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

void PrepareFileDialog(QFileDialog& dialog, const char* filter, const char* folderSetting) {
    if (filter != nullptr) {
        dialog.setNameFilters(FileDialogFilters(QString::fromLatin1(filter)));
        dialog.setOption(QFileDialog::HideNameFilterDetails);
    }
    const QString folder = PathFromSystem(ReadProgramSetting(folderSetting));
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        dialog.setDirectory(folder);
    }
}

void KeepFolder(const QString& folder, const char* folderSetting) {
    (void)WriteProgramSetting(folderSetting, PathToSystem(folder));
}
