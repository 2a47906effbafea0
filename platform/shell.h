#pragma once

#include <optional>
#include <string>

#include <QString>
#include <QStringList>
#include <QUrl>

// Opening pages and starting programs, as the desktop shell does.
class CShell {
public:
    virtual ~CShell() = default;
    // Asks the desktop to open a web address or a local file; false when it could not.
    [[nodiscard]] virtual bool Open(const QUrl& target);
    // Starts a program on its own; false when it could not be started.
    [[nodiscard]] virtual bool Start(const QString& program, const QStringList& arguments);
};

// The desktop's own shell.
CShell& DefaultShell();

// Show-window values of the callers; the desktop decides how a page is shown here.
inline constexpr int kShowHidden = 0;
inline constexpr int kShowNormal = 5;

// Results of OpenHyperlink: above 32 when the shell opened the address; the fallback's start
// of a program gives above 31; the failures are the shell's own numbers.
inline constexpr int kShellOpened = 33;
inline constexpr int kProgramStarted = 32;
inline constexpr int kFileNotFound = 2;
inline constexpr int kNoAssociation = 31;

// Opens a web address. When the desktop cannot, starts the browser the association table
// names for HTML pages with the address; the result then tells whether that browser started.
int OpenHyperlink(const std::string& address, int show, CShell& shell = DefaultShell());

// The command of the browser associated with HTML pages: the Exec line of the desktop entry
// that mimeapps.list names first for text/html (user's, then system folders). None without
// an association or when the entry is missing.
std::optional<std::string> QueryHtmlOpenCommand();

// Puts the address into an association's command text: the text is cut off where its
// placeholder (%1, or %u / %U of a desktop entry) begins, a quoted placeholder taking
// precedence over a bare one, and a space and the address follow. A command without
// placeholder gets the space and the address at its end.
std::string RewriteOpenCommand(const std::string& command, const std::string& address);

// The help pages' folder for a program in `programFolder`: its "help" folder; for an
// installed program without one, <prefix>/share/tavelo/help. Ends with a separator.
std::string HelpFolderFor(const std::string& programFolder);
// The help folder of the running program.
std::string GetHelpFolder();
