#pragma once

// The readers behind readTable, each for one format, each on the whole file in memory.

#include "sheet/XlsReader.h"

#include <QByteArray>

namespace sheet::detail {

struct Failure
{
    QString text;
};
struct Cancelled
{
};

// Reads a .csv file's bytes (UTF-8 with or without its mark, UTF-16 with its mark, else GB18030).
ReadResult readCsv(const QByteArray& bytes, const ReadOptions& options);

// What one pass over an .xlsx package's first worksheet part found.
struct SheetScan
{
    bool scanned = false;        // the part was found and read
    Sheet inlineCells;           // the cells that hold their text in place ("inlineStr", as some programs
                                 // write every text), in the kept columns
    bool hasOtherValues = false; // cells with a value of another kind (numbers, shared texts, formulas)
    bool tooManyCells = false;   // more cells than are ever read (the pass stopped there)
};

// Reads an .xlsx package whose first worksheet part was scanned before.
ReadResult readXlsx(const QByteArray& bytes, SheetScan& scan, const ReadOptions& options);
// Reads the first table of an OpenDocument spreadsheet's content.xml.
Sheet readOdsContent(const QByteArray& content, const ReadOptions& options, const QString& damaged);

// Reads an .xlsx worksheet part with a fast XML parser, which also proves it well-formed (false when it is
// not): the cells that hold their text in place (which the package library does not read), and whether
// the part holds other values.
bool scanSheet(const QByteArray& sheetXml, const ReadOptions& options, SheetScan& scan);

// An .xlsx text as it was typed: "_xHHHH_" stands for the character HHHH (a carriage return, say), which
// XML could not carry as it is.
QString unescapeXlsxText(QString text);

// The message for a workbook that has an opening password, whatever its format.
QString encryptedText();

// The end of every reader: what it threw as the result.
template <typename Read> ReadResult guarded(Read&& read, const QString& damaged)
{
    ReadResult result;
    try {
        result.sheet = read();
        result.sheet.rowCount(); // puts the cells in order now, so that reading them changes nothing
        result.ok = true;
    } catch (const Failure& failure) {
        result.sheet = Sheet();
        result.error = failure.text;
    } catch (const Cancelled&) {
        result.sheet = Sheet();
        result.cancelled = true;
        result.error = QStringLiteral("已取消读取");
    } catch (const std::bad_alloc&) {
        result.sheet = Sheet();
        result.error = QStringLiteral("无法读取该文件：内存不足");
    } catch (...) {
        result.sheet = Sheet();
        result.error = damaged;
    }
    return result;
}

} // namespace sheet::detail
