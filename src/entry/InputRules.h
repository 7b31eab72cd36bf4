#pragma once

#include <QChar>
#include <QString>

// What the domain boxes take from the keyboard and how much text a limited box holds. No widgets here.
namespace inputrules {

// Domain filter: a typed blank is swallowed; every other character, control keys included, passes.
bool domainKeyPasses(QChar key);
// The text without control characters (NUL, ESC, Tab, line breaks and the like, the line and paragraph
// separators too): what a domain name may hold.
QString withoutControls(const QString& text);
bool isControl(QChar c);
// Date filter: a typed blank, ".", "/" or a lower-case letter a to z is swallowed; everything else passes.
bool dateKeyPasses(QChar key);

// The number of characters as the user sees them (grapheme clusters): a Chinese character, an emoji with
// its modifiers, a letter with its accents and a line break written as CR LF each count as one.
int characterCount(const QString& text);

// Inserting `inserted` between `head` and `tail` into a box that holds at most `limit` characters
// (0: no limit): the leading part of `inserted` that fits, cut between two characters. Empty when nothing
// fits, also when head and tail together already hold more than the limit.
QString fittingPart(const QString& head, const QString& inserted, const QString& tail, int limit);

} // namespace inputrules
