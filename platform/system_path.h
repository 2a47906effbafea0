#pragma once

#include <string>

#include <QString>

// File names are the system's bytes, which need not be valid UTF-8. These carry such a name
// through Qt's strings and back unchanged: each byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC80 + byte (as Python's "surrogateescape" does), which no valid text
// contains.

// The system's bytes of a name as a string.
QString PathFromSystem(const std::string& bytes);
// The system's bytes of a name made by PathFromSystem, or of any other string (as UTF-8).
std::string PathToSystem(const QString& path);
