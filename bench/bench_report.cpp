// bench_report [--keep DIR] [count ...]: the shipped reports (the domain list and the price list) over
// generated domains (10,000 and 100,000 by default): layout, PDF written to disk, and the time until the
// preview has painted its first page, with the peak memory of the process.
#include "DomainGenerator.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/Dataset.h"
#include "db/Expiry.h"
#include "platform/Platform.h"
#include "portfolio/RvData.h"
#include "report/ReportLayout.h"
#include "report/ReportOutput.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {
double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Processor time of the process in milliseconds: on a machine shared with other work, the wall
// clock says more about the neighbours than about the report.
double cpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

// Peak resident memory of the process in MiB (Linux).
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Platform::tuneMemory(); // as the program does at start
    QApplication app(argc, argv);
    QList<int> counts;
    QString keep; // --keep DIR: the PDFs are copied there, to be looked at
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--keep" && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else
            counts << std::max(1, atoi(argv[i]));
    }
    if (counts.isEmpty())
        counts = {10000, 100000};

    ReportProject project;
    QString error = project.open(QStringLiteral(LANSHU_SOURCE_DIR "/resources/shipped/yuming.rav"));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int count : counts) {
        QTemporaryDir dir;
        const QString file = dir.filePath(Connection::kFileName);
        error = benchgen::generateDomains(file, count);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "generate: %s\n", qPrintable(error));
            return 1;
        }
        QDir::setCurrent(dir.path());
        auto dataMade = TDataModule2::create();
        error = dataMade.error();
        auto data = dataMade.take();
        if (!data) {
            std::fprintf(stderr, "open: %s\n", qPrintable(error));
            return 1;
        }
        // The list reads its rows in steps after the start: wait for the whole list.
        Dataset* query = data->Query_a();
        while (query->isFilling())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (query->recordCount() != count) {
            std::fprintf(stderr, "the list holds %d rows, not %d\n", query->recordCount(), count);
            return 1;
        }
        const RvData rows(query);
        std::printf("%d domains\n", count);

        for (const ReportDefinition& report : project.reports()) {
            // The price list as the program runs it: its header filled in, expiry dates read as the
            // list reads them, the domains expired by the day of printing left out.
            ReportContext context{QDate(2026, 1, 1), {}, {}, {}};
            context.values = {{QStringLiteral("seller"), QStringLiteral("青云域名工作室")},
                              {QStringLiteral("phone"), QStringLiteral("138 0000 1111")},
                              {QStringLiteral("email"), QStringLiteral("sale@qingyun.cn")},
                              {QStringLiteral("note"), QStringLiteral("诚意出售，支持平台担保交易")}};
            context.readDay = [](const QString& text) { return expiry::parse(text); };
            std::printf(" %s\n", qPrintable(report.name));

            // Preview: layout, then the window up with its first page painted.
            QElapsedTimer clock;
            clock.start();
            {
                ReportLayout layout(report, rows, context);
                layout.prepare();
                const double laidOut = msSince(clock);
                ReportPreview preview(layout, {});
                preview.show();
                while (preview.view()->paintedPages() == 0)
                    QCoreApplication::processEvents();
                std::printf("  preview, first page painted: %8.0f ms (layout %.0f ms, %d pages)\n",
                            msSince(clock), laidOut, layout.pageCount());
                clock.restart();
                preview.view()->showPage(layout.pageCount() / 2);
                preview.view()->viewport()->repaint();
                std::printf("  preview, jump to a middle page: %5.1f ms\n", msSince(clock));
            }

            // PDF: layout and every page written, file on disk.
            clock.restart();
            const double cpuStart = cpuMs();
            ReportLayout layout(report, rows, context);
            layout.prepare();
            const QString pdf = dir.filePath(QStringLiteral("yuming.pdf"));
            error = writeReportPdf(layout, pdf).error();
            if (!error.isEmpty()) {
                std::fprintf(stderr, "pdf: %s\n", qPrintable(error));
                return 1;
            }
            std::printf("  to PDF: %8.0f ms, processor %.0f ms (%d rows, %d left out, %d pages, %.1f MiB)\n",
                        msSince(clock), cpuMs() - cpuStart, layout.rowCount(), layout.omittedRows(),
                        layout.pageCount(), double(QFileInfo(pdf).size()) / (1024 * 1024));
            if (!keep.isEmpty())
                QFile::copy(pdf,
                            QDir(keep).filePath(QStringLiteral("%1-%2.pdf").arg(count).arg(report.name)));
        }
        std::printf("  peak memory so far: %.0f MiB\n", peakMiB());
    }
    return 0;
}
