#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace sheet {

// Writes an Excel 2007+ workbook (.xlsx) of text cells row by row, straight to the disk, so that even a very
// long list takes little memory. Sheets are named "Sheet1", "Sheet2", ...; rows go to the first.
class XlsxWriter
{
public:
    // The workbook is built in a file beside path and takes path's place only when save succeeds.
    explicit XlsxWriter(const QString& path, int sheetCount = 2);
    ~XlsxWriter(); // without save, the partial file is removed
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    static constexpr int MaxRows = 1048576;
    static constexpr int MaxTextLength = 32767; // characters (UTF-16 units) in one cell

    // Appends a row of text cells to the first sheet; an empty text leaves its cell empty. A failure
    // carries a Chinese error text (a full sheet, a text too long for a cell, a failed write); after an
    // error the workbook is not saved.
    Result appendRow(const QStringList& cells);
    int rowCount() const;

    // Finishes the file and puts it in place; a failed save leaves no half-written file, and an older file
    // at path stays as it was.
    Result save();

private:
    struct Data;
    std::unique_ptr<Data> d;
};

} // namespace sheet
