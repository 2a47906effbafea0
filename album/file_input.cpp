#include "album/file_input.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFile(const std::string& path, OpenProblem& problem, std::uint64_t& size) {
    size = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        problem = errno == ENOENT ? OpenProblem::NotFound : OpenProblem::CannotRead;
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        problem = OpenProblem::CannotRead;
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        problem = OpenProblem::NotRegular;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        problem = OpenProblem::CannotRead;
        return -1;
    }
    problem = OpenProblem::None;
    size = static_cast<std::uint64_t>(status.st_size);
    return fd;
}

std::FILE* OpenRegularFileStream(const std::string& path, OpenProblem& problem,
                                 std::uint64_t& size) {
    const int fd = OpenRegularFile(path, problem, size);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
        problem = OpenProblem::CannotRead;
    }
    return file;
}
