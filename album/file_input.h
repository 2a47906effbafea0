#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Why a file could not be opened for reading.
enum class OpenProblem { None, NotFound, NotRegular, CannotRead };

// Opens `path` for reading only if it is a regular file. The open itself does not wait (on a
// pipe without a writer, or a device, a plain open would) and the kind of file is checked on
// the open descriptor, so nothing put in the file's place meanwhile is ever read. Returns the
// descriptor, blocking again and closed on exec, with the file's size; -1 with `problem`
// (and errno) when it cannot.
int OpenRegularFile(const std::string& path, OpenProblem& problem, std::uint64_t& size);

// The same as a C stream ("rb"); nullptr when it cannot.
std::FILE* OpenRegularFileStream(const std::string& path, OpenProblem& problem,
                                 std::uint64_t& size);
