#include "RowOutput.h"

#include "db/Connection.h"
#include "db/DomainRecord.h"
#include "db/Expiry.h"
#include "db/LikeMatcher.h"
#include "db/Sql.h"
#include "db/Statement.h"

#include <sqlite3.h>

#include <algorithm>

namespace cli {

namespace {

// The columns of a row: aid, then a1 .. a9.
enum Column
{
    Aid,
    Name,
    Description,
    Registrar,
    Address,
    Registered,
    Expires,
    Notes,
    Password,
    Price,
    ColumnCount
};

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

std::string_view field(const Row& row, int column)
{
    return column < int(row.size()) ? row[size_t(column)] : std::string_view();
}

// The places a text takes on a terminal: two for the wide characters of East Asian scripts.
int displayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const bool wide =
            (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
            (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
            (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

void jsonString(Sink& out, std::string_view value)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    size_t plain = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(value.substr(plain, i - plain));
        plain = i + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default: {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.append(std::string_view(escaped, sizeof escaped));
        }
        }
    }
    out.append(value.substr(plain));
    out.append('"');
}

} // namespace

Selection selectionFor(const QString& search, int expiringDays, bool expired, const QDate& today)
{
    Selection selection;
    selection.search = search;
    if (expired || expiringDays >= 0) {
        selection.statement = expired ? sql::kExpiredList : sql::kExpiringList;
        selection.params = expiry::listParams(today, std::max(expiringDays, 0));
        selection.params.insert(QStringLiteral("q"), search);
    } else if (!search.isEmpty()) {
        selection.statement = sql::kSearch;
        selection.params = {{QStringLiteral("q"), search}};
    } else {
        selection.statement = sql::kDefaultList;
    }
    return selection;
}

Result forEachRow(Connection* connection, const Selection& selection,
                  const std::function<void(const Row&)>& each)
{
    const Expected<sqlite3_stmt*> prepared =
        Statement::prepare(connection, selection.statement, selection.params);
    if (!prepared.ok())
        return prepared.result();
    sqlite3_stmt* stmt = prepared.value();
    const int columns = sqlite3_column_count(stmt);
    Row row(static_cast<size_t>(columns));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            row[size_t(c)] =
                data ? std::string_view(data, size_t(sqlite3_column_bytes(stmt, c))) : std::string_view();
        }
        each(row);
    }
    const Result read = rc == SQLITE_DONE ? Result::success() : Result::failure(connection->lastError());
    sqlite3_finalize(stmt);
    return tooLongSearch(selection, read) ? Result::success() : read;
}

bool tooLongSearch(const Selection& selection, const Result& read)
{
    return !read.ok() && !selection.search.isEmpty() &&
           like::Pattern::contains(selection.search, like::Folding::Unicode).tooComplex();
}

std::function<bool(std::string_view)> Sink::to(std::FILE* file)
{
    return [file](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), file) == piece.size() && std::fflush(file) == 0;
    };
}

bool Sink::flush()
{
    if (!m_buffer.empty() && m_ok)
        m_ok = m_write(m_buffer);
    m_buffer.clear();
    return m_ok;
}

namespace {

void csvField(Sink& out, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(value);
        return;
    }
    out.append('"');
    size_t from = 0;
    for (size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"', from)) {
        out.append(value.substr(from, quote + 1 - from));
        out.append('"');
        from = quote + 1;
    }
    out.append(value.substr(from));
    out.append('"');
}

} // namespace

void csvHeading(Sink& out)
{
    const QStringList& titles = DomainRecord::titles();
    for (int c = 0; c < titles.size(); ++c) {
        if (c > 0)
            out.append(',');
        const QByteArray title = titles[c].toUtf8();
        csvField(out, std::string_view(title.constData(), size_t(title.size())));
    }
    out.append("\r\n");
}

void csvRow(Sink& out, const Row& row)
{
    for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0)
            out.append(',');
        csvField(out, row[c]);
    }
    out.append("\r\n");
}

JsonRows::JsonRows(Sink& out, const QDate& today) : m_out(out), m_today(expiry::dayOf(today))
{
    m_out.append('[');
}

void JsonRows::row(const Row& row)
{
    static const char* const keys[ColumnCount] = {"id",         "domain",     "description", "registrar",
                                                  "manage_url", "registered", "expires",     "notes",
                                                  "password",   "price"};
    m_out.append(m_first ? "\n  {" : ",\n  {");
    m_first = false;
    for (int c = 0; c < ColumnCount; ++c) {
        m_out.append(c == 0 ? "\"" : ", \"");
        m_out.append(keys[c]);
        m_out.append("\": ");
        jsonString(m_out, field(row, c));
    }
    const expiry::Day day = expiry::parse(field(row, Expires));
    m_out.append(", \"days_left\": ");
    m_out.append(day == expiry::kUnreadable ? std::string("null") : std::to_string(day - m_today));
    m_out.append('}');
}

void JsonRows::finish()
{
    m_out.append(m_first ? "]\n" : "\n]\n");
}

TableRows::TableRows(const QDate& today) : m_today(expiry::dayOf(today)) {}

void TableRows::row(const Row& row)
{
    const expiry::Day day = expiry::parse(field(row, Expires));
    m_rows.push_back({text(field(row, Name)), text(field(row, Expires)), expiry::remainingText(day, m_today),
                      text(field(row, Registrar)), text(field(row, Price))});
}

void TableRows::write(Sink& out) const
{
    const QStringList headings = {QStringLiteral("域名"), QStringLiteral("过期日期"), QStringLiteral("剩余"),
                                  QStringLiteral("注册商"), QStringLiteral("对外报价")};
    QList<int> widths;
    for (const QString& heading : headings)
        widths.append(displayWidth(heading));
    for (const QStringList& row : m_rows)
        for (int c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    auto line = [&](const QStringList& cells) {
        QString text;
        for (int c = 0; c < cells.size(); ++c) {
            // Line breaks and tabs inside a value would break the columns.
            QString cell = cells[c];
            cell.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\t'), QLatin1Char(' '));
            text += cell;
            if (c + 1 < cells.size())
                text += QString(widths[c] - displayWidth(cell) + 2, QLatin1Char(' '));
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        const QByteArray bytes = text.toUtf8() + '\n';
        out.append(std::string_view(bytes.constData(), size_t(bytes.size())));
    };
    line(headings);
    for (const QStringList& row : m_rows)
        line(row);
    const QByteArray count = QStringLiteral("共 %1 个域名\n").arg(m_rows.size()).toUtf8();
    out.append(std::string_view(count.constData(), size_t(count.size())));
}

} // namespace cli
