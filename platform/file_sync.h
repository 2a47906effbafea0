#pragma once

#include <cstdio>

// Pushes what was written to `file` through to the disk, so that a rename that follows
// publishes complete bytes. False when the system reports a failure.
[[nodiscard]] bool SyncFileToDisk(std::FILE* file);

// Makes album files reach the disk before they replace their targets. Called by the programs
// at start.
void InstallDiskFlush();
