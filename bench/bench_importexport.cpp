// Figures for the spreadsheet import and export, end to end with the workbook and the encrypted
// database file on disk: importing a workbook of 65,535 domains (.xls, .xlsx and .csv) into an empty
// portfolio (read the file, store every row, reload the list), exporting a list of 65,535 domains to
// yuming.xls, and a list of 200,000 domains to yuming.xlsx.
// Each run is a process of its own, so that its peak memory is its own.
//
//   bench_importexport [rows] [runs] [large rows]
//   bench_importexport --make <workbook> [rows]      only writes the workbook (.xls, .xlsx or .csv)
//   bench_importexport --import <folder> <workbook>  one import into <folder>/service.dll
//   bench_importexport --export <folder> [name]      one export of <folder>/service.dll to name
//   bench_importexport --headings [rows] [portfolio] [runs]
//                                  a sheet of 65,535 domains under a heading row, one in ten already in a
//                                  portfolio of 1,000,000: imported by its headings (preview worked out with
//                                  the duplicate check, then stored) beside the same file imported as before
//   bench_importexport --by-headings|--as-before <folder> <workbook> [update]
//                                  one run of either on <folder>/service.dll (update: the domains already
//                                  there are updated with the sheet's filled values instead of skipped)
//   bench_importexport --make-headings <workbook.csv> [rows]   only writes that sheet
#include "DomainGenerator.h"
#include "db/DataModule.h"
#include "db/Schema.h"
#include "entry/HeadingMap.h"
#include "entry/ImportPlan.h"
#include "entry/Importer.h"
#include "portfolio/ExportCore.h"
#include "sheet/TableReader.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Processor time of this process so far (user and system): on a busy machine the wall-clock figure
// also holds the time spent waiting for a processor.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

int fail(const char* what, const QString& error)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(error));
    return 1;
}

// A value of a .csv file, quoted when it holds a separator, a quote or a line break.
QString csvValue(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A workbook of generated domains: one domain per row, a1..a9 in columns A..I; its kind by its name's
// ending.
QString makeWorkbook(int rows, const QString& workbook)
{
    benchgen::DomainMaker maker;
    if (workbook.endsWith(QLatin1String(".xlsx"))) {
        sheet::XlsxWriter writer(workbook, 1);
        for (int r = 0; r < rows; ++r) {
            if (const Result added = writer.appendRow(maker.next()); !added.ok())
                return added.error();
        }
        return writer.save().error();
    }
    if (workbook.endsWith(QLatin1String(".csv"))) {
        QFile file(workbook);
        if (!file.open(QIODevice::WriteOnly))
            return file.errorString();
        QString text;
        for (int r = 0; r < rows; ++r) {
            QStringList values = maker.next();
            for (QString& value : values)
                value = csvValue(value);
            text += values.join(QLatin1Char(',')) + QLatin1String("\r\n");
        }
        file.write(text.toUtf8());
        return file.error() == QFileDevice::NoError ? QString() : file.errorString();
    }
    sheet::XlsWriter writer(1);
    for (int r = 0; r < rows; ++r)
        writer.appendRow(0, maker.next());
    return writer.save(workbook).error();
}

// One import into a new, empty database file: read, store, reload the list.
int runImport(const QString& dir, const QString& workbook)
{
    const QString file = dir + QStringLiteral("/service.dll");
    QFile::remove(file);
    QString error = schema::createShippedDatabase(file).error();
    if (!error.isEmpty())
        return fail("create", error);
    auto moduleMade = TDataModule2::create(file);
    error = moduleMade.error();
    auto module = moduleMade.take();
    if (!module)
        return fail("open", error);

    // The steps of importer::importWorkbook, timed one by one, then the reload of the list.
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds();
    sheet::ReadOptions options;
    options.columns = importer::kReadColumns;
    const Expected<sheet::Sheet> read = sheet::readTable(workbook, options);
    if (!read.ok())
        return fail("read", read.error());
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    const importer::Outcome result = importer::storeSheet(module->Conn_service(), read.value());
    if (!result.ok())
        return fail("import", result.error());
    const double storeSeconds = double(timer.nsecsElapsed()) / 1e9 - readSeconds;
    error = module->Query_a()->open().error();
    if (!error.isEmpty())
        return fail("reopen", error);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    std::printf("import %-5s %6d rows  %.3f s (cpu %.3f s)  peak %.1f MB  (read %.3f s, store %.3f s, reload "
                "list %.3f s)\n",
                qPrintable(QFileInfo(workbook).suffix()), module->Query_a()->recordCount(), seconds, cpu,
                peakMb(), readSeconds, storeSeconds, seconds - readSeconds - storeSeconds);
    return 0;
}

// One export of the whole list (as the list holds it after start-up) to yuming.xls (or the name given).
int runExport(const QString& dir, const QString& name)
{
    QString error;
    QDir::setCurrent(dir); // the program works in its own folder, where the database file lies
    QElapsedTimer timer;
    timer.start();
    auto moduleMade = TDataModule2::create(dir + QStringLiteral("/service.dll"));
    error = moduleMade.error();
    auto module = moduleMade.take();
    if (!module)
        return fail("open", error);
    // The whole list, as the export sees it (the list reads its rows in steps after the first screen).
    error = module->Query_a()->finishFill().error();
    if (!error.isEmpty())
        return fail("load", error);
    const double load = double(timer.nsecsElapsed()) / 1e9;

    timer.restart();
    const double cpuStart = cpuSeconds();
    const QString path = dir + QLatin1Char('/') + name;
    QFile::remove(path);
    const Result result = exporter::writeWorkbook(*module->Query_a(), path);
    if (!result.ok())
        return fail("export", result.error());
    module->Query_a()->last();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    std::printf(
        "export %-5s %6d rows  %.3f s (cpu %.3f s)  peak %.1f MB  (list loaded before in %.3f s, %lld "
        "bytes written)\n",
        qPrintable(QFileInfo(path).suffix()), module->Query_a()->recordCount(), seconds, cpu, peakMb(), load,
        QFile(path).size());
    return 0;
}

// A workbook (.csv) of rows domains under the heading row of a registrar's export, columns in their own
// order; every tenth row is a domain of the generated portfolio (the first ones DomainMaker gives), with a
// new price.
QString makeHeadingWorkbook(int rows, const QString& workbook)
{
    benchgen::DomainMaker fresh(7u);
    benchgen::DomainMaker known; // the portfolio's own sequence
    QFile file(workbook);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QString text = QStringLiteral("Domain Name,Expiration Date,Registrar,Auto Renew,Created,Price,Notes\r\n");
    for (int r = 0; r < rows; ++r) {
        QStringList v = r % 10 == 0 ? known.next() : fresh.next();
        if (r % 10 == 0)
            v[8] = QString::number(r);
        const QStringList cells{v[0], v[5], v[2], QStringLiteral("Yes"), v[4], QStringLiteral("$ ") + v[8],
                                v[6]};
        QStringList quoted;
        for (const QString& cell : cells)
            quoted.append(csvValue(cell));
        text += quoted.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    file.write(text.toUtf8());
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

// One import of the workbook into <folder>/service.dll: by its headings (the preview's plan with the
// duplicate check, then storing it), or as before (every row from row 1 by position).
int runHeadingImport(const QString& dir, const QString& workbook, bool byHeadings,
                     importplan::Duplicates duplicates = importplan::Duplicates::Skip)
{
    QString error;
    auto moduleMade = TDataModule2::create(dir + QStringLiteral("/service.dll"));
    error = moduleMade.error();
    auto module = moduleMade.take();
    if (!module)
        return fail("open", error);
    // The list as the program holds it once started: every domain read.
    if (const QString filled = module->Query_a()->finishFill().error(); !filled.isEmpty())
        return fail("load", filled);
    const int before = [&] {
        Dataset count(module->Conn_service());
        count.setSql(QStringLiteral("select count(*) from tt_a"));
        return count.open().ok() ? count.value(0, 0).toInt() : -1;
    }();
    QElapsedTimer timer;
    timer.start();
    sheet::ReadOptions options;
    options.columns = headingmap::kReadColumns;
    const Expected<sheet::Sheet> read = sheet::readTable(workbook, options);
    if (!read.ok())
        return fail("read", read.error());
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    timer.restart();
    double cpu = cpuSeconds();
    double previewSeconds = 0;
    double previewCpu = 0;
    int stored = 0;
    QString counts;
    if (byHeadings) {
        const auto columns = headingmap::detect(read.value(), headingmap::kReadColumns);
        if (!columns)
            return fail("headings", QStringLiteral("not recognised"));
        importplan::Portfolio portfolio;
        if (const Result loaded =
                importplan::loadPortfolio(module->Conn_service(), &portfolio, module->Query_a());
            !loaded.ok())
            return fail("portfolio", loaded.error());
        const double portfolioSeconds = double(timer.nsecsElapsed()) / 1e9;
        importplan::Settings settings;
        settings.fields = columns->fields;
        settings.duplicates = duplicates;
        const importplan::Plan plan = importplan::Plan::build(read.value(), settings, portfolio);
        previewSeconds = double(timer.nsecsElapsed()) / 1e9;
        previewCpu = cpuSeconds() - cpu;
        cpu = cpuSeconds();
        timer.restart();
        const importplan::Outcome outcome = importplan::apply(module->Conn_service(), plan);
        if (!outcome.ok())
            return fail("import", outcome.error());
        stored = int(outcome.undo.added.size());
        counts = QStringLiteral("added %1, updated %2, skipped %3; names of the portfolio read in %4 s")
                     .arg(plan.counts().added)
                     .arg(plan.counts().updated)
                     .arg(plan.counts().skipped)
                     .arg(portfolioSeconds, 0, 'f', 3);
    } else {
        const importer::Outcome result = importer::storeSheet(module->Conn_service(), read.value());
        if (!result.ok())
            return fail("import", result.error());
        stored = result.rowsStored;
    }
    const double storeSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double storeCpu = cpuSeconds() - cpu;
    cpu = cpuSeconds();
    timer.restart();
    error = module->Query_a()->open().error();
    if (!error.isEmpty())
        return fail("reopen", error);
    const double reloadSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double reloadCpu = cpuSeconds() - cpu;
    std::printf(
        "%s: portfolio %d, %d rows stored%s\n  read %.3f s | preview %.3f s (cpu %.3f s) | store %.3f s "
        "(cpu %.3f s) | reload list %.3f s (cpu %.3f s) | import (store + reload) %.3f s (cpu %.3f s)  peak "
        "%.1f MB\n",
        byHeadings ? (duplicates == importplan::Duplicates::Update ? "by headings, known names updated"
                                                                   : "by headings, known names skipped")
                   : "as before",
        before, stored, counts.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + counts + QLatin1Char(')')),
        readSeconds, previewSeconds, previewCpu, storeSeconds, storeCpu, reloadSeconds, reloadCpu,
        storeSeconds + reloadSeconds, storeCpu + reloadCpu, peakMb());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == QLatin1String("--import"))
        return runImport(args[2], args[3]);
    if (args.size() > 2 && args[1] == QLatin1String("--export"))
        return runExport(args[2], args.size() > 3 ? args[3] : exporter::kFileName);
    if (args.size() > 3 &&
        (args[1] == QLatin1String("--by-headings") || args[1] == QLatin1String("--as-before")))
        return runHeadingImport(args[2], args[3], args[1] == QLatin1String("--by-headings"),
                                args.value(4) == QLatin1String("update") ? importplan::Duplicates::Update
                                                                         : importplan::Duplicates::Skip);
    if (args.size() > 2 && args[1] == QLatin1String("--make-headings")) {
        const QString error =
            makeHeadingWorkbook(args.size() > 3 ? args[3].toInt() : exporter::kMaxDomains, args[2]);
        return error.isEmpty() ? 0 : fail("workbook", error);
    }
    if (args.size() > 1 && args[1] == QLatin1String("--headings")) {
        const int rows = args.size() > 2 ? args[2].toInt() : exporter::kMaxDomains;
        const int portfolioRows = args.size() > 3 ? args[3].toInt() : 1000000;
        const int runs = args.size() > 4 ? args[4].toInt() : 2;
        QTemporaryDir dir;
        const QString workbook = dir.filePath(QStringLiteral("registrar.csv"));
        if (const QString error = makeHeadingWorkbook(rows, workbook); !error.isEmpty())
            return fail("workbook", error);
        const QString master = dir.filePath(QStringLiteral("portfolio.dll"));
        QElapsedTimer timer;
        timer.start();
        if (const QString error = benchgen::generateDomains(master, portfolioRows); !error.isEmpty())
            return fail("generate", error);
        std::printf("portfolio of %d domains generated in %.1f s; sheet of %d rows under a heading row\n",
                    portfolioRows, double(timer.elapsed()) / 1000.0, rows);
        std::fflush(stdout);
        for (int i = 0; i < runs; ++i) {
            // The known names skipped, then updated from the sheet.
            for (const QStringList& mode :
                 {QStringList{QStringLiteral("--as-before")}, QStringList{QStringLiteral("--by-headings")},
                  QStringList{QStringLiteral("--by-headings"), QString()}}) {
                const QString copy = dir.filePath(QStringLiteral("service.dll"));
                QFile::remove(copy);
                if (!QFile::copy(master, copy))
                    return fail("copy", copy);
                QProcess child;
                child.setProcessChannelMode(QProcess::ForwardedChannels);
                child.start(app.applicationFilePath(),
                            {mode.first(), dir.path(), workbook,
                             mode.size() > 1 ? QStringLiteral("update") : QString()});
                child.waitForFinished(-1);
                if (child.exitCode() != 0)
                    return 1;
            }
        }
        return 0;
    }
    if (args.size() > 2 && args[1] == QLatin1String("--make")) {
        const QString error =
            makeWorkbook(args.size() > 3 ? args[3].toInt() : exporter::kMaxDomains, args[2]);
        return error.isEmpty() ? 0 : fail("workbook", error);
    }

    const int rows = args.size() > 1 ? args[1].toInt() : exporter::kMaxDomains;
    const int runs = args.size() > 2 ? args[2].toInt() : 3;
    const int largeRows = args.size() > 3 ? args[3].toInt() : 200000;
    QTemporaryDir dir;
    auto run = [&](const QStringList& phase) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), phase);
        child.waitForFinished(-1);
        return child.exitCode();
    };
    for (const QString& ending : {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")}) {
        const QString workbook = dir.filePath(QStringLiteral("domains.") + ending);
        const QString error = makeWorkbook(rows, workbook);
        if (!error.isEmpty())
            return fail("workbook", error);
        std::printf("workbook of %d domains: %lld bytes (.%s)\n", rows, QFile(workbook).size(),
                    qPrintable(ending));
        std::fflush(stdout);
        for (int i = 0; i < runs; ++i) {
            if (run({QStringLiteral("--import"), dir.path(), workbook}) != 0)
                return 1;
        }
    }
    // The last import left a list of rows domains: exported to .xls.
    for (int i = 0; i < runs; ++i) {
        if (run({QStringLiteral("--export"), dir.path()}) != 0)
            return 1;
    }
    // A list longer than one .xls sheet holds goes to .xlsx.
    const QString large = dir.filePath(QStringLiteral("large"));
    QDir().mkpath(large);
    if (const QString error = benchgen::generateDomains(large + QStringLiteral("/service.dll"), largeRows);
        !error.isEmpty())
        return fail("generate", error);
    for (int i = 0; i < runs; ++i) {
        if (run({QStringLiteral("--export"), large, exporter::kLargeFileName}) != 0)
            return 1;
    }
    return 0;
}
