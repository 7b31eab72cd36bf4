#pragma once

// The readers behind readTable, each for one format, each on the whole file in memory.

#include "sheet/TableReader.h"
#include "sheet/XlsReader.h"

#include <QByteArray>

#include <expat.h>

#include <cstring>
#include <memory>

namespace sheet::detail {

struct Failure
{
    QString text;
};
struct Cancelled
{
};

// Whether a file's first bytes are the BOF record of the Excel 2.x to 4.0 formats, which are not read.
inline bool isOldXlsHead(QByteArrayView head)
{
    return head.size() >= 4 && head[0] == 0x09 && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04);
}

// Reads a .csv file's bytes (UTF-8 with or without its mark, UTF-16 with its mark, else GB18030).
Expected<Sheet> readCsv(const QByteArray& bytes, const ReadOptions& options);

// What the pass over an .xlsx package's XML parts found.
struct SheetScan
{
    bool scanned = false;        // the first worksheet's part was found and read
    Sheet inlineCells;           // the cells that hold their text in place ("inlineStr", as some programs
                                 // write every text), in the kept columns
    bool hasOtherValues = false; // cells with a value of another kind (numbers, shared texts, formulas)
    qint64 sharedStrings = 0;    // entries of the shared texts' tables
    qint64 textBytes = 0;        // bytes of text in them and held in place in the first worksheet
    bool tooManyCells = false;   // more cells than are ever read (the pass stopped there)
    bool tooManyStrings = false; // more shared texts than are ever read (the pass stopped there)
    bool tooMuchText = false;    // more text than is ever read (the pass stopped there)
    bool stopped() const { return tooManyCells || tooManyStrings || tooMuchText; }
};

// Checks an XML part of an .xlsx package a piece at a time, as it is unpacked: with a fast parser that
// builds nothing it proves the part well-formed, counts the shared texts against the limits, and in the
// first worksheet's part reads the cells that hold their text in place (which the package library does
// not read) and whether the part holds other values.
class PartScanner
{
public:
    PartScanner(const ReadOptions& options, SheetScan& scan, bool firstSheet);
    ~PartScanner();
    // False when the part is not well-formed XML; true also when the scan stopped at a limit.
    bool feed(QByteArrayView chunk, bool last);

private:
    struct State;
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> m_parser;
    std::unique_ptr<State> m_state;
};

// Reads an .xlsx package whose first worksheet part was scanned before.
Expected<Sheet> readXlsx(const QByteArray& bytes, SheetScan& scan, const ReadOptions& options);
// Reads the first table of an OpenDocument spreadsheet's content.xml.
Sheet readOdsContent(const QByteArray& content, const ReadOptions& options, const QString& damaged);

// An .xlsx text as it was typed: "_xHHHH_" stands for the character HHHH (a carriage return, say), which
// XML could not carry as it is.
QString unescapeXlsxText(QString text);

// The most bytes of a cell's UTF-8 that are decoded: more than the longest text a cell takes, even when
// written with an escape ("_x000D_") for each of its characters.
inline constexpr qsizetype kMaxCellBytes = 8 * qsizetype(kMaxCellCharacters);

// A cell's text kept up to one character past the longest a cell holds: enough to see that it is too long.
inline QString cutToCell(QString text)
{
    if (text.size() > kMaxCellCharacters)
        text.truncate(kMaxCellCharacters + 1);
    return text;
}

// The message for a workbook whose texts are more than kMaxTextBytes.
QString tooMuchTextMessage();

// The message for a workbook that has an opening password, whatever its format.
QString encryptedText();

// Whether bytes start with the length bytes of prefix (a format's magic number).
inline bool startsWith(QByteArrayView bytes, const char* prefix, qsizetype length)
{
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, std::size_t(length)) == 0;
}

// Whether a file's first bytes are those of an Excel workbook of the 97-2003 format or older: a compound
// file, a bare workbook stream, or the BOF record of the Excel 2.x to 4.0 formats.
inline bool isXlsHead(QByteArrayView head)
{
    return startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) || startsWith(head, "\x09\x08", 2) ||
           isOldXlsHead(head);
}

// The messages more than one reader gives.
inline QString outOfMemoryText()
{
    return QStringLiteral("无法读取该文件：内存不足");
}
inline QString tooManyCellsText()
{
    return QStringLiteral("无法读取该文件：工作簿中的单元格多得无法读取");
}
inline QString tooManyStringsText()
{
    return QStringLiteral("无法读取该文件：工作簿的共享文字表有 %1 万条以上，超过了可以读取的上限")
        .arg(kMaxSharedStrings / 10000);
}
inline QString noWorksheetText()
{
    return QStringLiteral("无法读取该文件：工作簿中没有工作表");
}

// The reading of a file refused with text.
inline Expected<Sheet> failed(const QString& text)
{
    return Result::failure(text, Result::Code::ReadFailed);
}

// The end of every reader: what it threw as the result.
template <typename Read> Expected<Sheet> guarded(Read&& read, const QString& damaged)
{
    try {
        Sheet sheet = read();
        sheet.rowCount(); // puts the cells in order now, so that reading them changes nothing
        return sheet;
    } catch (const Failure& failure) {
        return failed(failure.text);
    } catch (const Cancelled&) {
        return Result::cancelled(cancelledText());
    } catch (const std::bad_alloc&) {
        return failed(outOfMemoryText());
    } catch (...) {
        return failed(damaged);
    }
}

} // namespace sheet::detail
