#pragma once

#include <QString>

// The program's string table: the text of a string id, empty for an id the table lacks.
QString LoadResString(int id);
