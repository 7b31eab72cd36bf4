#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace sheet {

// Writes an Excel 97-2003 workbook (.xls) of text cells, sheets named "Sheet1", "Sheet2", ...
class XlsWriter
{
public:
    explicit XlsWriter(int sheetCount = 2); // Sheet1..SheetN (at least one sheet)
    ~XlsWriter();
    XlsWriter(XlsWriter&&) noexcept;
    XlsWriter& operator=(XlsWriter&&) noexcept;

    // Appends a row of text cells to the sheet (0-based index; other indexes are ignored).
    // An empty string leaves that cell empty. The texts are kept compactly (each distinct text once).
    void appendRow(int sheetIndex, const QStringList& cells);
    int rowCount(int sheetIndex) const;
    int sheetCount() const;

    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    static constexpr int MaxTextLength = 32767; // characters (UTF-16 units) in one cell

    // Writes the workbook to path; a failure carries a Chinese error text. The file is written to a
    // temporary file and then renamed, so a failed save leaves no half-written file (and an older file at
    // path stays as it was); a workbook over the limits above is refused before anything is written.
    Result save(const QString& path) const;

    // The same workbook as the bytes of the file, or why it cannot be built.
    Expected<QByteArray> toBytes() const;

private:
    struct Data;
    Result checkLimits() const;
    QByteArray workbookStream() const;

    std::unique_ptr<Data> d;
};

} // namespace sheet
