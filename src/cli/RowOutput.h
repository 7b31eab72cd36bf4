#pragma once

#include "platform/Result.h"

#include <QDate>
#include <QHash>
#include <QString>

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class Connection;

// The rows the command line lists or writes, streamed from the file as the engine gives them, so that a
// large portfolio is never held in memory whole. Knows nothing of widgets.
namespace cli {

// A statement over tt_a and its parameters.
struct Selection
{
    QString statement;
    QHash<QString, QString> params;
    QString search; // the search text, when one narrows the rows
};

// Every domain (newest first), or those whose name contains search; of these, when expiringDays >= 0,
// those expiring from today to so many days ahead, or when expired, those before today (both soonest
// first).
Selection selectionFor(const QString& search, int expiringDays, bool expired, const QDate& today);

// One row: aid, a1 .. a9 as the file holds them (a null data() is NULL).
using Row = std::vector<std::string_view>;

// Whether a failed read of the selection only means that its search text is too long for the pattern
// matcher: such a text cannot be part of a domain name, so there are simply no rows.
bool tooLongSearch(const Selection& selection, const Result& read);

// Calls each for every row of the selection, in its order; a failure carries the engine's message.
// A search text too long for the pattern matcher cannot be part of a name: no rows then, and no error.
Result forEachRow(Connection* connection, const Selection& selection,
                  const std::function<void(const Row&)>& each);

// Gathers output and writes it out in large pieces.
class Sink
{
public:
    // write takes a piece of output and tells whether it was written whole.
    explicit Sink(std::function<bool(std::string_view)> write) : m_write(std::move(write))
    {
        m_buffer.reserve(kChunk + 4096);
    }
    // Output to a stream of the C library (standard output).
    static std::function<bool(std::string_view)> to(std::FILE* file);
    void append(std::string_view text)
    {
        m_buffer.append(text);
        if (m_buffer.size() >= kChunk)
            flush();
    }
    void append(char c) { m_buffer.push_back(c); }
    // False once a write failed (a full disk, a closed pipe).
    bool flush();
    bool ok() const { return m_ok; }

private:
    static constexpr size_t kChunk = 1 << 20;
    std::function<bool(std::string_view)> m_write;
    std::string m_buffer;
    bool m_ok = true;
};

// CSV as RFC 4180 has it: a field with a comma, a quote or a line break in quotes (quotes doubled), rows
// ended by CRLF. The heading row holds the titles of the exported sheet.
void csvHeading(Sink& out);
void csvRow(Sink& out, const Row& row);

// A JSON array of objects, one per domain, every field a string and days_left (from today; null when the
// expiry date cannot be read).
class JsonRows
{
public:
    JsonRows(Sink& out, const QDate& today);
    void row(const Row& row);
    void finish();

private:
    Sink& m_out;
    qint64 m_today;
    bool m_first = true;
};

// A table for reading on a terminal: the domain, its expiry date, the days left, the registrar and the
// price, in aligned columns (a Chinese character takes two places), then the count.
class TableRows
{
public:
    explicit TableRows(const QDate& today);
    void row(const Row& row);
    void write(Sink& out) const;

private:
    qint64 m_today;
    std::vector<QStringList> m_rows;
};

} // namespace cli
