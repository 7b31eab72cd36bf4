#pragma once

#include "DomainRecord.h"
#include "Result.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Connection;
class Dataset;

namespace rowwriter {
// Told how far the work is (rows done of all, or -1 for work going on that cannot be counted); answers
// false to stop it (nothing is then written).
using Progress = std::function<bool(qint64 done, qint64 total)>;
} // namespace rowwriter

// Whole rows of tt_a (aid, a1 .. a9) as UTF-8, packed one after the other: what a change of many domains
// takes away and leaves behind, small enough to keep a million of them for taking the change back.
// A NULL is kept as an empty text.
class RowPack
{
public:
    static constexpr int kFields = 1 + DomainRecord::kValueCount; // aid, a1 .. a9

    void add(const std::array<std::string_view, kFields>& values);
    void add(const DomainRecord& record);
    size_t size() const { return m_rows ? m_rows->start.size() : 0; }
    bool empty() const { return size() == 0; }
    std::string_view value(size_t row, int field) const;
    QString text(size_t row, int field) const;
    qint64 aid(size_t row) const;
    QString domain(size_t row) const { return text(row, 1); }
    DomainRecord record(size_t row) const;
    // The memory the rows take.
    size_t bytes() const
    {
        return m_rows ? m_rows->arena.capacity() + m_rows->start.capacity() * sizeof(size_t) : 0;
    }
    void reserve(size_t rows, size_t bytes);

    // The display rows `rows` of a dataset over tt_a, as they are held.
    static RowPack fromRows(const Dataset& dataset, const std::vector<int>& rows);
    // As fromRows(), told how far it is; nothing once `progress` answers false.
    static std::optional<RowPack> fromRows(const Dataset& dataset, const std::vector<int>& rows,
                                           const rowwriter::Progress& progress);

private:
    struct Rows
    {
        std::string arena;         // per field: its length (4 bytes), then its bytes
        std::vector<size_t> start; // per row, where it starts in arena
    };
    Rows& changing(); // the rows, no longer shared with a copy
    // Shared by the copies until one of them adds rows: a change and the change taking it back hold the
    // same rows once.
    std::shared_ptr<Rows> m_rows;
};

// A change of many rows of tt_a made in one transaction: each row goes from what `before` says to what
// `after` says. Rows only in `before` are deleted, rows only in `after` are inserted with their aid (a
// deleted row comes back as it was), rows in both (same position, same aid) are updated.
struct RowChange
{
    RowPack before;
    RowPack after;

    enum class Kind
    {
        Delete,
        Insert,
        Update
    };
    Kind kind() const { return after.empty() ? Kind::Delete : before.empty() ? Kind::Insert : Kind::Update; }
    size_t size() const { return std::max(before.size(), after.size()); }
    // The change that takes this one back.
    RowChange reversed() const { return {after, before}; }
    size_t bytes() const { return before.bytes() + after.bytes(); }
};

namespace rowwriter {

struct Outcome
{
    Result result = Result::success();
    bool cancelled = false;
    bool told = false; // the failure was already said to the user
    // A row not as `before` says (changed or deleted since, by this program or another; or, for an
    // insert, a row with that aid exists): its domain. Nothing was written.
    QString conflict;
};

// Writes the change in one transaction, each row only where the file holds it exactly as `before` says:
// otherwise, and on any failure or a stop, nothing of it is written.
// `wholeTable`, asked once the transaction holds the file, tells whether the rows of a deletion are every
// row of the table as the file holds it (read from it, and nothing written since by anyone): the table is
// then emptied at once.
Outcome write(Connection* connection, const RowChange& change, const Progress& progress = {},
              const std::function<bool()>& wholeTable = {});

// "域名“x”已被修改或删除（可能是另一个程序）": a conflict as the messages name it.
QString conflictText(const QString& domain);

} // namespace rowwriter
