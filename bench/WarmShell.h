#pragma once

#include <QString>

// The sqlcipher shell as a fair reference: one run that derives the key, sets the same page cache as the
// program's connection, runs the select once untimed (the file then lies in the cache as it does for the
// program), and then `times` more times under the shell's own timer. The median of the timed runs in ms
// (the shell prints 1 ms steps); -1 without the shell. Output goes nowhere.
double warmShellMs(const QString& file, const QString& select, int cachePages, int times = 5);

// The page cache size (PRAGMA cache_size) of the program's connection to the file.
int programCachePages(const QString& file);
