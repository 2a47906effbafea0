#include "platform/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr char kHelpFolderName[] = "help";
#ifdef TAVELO_INSTALLED_HELP
constexpr char kInstalledHelpFolder[] = TAVELO_INSTALLED_HELP;
#else
constexpr char kInstalledHelpFolder[] = "../share/tavelo/help";
#endif

}  // namespace

bool CShell::Open(const QUrl& target) {
    return QDesktopServices::openUrl(target);
}

CShell& DefaultShell() {
    static CShell shell;
    return shell;
}

std::string HelpFolderFor(const std::string& programFolder) {
    const QDir program(QString::fromStdString(programFolder));
    const QString beside = QDir::cleanPath(program.filePath(QString::fromLatin1(kHelpFolderName)));
    const QString installed =
        QDir::cleanPath(program.filePath(QString::fromLatin1(kInstalledHelpFolder)));
    const QString folder =
        !QFileInfo(beside).isDir() && QFileInfo(installed).isDir() ? installed : beside;
    return (folder + '/').toStdString();
}

std::string GetHelpFolder() {
    return HelpFolderFor(QCoreApplication::applicationDirPath().toStdString());
}
