#pragma once

#include <QString>

// Fills tt_a of a new encrypted database file with `count` realistic domains (names of mixed
// length and endings, Chinese descriptions, registrars, dates, prices, some notes).
// Returns an empty text on success.
QString generateDomainFile(const QString& path, int count);
