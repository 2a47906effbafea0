#pragma once

#include <QUrl>

#include "platform/shell.h"

class QWidget;

// Opens a web address or a help page. Where nothing opens it (no browser), a message over
// `parent` gives the address, to be copied into a browser by hand.
void OpenLink(const QUrl& address, CShell& shell, QWidget* parent);

// Opens the local help page whose file name is string `stringId`, from the help folder.
// A missing page or folder is not reported: the desktop shows what it can.
void OpenHelpPage(int stringId, CShell& shell, QWidget* parent);
