#pragma once

#include <QCoreApplication>
#include <QString>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <signal.h>
#include <unistd.h>

#include "platform/system_path.h"

// What every fuzz target shares: a Qt application for the picture readers' plugins, and a
// private folder where each input becomes a file, for code that opens files by name.

inline void StartFuzzApplication() {
    static int argc = 1;
    static char name[] = "tavelo-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

// A folder of this process's own, removed at exit; relative names in an input resolve into
// it and find nothing. libFuzzer may end a run without the exit handlers, so each new folder
// first removes those of processes that have ended.
inline const std::filesystem::path& FuzzFolder() {
    static const std::filesystem::path folder = [] {
        namespace fs = std::filesystem;
        const std::string prefix = "tavelo-fuzz-";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) == 0 &&
                ::kill(static_cast<pid_t>(std::atol(name.c_str() + prefix.size())), 0) != 0 &&
                errno == ESRCH) {
                fs::remove_all(entry.path(), ec);
            }
        }
        std::string pattern =
            (fs::temp_directory_path() / (prefix + std::to_string(::getpid()) + "-XXXXXX"))
                .string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        static const fs::path made(pattern);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(made, ignored);
        });
        return made;
    }();
    return folder;
}

// Writes the input to `name` in the folder and gives its path as the program's path strings
// carry it.
inline QString InputFile(const std::uint8_t* data, std::size_t size, const char* name) {
    const std::filesystem::path path = FuzzFolder() / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        std::abort();
    }
    return PathFromSystem(path.string());
}

// A failed check of what the code under test promises: stops the run, as a crash does.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)
