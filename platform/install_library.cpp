#include "platform/install_library.h"

#include <algorithm>
#include <climits>
#include <memory>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "platform/registry.h"

namespace {

constexpr char kJPilotFolder[] = ".jpilot";
constexpr char kJPilotSettings[] = "jpilot.rc";
constexpr char kJPilotQueue[] = "jpilot.install";
constexpr char kJPilotOldQueue[] = "jpilot_to_install";
// J-Pilot reads each queued line into 1,000 bytes: 999 of them and a terminator, and the 999
// take the newline too.
constexpr qsizetype kLongestQueuedPath = 998;
constexpr char kUserKey[] = "user";
constexpr char kFurtherHomesValue[] = "jpilot homes";
constexpr char kInstallFolder[] = "tavelo/install";
// Room for the list of further homes in the settings store.
constexpr std::uint32_t kHomesBufferSize = 64 * 1024;

// The user J-Pilot reads from the home's settings: lines of a name, one space and a value.
// Every line of a name sets it again, and a line without a value is passed over, so the last
// "user" line with a value wins; a value of blanks only is no user either.
std::string ReadJPilotUser(const QString& home) {
    QFile file(home + '/' + kJPilotFolder + '/' + kJPilotSettings);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray key = QByteArray(kUserKey) + ' ';
    std::string user;
    for (QByteArray line : file.readAll().split('\n')) {
        while (line.startsWith(' ')) {
            line.remove(0, 1);
        }
        if (line.size() > key.size() && line.startsWith(key)) {
            user = QString::fromUtf8(line.mid(key.size())).trimmed().toStdString();
        }
    }
    return user;
}

QStringList FurtherHomes() {
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, false);
    if (!key.IsOpen()) {
        return {};
    }
    auto buffer = std::make_unique<char[]>(kHomesBufferSize);
    std::uint32_t size = kHomesBufferSize;
    if (!key.ReadValueDirect(buffer.get(), size, kFurtherHomesValue) || size == 0) {
        return {};
    }
    const QString homes =
        QString::fromUtf8(buffer.get(), static_cast<qsizetype>(size)).remove(QChar(0));
    return homes.split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

QString DataHome() {
    const QString value = qEnvironmentVariable("XDG_DATA_HOME");
    return value.isEmpty() || !QDir::isAbsolutePath(value) ? QDir::homePath() + "/.local/share"
                                                           : value;
}

// A user name as one folder name.
QString FolderName(const std::string& user) {
    QString name = QString::fromStdString(user);
    name.replace(u'/', u'_');
    name.remove(QChar(0));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        name.prepend(u'_');
    }
    return name;
}

QString InstallFolder(const std::string& user) {
    return DataHome() + '/' + kInstallFolder + '/' + FolderName(user);
}

// The first J-Pilot home: $JPILOT_HOME, else the home folder.
QString FirstHome() {
    const QString jpilotHome = qEnvironmentVariable("JPILOT_HOME");
    return jpilotHome.isEmpty() ? QDir::homePath() : jpilotHome;
}

}  // namespace

std::string FitToBuffer(const std::string& text, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::size_t length = std::min(text.size(), bufferSize - 1);
    // Step back over continuation bytes so that no character is cut in two.
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    return text.substr(0, length);
}

std::vector<CJPilotInstallLibrary::CUser> CJPilotInstallLibrary::ReadUsers() {
    QStringList homes;
    homes << FirstHome();
    homes << FurtherHomes();

    std::vector<CUser> users;
    QStringList seenHomes;
    for (const QString& home : homes) {
        const QString canonical = QFileInfo(home).canonicalFilePath();
        if (canonical.isEmpty() || seenHomes.contains(canonical)) {
            continue;
        }
        seenHomes << canonical;
        const std::string name = ReadJPilotUser(canonical);
        if (!name.empty() && FindUser(users, name) == nullptr) {
            users.push_back(CUser{name, canonical.toStdString()});
        }
    }
    return users;
}

const CJPilotInstallLibrary::CUser* CJPilotInstallLibrary::FindUser(const std::vector<CUser>& users,
                                                                    const std::string& name) {
    for (const CUser& user : users) {
        if (user.name == name) {
            return &user;
        }
    }
    return nullptr;
}

std::int16_t CJPilotInstallLibrary::GetUserCount() {
    const std::size_t count = ReadUsers().size();
    return static_cast<std::int16_t>(std::min<std::size_t>(count, INT16_MAX));
}

std::string CJPilotInstallLibrary::GetUserName(std::int16_t index, std::size_t bufferSize) {
    const std::vector<CUser> users = ReadUsers();
    if (index < 0 || static_cast<std::size_t>(index) >= users.size()) {
        return {};
    }
    return FitToBuffer(users[static_cast<std::size_t>(index)].name, bufferSize);
}

std::string CJPilotInstallLibrary::GetUserInstallDir(const std::string& user,
                                                     std::size_t bufferSize) {
    if (FindUser(ReadUsers(), user) == nullptr) {
        return {};
    }
    return FitToBuffer(InstallFolder(user).toStdString(), bufferSize);
}

void CJPilotInstallLibrary::PrepareInstall(const std::string& user,
                                           const std::string& /*fileName*/) {
    // The album is written straight into the folder, so it has to be there first.
    if (FindUser(ReadUsers(), user) != nullptr) {
        QDir().mkpath(InstallFolder(user));
    }
}

namespace {

// Appends `line` to the queue file, in place, as J-Pilot adds a file itself: the lines queued
// before stay as they are, and a line already there is not added again.
bool AppendToQueue(const QString& queuePath, const QByteArray& line) {
    QFile queue(queuePath);
    if (!queue.open(QIODevice::ReadWrite | QIODevice::Append)) {
        return false;
    }
    queue.seek(0);
    const QByteArray queued = queue.readAll();
    for (const QByteArray& earlier : queued.split('\n')) {
        if (earlier == line) {
            return true;
        }
    }
    QByteArray addition = line + '\n';
    if (!queued.isEmpty() && !queued.endsWith('\n')) {
        addition.prepend('\n');
    }
    return queue.write(addition) == addition.size() && queue.flush();
}

}  // namespace

std::int32_t CJPilotInstallLibrary::InstallFile(const std::string& user, const std::string& path) {
    const std::vector<CUser> users = ReadUsers();
    const CUser* owner = FindUser(users, user);
    if (owner == nullptr) {
        return kInstallUnknownUser;
    }
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile()) {
        return kInstallNoSuchFile;
    }
    const QByteArray line = file.absoluteFilePath().toUtf8();
    if (line.size() > kLongestQueuedPath || line.contains('\n')) {
        return kInstallPathNotQueueable;
    }

    // J-Pilot reads its queue from jpilot.install; its releases before 1.0 read
    // jpilot_to_install. The line goes into both, so that either installs the album.
    for (const char* name : {kJPilotQueue, kJPilotOldQueue}) {
        const QString queuePath =
            QString::fromStdString(owner->home) + '/' + kJPilotFolder + '/' + name;
        if (!AppendToQueue(queuePath, line)) {
            return kInstallQueueNotWritten;
        }
    }
    return kInstallQueued;
}

std::string CJPilotInstallLibrary::NoUserReason() {
    if (!ReadUsers().empty()) {
        return {};
    }
    const QString settings = FirstHome() + '/' + kJPilotFolder + '/' + kJPilotSettings;
    QString shown = QDir::cleanPath(settings);
    const QString home = QDir::cleanPath(QDir::homePath());
    if (shown.startsWith(home + '/')) {
        shown = QStringLiteral("~") + shown.mid(home.size());
    }
    const QString reason =
        QFileInfo(settings).isFile()
            ? QStringLiteral(
                  "No handheld user: J-Pilot has no user in %1. Sync the handheld "
                  "once with J-Pilot, or set the user in its preferences.")
            : QStringLiteral(
                  "No handheld user: J-Pilot is not set up (there is no %1). Set up "
                  "J-Pilot and sync the handheld once.");
    return reason.arg(shown).toStdString();
}

CInstallLibrary& DefaultInstallLibrary() {
    static CJPilotInstallLibrary library;
    return library;
}
