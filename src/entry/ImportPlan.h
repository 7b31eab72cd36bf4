#pragma once

#include "DuplicateKey.h"
#include "HeadingMap.h"
#include "ValueCleaner.h"
#include "db/DomainRecord.h"
#include "db/Result.h"

#include <QHash>
#include <QList>
#include <QLocale>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class Connection;
class Dataset;
namespace sheet {
class Sheet;
}

// A sheet with a heading row, mapped column by column: what each row becomes (added, an existing domain
// updated, skipped, or not stored because of a problem), worked out before anything is stored so that
// the user sees it first; then stored in one transaction, and undone in one. Knows nothing of widgets.
namespace importplan {

// What becomes of a row whose domain is already in the portfolio or earlier in the sheet.
enum class Duplicates
{
    Skip,   // 跳过
    Update, // 用表中非空的值更新
    Add,    // 仍然添加
};

enum class Action
{
    Add,
    Update,
    Skip,
    Problem, // not stored
};

struct Settings
{
    int firstRow = 1;  // the first row of domains (0-based), below the headings
    QList<int> fields; // per sheet column: the field (0 .. 8 for a1 .. a9) or kNoField
    QList<valuecleaner::DayOrder>
        orders; // per sheet column: how its numbers-only dates read; Unknown: by its values
    Duplicates duplicates = Duplicates::Skip;
    bool verbatim = false; // the program's own export: the values as they are, unchanged
};

struct Row
{
    int sheetRow = 0;    // 0-based
    DomainRecord values; // as they will be stored; for an update the whole record after it (with its aid)
    Action action = Action::Add;
    QString reason;        // why it is skipped or not stored
    QStringList warnings;  // values kept as they were
    QList<int> warned;     // their fields
    quint16 fromSheet = 0; // for an update: the fields the sheet fills (bit per field)
};

struct Counts
{
    int added = 0;
    int updated = 0;
    int skipped = 0;
    int invalid = 0;  // not stored because of a problem (no domain)
    int problems = 0; // invalid, or stored with a value kept as it was
};

// The domains already in the file: the key of each name, and the rows by key when they are needed.
struct Portfolio
{
    duplicatekey::Index names;
    // The whole rows with these keys (for updates); absent keys are left out.
    std::function<QHash<qint64, DomainRecord>(const std::vector<qint64>&)> rows;
};
// Reads every name of tt_a into portfolio->names, and sets the way to read whole rows. The names are taken
// from the list when it holds every domain (the default list, read to its end), else from the file.
Result loadPortfolio(Connection* connection, Portfolio* portfolio, const Dataset* list = nullptr);

class Plan
{
public:
    static Plan build(const sheet::Sheet& sheet, const Settings& settings, const Portfolio& portfolio,
                      const QLocale& locale = QLocale());

    const std::vector<Row>& rows() const { return m_rows; }
    Counts counts() const { return m_counts; }
    // Date columns whose day/month order the values do not tell while some need it: the user must choose.
    QList<int> columnsToAsk() const { return m_ask; }
    // The order each date column is read in (what was set, or what its values tell).
    valuecleaner::DayOrder orderOf(int column) const { return m_orders.value(column); }
    // Rows not stored and why, then values kept as they were: one line each, "第 N 行\t域名\t原因".
    QStringList report() const;

private:
    std::vector<Row> m_rows;
    Counts m_counts;
    QList<int> m_ask;
    QList<valuecleaner::DayOrder> m_orders;
};

// What an import stored, so that it can be taken back: the rows added as stored, the rows updated before
// and after.
struct Undo
{
    std::vector<DomainRecord> added;                            // with their aid
    std::vector<std::pair<DomainRecord, DomainRecord>> updated; // before, after
    bool isEmpty() const { return added.empty() && updated.empty(); }
};

// What apply() did: its result (Code::Cancelled when the progress stopped it), and on success what
// undo() takes back.
struct [[nodiscard]] Outcome
{
    Result result = Result::success();
    Undo undo;
    bool ok() const { return result.ok(); }
    bool wasCancelled() const { return result.wasCancelled(); }
    QString error() const { return result.error(); }
};

// Called now and then with the rows done and all rows; false stops the import (nothing is stored).
using Progress = std::function<bool(int done, int total)>;

// Stores the plan's added and updated rows in one transaction: all of them, or (on an error or when
// cancelled) none.
Outcome apply(Connection* connection, const Plan& plan, const Progress& progress = {});

// Takes an import back in one transaction: deletes the rows it added and puts back the fields it updated.
// Refuses (and changes nothing) when one of those rows was changed or deleted since: the result then fails
// with Code::Refused and a text that says which.
Result undo(Connection* connection, const Undo& undo);

QString actionText(Action action);
// "导入完成：新增 N 个，更新 N 个，跳过 N 个" (rows not stored count as skipped).
QString summaryText(const Counts& counts);

} // namespace importplan
