#pragma once

#include "DomainRecord.h"
#include "Result.h"
#include "RowChanges.h"

#include <QDate>
#include <QObject>
#include <memory>

class Dataset;
struct FilterChoices;
struct ListFilter;
class ListFilterTest;

// One change of the domain list, as DomainList::changed tells it. A change of the rows is told twice:
// first with `done` false, just before it is made (the rows are still as they were, so a view can make
// ready), then with `done` true once it is made. The others are told once, done.
struct ListChange
{
    enum class Kind
    {
        Reset,        // the rows were replaced or reordered (a reload, a search, a sort, closing)
        RowsInserted, // rows first .. last were added (a domain appended)
        RowsRemoved,  // rows first .. last were taken out (a domain deleted)
        CurrentMoved, // the current row is now `first` (-1 for none)
        FillProgress, // rows first .. last came in by a later step of the start-up read
        FillFinished, // the start-up read is complete: the list and its counts are whole
        FillFailed,   // a later step of the start-up read failed (`error`): the list is left empty
    };
    Kind kind = Kind::Reset;
    bool done = true;
    int first = -1;
    int last = -1;
    QString error;

    bool changesRows() const
    {
        return kind == Kind::Reset || kind == Kind::RowsInserted || kind == Kind::RowsRemoved;
    }
};

// Where the search looks for its text.
enum class SearchScope
{
    Name,     // 只查域名: the domain name only
    AllFields // 全部字段: name, description, registrar, management address and notes
};

// The domain list: every action on the shared domain query Query_a (tt_a) goes through here, so that
// the windows only show what it holds and report its errors. Knows nothing of widgets.
class DomainList : public QObject
{
    Q_OBJECT
public:
    // The number of list headings; showDefault() resets this many by default.
    static constexpr int kAllHeadings = 5;

    explicit DomainList(Dataset* query, QObject* parent = nullptr);
    ~DomainList() override;

    // The rows as they are held now, read-only, for the views that draw, count or write them. A reader of
    // every row calls readAll() first: while rows are still coming in it holds only the first of them.
    const Dataset* rows() const { return m_query; }

    // The default list: all domains, newest first. Resets the first `headings` list headings first
    // (headingsReset); the unlock resets only the first two.
    Result showDefault(int headings = kAllHeadings);
    // The domains whose name contains text (any characters, taken as typed). A text too long for the
    // engine's pattern matcher cannot be part of a domain name: the list is then simply empty.
    // With SearchScope::AllFields, the domains where any of those fields contains it.
    Result search(const QString& text, SearchScope scope = SearchScope::Name);
    // Whether search(text, scope) first reads the rest of the rows still coming in after the start (only when
    // the file changed meanwhile: a search is otherwise answered from the rows read so far).
    bool searchWaits(const QString& text, SearchScope scope = SearchScope::Name) const;
    // The domains of the list now (all, or those of the search it holds) whose expiry date has passed /
    // falls within the next 30 days, counted from today; the soonest first. Resets every heading.
    Result showExpired(const QDate& today);
    Result showExpiring(const QDate& today);
    // The filters beside the search: from now on the list shows only the rows of its statement (the
    // default list, a search) that `filter` lets through, `today` telling which dates have passed. Set at
    // once from the rows held, in their order (one Reset); an empty filter shows them all again.
    void setFilter(const ListFilter& filter, const QDate& today);
    const ListFilter& filter() const;
    // The registrars, endings and expiry years of the rows of the list's statement (before the filters),
    // with counts: what the filters can choose from.
    FilterChoices filterChoices();

    // Sorts the rows held by one field in the direction ascendingNext() gives, and then turns that
    // direction round. One direction for the whole list, never reset by a reload.
    Result sortBy(const QString& field);
    bool ascendingNext() const { return m_ascendingNext; }
    // Deletes the current domain from the file and the list.
    Result deleteCurrent();
    // Writes a change of many domains (or takes one back) in one transaction, after reading every row
    // still coming in; the list follows: deleted rows leave it and changed rows take their new values at
    // once, in their places; rows inserted that the list still holds as deleted (a deletion taken back) come
    // back from memory, the search, filters and sort in force kept; other rows inserted show it again as
    // reopen() does. Nothing is written on a failure, a conflict or a stop by `progress`.
    rowwriter::Outcome write(const RowChange& change, const rowwriter::Progress& progress = {});
    // Runs the statement held once more (a search in force stays; a sort is gone).
    Result reopen();

    // Whether rows are still coming in after the start (the list then holds only the first of them).
    bool isFilling() const;
    // Reads the rest of the rows still coming in at once, so that the list holds all of its rows: for
    // whatever counts, writes or changes every row. On an error the list is left empty.
    Result readAll();

    bool isOpen() const;
    int count() const;
    bool isEmpty() const { return count() == 0; }
    int currentRow() const;
    void setCurrentRow(int row); // clamped to the rows held
    // Moves the current row by delta rows, stopping at either end; false when it did not move.
    bool moveCurrent(int delta);
    DomainRecord current() const;
    DomainRecord record(int row) const;

signals:
    // Every change of the rows held, of the current row and of the start-up read, whoever made it.
    void changed(const ListChange& change);
    // The first `columns` list headings go back to their default texts.
    void headingsReset(int columns);

private:
    Result showByExpiry(bool expiring, const QDate& today);
    ListFilterTest& filterTest();
    Dataset* m_query;
    std::unique_ptr<ListFilterTest> m_filterTest; // made at first use
    bool m_ascendingNext = true;
};
