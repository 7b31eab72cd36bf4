#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The checks every reader of a file from outside (a workbook, the report project) makes before it reads it.
namespace sheet {

// Opens path read-only after making sure that it is a regular file no larger than maxFileSize (a folder, a
// device, a pipe or a socket is refused before it is opened, so that opening never waits and reading always
// ends). kind names what the file should be in the messages ("表格文件"). A failure (Code::ReadFailed)
// carries a Chinese error text.
Result openSourceFile(const QString& path, qint64 maxFileSize, QFile& file,
                      const QString& kind = QStringLiteral("表格文件"));

// Reads the rest of a file that openSourceFile opened, never more than maxFileSize bytes: a file that has
// grown past the limit since it was opened is refused like one that was larger from the start. A failure
// (Code::ReadFailed) carries a Chinese error text.
Expected<QByteArray> readSourceFile(QFile& file, qint64 maxFileSize);

// "The file cannot be read" with the system's reason.
QString readErrorText(const QString& path, const QString& reason);

// "The file has so many MB, over the limit": for a file or for what a packed workbook unpacks to.
QString tooLargeText(qint64 size, qint64 limit);

} // namespace sheet
