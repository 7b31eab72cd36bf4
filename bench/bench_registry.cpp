// 从注册局更新 over 1,000 domains spread on 5 local registry servers (2 RDAP, 3 WHOIS in CNNIC's answer
// form), with the politeness interval of the program (1 s; --interval ms for a quicker run). Prints the
// total time against the busiest server's count × interval, the longest stalls of the window's event loop
// while the look-up runs, the time to build the review and the memory.
//   bench_registry [--domains 1000] [--interval 1000] [--show]
// --show: the portfolio panel over the same domains; 从注册局更新 (全部域名) runs the real flow with its
// progress and review dialogs (the servers are the local ones).
#include "LocalServers.h"
#include "Timing.h"
#include "db/DataModule.h"
#include "db/DomainWriter.h"
#include "db/Schema.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/RegistryReview.h"
#include "portfolio/RegistryUpdate.h"
#include "registry/LookupJob.h"
#include "registry/Review.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {
qint64 statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.simplified().split(' ').value(1).toLongLong();
    return 0;
}

// The servers, each on its own loopback address, living in a thread of their own so that their work
// is not counted as the window's.
struct Servers
{
    std::unique_ptr<localservers::Http> rdap[2];
    std::unique_ptr<localservers::Whois> whois[3];
};

// The answers: a .com/.net name gets the RDAP answer shaped like Verisign's, a .cn/.中国/.hk name CNNIC's;
// every tenth name is free, and the stored expiry dates are a year behind.
QString suffixOf(int i)
{
    static const char* const suffixes[] = {"com", "net", "cn", "中国", "hk"};
    return QString::fromUtf8(suffixes[i % 5]);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name, int fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const int domains = option("--domains", 1000);
    const int interval = option("--interval", 1000);
    const bool show = args.contains(QStringLiteral("--show"));
    Platform::setNetworkHook([] { return true; });

    // The servers in their own thread.
    QThread serverThread;
    serverThread.start();
    Servers servers;
    QObject anchor;
    anchor.moveToThread(&serverThread);
    QMetaObject::invokeMethod(
        &anchor,
        [&] {
            for (int i = 0; i < 2; ++i)
                servers.rdap[i] =
                    std::make_unique<localservers::Http>(QStringLiteral("127.0.0.%1").arg(i + 1));
            for (int i = 0; i < 3; ++i) {
                servers.whois[i] =
                    std::make_unique<localservers::Whois>(QStringLiteral("127.0.0.%1").arg(i + 3));
                servers.whois[i]->fallback = localservers::fixture("whois_cnnic.txt");
            }
            const QByteArray rdapAnswer = localservers::fixture("rdap_com.json");
            for (int i = 0; i < domains; ++i) {
                if (i % 5 >= 2 || i % 10 == 0)
                    continue;
                const QByteArray path =
                    "/rdap/domain/" +
                    QStringLiteral("bench-%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(suffixOf(i)).toLatin1();
                servers.rdap[i % 5]->serve(path, {{200, rdapAnswer, {}, false}});
            }
            for (int i = 0; i < domains; i += 10) {
                const QString name =
                    QStringLiteral("bench-%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(suffixOf(i));
                if (i % 5 >= 2)
                    servers.whois[i % 5 - 2]->serve(localservers::ace(name).toLatin1(),
                                                    {"No matching record.\r\n"});
            }
        },
        Qt::BlockingQueuedConnection);

    registry::RdapBootstrap rdap;
    (void)rdap.parse(QStringLiteral(R"({"services":[[["com"],["%1rdap/"]],[["net"],["%2rdap/"]]]})")
                         .arg(servers.rdap[0]->base(), servers.rdap[1]->base())
                         .toUtf8());
    registry::WhoisServers whois;
    whois.parse(QStringLiteral("cn %1\nxn--fiqs8s %2\nhk %3\n")
                    .arg(servers.whois[0]->server(), servers.whois[1]->server(), servers.whois[2]->server()));
    registry::LookupOptions options;
    options.intervalMs = interval;
    options.allowPlainHttp = true;
    const registry::Directory directory(rdap, whois);

    // The portfolio: 1,000 domains, their expiry dates a year behind the registry's.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QString error = schema::createShippedDatabase(path).error();
    std::unique_ptr<TDataModule2> data;
    if (error.isEmpty()) {
        auto opened = TDataModule2::create(path);
        error = opened.error();
        data = opened.take();
    }
    if (!data) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    DomainBatch batch(data->Conn_service());
    (void)batch.begin();
    QList<DomainRecord> records;
    for (int i = 0; i < domains; ++i) {
        DomainRecord r;
        r.domain = QStringLiteral("bench-%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(suffixOf(i));
        r.expires = i % 2 ? QStringLiteral("2027-09-14") : QString();
        r.registrar = i % 3 ? QStringLiteral("MarkMonitor Inc.") : QStringLiteral("新网");
        (void)batch.append(r);
    }
    (void)batch.commit();
    (void)data->domains()->showDefault();
    for (int row = 0; row < data->domains()->count(); ++row)
        records.append(data->domains()->record(row));

    if (show) {
        registryupdate::setTestServers(directory, options);
        TFr_guanli panel;
        panel.resize(1200, 720);
        panel.bindData(data.get());
        panel.show();
        QTimer::singleShot(500, &panel, [&] { panel.updateFromRegistries(2); });
        return app.exec();
    }

    // Stalls: a 5 ms tick on the window's thread; a gap longer than the tick is a stall.
    QElapsedTimer tickClock;
    tickClock.start();
    qint64 lastTick = 0;
    double longest = 0;
    int over50 = 0;
    std::vector<double> gaps;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = tickClock.nsecsElapsed();
        const double gap = double(now - lastTick) / 1e6;
        lastTick = now;
        gaps.push_back(gap);
        longest = std::max(longest, gap);
        over50 += gap > 50 ? 1 : 0;
    });

    const qint64 rssBefore = statusKb("VmRSS:");
    QList<registry::LookupItem> items;
    for (const DomainRecord& r : records)
        items.append({r.aid, r.domain});
    registry::LookupJob job(directory, items, options);
    QEventLoop wait;
    int progressed = 0;
    QObject::connect(&job, &registry::LookupJob::progress, [&](int done, int total) {
        progressed = done;
        (void)registryupdate::progressText(done, total);
    });
    QObject::connect(&job, &registry::LookupJob::finished, &wait, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    lastTick = tickClock.nsecsElapsed();
    tick.start(5);
    job.start();
    wait.exec();
    tick.stop();
    const double took = benchtime::msSince(clock);
    const qint64 rssAfter = statusKb("VmRSS:");

    int found = 0, free = 0, failed = 0;
    for (const registry::Answer& a : job.answers()) {
        found += a.outcome == registry::Answer::Outcome::Found;
        free += a.outcome == registry::Answer::Outcome::Unregistered;
        failed += a.outcome == registry::Answer::Outcome::Failed;
    }
    int busiest = 0;
    for (const auto& s : servers.rdap)
        busiest = std::max(busiest, int(s->arrivals().size()));
    for (const auto& s : servers.whois)
        busiest = std::max(busiest, int(s->arrivals().size()));

    QElapsedTimer reviewClock;
    reviewClock.start();
    const registry::Comparison comparison = registry::compare(records, job.answers());
    const double compared = benchtime::msSince(reviewClock);
    reviewClock.restart();
    {
        RegistryReview review(comparison);
        (void)review.ticked();
    }
    const double reviewBuilt = benchtime::msSince(reviewClock);

    std::sort(gaps.begin(), gaps.end());
    const double p99 = gaps.empty() ? 0 : gaps[size_t(double(gaps.size() - 1) * 0.99)];
    std::printf(
        "%d domains over 5 local servers, interval %d ms: %.0f ms in all (busiest server %d requests; "
        "%d x %d ms = %d ms); %d found, %d free, %d failed; %d progress signals\n",
        domains, interval, took, busiest, busiest, interval, busiest * interval, found, free, failed,
        progressed);
    std::printf(
        "window thread while asking: %zu ticks of 5 ms, longest gap %.1f ms, 99th percentile %.1f ms, "
        "%d gaps over 50 ms\n",
        gaps.size(), longest, p99, over50);
    std::printf("review: comparison %.1f ms, review dialog with %lld rows built in %.1f ms\n", compared,
                static_cast<long long>(comparison.differences.size()), reviewBuilt);
    std::printf("memory: resident %.1f MB before, %.1f MB after the look-up (peak %.1f MB)\n",
                rssBefore / 1024.0, rssAfter / 1024.0, statusKb("VmHWM:") / 1024.0);
    QMetaObject::invokeMethod(
        &anchor,
        [&] {
            for (auto& s : servers.rdap)
                s.reset();
            for (auto& s : servers.whois)
                s.reset();
        },
        Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
