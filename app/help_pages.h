#pragma once

#include "platform/shell.h"

// Opens the local help page whose file name is string `stringId`, from the help folder.
// A missing page or folder is not reported: the desktop shows what it can.
void OpenHelpPage(int stringId, CShell& shell = DefaultShell());
