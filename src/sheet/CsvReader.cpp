#include "sheet/Readers.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

namespace sheet::detail {

namespace {

// The lines of the file as a text editor counts them (from 1): each ends at LF, CR LF or a lone CR.
template <typename Visit> void forEachLine(QByteArrayView bytes, Visit&& visit)
{
    int line = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r')
            continue;
        if (!visit(line++, bytes.sliced(start, i - start)))
            return;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        visit(line, bytes.sliced(start));
}

// How a line's bytes read as UTF-8.
enum class Utf8
{
    Ascii,   // no byte above 127: the same in every encoding read here
    Invalid, // not UTF-8
    Short,   // UTF-8 whose other characters all take two bytes (Latin, Greek, Cyrillic ...): GBK text
             // may read so by chance
    Wide,    // UTF-8 with characters of three or four bytes (Chinese among them)
};

Utf8 utf8Kind(QByteArrayView line)
{
    Utf8 kind = Utf8::Ascii;
    const auto* p = reinterpret_cast<const quint8*>(line.data());
    const qsizetype size = line.size();
    for (qsizetype i = 0; i < size;) {
        const quint8 c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        quint32 code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return Utf8::Invalid;
        }
        if (i + length > size)
            return Utf8::Invalid;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return Utf8::Invalid;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode are no UTF-8.
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return Utf8::Invalid;
        kind = length == 2 && kind != Utf8::Wide ? Utf8::Short : Utf8::Wide;
        i += length;
    }
    return kind;
}

QString mixedText(int line, bool utf8)
{
    return utf8 ? QStringLiteral("无法读取该文件：第 %1 行是 UTF-8 编码，而文件的其余部分是 GBK 编码。"
                                 "一个文件只能用一种编码，请把它整个另存为 UTF-8 编码后再导入")
                      .arg(line)
                : QStringLiteral("无法读取该文件：第 %1 行不是 UTF-8 编码，而文件的其余部分是。"
                                 "一个文件只能用一种编码，请把它整个另存为 UTF-8 编码后再导入")
                      .arg(line);
}

QString invalidText(int line, const QString& encoding)
{
    return QStringLiteral("无法读取该文件：第 %1 行含有不属于 %2 编码的字节，文件可能已损坏或混用了几种编码。"
                          "请把它整个另存为 UTF-8 编码后再导入")
        .arg(line)
        .arg(encoding);
}

// The encoding a file's text is read in, and where the text starts (after a byte-order mark).
struct Encoding
{
    QByteArray name; // for the decoder
    QString shown;   // for the user
    qsizetype start = 0;
    bool checked = false; // its bytes were proven valid already
};

// The first line (from 1) with bytes that are no UTF-8; 0 when there is none.
int firstLineNotUtf8(QByteArrayView bytes)
{
    int bad = 0;
    forEachLine(bytes, [&](int line, QByteArrayView bytes) {
        if (utf8Kind(bytes) != Utf8::Invalid)
            return true;
        bad = line;
        return false;
    });
    return bad;
}

// The encoding of the file: UTF-8 with or without its byte-order mark, UTF-16 with its mark (what
// spreadsheet programs save as "Unicode text"), else the Chinese code page of GBK and its successor
// GB18030. A file that mixes UTF-8 lines with GBK lines is refused, as is UTF-8 with bytes that are no
// UTF-8: either would be stored garbled.
Encoding chooseEncoding(QByteArrayView bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        if (const int bad = firstLineNotUtf8(bytes.sliced(3)))
            throw Failure{invalidText(bad, QStringLiteral("UTF-8"))};
        return {"UTF-8", QStringLiteral("UTF-8"), 3, true};
    }
    if (startsWith(bytes, "\xFF\xFE", 2))
        return {"UTF-16LE", QStringLiteral("UTF-16"), 2, false};
    if (startsWith(bytes, "\xFE\xFF", 2))
        return {"UTF-16BE", QStringLiteral("UTF-16"), 2, false};
    // Lines of UTF-8 with Chinese (or other wide) characters, and lines that are no UTF-8.
    int firstWide = 0;
    int wideLines = 0;
    int firstOther = 0;
    int otherLines = 0;
    forEachLine(bytes, [&](int line, QByteArrayView bytes) {
        switch (utf8Kind(bytes)) {
        case Utf8::Wide:
            firstWide = firstWide ? firstWide : line;
            ++wideLines;
            break;
        case Utf8::Invalid:
            firstOther = firstOther ? firstOther : line;
            ++otherLines;
            break;
        default:
            break;
        }
        return true;
    });
    if (otherLines == 0)
        return {"UTF-8", QStringLiteral("UTF-8"), 0, true};
    if (wideLines > 0)
        throw Failure{wideLines > otherLines ? mixedText(firstOther, false) : mixedText(firstWide, true)};
    if (!QStringDecoder("GB18030").isValid())
        throw Failure{QStringLiteral("无法读取该文件：它不是 UTF-8 编码的文本，而本机无法识别 GBK 编码")};
    return {"GB18030", QStringLiteral("GBK"), 0, false};
}

// Line ends as the editor counts them: LF, CR LF, or CR alone.
qsizetype lineBreaks(QStringView text)
{
    return text.count(u'\n') + text.count(u'\r') - text.count(u"\r\n");
}

constexpr std::array<char16_t, 3> kDelimiters{u',', u';', u'\t'};

// The separator the first lines agree on: the one whose count per line (outside quotes) stays the same over
// the most lines, counted from the first line; commas when none of them occurs.
char16_t detectDelimiter(QStringView text)
{
    constexpr int SampleLines = 64;
    std::array<std::array<int, SampleLines>, kDelimiters.size()> counts{};
    int lines = 0;
    bool quoted = false;
    const qsizetype end = std::min<qsizetype>(text.size(), 256 * 1024);
    for (qsizetype i = 0; i < end && lines < SampleLines; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && (c == u'\n' || c == u'\r')) {
            if (c == u'\r' && i + 1 < end && text.at(i + 1) == u'\n')
                ++i;
            ++lines;
        } else if (!quoted) {
            for (std::size_t d = 0; d < kDelimiters.size(); ++d)
                if (c == kDelimiters[d])
                    ++counts[d][std::size_t(lines)];
        }
    }
    if (lines < SampleLines && end > 0)
        ++lines; // the last line, without a line break after it
    char16_t best = u',';
    int bestScore = 0;
    int bestFirst = 0;
    for (std::size_t d = 0; d < kDelimiters.size(); ++d) {
        const int first = counts[d][0];
        if (first == 0)
            continue;
        int score = 0;
        for (int line = 0; line < lines; ++line)
            score += counts[d][std::size_t(line)] == first ? 1 : 0;
        if (score > bestScore || (score == bestScore && first > bestFirst)) {
            best = kDelimiters[d];
            bestScore = score;
            bestFirst = first;
        }
    }
    return best;
}

// Reads up to `most` decimal digits (at least one) at `at`; -1 when there is none.
int digitsAt(QStringView text, qsizetype& at, int most)
{
    int value = 0;
    int count = 0;
    while (count < most && at < text.size() && text.at(at) >= u'0' && text.at(at) <= u'9') {
        value = value * 10 + (text.at(at).unicode() - u'0');
        ++at;
        ++count;
    }
    return count > 0 ? value : -1;
}

// "yyyy-M-d", "yyyy/M/d" or "yyyy.M.d" (one separator throughout), with " H:mm" or " H:mm:ss" after it; the
// whole text, nothing else.
bool parseDate(QStringView text, QDate& day, QTime& time)
{
    qsizetype at = 0;
    const int year = digitsAt(text, at, 4);
    if (at != 4 || at >= text.size())
        return false;
    const QChar separator = text.at(at++);
    const int month = digitsAt(text, at, 2);
    if (month < 0 || at >= text.size() || text.at(at++) != separator)
        return false;
    const int dayOfMonth = digitsAt(text, at, 2);
    if (dayOfMonth < 0)
        return false;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (at < text.size()) {
        if (text.at(at++) != u' ' || (hour = digitsAt(text, at, 2)) < 0 || at >= text.size() ||
            text.at(at++) != u':')
            return false;
        const qsizetype minuteAt = at;
        if ((minute = digitsAt(text, at, 2)) < 0 || at - minuteAt != 2)
            return false;
        if (at < text.size()) {
            if (text.at(at++) != u':')
                return false;
            const qsizetype secondAt = at;
            if ((second = digitsAt(text, at, 2)) < 0 || at - secondAt != 2)
                return false;
        }
    }
    if (at != text.size())
        return false;
    day = QDate(year, month, dayOfMonth);
    time = QTime(hour, minute, second);
    return true;
}

// A value that is wholly a date ("2012/10/10", "2013-1-2 8:30") is a date, as a spreadsheet program opening
// the file takes it; every other value stays the text it is (a price "012" keeps its zero).
Cell valueCell(QString text)
{
    Cell cell;
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.size() >= 8 && trimmed.size() <= 19 && trimmed.at(0).isDigit() && trimmed.at(3).isDigit() &&
        (trimmed.at(4) == u'-' || trimmed.at(4) == u'/' || trimmed.at(4) == u'.')) {
        QDate day;
        QTime time;
        if (parseDate(trimmed, day, time) && day.isValid() && time.isValid()) {
            cell.type = Cell::Type::Date;
            cell.dateTime = wallClock(day, time);
            return cell;
        }
    }
    cell.type = Cell::Type::Text;
    cell.text = std::move(text);
    return cell;
}

// Values separated by delimiter, records by line breaks (CR LF, LF or CR); a value in double quotes may hold
// the delimiter, line breaks and doubled quotes. A quote that is never closed takes the rest of the file.
// The text comes a piece at a time, as it is decoded: the whole file is never held as text.
class Parser
{
public:
    Parser(char16_t delimiter, const ReadOptions& options) : m_delimiter(delimiter), m_options(options) {}

    void reserve(qsizetype cells) { m_sheet.reserve(cells); }

    void feed(QStringView text)
    {
        const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = data[i];
            if (m_skipLineFeed) {
                m_skipLineFeed = false;
                if (c == u'\n')
                    continue;
            }
            if (m_state == State::Quoted) {
                // A run of the value up to the next quote.
                const qsizetype start = i;
                while (i < size && data[i] != u'"')
                    ++i;
                add(QStringView(data + start, i - start));
                if (i < size)
                    m_state = State::QuoteSeen;
                continue;
            }
            if (m_state == State::QuoteSeen) {
                if (c == u'"') {
                    add(u"\"");
                    m_state = State::Quoted;
                    continue;
                }
                m_state = State::Plain;
            } else if (m_state == State::Start) {
                m_afterDelimiter = false;
                if (c == u'"') {
                    m_state = State::Quoted;
                    continue;
                }
                m_state = State::Plain;
            }
            if (c == m_delimiter) {
                endField();
                m_afterDelimiter = true;
            } else if (c == u'\n' || c == u'\r') {
                endField();
                ++m_row;
                m_column = 0;
                m_skipLineFeed = c == u'\r';
            } else {
                // A run of the value up to the next delimiter or line break.
                const qsizetype start = i;
                while (i + 1 < size && data[i + 1] != m_delimiter && data[i + 1] != u'\n' &&
                       data[i + 1] != u'\r')
                    ++i;
                add(QStringView(data + start, i + 1 - start));
            }
        }
    }

    Sheet finish()
    {
        // A value that the end of the file ends, or an empty one after a delimiter at the very end.
        if (m_state != State::Start || m_afterDelimiter)
            endField();
        return std::move(m_sheet);
    }

private:
    enum class State
    {
        Start,     // before a value
        Quoted,    // inside quotes
        QuoteSeen, // a quote inside quotes: a doubled one, or the closing one
        Plain,     // a value without quotes, or what follows the closing quote
    };

    // A value is kept up to one character past the longest a cell holds: a line of hundreds of MB then
    // takes no more memory than that, and the value is still seen as too long.
    void add(QStringView part)
    {
        if (m_field.size() <= kMaxCellCharacters)
            m_field.append(
                part.first(std::min<qsizetype>(part.size(), kMaxCellCharacters + 1 - m_field.size())));
    }
    void endField()
    {
        if (!m_field.isEmpty() && (m_options.columns <= 0 || m_column < m_options.columns))
            m_sheet.setCell(m_row, m_column, valueCell(m_field));
        m_field.clear();
        ++m_column;
        m_state = State::Start;
    }

    const char16_t m_delimiter;
    const ReadOptions& m_options;
    Sheet m_sheet;
    State m_state = State::Start;
    bool m_afterDelimiter = false;
    bool m_skipLineFeed = false;
    int m_row = 0;
    int m_column = 0;
    QString m_field;
};

// Where the piece of text that starts at `from` ends, about `want` bytes on, so that no character is cut
// in two.
qsizetype pieceEnd(QByteArrayView bytes, qsizetype from, qsizetype want, const Encoding& encoding)
{
    qsizetype end = from + want;
    if (end >= bytes.size())
        return bytes.size();
    const auto byte = [&](qsizetype at) { return quint8(bytes[at]); };
    if (encoding.name == "UTF-8") {
        while (end > from + 1 && (byte(end) & 0xC0) == 0x80)
            --end; // not before a continuation byte
        return end;
    }
    if (encoding.name.startsWith("UTF-16")) {
        end -= (end - from) % 2;
        const bool little = encoding.name.endsWith("LE");
        const quint8 high = little ? byte(end - 1) : byte(end - 2);
        return high >= 0xD8 && high <= 0xDB ? end - 2 : end; // not inside a surrogate pair
    }
    // GB18030: a byte below 0x30 is never part of a character of several bytes; the piece ends after one.
    for (qsizetype at = end - 1; at > from; --at)
        if (byte(at) < 0x30)
            return at + 1;
    for (; end < bytes.size(); ++end)
        if (byte(end) < 0x30)
            return end + 1;
    return bytes.size();
}

// Decodes and parses the file a piece at a time, so that the whole file is never held as text; a piece
// that is not valid in the file's encoding refuses the file, naming its line.
Sheet readText(const QByteArray& bytes, const ReadOptions& options)
{
    const Encoding encoding = chooseEncoding(bytes);
    std::optional<Parser> parser;
    qsizetype lines = 0; // line breaks before the piece
    qsizetype at = encoding.start;
    do {
        const qsizetype end = pieceEnd(bytes, at, 1024 * 1024, encoding);
        QStringDecoder decoder(encoding.name.constData(), QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(bytes).sliced(at, end - at));
        if (!encoding.checked && decoder.hasError()) {
            const qsizetype bad = text.indexOf(QChar(QChar::ReplacementCharacter));
            lines += lineBreaks(QStringView(text).first(std::max<qsizetype>(bad, 0)));
            throw Failure{invalidText(int(std::min<qsizetype>(lines + 1, INT_MAX)), encoding.shown)};
        }
        lines += lineBreaks(text);
        if (!parser) {
            // The separator from the first piece; room for the cells at once, guessed from the lines and
            // the first line's values: a long list then never moves its cells while it grows.
            const char16_t delimiter = detectDelimiter(text);
            parser.emplace(delimiter, options);
            const qsizetype firstBreak = text.indexOf(u'\n');
            int firstLineValues = int(QStringView(text)
                                          .first(firstBreak < 0 ? text.size() : firstBreak)
                                          .count(QChar(delimiter))) +
                                  1;
            if (options.columns > 0)
                firstLineValues = std::min(firstLineValues, options.columns);
            parser->reserve(qsizetype(bytes.count('\n') + 1) * firstLineValues);
        }
        parser->feed(text);
        at = end;
        if (options.progress && !options.progress(at, bytes.size()))
            throw Cancelled{};
    } while (at < bytes.size());
    return parser->finish();
}

} // namespace

Expected<Sheet> readCsv(const QByteArray& bytes, const ReadOptions& options)
{
    return guarded([&] { return readText(bytes, options); },
                   QStringLiteral("无法读取该文件：文本无法按逗号分隔的表格(.csv)读取"));
}

} // namespace sheet::detail
