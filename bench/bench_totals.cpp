// bench_totals [count]: the status bar's counts and price sum over the rows of the domain list
// (1,000,000 generated domains by default), as computed after every list change, beside two fair
// references: the same figures from QString values and QDate parsing per row, and from one aggregate
// statement run by the database engine over the same rows.
#include "DomainGenerator.h"
#include "Timing.h"
#include "db/DataModule.h"
#include "db/Expiry.h"
#include "db/ListTotals.h"
#include "db/Sql.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
using benchtime::cpuMs;
using benchtime::median;
using benchtime::msSince;

// The obvious way: every value as a QString, the date through QDate's own parser (one form only),
// the price through QString::toDouble.
ListTotals naiveTotals(const Dataset& d, const QDate& today)
{
    ListTotals t;
    t.count = d.recordCount();
    double sum = 0;
    for (int r = 0; r < t.count; ++r) {
        const QDate date = QDate::fromString(d.value(r, 6), QStringLiteral("yyyy-MM-dd"));
        if (date.isValid()) {
            const qint64 left = today.daysTo(date);
            t.expired += left < 0;
            t.within30 += left >= 0 && left <= 30;
        }
        bool ok = false;
        const double price = d.value(r, 9).toDouble(&ok);
        if (ok) {
            ++t.priced;
            sum += price;
        }
    }
    t.priceCents = qint64(sum * 100);
    return t;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    QTemporaryDir dir;
    auto data = benchgen::openGeneratedPortfolio(dir.path(), count);
    if (!data)
        return 1;
    QElapsedTimer clock;
    Dataset* list = data->Query_a();
    clock.restart();
    if (const QString error = list->finishFill().error(); !error.isEmpty()) {
        std::fprintf(stderr, "list: %s\n", qPrintable(error));
        return 1;
    }
    const double openMs = msSince(clock);

    const QDate today = Platform::today();
    const expiry::Day day = expiry::dayOf(today);
    const int reps = 7;
    std::vector<double> afterReload, afterReloadCpu, ours, oursCpu, afterDelete, afterSearch, fresh, naive,
        engine, reloadKept, reloadBare, reloadKeptCpu, reloadBareCpu;
    ListTotals t, n;
    // The module's counter is the list's row keeper: it took every row's day and price while the rows
    // were read, so the first count after a reload reads no text.
    ListCounter& counter = *data->listCounter();
    for (int i = 0; i < 3; ++i) {
        clock.restart();
        double cpu = cpuMs();
        (void)list->open();
        reloadKeptCpu.push_back(cpuMs() - cpu);
        reloadKept.push_back(msSince(clock));
        clock.restart();
        cpu = cpuMs();
        counter.count(*list, day);
        afterReloadCpu.push_back(cpuMs() - cpu);
        afterReload.push_back(msSince(clock));
    }
    // The same reload without keeping them: what the keeping adds to reading the rows.
    list->setRowKeeper(nullptr);
    for (int i = 0; i < 3; ++i) {
        clock.restart();
        const double cpu = cpuMs();
        (void)list->open();
        reloadBareCpu.push_back(cpuMs() - cpu);
        reloadBare.push_back(msSince(clock));
    }
    list->setRowKeeper(&counter);
    (void)list->open();
    for (int i = 0; i < reps; ++i) {
        // A change in memory (a heading sort), then the count that follows it.
        (void)list->setSort(i % 2 ? QStringLiteral("a9 DESC") : QStringLiteral("a6 ASC"));
        clock.restart();
        const double cpu = cpuMs();
        t = counter.count(*list, day);
        oursCpu.push_back(cpuMs() - cpu);
        ours.push_back(msSince(clock));
        clock.restart();
        ListTotals::of(*list, day);
        fresh.push_back(msSince(clock));
        clock.restart();
        n = naiveTotals(*list, today);
        naive.push_back(msSince(clock));
    }
    // After a deletion the list no longer holds every stored row: a bit per stored row marks those it
    // holds.
    list->setCurrentRow(list->recordCount() / 2);
    (void)list->deleteCurrent();
    for (int i = 0; i < reps; ++i) {
        clock.restart();
        counter.count(*list, day);
        afterDelete.push_back(msSince(clock));
    }
    // A search ("a": most of the list), answered from the rows held.
    (void)list->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("a")}});
    for (int i = 0; i < reps; ++i) {
        clock.restart();
        counter.count(*list, day);
        afterSearch.push_back(msSince(clock));
    }
    const QString fmt = QStringLiteral("yyyy-MM-dd");
    Dataset aggregate(data->Conn_service());
    aggregate.setSql(QStringLiteral("select count(*), sum(expiry_date(a6) < :today), "
                                    "sum(expiry_date(a6) between :today and :soon), "
                                    "sum(case when a9 glob '[0-9]*' and a9 not glob '*[^0-9.]*' then a9 end) "
                                    "from tt_a"));
    aggregate.setParam(QStringLiteral("today"), today.toString(fmt));
    aggregate.setParam(QStringLiteral("soon"), today.addDays(30).toString(fmt));
    for (int i = 0; i < 3; ++i) {
        clock.restart();
        (void)aggregate.open();
        engine.push_back(msSince(clock));
    }

    // The expired list within that search, made by the engine with the program's LIKE (the search's
    // matcher), beside the same list without the name condition: what matching the names costs.
    const QHash<QString, QString> expiredParams = {{QStringLiteral("q"), QStringLiteral("a")},
                                                   {QStringLiteral("today"), today.toString(fmt)},
                                                   {QStringLiteral("soon"), today.addDays(30).toString(fmt)}};
    std::vector<double> expiredList, expiredAll;
    int expiredRows = 0, expiredAllRows = 0;
    Dataset expiredQuery(data->Conn_service());
    for (int i = 0; i < 3; ++i) {
        expiredQuery.setSql(sql::kExpiredList);
        for (auto it = expiredParams.begin(); it != expiredParams.end(); ++it)
            expiredQuery.setParam(it.key(), it.value());
        clock.restart();
        (void)expiredQuery.open();
        expiredList.push_back(msSince(clock));
        expiredRows = expiredQuery.recordCount();
        QString all = sql::kExpiredList;
        expiredQuery.setSql(all.replace(QStringLiteral("a1 like '%' || :q || '%' and "), QString()));
        expiredQuery.setParam(QStringLiteral("today"), today.toString(fmt));
        clock.restart();
        (void)expiredQuery.open();
        expiredAll.push_back(msSince(clock));
        expiredAllRows = expiredQuery.recordCount();
    }

    std::printf("\ncounts and price sum over %d rows (median of %d):\n", t.count, reps);
    std::printf("  %-52s %9.2f ms   expired %d, within 30 days %d, priced %d, sum %s\n",
                "after a change of the list (a sort)", median(ours), t.expired, t.within30, t.priced,
                qPrintable(ListTotals::groupedAmount(t.priceCents)));
    std::printf("  %-52s %9.2f ms   (processor time of the same)\n", "", median(oursCpu));
    std::printf("  %-52s %9.2f ms   (processor time %.2f ms)\n", "after a reload of the rows from the file",
                median(afterReload), median(afterReloadCpu));
    std::printf("  %-52s %9.2f ms\n", "after a deletion from the sorted list", median(afterDelete));
    std::printf("  %-52s %9.2f ms   (%d rows)\n", "after a search for \"a\"", median(afterSearch),
                list->recordCount());
    std::printf("  %-52s %9.0f ms   | without keeping days and prices %.0f ms\n",
                "the reload itself, keeping days and prices", median(reloadKept), median(reloadBare));
    std::printf("  %-52s %9.0f ms   | without keeping days and prices %.0f ms\n",
                "(processor time of the same)", median(reloadKeptCpu), median(reloadBareCpu));
    std::printf("  %-52s %9.2f ms\n", "the same without the kept rows (ListTotals::of)", median(fresh));
    std::printf("  %-52s %9.2f ms   expired %d, within 30 days %d, priced %d\n",
                "reference: QString per value, QDate::fromString", median(naive), n.expired, n.within30,
                n.priced);
    std::printf("  %-52s %9.2f ms   expired %s, within 30 days %s\n",
                "reference: one aggregate statement in the engine", median(engine),
                qPrintable(aggregate.value(0, 1)), qPrintable(aggregate.value(0, 2)));
    std::printf("  %-52s %9.2f ms   (%d rows) | without the name condition %.2f ms (%d rows)\n",
                "\"已过期\" within the search for \"a\" (engine)", median(expiredList), expiredRows,
                median(expiredAll), expiredAllRows);
    std::printf("  for scale: reading the rows after the first ones (the start's steps at once) %.0f ms\n",
                openMs);
    return 0;
}
