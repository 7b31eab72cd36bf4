#include "sheet/Readers.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <array>

namespace sheet::detail {

namespace {

bool startsWith(const QByteArray& bytes, const char* prefix, int length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), prefix, std::size_t(length)) == 0;
}

QString decode(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

// The text of the file: UTF-8 with or without its byte-order mark, UTF-16 with its mark (what spreadsheet
// programs save as "Unicode text"), else the Chinese code page of GBK and its successor GB18030.
QString decodeText(const QByteArray& bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF", 3))
        return decode(QStringDecoder::Utf8, QByteArrayView(bytes).sliced(3));
    if (startsWith(bytes, "\xFF\xFE", 2))
        return decode(QStringDecoder::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (startsWith(bytes, "\xFE\xFF", 2))
        return decode(QStringDecoder::Utf16BE, QByteArrayView(bytes).sliced(2));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
    if (!gbk.isValid())
        throw Failure{QStringLiteral("无法读取该文件：它不是 UTF-8 编码的文本，而本机无法识别 GBK 编码")};
    return gbk.decode(bytes);
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

// A value that is wholly a date ("2012/10/10", "2013-1-2 8:30") is a date, as a spreadsheet program opening
// the file takes it; every other value stays the text it is (a price "012" keeps its zero).
Cell valueCell(QString text)
{
    Cell cell;
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.size() >= 8 && trimmed.size() <= 19 && trimmed.at(0).isDigit() && trimmed.at(3).isDigit() &&
        (trimmed.at(4) == u'-' || trimmed.at(4) == u'/' || trimmed.at(4) == u'.')) {
        static const QRegularExpression date(QStringLiteral(
            "^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})(?: (\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
        const QRegularExpressionMatch m = date.match(trimmed);
        if (m.hasMatch()) {
            const QDate day(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
            const QTime time = m.capturedLength(5) > 0 ? QTime(m.captured(5).toInt(), m.captured(6).toInt(),
                                                               m.captured(7).toInt())
                                                       : QTime(0, 0);
            if (day.isValid() && time.isValid()) {
                cell.type = Cell::Type::Date;
                cell.dateTime = QDateTime(day, time);
                return cell;
            }
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
    int row = 0;
    int column = 0;
    QString field;
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
                        field.append(QChar(u'"'));
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                const qsizetype start = i;
                while (i < size && data[i] != u'"')
                    ++i;
                field.append(QStringView(data + start, i - start));
            }
        }
        const qsizetype start = i;
        while (i < size && data[i] != delimiter && data[i] != u'\n' && data[i] != u'\r')
            ++i;
        field.append(QStringView(data + start, i - start));
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
