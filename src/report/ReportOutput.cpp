#include "ReportOutput.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace {
// Paints the pages [from, to] (from 0) on a paged device. Empty on success or when cancelled.
QString renderPages(const ReportLayout& layout, QPagedPaintDevice& device, int from, int to,
                    const ReportProgress& progress, bool* cancelled)
{
    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("无法开始输出");
    const int total = to - from + 1;
    for (int page = from; page <= to; ++page) {
        if (progress && !progress(page - from, total)) {
            *cancelled = true;
            painter.end();
            return {};
        }
        if (page > from && !device.newPage()) {
            painter.end();
            return QStringLiteral("无法开始新的一页");
        }
        layout.paintOnDevice(painter, device, page);
    }
    if (!painter.end())
        return QStringLiteral("输出未能完成");
    if (progress)
        progress(total, total);
    return {};
}
} // namespace

Result writeReportPdf(const ReportLayout& layout, const QString& path, const ReportProgress& progress)
{
    bool stopped = false;
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(QStringLiteral("无法写入文件 “%1”：%2").arg(shown, file.errorString()));
    QString error;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(layout.pageLayout());
        writer.setResolution(int(ReportLayout::kUnitsPerInch));
        writer.setTitle(layout.report().name);
        writer.setCreator(QStringLiteral("岚枢"));
        error = renderPages(layout, writer, 0, layout.pageCount() - 1, progress, &stopped);
    }
    if (stopped || !error.isEmpty() || file.error() != QFileDevice::NoError) {
        const QString reason = error.isEmpty() ? file.errorString() : error;
        file.cancelWriting();
        return stopped ? Result::cancelled(QString())
                       : Result::failure(QStringLiteral("无法写入文件 “%1”：%2").arg(shown, reason));
    }
    if (!file.commit())
        return Result::failure(QStringLiteral("无法写入文件 “%1”：%2").arg(shown, file.errorString()));
    return Result::success();
}

Result printReport(const ReportLayout& layout, QPrinter& printer, const ReportProgress& progress)
{
    bool stopped = false;
    printer.setFullPage(true);
    int from = 0;
    int to = layout.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage() - 1, 0, to);
        to = std::clamp(printer.toPage() > 0 ? printer.toPage() - 1 : to, from, to);
    }
    const QString error = renderPages(layout, printer, from, to, progress, &stopped);
    if (!error.isEmpty())
        return Result::failure(QStringLiteral("打印失败：%1").arg(error));
    return stopped ? Result::cancelled(QString()) : Result::success();
}
