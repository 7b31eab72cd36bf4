// bench_search <folder with service.dll> [...]: the domain list at scale, each figure beside a fair
// reference. Make the files with gen_domains (e.g. 10,000, 100,000 and 1,000,000 domains).
//
//  - open and reload of the default list, against the sqlcipher shell running the same select on the
//    same file, warm: same page cache size, key already derived, the select run once before timing;
//  - search keystrokes through Query_a (the program's path), against the same warm shell, and against a
//    bare memmem over the names already in memory (the ceiling for a text without wildcards);
//  - typing a name letter by letter, each letter one keystroke;
//  - heading sorts of every list column;
//  - memory held per domain beyond the texts of its fields.
// bench_search --backtrack: "a%a%a%b" over 100,000 names of 253 characters, against the engine on a few.
// bench_search --sort <folder>: the heading sorts alone.
// bench_search --read <folder>: the whole list read at start (the first rows, then the rest in steps from
// the event loop, as the program does) and read again from the file, beside the warm shell; each with the
// rows it read, checked against the file's own count.
// bench_search --sort-kinds [count [kind]]: the sort alone over kinds of data no generator favours (Han text
// with numbers, long shared beginnings, all equal, already sorted, reversed, ...), beside a plain byte
// std::sort of the same texts (no collation, no numbers: the floor for a comparison sort).
// bench_search --fill <folder>: searches typed while the rows after the first still come in (the first
// second after the start): each keystroke, the steps of the reading with a search shown, and the same
// keystroke as it was before, when it read the rest of the rows first.
// bench_search --filters <folder>: the filters beside the search (registrar, ending, expiry year, price,
// and all four at once), each applied and removed over the whole list and within a search, beside the warm
// shell on a similar WHERE; the registrar choices with counts beside the shell's GROUP BY; the memory the
// filters add.
// bench_search --scope all <folder>: search keystrokes in every field (全部字段): the first one, which
// indexes the other fields, then each text, beside the name search and the warm shell on the same WHERE.
#include "Timing.h"
#include "WarmShell.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/ListFilter.h"
#include "db/NaturalSort.h"
#include "db/RowStore.h"
#include "db/Sql.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <numeric>
#include <sqlite3.h>
#include <vector>

namespace {
using benchtime::cpuMs;
using benchtime::median;
using benchtime::msSince;

double worst(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// A dataset call whose failure spoils the figures.
void must(const QString& error)
{
    if (!error.isEmpty()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error));
        std::exit(1);
    }
}

void must(const Result& result)
{
    if (!result.ok()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(result.error()));
        std::exit(1);
    }
}

// The data module over the portfolio in a folder (made the current one); a failure ends the run.
std::unique_ptr<TDataModule2> openFolder(const QString& folder)
{
    QDir::setCurrent(folder);
    QString error;
    auto moduleMade = TDataModule2::create();
    error = moduleMade.error();
    auto module = moduleMade.take();
    if (!module) {
        std::fprintf(stderr, "open: %s\n", qPrintable(error));
        std::exit(1);
    }
    return module;
}

long statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

QString sqlQuoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// The texts a user types: frequent letters, a fragment, digits, an ending, Chinese, no match, wildcards.
const QStringList kTexts = {QStringLiteral("a"),     QStringLiteral("hao"), QStringLiteral("8"),
                            QStringLiteral("cloud"), QStringLiteral(".cn"), QStringLiteral("中文"),
                            QStringLiteral("qqqzx"), QStringLiteral("a_c"), QStringLiteral("a%b%c"),
                            QStringLiteral("HaoM")};

int backtrack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(Connection::kFileName);
    Connection c;
    must(c.create(path));
    must(c.execute(
        QStringLiteral("create table tt_a (aid integer primary key autoincrement, a1 text, a2 text, a3 "
                       "text, a4 text, a5 text, a6 text, a7 text, a8 text, a9 text)")));
    must(c.execute(
        QStringLiteral("create table jz_ub (ubid integer primary key autoincrement, ub1 text, ub2 text, "
                       "ub3 text, ub4 text, ub5 text)")));
    must(c.execute(QStringLiteral("insert into jz_ub (ub1,ub2,ub3,ub4) values ('','0','8','0')")));
    const QString name = QString(253, QLatin1Char('a'));
    auto fill = [&](int count) {
        must(c.execute(QStringLiteral("begin")));
        must(c.execute(
            QStringLiteral("insert into tt_a (a1) with recursive n(i) as (select 1 union all select i+1 "
                           "from n where i < %1) select '%2' from n")
                .arg(count)
                .arg(name)));
        must(c.execute(QStringLiteral("commit")));
    };
    // The engine on 20 names (it takes about half a second for each), and the figure scaled to 100,000;
    // then the program on all 100,000.
    fill(20);
    QString e;
    auto moduleMade = TDataModule2::create(path);
    e = moduleMade.error();
    auto module = moduleMade.take();
    Dataset engine(module->Conn_service());
    QElapsedTimer clock;
    clock.start();
    must(engine.replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("a%a%a%b")}}));
    const double engineMs = msSince(clock);
    std::printf("\"a%%a%%a%%b\" over 20 names of 253 \"a\", the engine's statement: %.0f ms "
                "(%.0f ms for 100,000)\n",
                engineMs, engineMs * 5000);
    must(module->Query_a()->replaceStatement(sql::kDefaultList));
    clock.restart();
    must(module->Query_a()->replaceStatement(sql::kSearch,
                                             {{QStringLiteral("q"), QStringLiteral("a%a%a%b")}}));
    const double programMs = msSince(clock);
    if (programMs > 1000) {
        std::printf("via Query_a over the 20 names: %.0f ms (%.0f ms for 100,000); not run on 100,000\n",
                    programMs, programMs * 5000);
        return 0;
    }
    fill(100000 - 20);
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        must(module->Query_a()->replaceStatement(sql::kSearch,
                                                 {{QStringLiteral("q"), QStringLiteral("\x01")}}));
        must(module->Query_a()->replaceStatement(sql::kDefaultList));
        clock.restart();
        must(module->Query_a()->replaceStatement(sql::kSearch,
                                                 {{QStringLiteral("q"), QStringLiteral("a%a%a%b")}}));
        runs.push_back(msSince(clock));
        if (runs.back() > 10000) // the engine: one run tells enough
            break;
    }
    std::printf("\"a%%a%%a%%b\" over 100,000 names of 253 \"a\" via Query_a: median %.1f ms, worst %.1f ms\n",
                median(runs), worst(runs));
    return 0;
}

// Heading sorts of every list column over the default list, ascending and descending.
int headingSorts(Dataset* q)
{
    QElapsedTimer clock;
    must(q->replaceStatement(sql::kDefaultList));
    std::printf("heading sort of %d rows, median of 3 (ASC, DESC, ASC):\n", q->recordCount());
    std::vector<double> sorts;
    for (const char* field : {"a1", "a9", "a2", "a3", "a6"}) {
        std::vector<double> runs, cpu;
        for (int i = 0; i < 3; ++i) {
            clock.restart();
            const double cpuStart = cpuMs();
            must(q->setSort(QString::fromLatin1(field) +
                            (i % 2 ? QStringLiteral(" DESC") : QStringLiteral(" ASC"))));
            runs.push_back(msSince(clock));
            cpu.push_back(cpuMs() - cpuStart);
        }
        sorts.insert(sorts.end(), runs.begin(), runs.end());
        std::printf("  %s %8.1f ms  (worst %.1f ms; processor time %.1f ms)\n", field, median(runs),
                    worst(runs), median(cpu));
    }
    std::printf("  worst sort %.1f ms\n", worst(sorts));
    return 0;
}

// The rows of the whole list at start and on a reload, read in two parts and on one connection.
int wholeRead(const QString& folder)
{
    QDir::setCurrent(folder);
    const QString file = QDir(folder).filePath(Connection::kFileName);
    qint64 fileCount = -1;
    {
        Connection c;
        QElapsedTimer opening;
        opening.start();
        must(c.open(file));
        std::printf("a connection opened (the key derived) in %.1f ms\n", msSince(opening));
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(c.handle(), "select count(*) from tt_a", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            fileCount = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    auto counted = [&](int rows, const char* what) {
        if (rows != fileCount) {
            std::fprintf(stderr, "%s: read %d rows, the file holds %lld\n", what, rows, fileCount);
            std::exit(1);
        }
    };
    std::printf("%s: %lld domains\n", qPrintable(file), fileCount);
    QElapsedTimer clock;
    for (int run = 0; run < 2; ++run) {
        clock.restart();
        const double cpuStart = cpuMs();
        QString error;
        auto moduleMade = TDataModule2::create();
        error = moduleMade.error();
        auto module = moduleMade.take();
        if (!module) {
            std::fprintf(stderr, "open: %s\n", qPrintable(error));
            return 1;
        }
        const double firstMs = msSince(clock);
        Dataset* q = module->Query_a();
        QEventLoop loop;
        QObject::connect(q, &Dataset::fillFinished, &loop, &QEventLoop::quit);
        QObject::connect(q, &Dataset::fillFailed, &loop, &QEventLoop::quit);
        if (q->isFilling())
            loop.exec();
        const double allMs = msSince(clock);
        counted(q->recordCount(), "start");
        std::printf("  %-22s first rows %6.1f ms, every row %7.1f ms after (processor %7.1f ms), %d rows\n",
                    "start:", firstMs, allMs - firstMs, cpuMs() - cpuStart, q->recordCount());
        std::vector<double> reloads;
        for (int i = 0; i < 3; ++i) {
            clock.restart();
            must(q->open());
            reloads.push_back(msSince(clock));
            counted(q->recordCount(), "reload");
        }
        std::printf("  %-22s reload median %7.1f ms, worst %7.1f ms\n", "", median(reloads), worst(reloads));
    }
    const double shell = warmShellMs(file, sql::kDefaultList, programCachePages(file), 3);
    std::printf("  warm sqlcipher shell, the same select: %.1f ms\n", shell);
    return 0;
}

// The sort of one column over `count` rows of each kind, ascending and descending.
int sortKinds(int count, const QString& only)
{
    QRandomGenerator random(20261211u);
    auto number = [&](int digits) {
        QString n;
        for (int d = 0; d < digits; ++d)
            n += QChar(u'0' + random.bounded(10));
        return n;
    };
    static const char16_t kHan[] =
        u"阿里云万网新网西部数码易名中国商标投资品牌科技网络金融教育旅游医疗房产汽车"
        u"游戏音乐视频健康美食文化体育电商物流信息";
    const int hanCount = int(std::size(kHan)) - 1;
    auto han = [&](int n) {
        QString t;
        for (int i = 0; i < n; ++i)
            t += QChar(kHan[random.bounded(hanCount)]);
        return t;
    };
    auto letters = [&](int n) {
        QString t;
        for (int i = 0; i < n; ++i)
            t += QChar(u'a' + random.bounded(26));
        return t;
    };
    struct Kind
    {
        const char* name;
        std::function<QString(int)> make; // the text of row i
        int order = 0;                    // 1: stored ascending, -1: descending (by plain bytes of the text)
    };
    const std::vector<Kind> kinds = {
        {"names, random", [&](int) { return letters(4 + random.bounded(10)) + QStringLiteral(".com"); }},
        {"Han + digits (\"说明 123456\")", [&](int) { return QStringLiteral("说明 ") + number(6); }},
        {"Han text, 2-6 characters", [&](int) { return han(2 + random.bounded(5)); }},
        {"Han + name (\"阿里云 abc12\")",
         [&](int) { return han(3) + QLatin1Char(' ') + letters(3) + number(2); }},
        {"long shared beginning",
         [&](int) {
             return QStringLiteral("my-domain-portfolio-registrar-export-") + number(7) +
                    QStringLiteral(".com");
         }},
        {"all equal (Han)", [&](int) { return QStringLiteral("阿里云"); }},
        {"all equal (ASCII)", [&](int) { return QStringLiteral("GoDaddy"); }},
        {"dates",
         [&](int) {
             return QStringLiteral("20%1-%2-%3")
                 .arg(20 + random.bounded(15))
                 .arg(1 + random.bounded(12), 2, 10, QLatin1Char('0'))
                 .arg(1 + random.bounded(28), 2, 10, QLatin1Char('0'));
         }},
        {"numbered, already sorted", [&](int i) { return QStringLiteral("d%1.com").arg(i); }, 0},
        {"numbered, reversed", [&](int i) { return QStringLiteral("d%1.com").arg(count - i); }, 0},
        {"Han + digits, already sorted", [&](int i) { return QStringLiteral("说明 %1").arg(i); }, 0},
    };
    std::printf(
        "sort of %d rows per kind (processor ms: ASC, DESC) beside a byte std::sort of the same texts:\n",
        count);
    double worstSort = 0;
    for (const Kind& kind : kinds) {
        if (!QString::fromUtf8(kind.name).contains(only))
            continue;
        RowStore rows;
        rows.addField(QStringLiteral("a1"));
        std::vector<std::string> texts;
        texts.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            texts.push_back(kind.make(i).toStdString());
            must(rows.append({std::string_view(texts.back())}));
        }
        std::vector<uint32_t> shown(static_cast<size_t>(count));
        std::iota(shown.begin(), shown.end(), 0u);
        if (rows.rowCount() != uint32_t(count)) {
            std::fprintf(stderr, "stored %u rows, not %d\n", rows.rowCount(), count);
            return 1;
        }
        double ms[2];
        for (int d = 0; d < 2; ++d) {
            const double start = cpuMs();
            const std::vector<uint32_t> order = naturalSort(rows, shown, 0, d == 1);
            ms[d] = cpuMs() - start;
            if (order.size() != size_t(count)) {
                std::fprintf(stderr, "sorted %zu rows, not %d\n", order.size(), count);
                return 1;
            }
            worstSort = std::max(worstSort, ms[d]);
        }
        std::vector<std::string_view> views(texts.begin(), texts.end());
        const double start = cpuMs();
        std::stable_sort(views.begin(), views.end());
        const double reference = cpuMs() - start;
        std::printf("  %-34s %8.1f %8.1f ms   byte sort %7.1f ms\n", kind.name, ms[0], ms[1], reference);
    }
    std::printf("  worst sort %.1f ms\n", worstSort);
    return 0;
}

int benchFile(const QString& folder)
{
    const QString file = QDir(folder).filePath(Connection::kFileName);
    if (!QFile::exists(file)) {
        std::fprintf(stderr, "no %s\n", qPrintable(file));
        return 1;
    }
    QDir::setCurrent(folder);
    malloc_trim(0);
    const long rssBefore = statusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    QString error;
    auto moduleMade = TDataModule2::create();
    error = moduleMade.error();
    auto module = moduleMade.take();
    if (!module) {
        std::fprintf(stderr, "open: %s\n", qPrintable(error));
        return 1;
    }
    const double createMs = msSince(clock);
    Dataset* q = module->Query_a();
    // The rest of the rows, which the program reads in steps from its event loop after the window shows.
    clock.restart();
    must(q->finishFill());
    const double restMs = msSince(clock);
    const int count = q->recordCount();
    // The texts of all fields, to tell the memory held beyond them.
    double textBytes = 0;
    for (int r = 0; r < count; ++r) {
        for (int f = 0; f < q->fieldCount(); ++f)
            textBytes += double(q->rawValue(r, f).size());
    }
    malloc_trim(0);
    const long rssOpen = statusKb("VmRSS:");
    const double fileMb = double(QFileInfo(file).size()) / 1048576.0;
    std::printf("\n== %s: %d domains, file %.1f MB ==\n", qPrintable(folder), count, fileMb);
    std::printf("data module created (connection, first rows of the default list, settings) in %.0f ms; "
                "the rest of the rows %.0f ms\n",
                createMs, restMs);

    // The page cache the program's connection uses, for the shell too.
    const int cachePages = programCachePages(file);

    // --- open / reload of the default list: read from the file (reopen), and with the file unchanged ---
    std::vector<double> reloads, unchanged;
    for (int i = 0; i < 5; ++i) {
        clock.restart();
        must(q->open());
        reloads.push_back(msSince(clock));
    }
    for (int i = 0; i < 5; ++i) {
        must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("x")}}));
        clock.restart();
        must(q->replaceStatement(sql::kDefaultList));
        unchanged.push_back(msSince(clock));
    }
    malloc_trim(0);
    const long rssReload = statusKb("VmRSS:");
    const double shellList = warmShellMs(file, sql::kDefaultList, cachePages, 5);
    std::printf("reload default list from the file: median %.1f ms, worst %.1f ms | warm shell %.1f ms | "
                "ratio %.2f\n",
                median(reloads), worst(reloads), shellList,
                shellList > 0 ? median(reloads) / shellList : 0.0);
    std::printf("reload default list, file unchanged since read: median %.2f ms, worst %.2f ms\n",
                median(unchanged), worst(unchanged));
    std::printf("memory: +%.1f MB after open, +%.1f MB after 5 reloads, peak %.1f MB; %.0f bytes per domain "
                "beyond its %.0f bytes of text\n",
                double(rssOpen - rssBefore) / 1024, double(rssReload - rssBefore) / 1024,
                double(statusKb("VmHWM:")) / 1024,
                (double(rssReload - rssBefore) * 1024 - textBytes) / std::max(1, count),
                textBytes / std::max(1, count));

    // The names as held in memory, lower-cased, one block: the ceiling of a plain scan.
    std::string names;
    for (int r = 0; r < count; ++r) {
        const std::string_view v = q->rawValue(r, 1);
        for (const char ch : v)
            names.push_back((ch >= 'A' && ch <= 'Z') ? char(ch + 32) : ch);
        names.push_back('\n');
    }

    // --- search keystrokes from the full list ---
    std::printf(
        "search keystroke from the full list (Query_a), median of 7 | warm shell | memmem ceiling:\n");
    std::printf("  %-8s %8s %10s %10s %10s %10s\n", "text", "rows", "ms", "worst ms", "shell ms",
                "memmem ms");
    std::vector<double> medians;
    for (const QString& text : kTexts) {
        std::vector<double> runs;
        for (int i = 0; i < 7; ++i) {
            // A text no name holds first, so that this one is not narrowed from its own last result.
            must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("\x01")}}));
            must(q->replaceStatement(sql::kDefaultList));
            clock.restart();
            must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), text}}));
            runs.push_back(msSince(clock));
        }
        const int rows = q->recordCount();
        const double shell =
            warmShellMs(file,
                        QStringLiteral("select * from tt_a where a1 like '%' || %1 || '%' order by aid desc")
                            .arg(sqlQuoted(text)),
                        cachePages, 5);
        double scan = -1;
        if (!text.contains(QLatin1Char('%')) && !text.contains(QLatin1Char('_'))) {
            const QByteArray needle = text.toLower().toUtf8();
            std::vector<double> scans;
            for (int i = 0; i < 7; ++i) {
                clock.restart();
                size_t hits = 0;
                const char* at = names.data();
                const char* end = names.data() + names.size();
                while (const void* hit =
                           memmem(at, size_t(end - at), needle.constData(), size_t(needle.size()))) {
                    ++hits;
                    const void* eol = std::memchr(hit, '\n', size_t(end - static_cast<const char*>(hit)));
                    at = static_cast<const char*>(eol) + 1;
                }
                scans.push_back(msSince(clock));
                if (hits == size_t(-1))
                    std::printf("?");
            }
            scan = median(scans);
        }
        medians.push_back(median(runs));
        std::printf("  %-8s %8d %10.2f %10.2f %10.1f %10.2f\n", qPrintable(text), rows, median(runs),
                    worst(runs), shell, scan);
    }
    std::printf("  median over the texts %.2f ms, worst text %.2f ms\n", median(medians), worst(medians));

    // --- typing a name, one letter per keystroke ---
    must(q->replaceStatement(sql::kDefaultList));
    const QString typed = QStringLiteral("haoming");
    std::vector<double> keys;
    for (int i = 1; i <= typed.size(); ++i) {
        clock.restart();
        must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), typed.left(i)}}));
        keys.push_back(msSince(clock));
    }
    for (int i = typed.size() - 1; i >= 0; --i) { // and deleting it again
        clock.restart();
        must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), typed.left(i)}}));
        keys.push_back(msSince(clock));
    }
    std::printf("typing \"haoming\" and deleting it, 14 keystrokes: median %.2f ms, worst %.2f ms\n",
                median(keys), worst(keys));

    return headingSorts(q);
}
// Runs the reading in steps from the event loop for about `ms` (a typist's pause), or to its end when ms
// is negative; each step's time is added to `steps`.
void runSteps(Dataset* q, double ms, std::vector<double>& steps)
{
    QElapsedTimer pause;
    pause.start();
    while (q->isFilling() && (ms < 0 || msSince(pause) < ms)) {
        QElapsedTimer step;
        step.start();
        QCoreApplication::processEvents();
        steps.push_back(msSince(step));
    }
}

int duringFill(const QString& folder)
{
    auto module = openFolder(folder);
    Dataset* q = module->Query_a();
    auto search = [q](const QString& text) {
        must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), text}}));
    };
    std::printf("\n== %s: searches while the rows come in ==\n", qPrintable(folder));
    // Reading with the default list shown, for reference.
    std::vector<double> plainSteps;
    QElapsedTimer clock;
    clock.start();
    runSteps(q, -1, plainSteps);
    const double plainRest = msSince(clock);
    const int count = q->storedRowCount();
    std::printf("%d domains; the rest of the rows with the default list shown: %.0f ms in %zu steps, "
                "median step %.1f ms, worst %.1f ms\n",
                count, plainRest, plainSteps.size(), median(plainSteps), worst(plainSteps));

    // Keystrokes one after the other, 150 ms of reading between them, from the start of the reading on.
    const QStringList typed = {QStringLiteral("h"),    QStringLiteral("ha"),    QStringLiteral("hao"),
                               QStringLiteral("ha"),   QStringLiteral("8"),     QStringLiteral(".cn"),
                               QStringLiteral("中文"), QStringLiteral("qqqzx"), QStringLiteral("a_c"),
                               QStringLiteral("a")};
    for (int pauseMs : {0, 150}) {
        q->setSql(sql::kDefaultList);
        must(q->openInSteps());
        std::vector<double> keys, steps;
        std::printf("typed with %d ms of reading between keys:\n", pauseMs);
        for (const QString& text : typed) {
            if (!q->isFilling())
                break;
            const int read = q->storedRowCount();
            clock.restart();
            search(text);
            keys.push_back(msSince(clock));
            std::printf("  %-8s %7.2f ms, %7d rows found among %7d read%s\n", qPrintable(text), keys.back(),
                        q->recordCount(), read, q->storedRowCount() == read ? "" : " (READ ON!)");
            runSteps(q, pauseMs, steps);
        }
        clock.restart();
        runSteps(q, -1, steps);
        std::printf(
            "  keystroke median %.2f ms, worst %.2f ms; steps with a search shown: %zu, median %.1f ms, "
            "worst %.1f ms; the rest after the last key %.0f ms\n",
            median(keys), worst(keys), steps.size(), median(steps), worst(steps), msSince(clock));
        // The rows shown at the end are those of the same search after the reading.
        std::vector<int> shown;
        for (int r = 0; r < q->recordCount(); ++r)
            shown.push_back(q->storedRow(r));
        const QString last = q->params().value(QStringLiteral("q"));
        search(last);
        bool same = int(shown.size()) == q->recordCount();
        for (int r = 0; same && r < q->recordCount(); ++r)
            same = shown[size_t(r)] == q->storedRow(r);
        std::printf("  at the end: %d rows for \"%s\", %s the search after the reading\n", int(shown.size()),
                    qPrintable(last), same ? "the same as" : "NOT THE SAME AS");
    }

    // Before: a keystroke in the reading read the rest of the rows at once, then searched.
    std::vector<double> before;
    for (const QString& text : {QStringLiteral("h"), QStringLiteral("a"), QStringLiteral("qqqzx")}) {
        q->setSql(sql::kDefaultList);
        must(q->openInSteps());
        clock.restart();
        must(q->finishFill());
        search(text);
        before.push_back(msSince(clock));
    }
    std::printf("before (the rest read first, then the search): median %.0f ms, worst %.0f ms\n",
                median(before), worst(before));
    return 0;
}
// A text searched `times` times in every field (runs) and in the names only (names), each after a text
// nothing holds, so that it is not narrowed from its own last result.
void timeKeystrokes(Dataset* q, const QString& text, int times, std::vector<double>& runs,
                    std::vector<double>& names)
{
    QElapsedTimer clock;
    for (int i = 0; i < times; ++i) {
        for (const auto& [statement, name] : {std::pair(sql::kSearchAll, QStringLiteral("qall")),
                                              std::pair(sql::kSearch, QStringLiteral("q"))}) {
            must(q->replaceStatement(statement, {{name, QStringLiteral("\x01")}}));
            must(q->replaceStatement(sql::kDefaultList));
            clock.start();
            must(q->replaceStatement(statement, {{name, text}}));
            (statement == sql::kSearch ? names : runs).push_back(msSince(clock));
        }
    }
}

int anyFieldSearch(const QString& folder)
{
    auto module = openFolder(folder);
    Dataset* q = module->Query_a();
    must(q->finishFill());
    const QString file = QDir(folder).filePath(Connection::kFileName);
    const int cachePages = programCachePages(file);
    const int count = q->recordCount();
    std::printf("\n== %s: %d domains, search in every field (a1, a2, a3, a4, a7) ==\n", qPrintable(folder),
                count);
    malloc_trim(0);
    const long rssBefore = statusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    must(q->replaceStatement(sql::kSearchAll, {{QStringLiteral("qall"), QStringLiteral("\x01")}}));
    const double firstMs = msSince(clock);
    malloc_trim(0);
    std::printf("first keystroke (indexes the other fields): %.0f ms; memory +%.1f bytes per domain\n",
                firstMs, double(statusKb("VmRSS:") - rssBefore) * 1024 / std::max(1, count));
    std::printf("  %-8s %8s %10s %10s %10s %10s\n", "text", "rows", "all ms", "worst ms", "name ms",
                "shell ms");
    QStringList texts = kTexts;
    texts << QStringLiteral("阿里云") << QStringLiteral("注册") << QStringLiteral("example")
          << QStringLiteral("续费");
    std::vector<double> medians;
    for (const QString& text : texts) {
        std::vector<double> runs, names;
        timeKeystrokes(q, text, 7, runs, names);
        must(q->replaceStatement(sql::kSearchAll, {{QStringLiteral("qall"), text}}));
        const int rows = q->recordCount();
        QString statement = sql::kSearchAll;
        const double shell =
            warmShellMs(file, statement.replace(QStringLiteral(":qall"), sqlQuoted(text)), cachePages, 3);
        medians.push_back(median(runs));
        std::printf("  %-8s %8d %10.2f %10.2f %10.2f %10.1f\n", qPrintable(text), rows, median(runs),
                    worst(runs), median(names), shell);
    }
    std::printf("  median over the texts %.2f ms, worst text %.2f ms\n", median(medians), worst(medians));
    return 0;
}
// One text searched in every field again and again, without the shell (e.g. for a profiler).
int anyFieldText(const QString& folder, const QString& text)
{
    auto module = openFolder(folder);
    Dataset* q = module->Query_a();
    must(q->finishFill());
    must(q->replaceStatement(sql::kSearchAll, {{QStringLiteral("qall"), QStringLiteral("\x01")}}));
    std::vector<double> runs, names;
    timeKeystrokes(q, text, 40, runs, names);
    std::printf(
        "%s: %d rows; every field median %.2f ms, worst %.2f; names only median %.2f ms, worst %.2f\n",
        qPrintable(text), q->recordCount(), median(runs), worst(runs), median(names), worst(names));
    return 0;
}

int filterFigures(const QString& folder)
{
    auto module = openFolder(folder);
    Dataset* q = module->Query_a();
    DomainList* list = module->domains();
    must(q->finishFill());
    const QString file = QDir(folder).filePath(Connection::kFileName);
    const int cachePages = programCachePages(file);
    const int count = q->recordCount();
    const QDate today(2026, 3, 1);
    std::printf("\n== %s: %d domains, filters ==\n", qPrintable(folder), count);

    // The registrar most domains have, as the drop-down offers it first.
    malloc_trim(0);
    long rssBefore = statusKb("VmRSS:");
    std::vector<double> choiceRuns, choiceCpu;
    QString topRegistrar;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = cpuMs();
        const FilterChoices choices = list->filterChoices();
        choiceCpu.push_back(cpuMs() - cpu);
        choiceRuns.push_back(msSince(clock));
        topRegistrar = choices.registrars.value(0).first;
    }
    const double shellChoices =
        warmShellMs(file, QStringLiteral("select a3, count(*) from tt_a group by a3"), cachePages, 3);
    std::printf(
        "registrar choices with counts: median %.1f ms (processor %.1f ms), worst %.1f ms (shell GROUP "
        "BY %.1f ms)\n",
        median(choiceRuns), median(choiceCpu), worst(choiceRuns), shellChoices);

    struct Case
    {
        const char* label;
        ListFilter filter;
        QString where; // the shell's like WHERE (it reads dates and prices more simply)
    };
    ListFilter registrar, ending, year, price, all;
    registrar.registrar = topRegistrar;
    ending.ending = QStringLiteral(".cn");
    year.expiry = ListFilter::ExpiryChoice::Year;
    year.year = 2027;
    price.minCents = 1000000;
    all = registrar;
    all.ending = ending.ending;
    all.expiry = year.expiry;
    all.year = year.year;
    all.minCents = price.minCents;
    const QString byRegistrar = QStringLiteral("a3 = %1").arg(sqlQuoted(topRegistrar));
    const QString byEnding = QStringLiteral("a1 like '%.cn'");
    const QString byYear = QStringLiteral("a6 like '2027-%'");
    const QString byPrice = QStringLiteral("cast(a9 as integer) >= 10000");
    const std::vector<Case> cases = {
        {"registrar", registrar, byRegistrar},
        {".cn", ending, byEnding},
        {"2027", year, byYear},
        {">=10000", price, byPrice},
        {"all four", all, QStringList{byRegistrar, byEnding, byYear, byPrice}.join(QStringLiteral(" and "))},
    };
    std::printf("  %-10s %-7s %8s %10s %10s %10s %10s %10s\n", "filter", "search", "rows", "apply ms",
                "cpu ms", "worst", "remove ms", "shell ms");
    double worstApply = 0, worstRemove = 0;
    bool first = true;
    for (const QString& text : {QString(), QStringLiteral("a")}) {
        must(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), text}}));
        for (const Case& c : cases) {
            std::vector<double> apply, applyCpu, remove;
            int rows = 0;
            for (int i = 0; i < 7; ++i) {
                QElapsedTimer clock;
                clock.start();
                const double cpu = cpuMs();
                list->setFilter(c.filter, today);
                applyCpu.push_back(cpuMs() - cpu);
                apply.push_back(msSince(clock));
                rows = q->recordCount();
                if (first) {
                    // What a filter in force holds beyond the list itself.
                    malloc_trim(0);
                    std::printf("memory with a filter in force: +%.1f bytes per domain\n",
                                double(statusKb("VmRSS:") - rssBefore) * 1024 / std::max(1, count));
                    first = false;
                }
                clock.restart();
                list->setFilter({}, today);
                remove.push_back(msSince(clock));
            }
            const QString where =
                text.isEmpty() ? c.where
                               : c.where + QStringLiteral(" and a1 like %1")
                                               .arg(sqlQuoted(QLatin1Char('%') + text + QLatin1Char('%')));
            const double shell =
                warmShellMs(file, QStringLiteral("select * from tt_a where %1 order by aid desc").arg(where),
                            cachePages, 3);
            worstApply = std::max(worstApply, median(apply));
            worstRemove = std::max(worstRemove, median(remove));
            std::printf("  %-10s %-7s %8d %10.1f %10.1f %10.1f %10.1f %10.1f\n", c.label,
                        text.isEmpty() ? "(none)" : qPrintable(text), rows, median(apply), median(applyCpu),
                        worst(apply), median(remove), shell);
        }
    }
    // With a heading sort in force the filters keep it.
    must(q->replaceStatement(sql::kDefaultList));
    must(list->sortBy(QStringLiteral("a1")).error());
    std::vector<double> apply, remove;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer clock;
        clock.start();
        list->setFilter(all, today);
        apply.push_back(msSince(clock));
        clock.restart();
        list->setFilter({}, today);
        remove.push_back(msSince(clock));
    }
    std::printf("  all four over the list sorted by name: apply %.1f ms, remove %.1f ms\n", median(apply),
                median(remove));
    std::printf("slowest median: apply %.1f ms, remove %.1f ms\n", worstApply, worstRemove);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Platform::tuneMemory(); // as the program does at start
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--backtrack"))
        return backtrack();
    if (args.value(0) == QLatin1String("--scope") && args.value(1) == QLatin1String("all") &&
        args.size() == 3)
        return anyFieldSearch(QFileInfo(args[2]).absoluteFilePath());
    if (args.value(0) == QLatin1String("--scope") && args.value(1) == QLatin1String("all") &&
        args.size() == 4)
        return anyFieldText(QFileInfo(args[2]).absoluteFilePath(), args[3]);
    if (args.value(0) == QLatin1String("--filters") && args.size() == 2)
        return filterFigures(QFileInfo(args[1]).absoluteFilePath());
    if (args.value(0) == QLatin1String("--fill") && args.size() == 2)
        return duringFill(QFileInfo(args[1]).absoluteFilePath());
    if (args.value(0) == QLatin1String("--read") && args.size() == 2)
        return wholeRead(QFileInfo(args[1]).absoluteFilePath());
    if (args.value(0) == QLatin1String("--sort-kinds"))
        return sortKinds(args.size() > 1 ? args[1].toInt() : 1000000, args.value(2));
    if (args.value(0) == QLatin1String("--sort") && args.size() == 2) {
        // The heading sorts alone (e.g. for a profiler).
        auto module = openFolder(QFileInfo(args[1]).absoluteFilePath());
        must(module->Query_a()->finishFill());
        return headingSorts(module->Query_a());
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_search <folder with service.dll> ... | --backtrack\n");
        return 2;
    }
    QStringList folders;
    for (const QString& folder : args)
        folders << QFileInfo(folder).absoluteFilePath();
    int rc = 0;
    for (const QString& folder : folders)
        rc |= benchFile(folder);
    return rc;
}
