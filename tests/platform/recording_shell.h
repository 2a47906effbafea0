#pragma once

#include <vector>

#include <QUrl>

#include "platform/shell.h"

// A shell that opens nothing, but remembers what it was asked.
class CRecordingShell : public CShell {
public:
    bool Open(const QUrl& target) override {
        opened.push_back(target);
        return openWorks;
    }

    bool openWorks = true;
    std::vector<QUrl> opened;
};
