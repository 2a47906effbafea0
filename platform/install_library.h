#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The handheld install library: who the handheld users are, where files for each of them go,
// and the queue of files the next sync copies to the handheld.
class CInstallLibrary {
public:
    virtual ~CInstallLibrary() = default;

    // Number of handheld users; 0 when there is none.
    virtual std::int16_t GetUserCount() = 0;
    // Name of user `index` (from 0), cut to fit a buffer of `bufferSize` bytes with its
    // terminator; empty for an index that names no user.
    virtual std::string GetUserName(std::int16_t index, std::size_t bufferSize) = 0;
    // The folder where files for `user` are written, cut like the name; empty for an unknown
    // user.
    virtual std::string GetUserInstallDir(const std::string& user, std::size_t bufferSize) = 0;
    // Called before `fileName` is written into the user's install folder.
    virtual void PrepareInstall(const std::string& user, const std::string& fileName) = 0;
    // Queues a written file for the user's next sync; 0 when it is queued.
    virtual std::int32_t InstallFile(const std::string& user, const std::string& path) = 0;
    // Why there is no handheld user, in words the user can act on; empty when there is one.
    virtual std::string NoUserReason() { return GetUserCount() > 0 ? "" : "No handheld user."; }
};

// Statuses of InstallFile besides 0.
inline constexpr std::int32_t kInstallQueued = 0;
inline constexpr std::int32_t kInstallUnknownUser = 1;
inline constexpr std::int32_t kInstallNoSuchFile = 2;
inline constexpr std::int32_t kInstallQueueNotWritten = 3;
// The file's absolute path is too long for one line of the queue (998 bytes at most) or holds
// a line break.
inline constexpr std::int32_t kInstallPathNotQueueable = 4;

// The install library over J-Pilot, the sync tool for Palm handhelds on Linux.
//
// A handheld user is a J-Pilot home: a folder whose .jpilot/jpilot.rc, a file of "name value"
// lines, holds a line "user NAME" (the last such line with a name counts). The first home is
// $JPILOT_HOME, else the home folder; further homes are listed in the settings store under
// HKEY_CURRENT_USER\Software\Lumivale\Tavelo2.0, value "jpilot homes", separated by ':'. A home
// without a user line, or whose user another home already names, adds no user.
//
// J-Pilot keeps only the path of a queued file, so the file must stay where it is written:
// each user's install folder is $XDG_DATA_HOME/tavelo/install/NAME (~/.local/share when
// XDG_DATA_HOME is unset). Queueing appends the file's absolute path as one line to the home's
// .jpilot/jpilot.install, the list J-Pilot installs from at its next sync, removing each line
// it installs; the lines already there are kept, and a path already queued is not added twice.
class CJPilotInstallLibrary : public CInstallLibrary {
public:
    std::int16_t GetUserCount() override;
    std::string GetUserName(std::int16_t index, std::size_t bufferSize) override;
    std::string GetUserInstallDir(const std::string& user, std::size_t bufferSize) override;
    void PrepareInstall(const std::string& user, const std::string& fileName) override;
    std::int32_t InstallFile(const std::string& user, const std::string& path) override;
    // Names the first home's jpilot.rc (as ~/... under the home folder), and whether it is
    // missing or holds no user.
    std::string NoUserReason() override;

private:
    struct CUser {
        std::string name;
        std::string home;  // the folder holding .jpilot
    };
    // Read afresh at every call: users may be set up while the program runs.
    static std::vector<CUser> ReadUsers();
    static const CUser* FindUser(const std::vector<CUser>& users, const std::string& name);
};

// The process's install library.
CInstallLibrary& DefaultInstallLibrary();

// `text` cut to at most bufferSize - 1 bytes without splitting a UTF-8 character.
std::string FitToBuffer(const std::string& text, std::size_t bufferSize);
