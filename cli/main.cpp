#include <unistd.h>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <cstdio>

#include "cli/cli.h"
#include "platform/system_path.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // A file-size limit then makes a write fail with a message instead of ending the program
    // with a half-written file.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("tavelo-cli"));
    // File names pass through as the system's bytes, valid UTF-8 or not.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << PathFromSystem(argv[i]);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = RunCli(arguments, out, err, isatty(fileno(stderr)) != 0);
    out.flush();
    err.flush();
    return status;
}
