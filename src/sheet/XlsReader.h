#pragma once

#include "sheet/Cell.h"

#include <QByteArray>
#include <QString>

namespace sheet {

struct ReadResult
{
    bool ok = false;
    QString error; // a Chinese text for the user when !ok
    Sheet sheet;
};

// Reads the first worksheet of an Excel 97-2003 workbook (.xls; Excel 5.0/95 workbooks as well).
// Never throws and never crashes: a missing, foreign, encrypted or damaged file gives ok == false and an
// error text.
ReadResult readFirstSheet(const QString& path);
ReadResult readFirstSheetFromMemory(const QByteArray& bytes);

} // namespace sheet
