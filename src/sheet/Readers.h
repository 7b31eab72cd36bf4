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

// Reads an .xlsx package; sheetXml, when not empty, is its first worksheet's part, read again for the
// texts held in place.
ReadResult readXlsx(const QByteArray& bytes, const QByteArray& sheetXml, const ReadOptions& options);

// Reads the first table of an OpenDocument spreadsheet's content.xml.
Sheet readOdsContent(const QByteArray& content, const ReadOptions& options, const QString& damaged);

// Adds the cells of an .xlsx worksheet part that hold their text in place ("inlineStr", as some programs
// write them) to sheet.
void addInlineStrings(const QByteArray& sheetXml, const ReadOptions& options, Sheet& sheet);

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
