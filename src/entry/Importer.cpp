#include "Importer.h"

#include "InputRules.h"
#include "db/DomainWriter.h"
#include "sheet/Cell.h"
#include "sheet/TableReader.h"

#include <algorithm>
#include <array>

namespace importer {

namespace {

QString cellText(const sheet::Sheet& sheet, int row, int column, const QLocale& locale)
{
    return sheet::cellToText(sheet.cell(row, column), locale);
}

// Row 1 is exactly the heading row that the export writes.
bool isExportHeading(const sheet::Sheet& sheet, const QLocale& locale)
{
    const QStringList& titles = DomainRecord::titles();
    for (int column = 0; column < titles.size(); ++column)
        if (cellText(sheet, 0, column, locale) != titles[column])
            return false;
    return titles.size() == kColumns + 1;
}

} // namespace

Layout layoutOf(const sheet::Sheet& sheet, const QLocale& locale)
{
    return isExportHeading(sheet, locale) ? Layout{1, 1} : Layout{};
}

int countRows(const sheet::Sheet& sheet, const QLocale& locale)
{
    const Layout layout = layoutOf(sheet, locale);
    const int last = sheet.rowCount();
    int row = layout.firstRow;
    // In the export's layout a row goes on while its 编号 or its 域名 holds something, so that even a
    // domain stored without a name comes back.
    while (row < last && (!cellText(sheet, row, 0, locale).isEmpty() ||
                          (layout.exported() && !cellText(sheet, row, 1, locale).isEmpty())))
        ++row;
    return row - layout.firstRow;
}

DomainRecord rowRecord(const sheet::Sheet& sheet, int index, const QLocale& locale, const Layout& layout)
{
    std::array<const sheet::Cell*, kReadColumns> cells{};
    const int count = std::min<int>(layout.firstColumn + kColumns, int(cells.size()));
    sheet.rowCells(layout.firstRow + index, count, cells.data());
    QStringList texts;
    texts.reserve(kColumns);
    for (int column = layout.firstColumn; column < layout.firstColumn + kColumns; ++column)
        texts.append(column < count ? sheet::cellToText(*cells[size_t(column)], locale) : QString());
    // A control character inside a domain would make it impossible to find; the other fields (the notes
    // with their line breaks) keep theirs.
    texts[0] = inputrules::withoutControls(texts[0]);
    return DomainRecord::fromValues(texts);
}

Result checkRows(const sheet::Sheet& sheet, const QLocale& locale)
{
    const Layout layout = layoutOf(sheet, locale);
    const int rows = countRows(sheet, locale);
    std::array<const sheet::Cell*, kReadColumns> cells{};
    const int count = std::min<int>(layout.firstColumn + kColumns, int(cells.size()));
    for (int index = 0; index < rows; ++index) {
        const int row = layout.firstRow + index;
        sheet.rowCells(row, count, cells.data());
        for (int column = layout.firstColumn; column < count; ++column) {
            const sheet::Cell& cell = *cells[size_t(column)];
            // Only a text can be long; a number or a date never is.
            if (cell.type != sheet::Cell::Type::Text || cell.text.size() <= kMaxDomainLength)
                continue;
            const QString where = QStringLiteral("第 %1 行 %2 列").arg(row + 1).arg(QChar(u'A' + column));
            if (cell.text.size() > sheet::kMaxCellCharacters)
                return Result::failure(
                    QStringLiteral("无法导入：%1的内容超过了一个单元格最多可以容纳的 %2 个字符。"
                                   "文件中的域名都没有导入")
                        .arg(where)
                        .arg(sheet::kMaxCellCharacters),
                    Result::Code::ReadFailed);
            if (column == layout.firstColumn) {
                const int length = int(rowRecord(sheet, index, locale, layout).domain.size());
                if (length > kMaxDomainLength)
                    return Result::failure(
                        QStringLiteral("无法导入：%1的域名有 %2 个字符，而域名最长 %3 个字符。"
                                       "文件中的域名都没有导入")
                            .arg(where)
                            .arg(length)
                            .arg(kMaxDomainLength),
                        Result::Code::ReadFailed);
            }
        }
    }
    return Result::success();
}

Outcome storeSheet(Connection* connection, const sheet::Sheet& sheet, const Progress& progress,
                   const QLocale& locale)
{
    Outcome result;
    const Layout layout = layoutOf(sheet, locale);
    result.rowsRead = countRows(sheet, locale);
    if (Result refused = checkRows(sheet, locale); !refused.ok()) {
        result.result = refused;
        return result;
    }
    if (progress)
        progress(0, result.rowsRead);

    DomainBatch batch(connection);
    int row = 0;
    while (row < result.rowsRead) {
        if (const Result begun = batch.begin(); !begun.ok()) {
            result.result = Result::failure(begun.error(), Result::Code::StoreFailed);
            return result;
        }
        const int end = std::min(result.rowsRead, row + kBatchRows);
        int stored = row;
        QString error;
        for (; stored < end; ++stored) {
            const Result appended = batch.append(rowRecord(sheet, stored, locale, layout));
            if (!appended.ok()) {
                error = appended.error();
                break; // the refused INSERT left nothing behind; the rows before it are committed below
            }
        }
        if (const Result committed = batch.commit(); !committed.ok()) {
            result.result =
                Result::failure(error.isEmpty() ? committed.error() : error, Result::Code::StoreFailed);
            return result;
        }
        result.rowsStored = stored;
        if (!error.isEmpty()) {
            result.result = Result::failure(error, Result::Code::StoreFailed);
            return result;
        }
        row = end;
        if (progress)
            progress(result.rowsStored, result.rowsRead);
    }
    return result;
}

Outcome importWorkbook(Connection* connection, const QString& path, const Progress& progress,
                       const QLocale& locale)
{
    sheet::ReadOptions options;
    options.columns = kReadColumns;
    const Expected<sheet::Sheet> read = sheet::readTable(path, options);
    if (!read.ok()) {
        Outcome result;
        result.result = Result::failure(read.error(), Result::Code::ReadFailed);
        return result;
    }
    return storeSheet(connection, read.value(), progress, locale);
}

namespace {

// "*.xls" as a pattern that matches the ending in any letter case.
QString anyCase(const QString& ending)
{
#ifdef Q_OS_WIN
    return QStringLiteral("*.") + ending;
#else
    QString pattern = QStringLiteral("*.");
    for (const QChar c : ending)
        pattern += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    return pattern;
#endif
}

} // namespace

QString fileFilter()
{
    QStringList all;
    for (const QString& ending :
         {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("ods"), QStringLiteral("csv")})
        all.append(anyCase(ending));
    return QStringLiteral("表格文件(%1);;Excel(%2)")
        .arg(all.join(QLatin1Char(' ')), anyCase(QStringLiteral("xls")));
}

} // namespace importer
