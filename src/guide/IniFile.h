#pragma once

#include <QString>

// One value of an INI file, read and written the way the program's settings file is kept:
// section and key names match without regard to letter case; blanks around a value and one
// pair of enclosing quotation marks are removed on reading. Every call goes straight to the
// file; nothing is held open or cached, so the file may be edited by hand between two calls.
namespace IniFile {
// The value, or defaultValue when the file, the section or the key is missing.
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
// Creates the file and the section when missing, otherwise replaces only that value; every
// other line of the file stays as it was, byte for byte. Empty on success, else
// "Unable to write to <path>", and the file is left as it was.
QString writeString(const QString& path, const QString& section, const QString& key, const QString& value);

// The settings file iset.ini in the data folder (Platform::dataFolder()).
QString settingsPath();

// The start-up choice: key run of section pro_set in the settings file ("1": open the guide at start).
QString readRun();
QString writeRun(const QString& value);

// --- test seam ---
// Puts the settings file into another folder (with a trailing separator); empty restores the program's
// folder.
void setFolderForTests(const QString& folder);
} // namespace IniFile
