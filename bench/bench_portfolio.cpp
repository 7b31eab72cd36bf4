// bench_portfolio [count]: figures for the portfolio panel over a generated database of count domains
// (100,000 by default): one search keystroke against the bare sqlcipher shell running the same select,
// a heading sort, a reset of the rows with the list repainted, and moving the current row with the detail
// pane repainted.
#include "DomainGenerator.h"
#include "Timing.h"
#include "WarmShell.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/Sql.h"
#include "portfolio/DomainListModel.h"
#include "portfolio/Fr_guanli.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
using benchtime::median;
using benchtime::msSince;

QString sqlQuoted(QString text)
{
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}
} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's look (style, palette basics and skin sheet), which painting times depend on.
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFile skin(QStringLiteral(":/skin/skin.qss"));
    if (skin.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(skin.readAll()));
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    // Optional second argument: only one part ("search", "sort", "reset" or "move"), e.g. for a profiler.
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    auto wanted = [&only](const char* part) { return only.isEmpty() || only == QLatin1String(part); };

    QTemporaryDir dir;
    const QString file = dir.filePath(Connection::kFileName);
    auto data = benchgen::openGeneratedPortfolio(dir.path(), count);
    if (!data)
        return 1;
    QElapsedTimer clock;
    TFr_guanli panel;
    panel.resize(852, 593);
    panel.bindData(data.get());
    panel.show();
    QCoreApplication::processEvents();
    Dataset* query = data->Query_a();

    // --- search keystrokes: typing "haoming" one letter at a time, then other fragments ---
    const QStringList texts = {QStringLiteral("h"),     QStringLiteral("ha"),      QStringLiteral("hao"),
                               QStringLiteral("haom"),  QStringLiteral("haoming"), QStringLiteral("8"),
                               QStringLiteral("cloud"), QStringLiteral("中文"),    QStringLiteral("a_c"),
                               QStringLiteral("")};
    const int reps = 7;
    if (wanted("search")) {
        std::vector<double> keystroke, keystrokePainted, shellTimes, ratios;
        const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
        const int cachePages = programCachePages(file);
        std::printf("\nsearch keystroke (statement, rows fetched, model reset), median of %d runs each:\n",
                    reps);
        std::printf("  %-10s %8s %10s %12s %12s %7s\n", "text", "rows", "panel ms", "+paint ms", "shell ms",
                    "ratio");
        for (const QString& text : texts) {
            std::vector<double> panelRuns, paintedRuns, shellRuns;
            for (int i = 0; i < reps; ++i) {
                panel.searchBox()->blockSignals(true);
                panel.searchBox()->setText(QStringLiteral("\x01"));
                panel.searchBox()->blockSignals(false);
                clock.restart();
                panel.searchBox()->setText(text); // one change of the box: the search runs at once
                panelRuns.push_back(msSince(clock));
                QCoreApplication::processEvents(); // the repaint that follows
                paintedRuns.push_back(msSince(clock));
            }
            if (!shell.isEmpty() && !only.isEmpty()) {
            } else if (!shell.isEmpty()) {
                const QString select =
                    QStringLiteral("select * from tt_a where a1 like '%%1%' order by aid desc;")
                        .arg(sqlQuoted(text));
                shellRuns.push_back(warmShellMs(file, select.chopped(1), cachePages));
            }
            const double p = median(panelRuns), s = median(shellRuns);
            keystroke.push_back(p);
            keystrokePainted.push_back(median(paintedRuns));
            shellTimes.push_back(s);
            if (s > 0)
                ratios.push_back(p / s);
            std::printf("  %-10s %8d %10.2f %12.2f %12.2f %7.2f\n",
                        qPrintable(text.isEmpty() ? QStringLiteral("(empty)") : text), query->recordCount(),
                        p, median(paintedRuns), s, s > 0 ? p / s : 0.0);
        }
        std::printf("  shell: warm (key derived, same page cache, select run once before timing)\n");
        std::printf(
            "  median keystroke %.2f ms (with repaint %.2f ms); median ratio to shell %.2f, worst %.2f\n",
            median(keystroke), median(keystrokePainted), median(ratios),
            ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end()));
    }

    // --- heading sorts over the whole list ---
    if (wanted("sort")) {
        panel.resetToDefaultList();
        if (!query->finishFill().ok())
            return 1;
        QCoreApplication::processEvents();
        std::printf("\nheading sort of %d rows (in memory, model reset), median of %d clicks per column:\n",
                    query->recordCount(), reps);
        std::vector<double> allSorts;
        for (int column = 0; column < 5; ++column) {
            std::vector<double> runs;
            for (int i = 0; i < reps; ++i) {
                clock.restart();
                panel.bsSkinDBGrid1()->sortByHeading(column);
                runs.push_back(msSince(clock));
                QCoreApplication::processEvents();
            }
            allSorts.insert(allSorts.end(), runs.begin(), runs.end());
            // The same sort on a dataset that no view shows: the share of the sort itself.
            Dataset bare(data->Conn_service());
            bare.setSql(sql::kDefaultList);
            if (!bare.open().ok())
                return 1;
            std::vector<double> bareRuns;
            for (int i = 0; i < reps; ++i) {
                clock.restart();
                if (!bare.setSort(panel.bsSkinDBGrid1()->listModel()->fieldName(column) +
                                  (i % 2 ? QStringLiteral(" DESC") : QStringLiteral(" ASC")))
                         .ok())
                    return 1;
                bareRuns.push_back(msSince(clock));
            }
            std::printf("  %-8s (%s) %8.2f ms  max %8.2f ms  (the dataset's sort alone %.2f ms)\n",
                        qPrintable(panel.bsSkinDBGrid1()->heading(column)),
                        qPrintable(panel.bsSkinDBGrid1()->listModel()->fieldName(column)), median(runs),
                        *std::max_element(runs.begin(), runs.end()), median(bareRuns));
        }
        std::printf("  median over all columns %.2f ms, worst %.2f ms\n", median(allSorts),
                    *std::max_element(allSorts.begin(), allSorts.end()));
    }

    // --- a reset of the list's rows (the default list again, from memory), with the list repainted ---
    if (wanted("reset")) {
        panel.resetToDefaultList();
        if (!query->finishFill().ok())
            return 1;
        QCoreApplication::processEvents();
        QWidget* list = panel.bsSkinDBGrid1()->viewport();
        std::vector<double> resets, painted;
        for (int i = 0; i < reps; ++i) {
            clock.restart();
            if (!query->replaceStatement(sql::kDefaultList).ok())
                return 1;
            resets.push_back(msSince(clock)); // the rows and the views told (model and headers reset)
            QCoreApplication::processEvents();
            list->repaint();
            painted.push_back(msSince(clock));
        }
        std::printf(
            "\nreset of %d rows (default list from memory), views told: median %.2f ms, worst %.2f ms; "
            "with the list repainted: median %.2f ms, worst %.2f ms\n",
            query->recordCount(), median(resets), *std::max_element(resets.begin(), resets.end()),
            median(painted), *std::max_element(painted.begin(), painted.end()));
    }

    // --- moving the current row and repainting the detail pane ---
    if (wanted("move")) {
        panel.resetToDefaultList();
        QCoreApplication::processEvents();
        QWidget* detail = panel.detailPane();
        std::vector<double> moves, movesWithList;
        quint32 state = 12345;
        for (int i = 0; i < 300; ++i) {
            state = state * 1103515245u + 12345u;
            const int row = int((state >> 8) % quint32(query->recordCount()));
            clock.restart();
            query->setCurrentRow(row);
            detail->repaint();
            moves.push_back(msSince(clock));
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < 300; ++i) {
            clock.restart();
            query->next(); // one wheel step
            QCoreApplication::processEvents();
            detail->repaint();
            panel.bsSkinDBGrid1()->viewport()->repaint();
            movesWithList.push_back(msSince(clock));
        }
        std::printf(
            "\nmove current row + repaint detail pane: median %.3f ms, worst %.3f ms (300 random rows)\n",
            median(moves), *std::max_element(moves.begin(), moves.end()));
        std::printf(
            "one wheel step + repaint detail pane and list: median %.3f ms, worst %.3f ms (300 steps)\n",
            median(movesWithList), *std::max_element(movesWithList.begin(), movesWithList.end()));
    }
    return 0;
}
