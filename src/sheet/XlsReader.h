#pragma once

#include "platform/Result.h"
#include "sheet/Cell.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace sheet {

struct ReadOptions
{
    // Files larger than this are refused before anything is read; the reader never holds more of a file.
    qint64 maxFileSize = 512LL * 1024 * 1024;
    // Only columns 0 .. columns-1 are kept (0 keeps every column): cells the caller never looks at take no
    // memory.
    int columns = 0;
    // Called from the reading thread now and then with the work done so far and the whole work (both in
    // bytes of the workbook); returning false stops the read, which then ends as Result::Code::Cancelled.
    std::function<bool(qint64 done, qint64 total)> progress;
};

// The note of a read the user cancelled.
inline QString cancelledText()
{
    return QStringLiteral("已取消读取");
}

// Reads the first worksheet of an Excel 97-2003 workbook (.xls; Excel 5.0/95 workbooks as well).
// Never throws and never crashes: a missing, foreign, encrypted or damaged file, anything that is not a
// regular file (a folder, a device, a pipe) and a file over the size limit give a failure with a Chinese
// error text for the user. Safe to call on a worker thread.
Expected<Sheet> readFirstSheet(const QString& path, const ReadOptions& options = {});
Expected<Sheet> readFirstSheetFromMemory(const QByteArray& bytes, const ReadOptions& options = {});

} // namespace sheet
