#include "platform/file_sync.h"

#include "album/palm_database.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

bool SyncFileToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

void InstallDiskFlush() { SetDiskFlush(&SyncFileToDisk); }
