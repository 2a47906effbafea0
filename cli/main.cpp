#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "cli/cli.h"
#include "platform/file_sync.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    InstallDiskFlush();
    QCoreApplication::setApplicationName(QStringLiteral("tavelo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = RunCli(QCoreApplication::arguments(), out, err, isatty(fileno(stderr)) != 0);
    out.flush();
    err.flush();
    return status;
}
