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

// How outputs are made: OpenSystemFileOutput unless a test puts another in its place (nullptr
// puts it back).
using FileOutputFactory = std::unique_ptr<CFileOutput> (*)(const std::string& path,
                                                           std::string& error);
void SetFileOutputFactory(FileOutputFactory factory);

// The system's way of replacing a file: the bytes go to an unnamed file in the target's
// folder (O_TMPFILE) that is given a name only once it is complete on disk, so a write that is
// killed leaves nothing behind. Where the file system has no unnamed files, a temporary file
// whose name carries the writer's process id stands in, and the first write of a later run
// into that folder removes such files of processes that have ended. A replaced file keeps its
// rights.
std::unique_ptr<CFileOutput> OpenSystemFileOutput(const std::string& path, std::string& error);
// The same, always through a named temporary file, as where unnamed files are missing.
std::unique_ptr<CFileOutput> OpenNamedSystemFileOutput(const std::string& path, std::string& error);

// The names of our temporary files: ".tvl-PID-N.tmp".
std::string TemporaryFileName(long processId, unsigned serial);
// Removes the temporary files in `folder` left by processes that no longer run.
void RemoveStaleTemporaryFiles(const std::string& folder);

// Starts replacing the file at `path`. A symbolic link, dangling or not, is followed where the
// kernel lets this user open it for writing (not another user's link in a shared sticky
// folder): the file it names is written. None, with `error` saying why, for a path whose folder is
// missing or refuses new files, or whose target is a folder, a device, a pipe or a read-only file;
// the system's reason is given where there is one ("Read-only file system").
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
