#include "ImportPlan.h"

#include "InputRules.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DomainLookup.h"
#include "db/DomainWriter.h"
#include "db/Sql.h"
#include "sheet/Cell.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <thread>

namespace importplan {

namespace {

using headingmap::kNoField;
using valuecleaner::DayOrder;

constexpr int kFields = DomainRecord::kValueCount;
constexpr int kProgressRows = 2048;

// The row's values a1 .. a9 by member, in column order.
QString& field(DomainRecord& record, int f)
{
    static constexpr std::array<QString DomainRecord::*, kFields> members = {
        &DomainRecord::domain,  &DomainRecord::description, &DomainRecord::registrar,
        &DomainRecord::address, &DomainRecord::registered,  &DomainRecord::expires,
        &DomainRecord::notes,   &DomainRecord::password,    &DomainRecord::price};
    return record.*members[size_t(f)];
}
const QString& field(const DomainRecord& record, int f)
{
    return field(const_cast<DomainRecord&>(record), f);
}

QString cellValue(const sheet::Cell& cell, int f, DayOrder order, bool verbatim, const QLocale& locale,
                  Row* row)
{
    if (verbatim)
        return f == headingmap::kDomainField ? inputrules::withoutControls(sheet::cellToText(cell, locale))
                                             : sheet::cellToText(cell, locale);
    if (headingmap::isDateField(f) && cell.type == sheet::Cell::Type::Date)
        return cell.dateTime.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (f == headingmap::kPriceField && cell.type == sheet::Cell::Type::Number)
        return QString::number(cell.number, 'g', 15);
    const QString text = sheet::cellToText(cell, locale);
    valuecleaner::Cleaned cleaned;
    if (headingmap::isDateField(f))
        cleaned = valuecleaner::cleanDate(text, order);
    else if (f == headingmap::kPriceField)
        cleaned = valuecleaner::cleanPrice(text);
    else
        return f == headingmap::kDomainField ? inputrules::withoutControls(text) : text;
    if (!cleaned.warning.isEmpty()) {
        row->warnings.append(headingmap::fieldTitle(f) + QStringLiteral("：") + cleaned.warning);
        row->warned.append(f);
    }
    return cleaned.text;
}

QString rowNumber(int sheetRow)
{
    return QStringLiteral("第 %1 行").arg(sheetRow + 1);
}

} // namespace

QString actionText(Action action)
{
    switch (action) {
    case Action::Add:
        return QStringLiteral("新增");
    case Action::Update:
        return QStringLiteral("更新");
    case Action::Skip:
        return QStringLiteral("跳过");
    case Action::Problem:
        break;
    }
    return QStringLiteral("有问题");
}

namespace {
// work(from, to) over [0, count) in two halves, the second on a thread of its own (a short range in one).
template <typename Work> void inTwoHalves(size_t count, const Work& work)
{
    if (count < 50000) {
        work(size_t(0), count);
        return;
    }
    const size_t half = count / 2;
    std::thread other([&work, half, count] { work(half, count); });
    work(size_t(0), half);
    other.join();
}
} // namespace

Result loadPortfolio(Connection* connection, Portfolio* portfolio, const Dataset* list)
{
    portfolio->names = duplicatekey::Index();
    Result read = Result::success();
    // Where each key sits in the list, in the order of the keys; empty when the names come from the file.
    auto places = std::make_shared<std::vector<std::pair<qint64, int>>>();
    if (list && list->isOpen() && !list->isFilling() && list->sql() == sql::kDefaultList) {
        // Every domain is in memory already: no need to read the file again.
        const int aidField = list->fieldIndex(QStringLiteral("aid"));
        const int nameField = list->fieldIndex(QStringLiteral("a1"));
        // Each row's key on both cores: the list is only read, and nothing changes it until this returns.
        const auto count = size_t(list->recordCount());
        portfolio->names.resize(count);
        places->resize(count);
        inTwoHalves(count, [&](size_t from, size_t to) {
            for (size_t row = from; row < to; ++row) {
                qint64 aid = 0;
                for (const char digit : list->rawValue(int(row), aidField))
                    aid = aid * 10 + (digit - '0');
                portfolio->names.set(row, duplicatekey::hashUtf8(list->rawValue(int(row), nameField)), aid);
                (*places)[row] = {aid, int(row)};
            }
        });
        // The default list comes newest first: turned round, it is in order already.
        if (std::is_sorted(places->rbegin(), places->rend()))
            std::reverse(places->begin(), places->end());
        else
            std::sort(places->begin(), places->end());
    } else {
        read = domainlookup::eachName(connection, [&](qint64 aid, std::string_view name) {
            portfolio->names.add(duplicatekey::hashUtf8(name), aid);
        });
    }
    portfolio->names.finish();
    portfolio->rows = [connection, list, places](const std::vector<qint64>& aids) {
        QHash<qint64, DomainRecord> found;
        found.reserve(qsizetype(aids.size()));
        // From the list where it still holds the row the key was seen in; the rest from the file.
        std::vector<qint64> missing;
        const int aidField = places->empty() ? -1 : list->fieldIndex(QStringLiteral("aid"));
        for (const qint64 aid : aids) {
            const auto it = std::lower_bound(places->begin(), places->end(), std::make_pair(aid, -1));
            if (it != places->end() && it->first == aid && it->second < list->recordCount() &&
                list->rawValue(it->second, aidField) == std::to_string(aid))
                found.insert(aid, DomainRecord::fromDataset(*list, it->second));
            else
                missing.push_back(aid);
        }
        if (!missing.empty()) {
            if (const auto more = domainlookup::rows(connection, missing); more.ok())
                found.insert(more.value());
        }
        return found;
    };
    return read;
}

Plan Plan::build(const sheet::Sheet& sheet, const Settings& settings, const Portfolio& portfolio,
                 const QLocale& locale)
{
    Plan plan;
    const int columns = int(settings.fields.size());
    const int lastRow = sheet.rowCount();

    // The order of each date column: as set, or as its values tell.
    plan.m_orders = settings.orders;
    while (plan.m_orders.size() < columns)
        plan.m_orders.append(DayOrder::Unknown);
    for (int c = 0; c < columns && !settings.verbatim; ++c) {
        if (!headingmap::isDateField(settings.fields[c]) || plan.m_orders[c] != DayOrder::Unknown)
            continue;
        QStringList values;
        for (int r = settings.firstRow; r < lastRow; ++r)
            if (sheet.cell(r, c).type == sheet::Cell::Type::Text)
                values.append(sheet.cell(r, c).text);
        bool ask = false;
        plan.m_orders[c] = valuecleaner::columnOrder(values, &ask);
        if (ask)
            plan.m_ask.append(c);
    }

    // Each row's values.
    std::vector<const sheet::Cell*> cells(size_t(std::max(columns, 1)));
    plan.m_rows.reserve(size_t(std::max(0, lastRow - settings.firstRow)));
    QHash<QString, int> firstOfKey; // in the sheet: the plan row of a domain's first row
    std::vector<qint64> existing;   // keys of the portfolio's rows that updates need
    std::vector<int> inPortfolio;   // per plan row: the row of the portfolio it meets, or -1
    for (int r = settings.firstRow; r < lastRow; ++r) {
        sheet.rowCells(r, columns, cells.data());
        bool blank = true;
        for (int c = 0; c < columns && blank; ++c)
            blank = cells[size_t(c)]->isEmpty();
        if (blank)
            continue; // an empty line between the domains
        Row row;
        row.sheetRow = r;
        for (int c = 0; c < columns; ++c) {
            const int f = settings.fields[c];
            if (f != kNoField)
                field(row.values, f) =
                    cellValue(*cells[size_t(c)], f, plan.m_orders[c], settings.verbatim, locale, &row);
        }
        qint64 known = -1;
        if (row.values.domain.isEmpty()) {
            row.action = Action::Problem;
            row.reason = QStringLiteral("没有域名");
        } else if (settings.duplicates != Duplicates::Add) {
            const QString key = duplicatekey::key(row.values.domain);
            const auto earlier = firstOfKey.constFind(key);
            if (earlier != firstOfKey.constEnd()) {
                Row& first = plan.m_rows[size_t(*earlier)];
                row.action = Action::Skip;
                if (settings.duplicates == Duplicates::Skip) {
                    row.reason = QStringLiteral("与%1重复").arg(rowNumber(first.sheetRow));
                } else {
                    // Its filled values go into the first row of that domain.
                    for (int f = 1; f < kFields; ++f)
                        if (!field(row.values, f).isEmpty())
                            field(first.values, f) = field(row.values, f);
                    first.warnings += row.warnings;
                    first.warned += row.warned;
                    row.reason =
                        QStringLiteral("与%1是同一域名，非空的值已并入那一行").arg(rowNumber(first.sheetRow));
                }
                row.warnings.clear();
                row.warned.clear();
            } else {
                firstOfKey.insert(key, int(plan.m_rows.size()));
                known = portfolio.names.newest(duplicatekey::hashKey(key));
                if (known >= 0 && settings.duplicates == Duplicates::Skip) {
                    row.action = Action::Skip;
                    row.reason = QStringLiteral("已在域名列表中");
                    row.warnings.clear();
                    row.warned.clear();
                    known = -1;
                } else if (known >= 0) {
                    row.action = Action::Update;
                    existing.push_back(known);
                }
            }
        }
        inPortfolio.push_back(known);
        plan.m_rows.push_back(std::move(row));
    }

    // Updates: the portfolio's record with the sheet's filled values; the name stays as the portfolio
    // writes it. An update that changes nothing is a skip.
    if (!existing.empty()) {
        const QHash<qint64, DomainRecord> before =
            portfolio.rows ? portfolio.rows(existing) : QHash<qint64, DomainRecord>();
        for (size_t i = 0; i < plan.m_rows.size(); ++i) {
            Row& row = plan.m_rows[i];
            if (row.action != Action::Update)
                continue;
            const auto it = before.constFind(inPortfolio[i]);
            // The hash met a different name, or the row has gone meanwhile: a domain of its own.
            if (it == before.constEnd() ||
                duplicatekey::key(it->domain) != duplicatekey::key(row.values.domain)) {
                row.action = Action::Add;
                continue;
            }
            DomainRecord after = *it;
            for (int f = 1; f < kFields; ++f)
                if (!field(row.values, f).isEmpty()) {
                    field(after, f) = field(row.values, f);
                    row.fromSheet |= quint16(1u << f);
                }
            row.values = after;
            if (after == *it) {
                row.action = Action::Skip;
                row.reason = QStringLiteral("已在域名列表中，表中的值没有不同");
                row.warnings.clear();
                row.warned.clear();
            }
        }
    }

    for (const Row& row : plan.m_rows) {
        switch (row.action) {
        case Action::Add:
            ++plan.m_counts.added;
            break;
        case Action::Update:
            ++plan.m_counts.updated;
            break;
        case Action::Skip:
            ++plan.m_counts.skipped;
            break;
        case Action::Problem:
            ++plan.m_counts.invalid;
            break;
        }
        if (row.action == Action::Problem || !row.warnings.isEmpty())
            ++plan.m_counts.problems;
    }
    return plan;
}

QStringList Plan::report() const
{
    QStringList lines;
    for (const Row& row : m_rows)
        if (row.action == Action::Skip || row.action == Action::Problem)
            lines.append(rowNumber(row.sheetRow) + u'\t' + row.values.domain + u'\t' + row.reason);
    for (const Row& row : m_rows)
        if (row.action == Action::Add || row.action == Action::Update)
            for (const QString& warning : row.warnings)
                lines.append(rowNumber(row.sheetRow) + u'\t' + row.values.domain + u'\t' + warning);
    return lines;
}

Outcome apply(Connection* connection, const Plan& plan, const Progress& progress)
{
    Outcome outcome;
    const int total = int(plan.rows().size());
    DomainBatch batch(connection);
    if (const Result begun = batch.begin(); !begun.ok()) {
        outcome.result = begun;
        return outcome;
    }
    domainlookup::Updater update(connection);
    QHash<qint64, DomainRecord> before;
    {
        std::vector<qint64> aids;
        for (const Row& row : plan.rows())
            if (row.action == Action::Update)
                aids.push_back(row.values.aid.toLongLong());
        if (!aids.empty()) {
            if (auto read = domainlookup::rows(connection, aids); read.ok())
                before = read.take();
            else
                outcome.result = read.result();
        }
    }
    int done = 0;
    for (const Row& row : plan.rows()) {
        if (!outcome.ok())
            break;
        if (row.action == Action::Add) {
            if (const Result stored = batch.append(row.values); !stored.ok()) {
                outcome.result = stored;
                break;
            }
            DomainRecord added = row.values;
            added.aid = QString::number(connection->lastInsertRowId());
            outcome.undo.added.push_back(added);
        } else if (row.action == Action::Update) {
            const auto old = before.constFind(row.values.aid.toLongLong());
            if (old == before.constEnd()) {
                outcome.result = Result::failure(domainwriter::goneText());
                break;
            }
            // The sheet's values over the row as the file holds it now: a change made since the preview
            // (by this window or another program) to a field the sheet leaves alone is kept.
            DomainRecord after = *old;
            for (int f = 1; f < kFields; ++f)
                if (row.fromSheet & (1u << f))
                    field(after, f) = field(row.values, f);
            if (const Result written = update.update(after); !written.ok()) {
                outcome.result = written;
                break;
            }
            outcome.undo.updated.emplace_back(*old, after);
        }
        if (++done % kProgressRows == 0 && progress && !progress(done, total)) {
            outcome.result = Result::cancelled(QStringLiteral("已取消导入"));
            break;
        }
    }
    if (!outcome.ok()) {
        (void)connection->execute(sql::kRollback);
        outcome.undo = Undo();
        return outcome;
    }
    if (const Result committed = batch.commit(); !committed.ok()) {
        outcome.result = committed;
        outcome.undo = Undo();
        return outcome;
    }
    if (progress)
        (void)progress(total, total);
    return outcome;
}

Result undo(Connection* connection, const Undo& undo)
{
    if (const Result begun = connection->execute(sql::kBegin); !begun.ok())
        return begun;
    const auto rollback = [&](const QString& error, Result::Code code = Result::Code::Failed) {
        (void)connection->execute(sql::kRollback);
        return Result::failure(error, code);
    };
    std::vector<qint64> aids;
    for (const DomainRecord& added : undo.added)
        aids.push_back(added.aid.toLongLong());
    for (const auto& [before, after] : undo.updated)
        aids.push_back(after.aid.toLongLong());
    const Expected<QHash<qint64, DomainRecord>> now = domainlookup::rows(connection, aids);
    if (!now.ok())
        return rollback(now.error());

    // Every row must be as the import left it.
    QStringList changed;
    const auto check = [&](const DomainRecord& left) {
        const auto it = now->constFind(left.aid.toLongLong());
        if (it == now->constEnd())
            changed.append(QStringLiteral("%1（已被删除）").arg(left.domain));
        else if (*it != left)
            changed.append(QStringLiteral("%1（已被修改）").arg(left.domain));
    };
    for (const DomainRecord& added : undo.added)
        check(added);
    for (const auto& [before, after] : undo.updated)
        check(after);
    if (!changed.isEmpty()) {
        const int shown = 5;
        return rollback(
            QStringLiteral("上次导入的域名在导入后又有改动，无法撤销：") +
                QStringList(changed.mid(0, shown)).join(QStringLiteral("、")) +
                (changed.size() > shown ? QStringLiteral(" 等 %1 个").arg(changed.size()) : QString()),
            Result::Code::Refused);
    }

    for (const DomainRecord& added : undo.added)
        if (const Expected<bool> gone = domainlookup::remove(connection, added.aid.toLongLong()); !gone.ok())
            return rollback(gone.error());
    domainlookup::Updater update(connection);
    for (const auto& [before, after] : undo.updated)
        if (const Result back = update.update(before); !back.ok())
            return rollback(back.error());
    if (const Result committed = connection->execute(sql::kCommit); !committed.ok())
        return rollback(committed.error());
    return Result::success();
}

QString summaryText(const Counts& counts)
{
    return QStringLiteral("导入完成：新增 %1 个，更新 %2 个，跳过 %3 个")
        .arg(counts.added)
        .arg(counts.updated)
        .arg(counts.skipped + counts.invalid);
}

} // namespace importplan
