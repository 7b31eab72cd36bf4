#include "ExportCore.h"

#include "db/Dataset.h"
#include "db/DomainRecord.h"

namespace exporter {

QString fileNameFor(int domains)
{
    return domains > kMaxDomains ? kLargeFileName : kFileName;
}

QString tooManyRowsText(int count, int limit)
{
    return QStringLiteral("列表中有 %1 个域名，而一张%2工作表除表头外最多只能放 %3 个，因此没有导出。\n"
                          "请先用速查缩小列表，再分几次导出。")
        .arg(count)
        .arg(limit == kMaxDomains ? QStringLiteral(" xls ") : QStringLiteral(" xlsx "))
        .arg(limit);
}

QString tooLongText(const QString& domain, const QString& field, int length)
{
    constexpr int Shown = 60; // a domain longer than this is shortened in the message
    const QString name = domain.size() > Shown ? domain.left(Shown) + QStringLiteral("…") : domain;
    return QStringLiteral("域名“%1”的“%2”有 %3 个字符，超过了 Excel 单元格最多 %4 个字符的限制。")
        .arg(name, field)
        .arg(length)
        .arg(sheet::XlsWriter::MaxTextLength);
}

namespace {

// Writes the heading row and then each row of query through append (a row of texts in, its Result out),
// then calls save.
template <typename Append, typename Save>
Result writeRows(const Dataset& query, int maxTextLength, const std::function<void(int, int)>& progress,
                 Append&& append, Save&& save)
{
    const int rows = query.recordCount();
    const int fields = query.fieldCount();
    const QStringList& titles = DomainRecord::titles();
    Result written = append(titles.mid(0, fields));
    QStringList cells;
    cells.reserve(fields);
    for (int row = 0; row < rows && written.ok(); ++row) {
        cells.clear();
        for (int field = 0; field < fields; ++field) {
            const std::string_view v = query.rawValue(row, field);
            cells.append(QString::fromUtf8(v.data(), qsizetype(v.size())));
        }
        // A cell holds at most so many characters: the domain and the field that do not fit are named.
        for (int field = 0; field < fields; ++field) {
            if (cells[field].size() > maxTextLength) {
                return Result::failure(
                    tooLongText(cells.value(1), titles.value(field), int(cells[field].size())));
            }
        }
        written = append(cells);
        if (progress && (row & 4095) == 4095)
            progress(row + 1, rows);
    }
    if (written.ok())
        written = save();
    return written;
}

Result tooManyRows(int rows, int limit)
{
    return Result::failure(tooManyRowsText(rows, limit), Result::Code::TooManyRows);
}

} // namespace

Result writeWorkbook(const Dataset& query, const QString& path, const std::function<void(int, int)>& progress)
{
    const int rows = query.recordCount();
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        if (rows > kMaxLargeDomains)
            return tooManyRows(rows, kMaxLargeDomains);
        // The sheets a new workbook has, plus one more, empty, after them; rows go straight to the disk.
        sheet::XlsxWriter workbook(path, 2);
        return writeRows(
            query, sheet::XlsxWriter::MaxTextLength, progress,
            [&](const QStringList& cells) { return workbook.appendRow(cells); },
            [&] { return workbook.save(); });
    }
    if (rows > kMaxDomains)
        return tooManyRows(rows, kMaxDomains);
    // The sheets a new workbook has, plus one more, empty, after them.
    sheet::XlsWriter workbook(2);
    return writeRows(
        query, sheet::XlsWriter::MaxTextLength, progress,
        [&](const QStringList& cells) {
            workbook.appendRow(0, cells);
            return Result::success();
        },
        [&] { return workbook.save(path); });
}

} // namespace exporter
