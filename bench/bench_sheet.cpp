// Figures for the spreadsheet layer: writing a workbook of 65,535 rows x 10 text columns (the export),
// reading one of 65,535 rows x 9 columns back (the import) and turning every cell into text, and the peak
// memory of the process. Usage: bench_sheet [folder for the files, default a temporary folder]
#include "sheet/XlsReader.h"
#include "sheet/XlsWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int Rows = 65535;

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024; // kilobytes on Linux
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A row that looks like a portfolio entry: mostly distinct texts, some repeated ones, some empty cells.
QStringList domainRow(int i, int columns)
{
    QStringList row;
    row << QStringLiteral("%1").arg(i + 1) << QStringLiteral("shop%1-域名.com").arg(i)
        << QStringLiteral("精品双拼域名，适合电商 %1").arg(i % 977) << QStringLiteral("阿里云")
        << QStringLiteral("https://dc.example.com/manage?id=%1").arg(i * 7)
        << QStringLiteral("2021-03-%1").arg(1 + i % 28) << QStringLiteral("2031-03-%1").arg(1 + i % 28)
        << (i % 3 ? QString() : QStringLiteral("续费提醒")) << QStringLiteral("pw%1!").arg(i * 31 % 100000)
        << QStringLiteral("%1").arg((i % 500) * 100 + 88);
    return row.mid(row.size() - columns);
}

// One phase in this process: "prepare" writes the import file, "export" and "import" time their work.
int runPhase(const QString& phase, const QString& dir)
{
    const QString exportPath = dir + QStringLiteral("/bench_export.xls");
    const QString importPath = dir + QStringLiteral("/bench_import.xls");
    if (phase == QLatin1String("prepare")) {
        sheet::XlsWriter writer(1);
        for (int i = 0; i < Rows; ++i)
            writer.appendRow(0, domainRow(i, 9));
        const QString error = writer.save(importPath).error();
        if (!error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return error.isEmpty() ? 0 : 1;
    }
    std::vector<double> first, second;
    for (int run = 0; run < 5; ++run) {
        std::vector<QStringList> rows; // the texts as the domain list would hand them over
        if (phase == QLatin1String("export")) {
            rows.reserve(Rows);
            for (int i = 0; i < Rows; ++i)
                rows.push_back(domainRow(i, 10));
        }
        QElapsedTimer timer;
        timer.start();
        if (phase == QLatin1String("export")) {
            sheet::XlsWriter writer;
            for (const QStringList& row : rows)
                writer.appendRow(0, row);
            first.push_back(timer.nsecsElapsed() / 1e6);
            timer.restart();
            if (const QString error = writer.save(exportPath).error(); !error.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            second.push_back(timer.nsecsElapsed() / 1e6);
        } else {
            const Expected<sheet::Sheet> result = sheet::readFirstSheet(importPath);
            first.push_back(timer.nsecsElapsed() / 1e6);
            if (!result.ok() || result.value().rowCount() != Rows) {
                std::fprintf(stderr, "read failed: %s\n", qPrintable(result.error()));
                return 1;
            }
            timer.restart();
            qsizetype chars = 0;
            const QLocale locale(QLocale::Chinese, QLocale::China);
            for (int r = 0; r < result.value().rowCount(); ++r) {
                for (int c = 0; c < 9; ++c)
                    chars += sheet::cellToText(result.value().cell(r, c), locale).size();
            }
            second.push_back(timer.nsecsElapsed() / 1e6);
            if (chars == 0)
                return 1;
        }
    }
    if (phase == QLatin1String("export")) {
        std::printf("export: %d rows x 10 columns, %.1f MB file\n", Rows, QFileInfo(exportPath).size() / 1e6);
        std::printf("  appendRow, all rows  %8.1f ms (median of 5)\n", median(first));
        std::printf("  save()               %8.1f ms (median of 5)\n", median(second));
        std::vector<double> total(first.size());
        for (std::size_t i = 0; i < first.size(); ++i)
            total[i] = first[i] + second[i];
        std::printf("  both                 %8.1f ms (median of 5)\n", median(total));
    } else {
        std::printf("import: %d rows x 9 columns, %.1f MB file\n", Rows, QFileInfo(importPath).size() / 1e6);
        std::printf("  readFirstSheet()     %8.1f ms (median of 5)\n", median(first));
        std::printf("  cellToText, all      %8.1f ms (median of 5)\n", median(second));
    }
    std::printf("  peak RSS of the process %5ld MB\n", peakRssMb());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--phase"))
        return runPhase(args[2], args[3]);

    // Each phase runs in a process of its own, so that its peak memory is its own.
    QTemporaryDir tmp;
    const QString dir = args.size() > 1 ? args[1] : tmp.path();
    for (const char* phase : {"prepare", "export", "import"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QStringLiteral("--phase"), QString::fromLatin1(phase), dir});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
