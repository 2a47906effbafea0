#include "platform/shell.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

namespace {

constexpr char kHtmlMimeType[] = "text/html";
constexpr char kMimeAppsFile[] = "mimeapps.list";
constexpr char kDefaultsGroup[] = "[Default Applications]";
constexpr char kDesktopEntryGroup[] = "[Desktop Entry]";
constexpr char kHelpFolderName[] = "help";
#ifdef TAVELO_INSTALLED_HELP
constexpr char kInstalledHelpFolder[] = TAVELO_INSTALLED_HELP;
#else
constexpr char kInstalledHelpFolder[] = "../share/tavelo/help";
#endif
// Field codes of desktop entries that stand for nothing when a browser is started by hand.
constexpr char kOtherFieldCodes[] = "fFdDnNickvm";

QString EnvironmentFolder(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QStringList EnvironmentFolders(const char* name, const QString& fallback) {
    const QString value = EnvironmentFolder(name, fallback);
    QStringList folders;
    for (const QString& folder : value.split(u':', Qt::SkipEmptyParts)) {
        folders << folder;
    }
    return folders;
}

QStringList MimeAppsLists() {
    const QString home = QDir::homePath();
    QStringList lists;
    lists << EnvironmentFolder("XDG_CONFIG_HOME", home + "/.config") + '/' + kMimeAppsFile;
    for (const QString& folder : EnvironmentFolders("XDG_CONFIG_DIRS", "/etc/xdg")) {
        lists << folder + '/' + kMimeAppsFile;
    }
    lists << EnvironmentFolder("XDG_DATA_HOME", home + "/.local/share") + "/applications/" +
                 kMimeAppsFile;
    for (const QString& folder :
         EnvironmentFolders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
        lists << folder + "/applications/" + kMimeAppsFile;
    }
    return lists;
}

QStringList ApplicationFolders() {
    QStringList folders;
    folders << EnvironmentFolder("XDG_DATA_HOME", QDir::homePath() + "/.local/share") +
                   "/applications";
    for (const QString& folder :
         EnvironmentFolders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
        folders << folder + "/applications";
    }
    return folders;
}

// The value of `key` in `group` of an ini-style file; none when absent.
std::optional<QString> ReadEntry(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == group;
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == key) {
            return line.mid(equals + 1).trimmed();
        }
    }
    return std::nullopt;
}

// The desktop entry file of an id: applications/<id>, or with the id's first '-' read as a
// subfolder, as desktop ids are formed.
std::optional<QString> FindDesktopEntry(const QString& id) {
    for (const QString& folder : ApplicationFolders()) {
        QStringList candidates{folder + '/' + id};
        if (const qsizetype dash = id.indexOf(u'-'); dash > 0) {
            candidates << folder + '/' + id.left(dash) + '/' + id.mid(dash + 1);
        }
        for (const QString& candidate : candidates) {
            if (QFileInfo(candidate).isFile()) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

std::string RemoveOtherFieldCodes(const std::string& command) {
    std::string cleaned;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size() &&
            std::string_view(kOtherFieldCodes).find(command[i + 1]) != std::string_view::npos) {
            ++i;
            continue;
        }
        cleaned += command[i];
    }
    return cleaned;
}

}  // namespace

bool CShell::Open(const QUrl& target) {
    return QDesktopServices::openUrl(target);
}

bool CShell::Start(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

CShell& DefaultShell() {
    static CShell shell;
    return shell;
}

std::string RewriteOpenCommand(const std::string& command, const std::string& address) {
    constexpr std::array<std::string_view, 3> kPlaceholders = {"%1", "%u", "%U"};
    const auto earliest = [&](bool quoted) {
        std::size_t found = std::string::npos;
        for (const std::string_view placeholder : kPlaceholders) {
            const std::string wanted =
                quoted ? '"' + std::string(placeholder) + '"' : std::string(placeholder);
            found = std::min(found, command.find(wanted));
        }
        return found;
    };
    std::size_t cut = earliest(true);
    if (cut == std::string::npos) {
        cut = earliest(false);
    }
    return command.substr(0, cut) + ' ' + address;
}

std::optional<std::string> QueryHtmlOpenCommand() {
    for (const QString& list : MimeAppsLists()) {
        const std::optional<QString> ids = ReadEntry(list, QString::fromLatin1(kDefaultsGroup),
                                                     QString::fromLatin1(kHtmlMimeType));
        if (!ids) {
            continue;
        }
        // The first installed entry of the first list that names one is the association.
        for (const QString& id : ids->split(u';', Qt::SkipEmptyParts)) {
            const std::optional<QString> entry = FindDesktopEntry(id.trimmed());
            if (!entry) {
                continue;
            }
            const std::optional<QString> exec =
                ReadEntry(*entry, QString::fromLatin1(kDesktopEntryGroup), QStringLiteral("Exec"));
            if (exec && !exec->isEmpty()) {
                return exec->toStdString();
            }
        }
    }
    return std::nullopt;
}

int OpenHyperlink(const std::string& address, int /*show*/, CShell& shell) {
    if (shell.Open(QUrl(QString::fromStdString(address)))) {
        return kShellOpened;
    }
    const std::optional<std::string> command = QueryHtmlOpenCommand();
    if (!command) {
        return kNoAssociation;
    }
    const QStringList words = QProcess::splitCommand(
        QString::fromStdString(RewriteOpenCommand(RemoveOtherFieldCodes(*command), address)));
    if (words.isEmpty() || !shell.Start(words.first(), words.mid(1))) {
        return kFileNotFound;
    }
    return kProgramStarted;
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
