#pragma once

#include <QStringList>
#include <QTextStream>

// The batch tool's commands: build, inspect, extract. Returns the process exit status:
// 0 done, 2 refused input or a failed build (with a one-line message on `err`).
int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, bool terminal);
