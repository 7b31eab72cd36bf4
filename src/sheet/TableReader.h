#pragma once

#include "sheet/XlsReader.h"

#include <QByteArray>
#include <QString>

// Reads the first worksheet of a spreadsheet in any of the formats users keep their lists in. The format is
// told by the file's content, never by its name's ending.
namespace sheet {

enum class TableFormat
{
    Empty,   // no bytes at all
    Xls,     // Excel 97-2003 (and 5.0/95) compound file, or a bare workbook stream
    Xlsx,    // Office Open XML workbook: a ZIP package with xl/workbook.xml
    Ods,     // OpenDocument spreadsheet: a ZIP package whose mimetype says so
    Csv,     // text: values separated by commas, semicolons or tabs
    Unknown, // anything else: another package, a picture, a program ...
};

// The format of a file that starts with (or wholly is) bytes.
TableFormat detectFormat(const QByteArray& bytes);

// Same promises as readFirstSheet: never throws, never crashes; a missing, foreign, encrypted, damaged or
// over-large file gives ok == false and a Chinese error text. Every cell of a .csv file is a text.
Expected<Sheet> readTable(const QString& path, const ReadOptions& options = {});
Expected<Sheet> readTableFromMemory(const QByteArray& bytes, const ReadOptions& options = {});

// The limits of the formats that are read whole into memory (.xlsx, .ods, .csv).
inline constexpr qint64 kMaxPackedFileSize = 256LL * 1024 * 1024; // the file itself
inline constexpr qint64 kMaxUnpackedSize = 1024LL * 1024 * 1024;  // all parts of a package, unpacked
inline constexpr qint64 kMaxCellCalls = 60LL * 1000 * 1000;       // cells a package may hand over
inline constexpr qint64 kMaxSharedStrings = 5LL * 1000 * 1000;    // entries of an .xlsx shared texts' table
inline constexpr qint64 kMaxTextBytes = 128LL * 1024 * 1024;      // their text (UTF-8) and that held in place

// The longest text a spreadsheet cell holds (characters, as UTF-16 code units). A reader keeps a longer
// text only in part, still longer than this, so that it is seen as too long without taking memory.
inline constexpr int kMaxCellCharacters = 32767;

} // namespace sheet
