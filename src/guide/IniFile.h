#pragma once

#include <QString>

// Reads and writes one value of an INI file the way the program's settings file is kept:
// section and key names match without regard to letter case; blanks around a value and one
// pair of enclosing quotation marks are removed on reading. Nothing is cached.
namespace IniFile {
// The value, or defaultValue when the file, the section or the key is missing.
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
// Creates the file and the section when missing, otherwise replaces the value.
// Empty on success, else "Unable to write to <path>".
QString writeString(const QString& path, const QString& section, const QString& key, const QString& value);

// The settings file iset.ini in the program's folder.
QString settingsPath();
} // namespace IniFile
