#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;

// A filter written as description|patterns pairs (patterns separated by ';') as file dialog
// name filters: "description (patterns)".
QStringList FileDialogFilters(const QString& filter);

// Gives a file dialog its filter and opens it in the folder a setting keeps, when that folder
// still exists; after the dialog is accepted, KeepFolder stores where it ended.
void PrepareFileDialog(QFileDialog& dialog, const char* filter, const char* folderSetting);
void KeepFolder(const QString& folder, const char* folderSetting);
