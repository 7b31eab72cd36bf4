#pragma once

#include <QFile>
#include <QString>

// The checks every workbook reader makes before it reads a file from disk.
namespace sheet {

// Opens path read-only after making sure that it is a regular file no larger than maxFileSize (a folder, a
// device, a pipe or a socket is refused before it is opened). Empty on success, else a Chinese error text.
QString openSourceFile(const QString& path, qint64 maxFileSize, QFile& file);

// "The file has so many MB, over the limit": for a file or for what a packed workbook unpacks to.
QString tooLargeText(qint64 size, qint64 limit);

} // namespace sheet
