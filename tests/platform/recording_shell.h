#pragma once

#include <vector>

#include <QStringList>
#include <QUrl>

#include "platform/shell.h"

// A shell that opens and starts nothing, but remembers what it was asked.
class CRecordingShell : public CShell {
public:
    bool Open(const QUrl& target) override {
        opened.push_back(target);
        return openWorks;
    }
    bool Start(const QString& program, const QStringList& arguments) override {
        started.push_back(QStringList{program} + arguments);
        return startWorks;
    }

    bool openWorks = true;
    bool startWorks = true;
    std::vector<QUrl> opened;
    std::vector<QStringList> started;
};
