#include "DomainList.h"

#include "Dataset.h"
#include "Expiry.h"
#include "LikeMatcher.h"
#include "ListFilter.h"
#include "Sql.h"

#include <algorithm>

DomainList::DomainList(Dataset* query, QObject* parent) : QObject(parent), m_query(query)
{
    using Kind = ListChange::Kind;
    auto tell = [this](Kind kind, bool done, int first = -1, int last = -1) {
        emit changed({kind, done, first, last, {}});
    };
    connect(m_query, &Dataset::rowsAboutToReset, this, [tell] { tell(Kind::Reset, false); });
    connect(m_query, &Dataset::rowsReset, this, [tell] { tell(Kind::Reset, true); });
    connect(m_query, &Dataset::rowAboutToBeAppended, this,
            [tell](int row) { tell(Kind::RowsInserted, false, row, row); });
    connect(m_query, &Dataset::rowAppended, this,
            [tell](int row) { tell(Kind::RowsInserted, true, row, row); });
    connect(m_query, &Dataset::rowAboutToBeRemoved, this,
            [tell](int row) { tell(Kind::RowsRemoved, false, row, row); });
    connect(m_query, &Dataset::rowRemoved, this,
            [tell](int row) { tell(Kind::RowsRemoved, true, row, row); });
    connect(m_query, &Dataset::currentRowChanged, this,
            [tell](int row) { tell(Kind::CurrentMoved, true, row); });
    connect(m_query, &Dataset::rowsAboutToBeAdded, this,
            [tell](int first, int last) { tell(Kind::FillProgress, false, first, last); });
    connect(m_query, &Dataset::rowsAdded, this,
            [tell](int first, int last) { tell(Kind::FillProgress, true, first, last); });
    connect(m_query, &Dataset::fillFinished, this, [tell] { tell(Kind::FillFinished, true); });
    connect(m_query, &Dataset::fillFailed, this, [this](const QString& error) {
        emit changed({Kind::FillFailed, true, -1, -1, error});
    });
}

DomainList::~DomainList() = default;

ListFilterTest& DomainList::filterTest()
{
    // The expiry days and prices are those the status bar's counter keeps, when it is the rows' keeper.
    if (!m_filterTest)
        m_filterTest = std::make_unique<ListFilterTest>(dynamic_cast<ListCounter*>(m_query->rowKeeper()));
    return *m_filterTest;
}

void DomainList::setFilter(const ListFilter& filter, const QDate& today)
{
    ListFilterTest& test = filterTest();
    test.setFilter(filter, expiry::dayOf(today));
    m_query->setRowTest(filter.isEmpty() ? nullptr : &test);
}

const ListFilter& DomainList::filter() const
{
    static const ListFilter none;
    return m_filterTest ? m_filterTest->filter() : none;
}

FilterChoices DomainList::filterChoices()
{
    ListCounter* counter = filterTest().counter();
    counter->keepUp(*m_query);
    return FilterChoices::of(*m_query, m_query->statementRows(), counter->days());
}

Result DomainList::showDefault(int headings)
{
    emit headingsReset(headings);
    return m_query->replaceStatement(sql::kDefaultList);
}

namespace {
// The name search binds its text as :q, the search in every field as :qall.
const QString kNameText = QStringLiteral("q");
const QString kAnyFieldText = QStringLiteral("qall");

QHash<QString, QString> searchParams(const QString& text, SearchScope scope)
{
    return {{scope == SearchScope::AllFields ? kAnyFieldText : kNameText, text}};
}

const QString& searchStatement(SearchScope scope)
{
    return scope == SearchScope::AllFields ? sql::kSearchAll : sql::kSearch;
}
} // namespace

bool DomainList::searchWaits(const QString& text, SearchScope scope) const
{
    return m_query->waitsForFill(searchStatement(scope), searchParams(text, scope));
}

Result DomainList::search(const QString& text, SearchScope scope)
{
    return m_query->replaceStatement(searchStatement(scope), searchParams(text, scope));
}

Result DomainList::showExpired(const QDate& today)
{
    return showByExpiry(false, today);
}

Result DomainList::showExpiring(const QDate& today)
{
    return showByExpiry(true, today);
}

Result DomainList::showByExpiry(bool expiring, const QDate& today)
{
    // The search the list holds, if any, stays, in its scope: the rows listed are among those counted.
    const QHash<QString, QString> held = m_query->params();
    const bool anyField = held.contains(kAnyFieldText);
    const QString& statement = expiring ? (anyField ? sql::kExpiringListAll : sql::kExpiringList)
                                        : (anyField ? sql::kExpiredListAll : sql::kExpiredList);
    QHash<QString, QString> params = expiry::listParams(today);
    const QString& searched = anyField ? kAnyFieldText : kNameText;
    params.insert(searched, held.value(searched));
    emit headingsReset(kAllHeadings); // the rows come by expiry date, whatever a heading click marked
    return m_query->replaceStatement(statement, params);
}

Result DomainList::sortBy(const QString& field)
{
    const bool ascending = m_ascendingNext;
    const Result result =
        m_query->setSort(field + (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
    if (result.ok())
        m_ascendingNext = !ascending;
    return result;
}

Result DomainList::deleteCurrent()
{
    return m_query->deleteCurrent();
}

Result DomainList::reopen()
{
    return m_query->open();
}

bool DomainList::isFilling() const
{
    return m_query->isFilling();
}

Result DomainList::readAll()
{
    return m_query->finishFill();
}

bool DomainList::isOpen() const
{
    return m_query->isOpen();
}

int DomainList::count() const
{
    return m_query->recordCount();
}

int DomainList::currentRow() const
{
    return m_query->currentRow();
}

void DomainList::setCurrentRow(int row)
{
    m_query->setCurrentRow(row);
}

bool DomainList::moveCurrent(int delta)
{
    const int from = m_query->currentRow();
    if (from < 0 || delta == 0)
        return false;
    const int to = std::clamp(from + delta, 0, count() - 1);
    if (to == from)
        return false;
    m_query->setCurrentRow(to);
    return true;
}

DomainRecord DomainList::current() const
{
    return record(m_query->currentRow());
}

DomainRecord DomainList::record(int row) const
{
    return DomainRecord::fromDataset(*m_query, row);
}
