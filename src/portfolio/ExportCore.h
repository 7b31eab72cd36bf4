#pragma once

#include "sheet/XlsWriter.h"

#include <QString>
#include <QStringList>

class Dataset;

// The workbook of "批量导出", built without widgets: a heading row and then every row that the
// domain list holds, in its present order, every field as text; then one more, empty worksheet.
namespace exporter {

// The export file's name, in the data folder (Platform::dataFolder()).
inline const QString kFileName = QStringLiteral("yuming.xls");

// One worksheet of an .xls file holds 65,536 rows; the first is the heading row.
inline constexpr int kMaxDomains = sheet::XlsWriter::MaxRows - 1;

struct [[nodiscard]] Result
{
    enum class Status
    {
        Saved,
        TooManyRows, // more domains than one worksheet holds; nothing was written
        SaveFailed,  // the writer's error is in error; no file was left behind
    };
    Status status = Status::Saved;
    QString error;
    bool ok() const { return status == Status::Saved; }
};

// The message for a list longer than kMaxDomains.
QString tooManyRowsText(int count);
// The message for a field too long for a cell: the domain and the field's heading.
QString tooLongText(const QString& domain, const QString& field, int length);

// Writes the rows of query (its display order, after any search and sort) to path.
// Reads only; the caller moves the current row.
Result writeWorkbook(const Dataset& query, const QString& path);

} // namespace exporter
