#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file being replaced: its bytes go somewhere the target's path does not show until
// Commit() puts them there whole. An output destroyed before a successful Commit() leaves the
// target as it was and no trace of its own.
class CFileOutput {
public:
    virtual ~CFileOutput() = default;
    // Appends bytes; false, with Error() saying why, when the system refuses them.
    [[nodiscard]] virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
    // Pushes everything to the disk under a temporary name beside the target, which stays as
    // it was; no more bytes can be written. For outputs that must all be complete before any
    // of them replaces its target.
    [[nodiscard]] virtual bool Prepare() = 0;
    // Prepares the bytes if that is not done yet, and replaces the target with them.
    [[nodiscard]] virtual bool Commit() = 0;
    // Why the last step failed, in a few words ("disk full", "permission denied").
    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};

// How outputs are made. The programs install the platform's own at start
// (platform/file_output); the built-in one writes a named temporary file beside the target
// with the C library and renames it.
using FileOutputFactory = std::unique_ptr<CFileOutput> (*)(const std::string& path,
                                                           std::string& error);
void SetFileOutputFactory(FileOutputFactory factory);

// Starts replacing the file at `path`. A symbolic link, dangling or not, is followed where the
// kernel lets this user open it for writing (not another user's link in a shared sticky
// folder): the file it names is written. None, with `error` saying why, for a path whose folder is
// missing or refuses new files, or whose target is a folder, a device, a pipe or a read-only file.
std::unique_ptr<CFileOutput> OpenFileOutput(const std::string& path, std::string& error);

// Checks that `path` can take a replacement as OpenFileOutput would, and gives the path of
// the file that would be written (links followed). False, with `error`, when it cannot.
[[nodiscard]] bool ResolveOutputPath(const std::string& path, std::string& resolved,
                                     std::string& error);

// Pushes a file's bytes to the disk (fsync), as every output does before its file replaces the
// target. Tests put a failing call in place to see what a disk that does not take the bytes
// leaves behind; nullptr puts the system's back.
using SyncCall = int (*)(int fd);
void SetSyncCall(SyncCall call);
int SyncToDisk(int fd);

// The C library's words for a system error number, as one short line.
std::string SystemErrorText(int error);
