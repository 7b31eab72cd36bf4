#pragma once

#include "sheet/Cell.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace sheet {

struct ReadResult
{
    bool ok = false;
    bool cancelled = false; // the progress callback asked to stop; error holds a short note then
    QString error;          // a Chinese text for the user when !ok
    Sheet sheet;
};

struct ReadOptions
{
    // Files larger than this are refused before anything is read; the reader never holds more of a file.
    qint64 maxFileSize = 512LL * 1024 * 1024;
    // Only columns 0 .. columns-1 are kept (0 keeps every column): cells the caller never looks at take no
    // memory.
    int columns = 0;
    // Called from the reading thread now and then with the work done so far and the whole work (both in
    // bytes of the workbook); returning false stops the read, which then ends with cancelled set.
    std::function<bool(qint64 done, qint64 total)> progress;
};

// Reads the first worksheet of an Excel 97-2003 workbook (.xls; Excel 5.0/95 workbooks as well).
// Never throws and never crashes: a missing, foreign, encrypted or damaged file, anything that is not a
// regular file (a folder, a device, a pipe) and a file over the size limit give ok == false and an error
// text. Safe to call on a worker thread.
ReadResult readFirstSheet(const QString& path, const ReadOptions& options = {});
ReadResult readFirstSheetFromMemory(const QByteArray& bytes, const ReadOptions& options = {});

} // namespace sheet
