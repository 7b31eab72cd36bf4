#pragma once

#include "sheet/Cell.h"

#include <QString>

// What the readers of the different workbook formats share about number formats and date serials.
namespace sheet {

// A number format shows a date or time when it has a y, m, d, h or s outside quotes, brackets and escapes.
bool isDateFormat(const QString& code);
// The built-in formats (by number, without a code in the file) that show a date or time.
bool isBuiltInDateFormat(int id);
// A number cell, or a date cell when isDate and the serial is a day of the 1900 (or 1904) date system.
Cell numberCell(double value, bool isDate, bool dates1904);

} // namespace sheet
