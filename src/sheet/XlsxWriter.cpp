#include "sheet/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <filesystem>
#include <system_error>

namespace sheet {

struct XlsxWriter::Data
{
    QString path;
    QString partPath;
    lxw_workbook* workbook = nullptr;
    lxw_worksheet* first = nullptr;
    int rows = 0;
    QString error;
    QByteArray utf8; // reused for every cell
};

namespace {

QString writeErrorText(const QString& path, lxw_error error)
{
    return QStringLiteral("无法写入 %1（%2）")
        .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(error)));
}

// A text that happens to hold "_xHHHH_" would be read as the character HHHH: its underscore is written as
// the escape of an underscore, as spreadsheet programs do.
QString protectEscapes(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression escape(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    QString protectedText = text;
    return protectedText.replace(escape, QStringLiteral("_x005F_\\1"));
}

} // namespace

XlsxWriter::XlsxWriter(const QString& path, int sheetCount) : d(std::make_unique<Data>())
{
    d->path = path;
    d->partPath = path + QStringLiteral(".part");
    QFile::remove(d->partPath);
    lxw_workbook_options options{};
    // Each row goes to the disk once the next one starts, its texts held in place: a long list takes
    // little memory and time (the shared text table would hold every text until the end).
    options.constant_memory = LXW_TRUE;
    const QByteArray tmp = QFile::encodeName(QFileInfo(path).absolutePath());
    options.tmpdir = const_cast<char*>(tmp.constData()); // copied by the library
    d->workbook = workbook_new_opt(QFile::encodeName(d->partPath).constData(), &options);
    if (!d->workbook) {
        d->error = QStringLiteral("无法创建工作簿 %1").arg(QDir::toNativeSeparators(path));
        return;
    }
    for (int i = 0; i < std::max(1, sheetCount); ++i) {
        lxw_worksheet* sheet = workbook_add_worksheet(d->workbook, nullptr);
        if (i == 0)
            d->first = sheet;
    }
    if (!d->first)
        d->error = QStringLiteral("无法创建工作簿 %1").arg(QDir::toNativeSeparators(path));
}

XlsxWriter::~XlsxWriter()
{
    if (d && d->workbook) {
        workbook_close(d->workbook);
        QFile::remove(d->partPath);
    }
}

int XlsxWriter::rowCount() const
{
    return d->rows;
}

Result XlsxWriter::appendRow(const QStringList& cells)
{
    if (!d->error.isEmpty())
        return Result::failure(d->error);
    if (d->rows >= MaxRows) {
        d->error = QStringLiteral("一张工作表最多只能放 %1 行").arg(MaxRows);
        return Result::failure(d->error, Result::Code::TooManyRows);
    }
    const auto row = lxw_row_t(d->rows);
    for (int column = 0; column < cells.size() && column < 16384; ++column) {
        const QString& text = cells.at(column);
        if (text.isEmpty())
            continue;
        if (text.size() > MaxTextLength) {
            d->error = QStringLiteral("第 %1 行第 %2 列有 %3 个字符，超过了一个单元格最多 %4 个字符的限制")
                           .arg(d->rows + 1)
                           .arg(column + 1)
                           .arg(text.size())
                           .arg(MaxTextLength);
            return Result::failure(d->error);
        }
        d->utf8 = protectEscapes(text).toUtf8();
        const lxw_error error =
            worksheet_write_string(d->first, row, lxw_col_t(column), d->utf8.constData(), nullptr);
        if (error != LXW_NO_ERROR) {
            d->error = writeErrorText(d->path, error);
            return Result::failure(d->error);
        }
    }
    ++d->rows;
    return Result::success();
}

Result XlsxWriter::save()
{
    if (!d->workbook) // saved already, or never begun
        return d->error.isEmpty() ? Result::success() : Result::failure(d->error);
    const lxw_error closed = workbook_close(d->workbook);
    d->workbook = nullptr;
    if (!d->error.isEmpty() || closed != LXW_NO_ERROR) {
        QFile::remove(d->partPath);
        return Result::failure(d->error.isEmpty() ? writeErrorText(d->path, closed) : d->error);
    }
    // Put in place in one step: until the new workbook takes the name, the old one stays whole under it.
    // A link under the name is replaced itself; the file it pointed to is left as it was.
    std::error_code failed;
    std::filesystem::rename(QFile(d->partPath).filesystemFileName(), QFile(d->path).filesystemFileName(),
                            failed);
    if (failed) {
        QFile::remove(d->partPath);
        return Result::failure(
            QStringLiteral("无法写入 %1（%2）")
                .arg(QDir::toNativeSeparators(d->path), QString::fromLocal8Bit(failed.message())));
    }
    return Result::success();
}

} // namespace sheet
