#pragma once

#include "platform/Result.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

#include <QString>
#include <QStringList>

#include <functional>

class Dataset;

// The workbook of "批量导出", built without widgets: a heading row and then every row that the
// domain list holds, in its present order, every field as text; then one more, empty worksheet.
namespace exporter {

// The export file's name, in the data folder (Platform::dataFolder()).
inline const QString kFileName = QStringLiteral("yuming.xls");
// The export file of a list longer than one .xls worksheet holds.
inline const QString kLargeFileName = QStringLiteral("yuming.xlsx");

// One worksheet of an .xls file holds 65,536 rows; the first is the heading row.
inline constexpr int kMaxDomains = sheet::XlsWriter::MaxRows - 1;
// One worksheet of an .xlsx file holds 1,048,576 rows.
inline constexpr int kMaxLargeDomains = sheet::XlsxWriter::MaxRows - 1;

// yuming.xls, or yuming.xlsx for a list of more than kMaxDomains.
QString fileNameFor(int domains);

// The message for a list longer than kMaxDomains (or, to .xlsx, kMaxLargeDomains).
QString tooManyRowsText(int count, int limit = kMaxDomains);
// The message for a field too long for a cell: the domain and the field's heading.
QString tooLongText(const QString& domain, const QString& field, int length);

// Writes the rows of query (its display order, after any search and sort) to path: an .xlsx workbook
// when path ends in .xlsx, else an .xls workbook. Reads only; the caller moves the current row.
// progress, when given, is called now and then with the rows written so far and all rows.
// Fails with Code::TooManyRows when there are more domains than one worksheet of the file's kind holds
// (nothing was written), else with the writer's error (no file was left behind).
Result writeWorkbook(const Dataset& query, const QString& path,
                     const std::function<void(int done, int total)>& progress = {});

} // namespace exporter
