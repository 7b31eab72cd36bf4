#pragma once

#include "db/DomainRecord.h"
#include "platform/Result.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

class Connection;
namespace sheet {
class Sheet;
}

// Bulk import of domains from a workbook (.xls, .xlsx, .ods or .csv, told by its content): the first
// worksheet, one domain per row from row 1 down to the first row whose column A is empty, columns A to I
// into a1 to a9 of tt_a. A workbook written by "批量导出" (its heading row first, then 编号 and the nine
// fields) is read back as such. Knows nothing of widgets; the import dialog shows the outcome.
namespace importer {

// Columns A to I.
inline constexpr int kColumns = 9;
// Columns the reader keeps: A to I, and J for the export's layout.
inline constexpr int kReadColumns = kColumns + 1;
// The longest domain taken from a sheet, in characters: the add dialog's 70, with room for any name in its
// xn-- form (253, the most the domain name system carries).
inline constexpr int kMaxDomainLength = 253;
// Rows stored per transaction; progress is reported between batches, outside any transaction.
inline constexpr int kBatchRows = 8192;

// What an import did. Its result fails with Code::ReadFailed when the workbook could not be opened, or a
// row to import holds a text too long for its field (nothing was stored), with Code::StoreFailed when a
// row was refused (the rows before it are stored, it and the rows after are not); the text is the
// reader's or the database's own.
struct [[nodiscard]] Outcome
{
    Result result = Result::success();
    int rowsRead = 0;   // rows up to the first empty column A
    int rowsStored = 0; // rows that are now in the file
    bool ok() const { return result.ok(); }
    Result::Code code() const { return result.code(); }
    QString error() const { return result.error(); }
};

// Called between batches with the rows stored so far and the rows read.
using Progress = std::function<void(int stored, int total)>;

// Where the domains stand in a sheet: from row 1, columns A to I; or, in a sheet written by the export,
// below its heading row, in columns B to J (column A holds the exported 编号, which is not imported).
struct Layout
{
    int firstRow = 0;
    int firstColumn = 0;
    bool exported() const { return firstColumn > 0; }
};
Layout layoutOf(const sheet::Sheet& sheet, const QLocale& locale = QLocale());

// The number of rows to import: rows from the layout's first down to the first whose column A,
// as text, is empty (in the export's layout: whose 编号 and 域名 are both empty).
int countRows(const sheet::Sheet& sheet, const QLocale& locale = QLocale());

// The index-th domain row, its nine columns into a1 to a9, as the cells show them (blanks and
// control characters around them removed).
DomainRecord rowRecord(const sheet::Sheet& sheet, int index, const QLocale& locale = QLocale(),
                       const Layout& layout = {});

// Why the rows 0 .. countRows()-1 cannot be stored: the first of them with a text longer than a cell holds
// (sheet::kMaxCellCharacters), or a domain longer than kMaxDomainLength, named by its row and column in
// the sheet (Code::ReadFailed), or success when they can.
Result checkRows(const sheet::Sheet& sheet, const QLocale& locale = QLocale());

// Stores rows 0 .. countRows()-1 of the sheet as new records of tt_a, unless checkRows refuses them
// (ReadFailed then, nothing stored). Each row is one INSERT, so a refused row is never stored half-filled;
// the rows before it are committed.
Outcome storeSheet(Connection* connection, const sheet::Sheet& sheet, const Progress& progress = {},
                   const QLocale& locale = QLocale());

// Reads the workbook at path and stores its rows (storeSheet).
Outcome importWorkbook(Connection* connection, const QString& path, const Progress& progress = {},
                       const QLocale& locale = QLocale());

// The open-file dialog's filter: "表格文件" for every format read, then "Excel" for .xls files, each in
// any letter case. Windows matches names without regard to case; elsewhere each letter is given as a
// set ("*.[xX][lL][sS]"), which the native dialogs and Qt's own dialog all understand.
QString fileFilter();

} // namespace importer
