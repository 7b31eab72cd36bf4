#include "sheet/Readers.h"
#include "sheet/TableReader.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace sheet::detail {

namespace {

constexpr int kMaxRows = 1048576;

Cell textCell(QString text)
{
    Cell cell;
    cell.type = Cell::Type::Text;
    cell.text = std::move(text);
    return cell;
}

// The text of the element the reader stands on, with its spans, links, spaces, tabs and line breaks;
// notes attached to the cell are left out. Leaves the reader on the element's end.
void appendText(QXmlStreamReader& xml, QString& text)
{
    while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("s") ||
           xml.name() == QLatin1String("tab") || xml.name() == QLatin1String("line-break")) {
        if (xml.hasError() || xml.atEnd())
            return;
        if (xml.isCharacters()) {
            text += xml.text();
        } else if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("s")) {
                const int count = xml.attributes().value(QLatin1String("text:c")).toInt();
                text += QString(std::clamp(count, 1, 1024), QLatin1Char(' '));
            } else if (name == QLatin1String("tab")) {
                text += QLatin1Char('\t');
            } else if (name == QLatin1String("line-break")) {
                text += QLatin1Char('\n');
            } else if (name == QLatin1String("annotation") || name == QLatin1String("note")) {
                xml.skipCurrentElement();
            } else {
                appendText(xml, text);
            }
        }
    }
}

// An OpenDocument cell's value: its office:value-type says which attribute holds it; a text is its
// paragraphs, joined by line breaks.
Cell odsCell(QXmlStreamReader& xml)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QStringView type = attributes.value(QLatin1String("office:value-type"));
    Cell cell;
    if (type == QLatin1String("float") || type == QLatin1String("percentage") ||
        type == QLatin1String("currency")) {
        bool ok = false;
        cell.number = attributes.value(QLatin1String("office:value")).toDouble(&ok);
        cell.type = ok ? Cell::Type::Number : Cell::Type::Empty;
    } else if (type == QLatin1String("date")) {
        const QStringView value = attributes.value(QLatin1String("office:date-value"));
        QDateTime at = QDateTime::fromString(value.left(19).toString(), Qt::ISODate);
        if (!at.isValid())
            at = QDateTime(QDate::fromString(value.left(10).toString(), Qt::ISODate), QTime(0, 0));
        if (at.isValid()) {
            cell.type = Cell::Type::Date;
            cell.dateTime = at;
        }
    } else if (type == QLatin1String("time")) {
        // PT08H30M00S
        static const QRegularExpression duration(QStringLiteral("^-?PT(\\d+)H(\\d+)M(\\d+)(?:[.,]\\d+)?S$"));
        const QRegularExpressionMatch m =
            duration.match(attributes.value(QLatin1String("office:time-value")));
        if (m.hasMatch()) {
            const QTime time(m.captured(1).toInt() % 24, m.captured(2).toInt() % 60,
                             m.captured(3).toInt() % 60);
            if (time.isValid()) {
                cell.type = Cell::Type::Date;
                cell.dateTime = QDateTime(QDate(1899, 12, 30), time);
            }
        }
    } else if (type == QLatin1String("boolean")) {
        cell.type = Cell::Type::Boolean;
        cell.number =
            attributes.value(QLatin1String("office:boolean-value")) == QLatin1String("true") ? 1 : 0;
    }
    // The paragraphs; for a typed value they only repeat it as shown.
    QString text;
    bool first = true;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("p")) {
            if (!first)
                text += QLatin1Char('\n');
            first = false;
            appendText(xml, text);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (cell.type == Cell::Type::Empty && !text.isEmpty())
        cell = textCell(std::move(text));
    return cell;
}

int repeat(const QXmlStreamReader& xml, QLatin1String attribute)
{
    const QStringView value = xml.attributes().value(attribute);
    if (value.isEmpty())
        return 1;
    return std::clamp(value.toInt(), 1, kMaxRows);
}

} // namespace

Sheet readOdsContent(const QByteArray& content, const ReadOptions& options, const QString& damaged)
{
    QXmlStreamReader xml(content);
    Sheet sheet;
    qint64 budget = kMaxCellCalls;
    const auto spend = [&](qint64 cells) {
        budget -= cells;
        if (budget < 0)
            throw Failure{QStringLiteral("无法读取该文件：工作簿中的单元格多得无法读取")};
    };
    // Down to the first table.
    bool found = false;
    while (!found && !xml.atEnd()) {
        xml.readNext();
        found = xml.isStartElement() && xml.name() == QLatin1String("table") &&
                xml.prefix() == QLatin1String("table");
    }
    if (!found) {
        if (xml.hasError())
            throw Failure{damaged};
        throw Failure{QStringLiteral("无法读取该文件：工作簿中没有工作表")};
    }
    int row = 0;
    const auto readRow = [&](int rows) {
        int column = 0;
        while (xml.readNextStartElement()) {
            const QStringView name = xml.name();
            if (name != QLatin1String("table-cell") && name != QLatin1String("covered-table-cell")) {
                xml.skipCurrentElement();
                continue;
            }
            const int columns = std::min(repeat(xml, QLatin1String("table:number-columns-repeated")), 16384);
            const Cell cell = odsCell(xml);
            if (!cell.isEmpty()) {
                const int kept =
                    options.columns > 0 ? std::clamp(options.columns - column, 0, columns) : columns;
                spend(qint64(kept) * rows + 1);
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < kept; ++c)
                        sheet.setCell(row + r, column + c, cell);
            }
            column = std::min(column + columns, 16384);
        }
    };
    // Rows, also inside row groups and header rows.
    int depth = 0;
    while (!xml.atEnd() && row < kMaxRows) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (depth == 0)
                break; // the end of the first table
            --depth;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("table-row")) {
            const int rows =
                std::min(repeat(xml, QLatin1String("table:number-rows-repeated")), kMaxRows - row);
            readRow(rows);
            row += rows;
            if ((row & 1023) == 0 && options.progress &&
                !options.progress(xml.characterOffset(), content.size()))
                throw Cancelled{};
        } else if (name == QLatin1String("table-row-group") || name == QLatin1String("table-header-rows") ||
                   name == QLatin1String("table-rows")) {
            ++depth;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        throw Failure{damaged};
    if (xml.hasError())
        throw Failure{damaged};
    return sheet;
}

QString unescapeXlsxText(QString text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_') {
            bool ok = false;
            const ushort code = QStringView(text).sliced(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

void addInlineStrings(const QByteArray& sheetXml, const ReadOptions& options, Sheet& sheet)
{
    QXmlStreamReader xml(sheetXml);
    int row = -1;
    int column = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("row")) {
            const QStringView r = xml.attributes().value(QLatin1String("r"));
            row = r.isEmpty() ? row + 1 : r.toInt() - 1;
            column = -1;
        } else if (name == QLatin1String("c")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView ref = attributes.value(QLatin1String("r"));
            if (!ref.isEmpty()) {
                int c = 0;
                qsizetype i = 0;
                for (; i < ref.size() && ref.at(i).isLetter() && c <= 16384; ++i)
                    c = c * 26 + (ref.at(i).toUpper().unicode() - u'A' + 1);
                column = c - 1;
                const int r = ref.mid(i).toInt();
                if (r > 0)
                    row = r - 1;
            } else {
                ++column;
            }
            if (attributes.value(QLatin1String("t")) != QLatin1String("inlineStr"))
                continue;
            QString text;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("is")) {
                    while (xml.readNextStartElement()) {
                        if (xml.name() == QLatin1String("t"))
                            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                        else if (xml.name() == QLatin1String("r")) {
                            while (xml.readNextStartElement()) {
                                if (xml.name() == QLatin1String("t"))
                                    text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                                else
                                    xml.skipCurrentElement();
                            }
                        } else
                            xml.skipCurrentElement();
                    }
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (row >= 0 && row < kMaxRows && column >= 0 &&
                (options.columns <= 0 || column < options.columns) && !text.isEmpty())
                sheet.setCell(row, column, textCell(unescapeXlsxText(std::move(text))));
        }
    }
}

} // namespace sheet::detail
