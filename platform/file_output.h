#pragma once

#include <memory>
#include <string>

#include "album/file_output.h"

// The system's way of replacing a file: the bytes go to an unnamed file in the target's
// folder (O_TMPFILE) that is given a name only once it is complete on disk, so a write that is
// killed leaves nothing behind. Where the file system has no unnamed files, a temporary file
// whose name carries the writer's process id stands in, and the first write of a later run
// into that folder removes such files of processes that have ended.
std::unique_ptr<CFileOutput> OpenSystemFileOutput(const std::string& path, std::string& error);
// The same, always through a named temporary file, as where unnamed files are missing.
std::unique_ptr<CFileOutput> OpenNamedSystemFileOutput(const std::string& path, std::string& error);

// Makes album files go through OpenSystemFileOutput. Called by the programs at start.
void InstallFileOutput();

// The names of our temporary files: ".tvl-PID-N.tmp".
std::string TemporaryFileName(long processId, unsigned serial);
// Removes the temporary files in `folder` left by processes that no longer run.
void RemoveStaleTemporaryFiles(const std::string& folder);
