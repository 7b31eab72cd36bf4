#include "sheet/Readers.h"
#include "sheet/TableReader.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <expat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace sheet::detail {

namespace {

constexpr int kMaxRows = 1048576;

// The text of the element the reader stands on, with its spans, links, spaces, tabs and line breaks;
// notes attached to the cell are left out. Leaves the reader on the element's end.
void appendText(QXmlStreamReader& xml, QString& text)
{
    while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() == QLatin1String("s") ||
           xml.name() == QLatin1String("tab") || xml.name() == QLatin1String("line-break")) {
        if (xml.hasError() || xml.atEnd())
            return;
        if (text.size() > kMaxCellCharacters) {
            text.truncate(kMaxCellCharacters + 1); // too long for a cell already: the rest takes no memory
            if (xml.isStartElement())
                xml.skipCurrentElement();
        } else if (xml.isCharacters()) {
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
            cell.dateTime = wallClock(at.date(), at.time());
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
                cell.dateTime = wallClock(QDate(1899, 12, 30), time);
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
            throw Failure{tooManyCellsText()};
    };
    // The texts read, in bytes as they are held (a repeated cell shares its text): within the same budget
    // as the texts of an .xlsx package.
    qint64 textBytes = 0;
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
        throw Failure{noWorksheetText()};
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
            textBytes += cell.text.size() * qsizetype(sizeof(QChar));
            if (textBytes > kMaxTextBytes)
                throw Failure{tooMuchTextMessage()};
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

namespace {

// What the expat handlers of PartScanner keep between calls.
struct ScanState
{
    XML_Parser parser = nullptr;
    const ReadOptions* options = nullptr;
    SheetScan* scan = nullptr;
    bool firstSheet = false; // the part is the first worksheet, whose texts held in place are read here
    int depth = 0;
    bool sharedStrings = false; // the part is a table of shared texts (its root is <sst>)
    int row = -1;
    int column = -1;
    qint64 cells = 0;
    bool inlineCell = false; // inside <c t="inlineStr">
    int textDepth = 0;       // inside <t> of its <is>
    QByteArray text;
    bool refused = false; // a document type declaration, which no part of a workbook has
};

// The local part of an element or attribute name ("x:row" -> "row").
const char* localName(const char* name)
{
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

void stop(ScanState* state, bool SheetScan::*reason)
{
    state->scan->*reason = true;
    XML_StopParser(state->parser, XML_FALSE);
}

// Text the library or this scan would keep: counted against the budget of the whole package.
void spendText(ScanState* state, qint64 bytes)
{
    state->scan->textBytes += bytes;
    if (state->scan->textBytes > kMaxTextBytes)
        stop(state, &SheetScan::tooMuchText);
}

void XMLCALL scanStart(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto* state = static_cast<ScanState*>(data);
    const char* local = localName(name);
    if (state->depth++ == 0)
        state->sharedStrings = std::strcmp(local, "sst") == 0;
    if (state->sharedStrings) {
        if (state->depth == 2 && std::strcmp(local, "si") == 0 &&
            ++state->scan->sharedStrings > kMaxSharedStrings)
            stop(state, &SheetScan::tooManyStrings);
        return;
    }
    if (!state->firstSheet)
        return;
    if (std::strcmp(local, "c") == 0) {
        if (++state->cells > kMaxCellCalls) {
            stop(state, &SheetScan::tooManyCells);
            return;
        }
        ++state->column;
        state->inlineCell = false;
        for (int i = 0; attributes[i]; i += 2) {
            const char* attribute = localName(attributes[i]);
            const char* value = attributes[i + 1];
            if (std::strcmp(attribute, "t") == 0) {
                state->inlineCell = std::strcmp(value, "inlineStr") == 0;
            } else if (std::strcmp(attribute, "r") == 0) {
                int column = 0;
                const char* p = value;
                for (; std::isalpha(static_cast<unsigned char>(*p)) && column <= 16384; ++p)
                    column = column * 26 + (std::toupper(static_cast<unsigned char>(*p)) - 'A' + 1);
                state->column = column - 1;
                if (const int row = std::atoi(p); row > 0)
                    state->row = row - 1;
            }
        }
        state->text.clear();
    } else if (std::strcmp(local, "row") == 0) {
        ++state->row;
        for (int i = 0; attributes[i]; i += 2)
            if (std::strcmp(localName(attributes[i]), "r") == 0)
                state->row = std::atoi(attributes[i + 1]) - 1;
        state->column = -1;
    } else if (state->inlineCell && std::strcmp(local, "t") == 0) {
        ++state->textDepth;
    } else if (std::strcmp(local, "v") == 0 || std::strcmp(local, "f") == 0) {
        state->scan->hasOtherValues = true; // a number, a shared text, a formula ...
    }
}

void XMLCALL scanEnd(void* data, const XML_Char* name)
{
    auto* state = static_cast<ScanState*>(data);
    --state->depth;
    if (!state->firstSheet)
        return;
    const char* local = localName(name);
    if (state->textDepth > 0 && std::strcmp(local, "t") == 0) {
        --state->textDepth;
    } else if (state->inlineCell && std::strcmp(local, "c") == 0) {
        state->inlineCell = false;
        const int columns = state->options->columns;
        if (state->row >= 0 && state->row < kMaxRows && state->column >= 0 &&
            (columns <= 0 || state->column < columns) && !state->text.isEmpty())
            state->scan->inlineCells.setCell(
                state->row, state->column,
                textCell(cutToCell(unescapeXlsxText(QString::fromUtf8(state->text)))));
    }
}

void XMLCALL scanText(void* data, const XML_Char* text, int length)
{
    auto* state = static_cast<ScanState*>(data);
    if (state->sharedStrings) {
        spendText(state, length);
    } else if (state->textDepth > 0) {
        spendText(state, length);
        // A text held in place is kept up to one character past the longest a cell takes: the caller
        // sees that it is too long, and no more of it takes memory.
        if (state->text.size() <= kMaxCellBytes)
            state->text.append(text, std::min<qsizetype>(length, kMaxCellBytes + 1));
    }
}

void XMLCALL scanDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    auto* state = static_cast<ScanState*>(data);
    state->refused = true;
    XML_StopParser(state->parser, XML_FALSE);
}

} // namespace

struct PartScanner::State : ScanState
{
};

PartScanner::PartScanner(const ReadOptions& options, SheetScan& scan, bool firstSheet)
    : m_parser(XML_ParserCreate("UTF-8"), &XML_ParserFree), m_state(std::make_unique<State>())
{
    if (!m_parser)
        throw std::bad_alloc();
    m_state->parser = m_parser.get();
    m_state->options = &options;
    m_state->scan = &scan;
    m_state->firstSheet = firstSheet;
    XML_SetUserData(m_parser.get(), m_state.get());
    XML_SetElementHandler(m_parser.get(), scanStart, scanEnd);
    XML_SetCharacterDataHandler(m_parser.get(), scanText);
    XML_SetStartDoctypeDeclHandler(m_parser.get(), scanDoctype);
}

PartScanner::~PartScanner() = default;

bool PartScanner::feed(QByteArrayView chunk, bool last)
{
    const SheetScan& scan = *m_state->scan;
    const bool parsed = XML_Parse(m_parser.get(), chunk.data(), int(chunk.size()), last) == XML_STATUS_OK;
    return !m_state->refused && (parsed || scan.stopped());
}

} // namespace sheet::detail
