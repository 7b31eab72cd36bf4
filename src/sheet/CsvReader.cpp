#include "sheet/Readers.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace sheet::detail {

namespace {

bool startsWith(const QByteArray& bytes, const char* prefix, int length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), prefix, std::size_t(length)) == 0;
}

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

// The line (from 1) of the first character that did not decode (the decoder put U+FFFD in its place).
int lineOfFirstError(const QString& text)
{
    const qsizetype at = text.indexOf(QChar(QChar::ReplacementCharacter));
    const QStringView before = QStringView(text).first(std::max<qsizetype>(at, 0));
    // Line ends as the editor counts them: LF, CR LF, or CR alone.
    return int(before.count(u'\n') + before.count(u'\r') - before.count(u"\r\n") + 1);
}

// Decodes the whole of bytes; a text that is not valid in the encoding is refused, naming its first line
// that breaks it.
QString decode(QStringDecoder::Encoding encoding, QByteArrayView bytes, const QString& name)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw Failure{invalidText(lineOfFirstError(text), name)};
    return text;
}

// The text of the file: UTF-8 with or without its byte-order mark, UTF-16 with its mark (what spreadsheet
// programs save as "Unicode text"), else the Chinese code page of GBK and its successor GB18030. A file
// that mixes UTF-8 lines with GBK lines is refused, as is one with bytes its encoding has no place for:
// either would be stored garbled.
QString decodeText(const QByteArray& bytes)
{
    const QByteArrayView view(bytes);
    if (startsWith(bytes, "\xEF\xBB\xBF", 3))
        return decode(QStringDecoder::Utf8, view.sliced(3), QStringLiteral("UTF-8"));
    if (startsWith(bytes, "\xFF\xFE", 2))
        return decode(QStringDecoder::Utf16LE, view.sliced(2), QStringLiteral("UTF-16"));
    if (startsWith(bytes, "\xFE\xFF", 2))
        return decode(QStringDecoder::Utf16BE, view.sliced(2), QStringLiteral("UTF-16"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    // Not UTF-8 as a whole: GBK, unless lines of it are UTF-8 with Chinese (or other wide) characters.
    int firstWide = 0;
    int wideLines = 0;
    int firstOther = 0;
    int otherLines = 0;
    forEachLine(view, [&](int line, QByteArrayView bytes) {
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
    if (wideLines > 0)
        throw Failure{wideLines > otherLines ? mixedText(firstOther, false) : mixedText(firstWide, true)};
    QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
    if (!gbk.isValid())
        throw Failure{QStringLiteral("无法读取该文件：它不是 UTF-8 编码的文本，而本机无法识别 GBK 编码")};
    text = gbk.decode(bytes);
    if (gbk.hasError())
        throw Failure{invalidText(lineOfFirstError(text), QStringLiteral("GBK"))};
    return text;
}

constexpr std::array<char16_t, 3> kDelimiters{u',', u';', u'\t'};

// The separator the first lines agree on: the one whose count per line (outside quotes) stays the same over
// the most lines, counted from the first line; commas when none of them occurs.
char16_t detectDelimiter(const QString& text)
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
Sheet parse(const QString& text, const ReadOptions& options)
{
    const char16_t delimiter = detectDelimiter(text);
    Sheet sheet;
    const qsizetype size = text.size();
    const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
    // Room for the cells at once, guessed from the lines and the first line's values: a long list then
    // never moves its cells while it grows.
    const char16_t* firstBreak = std::find(data, data + size, u'\n');
    int firstLineValues = int(std::count(data, firstBreak, delimiter)) + 1;
    if (options.columns > 0)
        firstLineValues = std::min(firstLineValues, options.columns);
    sheet.reserve(qsizetype(std::count(data, data + size, u'\n') + 1) * firstLineValues);
    int row = 0;
    int column = 0;
    QString field;
    // A value is kept up to one character past the longest a cell holds: a line of hundreds of MB then
    // takes no more memory than that, and the value is still seen as too long.
    const auto add = [&](QStringView part) {
        if (field.size() <= kMaxCellCharacters)
            field.append(part.first(std::min<qsizetype>(part.size(), kMaxCellCharacters + 1 - field.size())));
    };
    const auto endField = [&] {
        if (!field.isEmpty() && (options.columns <= 0 || column < options.columns))
            sheet.setCell(row, column, valueCell(field));
        field.clear();
        ++column;
    };
    qsizetype i = 0;
    while (i < size) {
        // One field.
        if (data[i] == u'"') {
            ++i;
            while (i < size) {
                if (data[i] == u'"') {
                    if (i + 1 < size && data[i + 1] == u'"') {
                        add(u"\"");
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                const qsizetype start = i;
                while (i < size && data[i] != u'"')
                    ++i;
                add(QStringView(data + start, i - start));
            }
        }
        const qsizetype start = i;
        while (i < size && data[i] != delimiter && data[i] != u'\n' && data[i] != u'\r')
            ++i;
        add(QStringView(data + start, i - start));
        endField();
        if (i >= size)
            break;
        if (data[i] == delimiter) {
            ++i;
            if (i >= size)
                endField(); // a delimiter at the very end: one more, empty value
            continue;
        }
        // A line break ends the record.
        if (data[i] == u'\r' && i + 1 < size && data[i + 1] == u'\n')
            ++i;
        ++i;
        ++row;
        column = 0;
        if ((row & 4095) == 0 && options.progress && !options.progress(i, size))
            throw Cancelled{};
    }
    return sheet;
}

} // namespace

ReadResult readCsv(const QByteArray& bytes, const ReadOptions& options)
{
    return guarded(
        [&] {
            const QString text = decodeText(bytes);
            Sheet sheet = parse(text, options);
            if (options.progress && !options.progress(text.size(), text.size()))
                throw Cancelled{};
            return sheet;
        },
        QStringLiteral("无法读取该文件：文本无法按逗号分隔的表格(.csv)读取"));
}

} // namespace sheet::detail
