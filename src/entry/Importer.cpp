#include "Importer.h"

#include "InputRules.h"
#include "db/DomainWriter.h"
#include "sheet/Cell.h"
#include "sheet/XlsReader.h"

#include <algorithm>

namespace importer {

int countRows(const sheet::Sheet& sheet, const QLocale& locale)
{
    const int last = sheet.rowCount();
    int row = 0;
    while (row < last && !sheet::cellToText(sheet.cell(row, 0), locale).isEmpty())
        ++row;
    return row;
}

DomainRecord rowRecord(const sheet::Sheet& sheet, int row, const QLocale& locale)
{
    QStringList texts;
    texts.reserve(kColumns);
    for (int column = 0; column < kColumns; ++column)
        texts.append(sheet::cellToText(sheet.cell(row, column), locale));
    // A control character inside a domain would make it impossible to find; the other fields (the notes
    // with their line breaks) keep theirs.
    texts[0] = inputrules::withoutControls(texts[0]);
    return DomainRecord::fromValues(texts);
}

Result storeSheet(Connection* connection, const sheet::Sheet& sheet, const Progress& progress,
                  const QLocale& locale)
{
    Result result;
    result.rowsRead = countRows(sheet, locale);
    if (progress)
        progress(0, result.rowsRead);

    DomainBatch batch(connection);
    int row = 0;
    while (row < result.rowsRead) {
        if (const ::Result begun = batch.begin(); !begun.ok()) {
            result.status = Result::Status::StoreFailed;
            result.error = begun.error();
            return result;
        }
        const int end = std::min(result.rowsRead, row + kBatchRows);
        int stored = row;
        QString error;
        for (; stored < end; ++stored) {
            const ::Result appended = batch.append(rowRecord(sheet, stored, locale));
            if (!appended.ok()) {
                error = appended.error();
                break; // the refused INSERT left nothing behind; the rows before it are committed below
            }
        }
        if (const ::Result committed = batch.commit(); !committed.ok()) {
            result.status = Result::Status::StoreFailed;
            result.error = error.isEmpty() ? committed.error() : error;
            return result;
        }
        result.rowsStored = stored;
        if (!error.isEmpty()) {
            result.status = Result::Status::StoreFailed;
            result.error = error;
            return result;
        }
        row = end;
        if (progress)
            progress(result.rowsStored, result.rowsRead);
    }
    return result;
}

Result importWorkbook(Connection* connection, const QString& path, const Progress& progress,
                      const QLocale& locale)
{
    sheet::ReadOptions options;
    options.columns = kColumns;
    sheet::ReadResult read = sheet::readFirstSheet(path, options);
    if (!read.ok) {
        Result result;
        result.status = Result::Status::ReadFailed;
        result.error = read.error;
        return result;
    }
    return storeSheet(connection, read.sheet, progress, locale);
}

QString fileFilter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Excel(*.xls)");
#else
    return QStringLiteral("Excel(*.[xX][lL][sS])");
#endif
}

} // namespace importer
