#pragma once

#include <string>

#include <QUrl>

// Opening pages, as the desktop shell does.
class CShell {
public:
    virtual ~CShell() = default;
    // Asks the desktop to open a web address or a local file in the user's own program for it
    // (QDesktopServices::openUrl); false when it could not, as without a browser.
    [[nodiscard]] virtual bool Open(const QUrl& target);
};

// The desktop's own shell.
CShell& DefaultShell();

// The help pages' folder for a program in `programFolder`: its "help" folder; for an
// installed program without one, <prefix>/share/tavelo/help. Ends with a separator.
std::string HelpFolderFor(const std::string& programFolder);
// The help folder of the running program.
std::string GetHelpFolder();
