#include "ExportCore.h"

#include "db/Dataset.h"
#include "db/DomainRecord.h"

namespace exporter {

QString tooManyRowsText(int count)
{
    return QStringLiteral("列表中有 %1 个域名，而一张 xls 工作表除表头外最多只能放 %2 个，因此没有导出。\n"
                          "请先用速查缩小列表，再分几次导出。")
        .arg(count)
        .arg(kMaxDomains);
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

Result writeWorkbook(const Dataset& query, const QString& path)
{
    Result result;
    const int rows = query.recordCount();
    if (rows > kMaxDomains) {
        result.status = Result::Status::TooManyRows;
        result.error = tooManyRowsText(rows);
        return result;
    }

    // The sheets a new workbook has, plus one more, empty, after them.
    sheet::XlsWriter workbook(2);
    const int fields = query.fieldCount();
    const QStringList& titles = DomainRecord::titles();
    workbook.appendRow(0, titles.mid(0, fields));
    QStringList cells;
    cells.reserve(fields);
    for (int row = 0; row < rows; ++row) {
        cells.clear();
        for (int field = 0; field < fields; ++field) {
            const std::string_view v = query.rawValue(row, field);
            cells.append(QString::fromUtf8(v.data(), qsizetype(v.size())));
        }
        // A cell holds at most so many characters: the domain and the field that do not fit are named.
        for (int field = 0; field < fields; ++field) {
            if (cells[field].size() > sheet::XlsWriter::MaxTextLength) {
                result.status = Result::Status::SaveFailed;
                result.error = tooLongText(cells.value(1), titles.value(field), int(cells[field].size()));
                return result;
            }
        }
        workbook.appendRow(0, cells);
    }
    const QString error = workbook.save(path);
    if (!error.isEmpty()) {
        result.status = Result::Status::SaveFailed;
        result.error = error;
    }
    return result;
}

} // namespace exporter
