#include "Importer.h"

#include "db/Connection.h"
#include "db/Dataset.h"
#include "sheet/Cell.h"
#include "sheet/XlsReader.h"

#include <algorithm>

namespace importer {

namespace {

// An empty result of tt_a: its only use is appending rows with one prepared INSERT.
class Appender
{
public:
    explicit Appender(Connection* connection) : m_rows(connection)
    {
        m_rows.setTable(QStringLiteral("tt_a"), QStringLiteral("aid"));
        m_rows.setSql(QStringLiteral("select * from tt_a where 0"));
    }
    QString open() { return m_rows.open(); }
    // Stores one row; the appended copy is dropped at close(), the file keeps it.
    QString append(const QStringList& values) { return m_rows.append(values); }
    void close() { m_rows.close(); }

private:
    Dataset m_rows;
};

} // namespace

int countRows(const sheet::Sheet& sheet, const QLocale& locale)
{
    const int last = sheet.rowCount();
    int row = 0;
    while (row < last && !sheet::cellToText(sheet.cell(row, 0), locale).isEmpty())
        ++row;
    return row;
}

QStringList rowTexts(const sheet::Sheet& sheet, int row, const QLocale& locale)
{
    QStringList texts;
    texts.reserve(kColumns);
    for (int column = 0; column < kColumns; ++column)
        texts.append(sheet::cellToText(sheet.cell(row, column), locale));
    return texts;
}

Result storeSheet(Connection* connection, const sheet::Sheet& sheet, const Progress& progress,
                  const QLocale& locale)
{
    Result result;
    result.rowsRead = countRows(sheet, locale);
    if (progress)
        progress(0, result.rowsRead);

    Appender appender(connection);
    int row = 0;
    while (row < result.rowsRead) {
        QString error = appender.open();
        if (!error.isEmpty()) {
            result.status = Result::Status::StoreFailed;
            result.error = error;
            return result;
        }
        error = connection->execute(QStringLiteral("begin"));
        if (!error.isEmpty()) {
            appender.close();
            result.status = Result::Status::StoreFailed;
            result.error = error;
            return result;
        }
        const int end = std::min(result.rowsRead, row + kBatchRows);
        int stored = row;
        for (; stored < end; ++stored) {
            error = appender.append(rowTexts(sheet, stored, locale));
            if (!error.isEmpty())
                break; // the refused INSERT left nothing behind; the rows before it are committed below
        }
        appender.close();
        const QString commitError = connection->execute(QStringLiteral("commit"));
        if (!commitError.isEmpty()) {
            // Nothing of this batch may stay half-written: undo it (the engine may already have).
            connection->execute(QStringLiteral("rollback"));
            result.status = Result::Status::StoreFailed;
            result.error = error.isEmpty() ? commitError : error;
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
