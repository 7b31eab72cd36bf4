#include "LocalServers.h"
#include "TestDb.h"
#include "db/Backup.h"
#include "registry/AnswerLog.h"
#include "registry/BootstrapUpdate.h"
#include "registry/Directory.h"
#include "registry/LookupJob.h"
#include "registry/Parsers.h"
#include "registry/Review.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(registry::Parsed::Kind)

using localservers::ace;
using localservers::fixture;

namespace {

const QByteArray kCnnicFree = "No matching record.\r\n";
const QByteArray kCnnicSlow = "Queried interval is too short.\r\n";

const Answer* answerFor(const QList<Answer>& answers, const QString& domain)
{
    for (const Answer& a : answers)
        if (a.domain == domain)
            return &a;
    return nullptr;
}

// The columns of a table of answers: the answer's text and what its reader should find in it.
void addAnswerColumns()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<Parsed::Kind>("kind");
    QTest::addColumn<QDate>("registered");
    QTest::addColumn<QDate>("expires");
    QTest::addColumn<QString>("registrar");
    QTest::addColumn<QStringList>("statuses");
}

void checkAnswer(const Parsed& p)
{
    QTEST(p.kind, "kind");
    QTEST(p.registered, "registered");
    QTEST(p.expires, "expires");
    QTEST(p.registrar, "registrar");
    QTEST(p.statuses, "statuses");
    if (p.kind == Parsed::Kind::Unreadable)
        QVERIFY(!p.reason.isEmpty());
}

// The shortest gap between two requests that came one after the other.
qint64 shortestGap(const QList<qint64>& arrivals)
{
    qint64 gap = std::numeric_limits<qint64>::max();
    for (qsizetype i = 1; i < arrivals.size(); ++i)
        gap = std::min(gap, arrivals[i] - arrivals[i - 1]);
    return gap;
}
} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT
private slots:
    void rdapAnswers_data();
    void rdapAnswers();
    void whoisAnswers_data();
    void whoisAnswers();
    void dates_data();
    void dates();
    void retryAfter();
    void bootstrap();
    void asciiNames_data();
    void asciiNames();
    void shippedDirectory_data();
    void shippedDirectory();
    void bootstrapRefresh();

    void lookupAgainstLocalServers();
    void politenessPerServer();
    void cancelStopsAtOnce();
    void plainHttpRefusedOutsideTests();

    void reviewDefaults();
    void applyWritesTickedAfterBackup();
    void applyKeepsNewerEdit();
    void applyNothingTickedWritesNothing();
    void answerLog();
};

void TestRegistry::rdapAnswers_data()
{
    addAnswerColumns();

    QTest::newRow(".com, registrar with a nested abuse contact")
        << fixture("rdap_com.json") << Parsed::Kind::Found << QDate(1997, 9, 15) << QDate(2028, 9, 14)
        << QStringLiteral("MarkMonitor Inc.")
        << QStringList{u"client delete prohibited"_s, u"client transfer prohibited"_s,
                       u"client update prohibited"_s};
    QTest::newRow("registrar nested under a reseller, registrant first")
        << fixture("rdap_nested.json") << Parsed::Kind::Found << QDate(2015, 5, 1) << QDate(2027, 5, 1)
        << QStringLiteral("阿里云计算有限公司（万网）") << QStringList{u"active"_s};
    QTest::newRow("no registrar, no events")
        << QByteArray(R"({"objectClassName":"domain","ldhName":"x.com","status":["redemption period"]})")
        << Parsed::Kind::Found << QDate() << QDate() << QString() << QStringList{u"redemption period"_s};
    QTest::newRow("error object 404")
        << QByteArray(R"({"errorCode":404,"title":"Not Found"})") << Parsed::Kind::Free << QDate() << QDate()
        << QString() << QStringList();
    QTest::newRow("error object 400")
        << QByteArray(R"({"errorCode":400,"title":"Bad Request"})") << Parsed::Kind::Unreadable << QDate()
        << QDate() << QString() << QStringList();
    QTest::newRow("malformed") << QByteArray(R"({"objectClassName":"domain","events":[)")
                               << Parsed::Kind::Unreadable << QDate() << QDate() << QString()
                               << QStringList();
    QTest::newRow("an HTML page") << QByteArray("<html><body>maintenance</body></html>")
                                  << Parsed::Kind::Unreadable << QDate() << QDate() << QString()
                                  << QStringList();
    QTest::newRow("an entity, not a domain")
        << QByteArray(R"({"objectClassName":"entity","roles":["registrar"]})") << Parsed::Kind::Unreadable
        << QDate() << QDate() << QString() << QStringList();
}

void TestRegistry::rdapAnswers()
{
    QFETCH(QByteArray, answer);
    checkAnswer(parseRdap(answer));
}

void TestRegistry::whoisAnswers_data()
{
    addAnswerColumns();

    QTest::newRow("CNNIC, repeated status")
        << fixture("whois_cnnic.txt") << Parsed::Kind::Found << QDate(2003, 3, 17) << QDate(2027, 3, 17)
        << QStringLiteral("阿里云计算有限公司（万网）")
        << QStringList{u"clientDeleteProhibited"_s, u"clientTransferProhibited"_s, u"serverHold"_s};
    QTest::newRow("CNNIC, free") << kCnnicFree << Parsed::Kind::Free << QDate() << QDate() << QString()
                                 << QStringList();
    QTest::newRow("CNNIC, too often")
        << kCnnicSlow << Parsed::Kind::SlowDown << QDate() << QDate() << QString() << QStringList();
    QTest::newRow("Verisign thin answer, status with its link")
        << fixture("whois_verisign.txt") << Parsed::Kind::Found << QDate(1995, 8, 14) << QDate(2025, 8, 13)
        << QStringLiteral("RESERVED-Internet Assigned Numbers Authority")
        << QStringList{u"clientDeleteProhibited"_s, u"clientTransferProhibited"_s,
                       u"clientUpdateProhibited"_s};
    QTest::newRow("Verisign, free") << QByteArray(
                                           "No match for \"VACANT-NAME.COM\".\r\n>>> Last update <<<\r\n")
                                    << Parsed::Kind::Free << QDate() << QDate() << QString() << QStringList();
    QTest::newRow("Nominet, dates on their own lines")
        << fixture("whois_nominet.txt") << Parsed::Kind::Found << QDate(1996, 8, 26) << QDate(2026, 8, 26)
        << QString() << QStringList();
    QTest::newRow("JPRS brackets: reported, not guessed")
        << fixture("whois_jprs.txt") << Parsed::Kind::Unreadable << QDate() << QDate() << QString()
        << QStringList();
    QTest::newRow("empty") << QByteArray() << Parsed::Kind::Unreadable << QDate() << QDate() << QString()
                           << QStringList();
    QTest::newRow("statuses alone are no answer")
        << QByteArray("Domain Status: ok\r\n") << Parsed::Kind::Unreadable << QDate() << QDate() << QString()
        << QStringList();
}

void TestRegistry::whoisAnswers()
{
    QFETCH(QByteArray, answer);
    checkAnswer(parseWhois(answer));
}

void TestRegistry::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("plain") << "2026-12-10" << QDate(2026, 12, 10);
    QTest::newRow("with time") << "2026-12-10 12:48:36" << QDate(2026, 12, 10);
    QTest::newRow("zulu") << "2026-12-10T04:00:00Z" << QDate(2026, 12, 10);
    QTest::newRow("fraction") << "2026-12-10T23:59:59.0Z" << QDate(2026, 12, 10);
    QTest::newRow("offset, the day as written") << "2026-12-10T23:30:00-05:00" << QDate(2026, 12, 10);
    QTest::newRow("day-month-year") << "26-Aug-1996" << QDate(1996, 8, 26);
    QTest::newRow("slashes") << "2026/02/28" << QDate(2026, 2, 28);
    QTest::newRow("Chinese") << "2026年1月5日" << QDate(2026, 1, 5);
    QTest::newRow("no such day") << "2026-02-30" << QDate();
    QTest::newRow("words") << "never" << QDate();
    QTest::newRow("unknown month") << "26-Foo-1996" << QDate();
}

void TestRegistry::dates()
{
    QFETCH(QString, text);
    QTEST(parseDate(text), "date");
}

void TestRegistry::retryAfter()
{
    const QDateTime now(QDate(2026, 12, 10), QTime(8, 0, 0), Qt::UTC);
    QCOMPARE(parseRetryAfter("5", now), 5);
    QCOMPARE(parseRetryAfter(" 120 ", now), 120);
    QCOMPARE(parseRetryAfter("Thu, 10 Dec 2026 08:01:30 GMT", now), 90);
    QCOMPARE(parseRetryAfter("", now), -1);
    QCOMPARE(parseRetryAfter("soon", now), -1);
    QCOMPARE(parseRetryAfter("-3", now), -1);
}

void TestRegistry::bootstrap()
{
    RdapBootstrap b;
    const QByteArray json =
        "{\"publication\":\"2026-11-30T20:00:01Z\",\"services\":["
        "[[\"com\",\"net\"],[\"http://plain.example/com/\",\"https://rdap.example/com/v1\"]],"
        "[[\"uk\"],[\"https://rdap.nic.uk/\"]],"
        "[[\"co.uk\"],[\"https://rdap.co-uk.example/\"]],"
        "[[\"org\"],[\"ftp://odd.example/\"]]]}";
    QVERIFY(b.parse(json));
    QCOMPARE(b.publication(), QStringLiteral("2026-11-30T20:00:01Z"));
    QCOMPARE(b.baseFor(QStringLiteral("a.com")),
             QStringLiteral("https://rdap.example/com/v1/")); // https, a "/" added
    QCOMPARE(b.baseFor(QStringLiteral("www.a.net")), QStringLiteral("https://rdap.example/com/v1/"));
    QCOMPARE(b.baseFor(QStringLiteral("shop.co.uk")),
             QStringLiteral("https://rdap.co-uk.example/")); // longest
    QCOMPARE(b.baseFor(QStringLiteral("shop.uk")), QStringLiteral("https://rdap.nic.uk/"));
    QCOMPARE(b.baseFor(QStringLiteral("a.org")), QString()); // no usable address
    QCOMPARE(b.baseFor(QStringLiteral("a.cn")), QString());
    QCOMPARE(b.baseFor(QStringLiteral("com")), QString()); // a suffix alone is no name under it
    QString error;
    QVERIFY(!b.parse("{}", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!b.parse("not json", &error));

    WhoisServers w;
    w.parse(QStringLiteral("# comment\ncn whois.cnnic.cn\ncom.cn  other.example:4343  # "
                           "trailing\n\nxn--fiqs8s whois.cnnic.cn\n"));
    QCOMPARE(w.serverFor(QStringLiteral("a.cn")), QStringLiteral("whois.cnnic.cn"));
    QCOMPARE(w.serverFor(QStringLiteral("a.com.cn")), QStringLiteral("other.example:4343"));
    QCOMPARE(w.serverFor(QStringLiteral("a.net")), QString());
}

void TestRegistry::asciiNames_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("ascii");
    QTest::newRow("plain") << "Example.COM"
                           << "example.com";
    QTest::newRow("blanks and final dot") << "  example.com.  "
                                          << "example.com";
    QTest::newRow(".中国") << "岚枢.中国" << ace(QStringLiteral("岚枢.中国"));
    QTest::newRow("Chinese full stop") << "岚枢。中国" << ace(QStringLiteral("岚枢.中国"));
    QTest::newRow("one label") << "localhost"
                               << "";
    QTest::newRow("blank inside") << "exa mple.com"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestRegistry::asciiNames()
{
    QFETCH(QString, domain);
    QTEST(asciiName(domain), "ascii");
    QVERIFY(ace(QStringLiteral("岚枢.中国")).startsWith(QLatin1String("xn--")));
}

void TestRegistry::shippedDirectory_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("source");
    QTest::newRow(".com") << "example.com"
                          << "RDAP https://rdap.verisign.com/com/v1/";
    QTest::newRow(".cn") << "example.cn"
                         << "WHOIS whois.cnnic.cn";
    QTest::newRow(".com.cn") << "example.com.cn"
                             << "WHOIS whois.cnnic.cn";
    QTest::newRow(".net.cn") << "example.net.cn"
                             << "WHOIS whois.cnnic.cn";
    QTest::newRow(".中国") << "岚枢.中国"
                           << "WHOIS whois.cnnic.cn";
    QTest::newRow(".me prefers https") << "example.me"
                                       << "RDAP https://rdap.identitydigital.services/rdap/";
    QTest::newRow("unknown suffix") << "example.zz"
                                    << "";
}

void TestRegistry::shippedDirectory()
{
    QFETCH(QString, domain);
    QFETCH(QString, source);
    const Route r = Directory::shipped().route(domain);
    QCOMPARE(r.source, source);
    if (r.kind == Route::Kind::Rdap)
        QCOMPARE(r.url.toString(), r.source.mid(5) + QStringLiteral("domain/") + r.ascii);
    if (r.kind == Route::Kind::Whois)
        QCOMPARE(r.port, quint16(43));
}

void TestRegistry::bootstrapRefresh()
{
    QTemporaryDir folder;
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(Directory::bootstrapDue(folder.path(), now));
    QVERIFY(!Directory::load(folder.path()).route(u"example.zz"_s).url.isValid());

    localservers::Http iana;
    const QByteArray newer =
        R"({"publication":"2099-01-01T00:00:00Z","services":[[["zz"],["https://rdap.zz.example/"]]]})";
    iana.serve("/rdap/dns.json", {{200, "{\"services\":[", {}, false}, {200, newer, {}, false}});
    LookupOptions options;
    options.allowPlainHttp = true;
    auto fetch = [&] {
        BootstrapUpdate update(QUrl(iana.base() + u"rdap/dns.json"_s), folder.path(), options);
        QSignalSpy finished(&update, &BootstrapUpdate::finished);
        update.start();
        [&] { QTRY_COMPARE(finished.size(), 1); }();
        return update.error();
    };
    // A broken answer is not stored; the shipped snapshot stays in use.
    QVERIFY(!fetch().isEmpty());
    QVERIFY(!QFile::exists(QDir(folder.path()).filePath(Directory::kBootstrapFile)));
    QVERIFY(Directory::bootstrapDue(folder.path(), now));
    // A good one is, and is used from then on; not due again within the day.
    QCOMPARE(fetch(), QString());
    QVERIFY(!Directory::bootstrapDue(folder.path(), QDateTime::currentDateTime().addSecs(23 * 3600)));
    QVERIFY(Directory::bootstrapDue(folder.path(), QDateTime::currentDateTime().addSecs(25 * 3600)));
    QCOMPARE(Directory::load(folder.path()).route(u"example.zz"_s).url.toString(),
             u"https://rdap.zz.example/domain/example.zz"_s);
    // Outside tests only https is fetched.
    BootstrapUpdate plain(QUrl(iana.base() + u"rdap/dns.json"_s), folder.path());
    QSignalSpy finished(&plain, &BootstrapUpdate::finished);
    plain.start();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!plain.error().isEmpty());
    QCOMPARE(iana.paths().size(), 2);
}

void TestRegistry::lookupAgainstLocalServers()
{
    localservers::Http rdap;                               // the .com registry
    localservers::Http other(QStringLiteral("127.0.0.2")); // where a redirect leads
    localservers::Whois whois;                             // CNNIC
    using R = localservers::Http::Reply;
    rdap.serve("/rdap/domain/example-portfolio.com", {R{200, fixture("rdap_com.json"), {}, false}});
    rdap.serve("/rdap/domain/nested-registrar.com", {R{200, fixture("rdap_nested.json"), {}, false}});
    rdap.serve("/rdap/domain/busy.com",
               {R{429, "{}", {{"Retry-After", "1"}}, false}, R{200, fixture("rdap_nested.json"), {}, false}});
    rdap.serve("/rdap/domain/hop.com", {R{302, {}, {{"Location", "/rdap/hop-2"}}, false}});
    rdap.serve("/rdap/hop-2",
               {R{301, {}, {{"Location", other.base().toLatin1() + "rdap/domain/hop.com"}}, false}});
    other.serve("/rdap/domain/hop.com", {R{200, fixture("rdap_com.json"), {}, false}});
    rdap.serve("/rdap/domain/loop.com", {R{302, {}, {{"Location", "/rdap/domain/loop.com"}}, false}});
    rdap.serve("/rdap/domain/broken.com", {R{200, R"({"objectClassName":"domain","events":[{)", {}, false}});
    rdap.serve("/rdap/domain/huge.com",
               {R{200,
                  "{\"objectClassName\":\"domain\",\"x\":\"" + QByteArray(1100 * 1024, 'a') + "\"}",
                  {},
                  false}});
    rdap.serve("/rdap/domain/silent.com", {R{200, {}, {}, true}});
    whois.serve("lanshu-example.cn", {fixture("whois_cnnic.txt")});
    whois.serve(ace(QStringLiteral("岚枢.中国")).toLatin1(), {fixture("whois_cnnic.txt")});
    whois.serve("slow.cn", {kCnnicSlow, fixture("whois_cnnic.txt")});
    whois.serve("silent.cn", {});

    RdapBootstrap b;
    QVERIFY(b.parse(QStringLiteral(R"({"services":[[["com"],["%1rdap/"]]]})").arg(rdap.base()).toUtf8()));
    WhoisServers w;
    w.parse(QStringLiteral("cn %1\nxn--fiqs8s %1\n").arg(whois.server()));
    LookupOptions options;
    options.intervalMs = 60;
    options.timeoutMs = 1500;
    options.allowPlainHttp = true;
    const QStringList domains = {u"example-portfolio.com"_s,
                                 u"nested-registrar.com"_s,
                                 u"free-name.com"_s,
                                 u"busy.com"_s,
                                 u"hop.com"_s,
                                 u"loop.com"_s,
                                 u"broken.com"_s,
                                 u"huge.com"_s,
                                 u"silent.com"_s,
                                 u"lanshu-example.cn"_s,
                                 u"岚枢.中国"_s,
                                 u"vacant.cn"_s,
                                 u"slow.cn"_s,
                                 u"silent.cn"_s,
                                 u"nowhere.zz"_s,
                                 u"not a name"_s};
    QList<LookupItem> items;
    for (int i = 0; i < domains.size(); ++i)
        items.append({QString::number(i + 1), domains[i]});
    LookupJob job(Directory(b, w), items, options);
    QSignalSpy progress(&job, &LookupJob::progress);
    QSignalSpy finished(&job, &LookupJob::finished);
    job.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    QVERIFY(!job.isRunning());
    QCOMPARE(job.answers().size(), domains.size());
    QCOMPARE(progress.size(), domains.size());
    QCOMPARE(progress.last().at(0).toInt(), domains.size());
    QCOMPARE(progress.last().at(1).toInt(), domains.size());

    const QList<Answer>& answers = job.answers();
    auto found = [&](const char* domain) {
        const Answer* a = answerFor(answers, QString::fromUtf8(domain));
        if (!a || a->outcome != Answer::Outcome::Found)
            qWarning() << domain << (a ? a->reason : QStringLiteral("no answer"));
        return a && a->outcome == Answer::Outcome::Found ? a : nullptr;
    };
    auto failedWith = [&](const char* domain, const char* words) {
        const Answer* a = answerFor(answers, QString::fromUtf8(domain));
        const bool ok =
            a && a->outcome == Answer::Outcome::Failed && a->reason.contains(QString::fromUtf8(words));
        if (!ok)
            qWarning() << domain << (a ? a->reason : QStringLiteral("no answer"));
        return ok;
    };
    const Answer* com = found("example-portfolio.com");
    QVERIFY(com);
    QCOMPARE(com->expires, QDate(2028, 9, 14));
    QCOMPARE(com->registrar, QStringLiteral("MarkMonitor Inc."));
    QCOMPARE(com->source, QStringLiteral("RDAP %1rdap/").arg(rdap.base()));
    QCOMPARE(com->aid, QStringLiteral("1"));
    QVERIFY(com->time.isValid());
    QCOMPARE(found("nested-registrar.com")->registrar, QStringLiteral("阿里云计算有限公司（万网）"));
    QCOMPARE(answerFor(answers, QStringLiteral("free-name.com"))->outcome, Answer::Outcome::Unregistered);
    QCOMPARE(found("busy.com")->expires, QDate(2027, 5, 1)); // asked again after the pause
    QCOMPARE(found("hop.com")->expires, QDate(2028, 9, 14)); // two redirects, the second to another server
    QCOMPARE(other.paths(), QList<QByteArray>{"/rdap/domain/hop.com"});
    QVERIFY(failedWith("loop.com", "转向超过 3 次"));
    QCOMPARE(rdap.paths().count("/rdap/domain/loop.com"), 4); // the first request and three redirects
    QVERIFY(failedWith("broken.com", "不是有效的 RDAP"));
    QVERIFY(failedWith("huge.com", "超过 1 MB"));
    QVERIFY(failedWith("silent.com", "秒内没有完整的答复"));
    const Answer* cn = found("lanshu-example.cn");
    QVERIFY(cn);
    QCOMPARE(cn->expires, QDate(2027, 3, 17));
    QCOMPARE(cn->registered, QDate(2003, 3, 17));
    QCOMPARE(cn->source, QStringLiteral("WHOIS 127.0.0.1"));
    QCOMPARE(cn->statuses.size(), 3);
    const Answer* zhongguo = found("岚枢.中国");
    QVERIFY(zhongguo);
    QCOMPARE(zhongguo->queried, ace(QStringLiteral("岚枢.中国")));
    QVERIFY(whois.names().contains(ace(QStringLiteral("岚枢.中国")).toLatin1()));
    QCOMPARE(answerFor(answers, QStringLiteral("vacant.cn"))->outcome, Answer::Outcome::Unregistered);
    QVERIFY(found("slow.cn"));
    QCOMPARE(whois.names().count("slow.cn"), 2);
    QVERIFY(failedWith("silent.cn", "秒内没有完整的答复"));
    QVERIFY(failedWith("nowhere.zz", "不知道"));
    QVERIFY(failedWith("not a name", "不是有效的域名"));

    // The pause the server asked for, and the longer one after "too short".
    const QList<qint64> at = rdap.arrivals();
    const QList<QByteArray> paths = rdap.paths();
    const qsizetype first = paths.indexOf("/rdap/domain/busy.com");
    const qsizetype second = paths.lastIndexOf("/rdap/domain/busy.com");
    QVERIFY(second > first);
    QVERIFY2(at[second] - at[first] >= 1000, qPrintable(QString::number(at[second] - at[first])));
    const QList<QByteArray> names = whois.names();
    const QList<qint64> whoisAt = whois.arrivals();
    QVERIFY(whoisAt[names.lastIndexOf("slow.cn")] - whoisAt[names.indexOf("slow.cn")] >=
            2 * options.intervalMs);
    // One at a time, never closer than the interval, on every server.
    QVERIFY2(shortestGap(at) >= options.intervalMs, qPrintable(QString::number(shortestGap(at))));
    QVERIFY2(shortestGap(whoisAt) >= options.intervalMs, qPrintable(QString::number(shortestGap(whoisAt))));
}

void TestRegistry::politenessPerServer()
{
    // Three servers, each with several names: each server is asked one at a time, at least the interval
    // apart, while the servers are asked side by side.
    QList<std::shared_ptr<localservers::Whois>> servers;
    QString table;
    QList<LookupItem> items;
    const char* suffixes[] = {"cn", "hk", "tw"};
    for (int s = 0; s < 3; ++s) {
        servers.append(std::make_shared<localservers::Whois>(QStringLiteral("127.0.0.%1").arg(s + 1)));
        servers.last()->fallback = fixture("whois_cnnic.txt");
        table += QStringLiteral("%1 %2\n").arg(QLatin1String(suffixes[s]), servers.last()->server());
        for (int i = 0; i < 6; ++i)
            items.append({QString::number(items.size() + 1),
                          QStringLiteral("name%1.%2").arg(i).arg(QLatin1String(suffixes[s]))});
    }
    WhoisServers w;
    w.parse(table);
    LookupOptions options;
    options.intervalMs = 150;
    options.allowPlainHttp = true;
    LookupJob job(Directory({}, w), items, options);
    QSignalSpy finished(&job, &LookupJob::finished);
    QElapsedTimer clock;
    clock.start();
    job.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    const qint64 took = clock.elapsed();
    for (const auto& server : servers) {
        QCOMPARE(server->arrivals().size(), 6);
        QVERIFY2(shortestGap(server->arrivals()) >= options.intervalMs,
                 qPrintable(QString::number(shortestGap(server->arrivals()))));
    }
    // Side by side: about 5 intervals in all, not 17.
    QVERIFY2(took < 12 * options.intervalMs, qPrintable(QString::number(took)));
    for (const Answer& a : job.answers())
        QCOMPARE(a.outcome, Answer::Outcome::Found);
}

void TestRegistry::cancelStopsAtOnce()
{
    localservers::Whois whois;
    whois.serve("silent.cn", {});
    WhoisServers w;
    w.parse(QStringLiteral("cn %1\n").arg(whois.server()));
    QList<LookupItem> items{{u"1"_s, u"silent.cn"_s}, {u"2"_s, u"later.cn"_s}};
    QElapsedTimer clock;
    {
        LookupJob job(Directory({}, w), items, LookupOptions{.allowPlainHttp = true});
        QSignalSpy finished(&job, &LookupJob::finished);
        QSignalSpy progress(&job, &LookupJob::progress);
        job.start();
        QTRY_COMPARE(whois.names().size(), 1);
        clock.start();
        job.cancel();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!job.isRunning());
        QVERIFY(job.wasCancelled());
        QVERIFY(job.answers().isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(progress.size(), 0);
    }
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(whois.names().size(), 1); // the second name was never asked
}

void TestRegistry::plainHttpRefusedOutsideTests()
{
    localservers::Http rdap;
    rdap.serve("/domain/example.com", {localservers::Http::Reply{200, fixture("rdap_com.json"), {}, false}});
    RdapBootstrap b;
    QVERIFY(b.parse(QStringLiteral(R"({"services":[[["com"],["%1"]]]})").arg(rdap.base()).toUtf8()));
    LookupJob job(Directory(b, {}), {{u"1"_s, u"example.com"_s}});
    QSignalSpy finished(&job, &LookupJob::finished);
    job.start();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(job.answers().size(), 1);
    QCOMPARE(job.answers()[0].outcome, Answer::Outcome::Failed);
    QVERIFY(job.answers()[0].reason.contains(QLatin1String("https")));
    QVERIFY(rdap.paths().isEmpty());
}

namespace {
Answer found(const QString& aid, const QString& domain, QDate registered, QDate expires,
             const QString& registrar, QStringList statuses = {})
{
    Answer a;
    a.aid = aid;
    a.domain = domain;
    a.outcome = Answer::Outcome::Found;
    a.registered = registered;
    a.expires = expires;
    a.registrar = registrar;
    a.statuses = statuses;
    a.source = QStringLiteral("RDAP https://rdap.example/");
    a.time = QDateTime(QDate(2026, 12, 10), QTime(9, 0));
    return a;
}

const Difference* differenceOf(const Comparison& c, const QString& domain, Field field)
{
    for (const Difference& d : c.differences)
        if (d.domain == domain && d.field == field)
            return &d;
    return nullptr;
}
} // namespace

void TestRegistry::reviewDefaults()
{
    auto record = [](const char* aid, const char* domain, const char* registrar, const char* registered,
                     const char* expires) {
        DomainRecord r;
        r.aid = QString::fromUtf8(aid);
        r.domain = QString::fromUtf8(domain);
        r.registrar = QString::fromUtf8(registrar);
        r.registered = QString::fromUtf8(registered);
        r.expires = QString::fromUtf8(expires);
        return r;
    };
    const QList<DomainRecord> stored{
        record("1", "later.com", "MarkMonitor Inc.", "1997-09-15", "2026-09-14"),
        record("2", "earlier.com", "markmonitor  inc.", "1997/9/15", "2030-01-01"),
        record("3", "empty.cn", "", "", ""),
        record("4", "moved.cn", "新网", "2003-03-17", "2027年3月17日"),
        record("5", "text.cn", "阿里云", "2003-03-17", "明年"),
        record("6", "gone.com", "x", "", "2027-01-01"),
        record("7", "dying.com", "MarkMonitor Inc.", "1997-09-15", "2028-09-14"),
        record("8", "failed.com", "", "", ""),
    };
    Answer gone;
    gone.aid = u"6"_s;
    gone.domain = u"gone.com"_s;
    gone.outcome = Answer::Outcome::Unregistered;
    Answer failed;
    failed.aid = u"8"_s;
    failed.domain = u"failed.com"_s;
    failed.reason = QStringLiteral("20 秒内没有完整的答复");
    const QList<Answer> answers{
        found(u"1"_s, u"later.com"_s, QDate(1997, 9, 15), QDate(2028, 9, 14), u"MarkMonitor Inc."_s),
        found(u"2"_s, u"earlier.com"_s, QDate(1997, 9, 15), QDate(2028, 9, 14), u"MarkMonitor Inc."_s),
        found(u"3"_s, u"empty.cn"_s, QDate(2003, 3, 17), QDate(2027, 3, 17), u"阿里云计算有限公司（万网）"_s),
        found(u"4"_s, u"moved.cn"_s, QDate(2003, 3, 17), QDate(2027, 3, 17), u"阿里云计算有限公司（万网）"_s),
        found(u"5"_s, u"text.cn"_s, QDate(2003, 3, 17), QDate(2027, 3, 17), u"阿里云"_s),
        gone,
        found(u"7"_s, u"dying.com"_s, QDate(1997, 9, 15), QDate(2028, 9, 14), u"MarkMonitor Inc."_s,
              {u"redemption period"_s, u"client transfer prohibited"_s}),
        failed,
    };
    const Comparison c = compare(stored, answers);

    // A later registry date: ticked. The same registrar in other letter case and blanks: no difference.
    const Difference* later = differenceOf(c, u"later.com"_s, Field::Expires);
    QVERIFY(later);
    QVERIFY(later->ticked && !later->earlier);
    QCOMPARE(later->stored, QStringLiteral("2026-09-14"));
    QCOMPARE(later->registry, QStringLiteral("2028-09-14"));
    QVERIFY(!differenceOf(c, u"later.com"_s, Field::Registered));
    QVERIFY(!differenceOf(c, u"later.com"_s, Field::Registrar));
    QVERIFY(!differenceOf(c, u"earlier.com"_s, Field::Registrar));
    // An earlier registry date: unticked and marked. The same day written otherwise: no difference.
    const Difference* earlier = differenceOf(c, u"earlier.com"_s, Field::Expires);
    QVERIFY(earlier);
    QVERIFY(!earlier->ticked && earlier->earlier && !earlier->note.isEmpty());
    QVERIFY(!differenceOf(c, u"earlier.com"_s, Field::Registered));
    // Empty stored values: ticked, the registrar too.
    for (Field f : {Field::Registered, Field::Expires, Field::Registrar}) {
        const Difference* d = differenceOf(c, u"empty.cn"_s, f);
        QVERIFY(d);
        QVERIFY(d->ticked);
        QVERIFY(!d->prominent);
    }
    // A changed registrar: shown prominently, not ticked; a date written in Chinese is the same day.
    const Difference* moved = differenceOf(c, u"moved.cn"_s, Field::Registrar);
    QVERIFY(moved);
    QVERIFY(moved->prominent && !moved->ticked);
    QVERIFY(!differenceOf(c, u"moved.cn"_s, Field::Expires));
    // A stored text that is no date: listed, not ticked.
    const Difference* text = differenceOf(c, u"text.cn"_s, Field::Expires);
    QVERIFY(text);
    QVERIFY(!text->ticked);
    // Unregistered, alarming status, failure: notices, the first two prominent; no values to store.
    QVERIFY(!differenceOf(c, u"gone.com"_s, Field::Expires));
    QCOMPARE(c.notices.size(), 3);
    QCOMPARE(c.notices[0].kind, Notice::Kind::Unregistered);
    QCOMPARE(c.notices[0].domain, QStringLiteral("gone.com"));
    QVERIFY(c.notices[0].prominent);
    QCOMPARE(c.notices[1].kind, Notice::Kind::Status);
    QVERIFY(c.notices[1].text.contains(QLatin1String("redemption period")));
    QVERIFY(!c.notices[1].text.contains(QLatin1String("transfer")));
    QVERIFY(c.notices[1].prominent);
    QCOMPARE(c.notices[2].kind, Notice::Kind::Failed);
    QVERIFY(c.notices[2].text.contains(u"20 秒"_s));
    QCOMPARE(c.answered, 7);

    for (const char* s :
         {"redemption period", "pendingDelete", "pending delete", "clientHold", "server hold", "serverHold"})
        QVERIFY2(alarmingStatus(QString::fromUtf8(s)), s);
    for (const char* s : {"ok", "active", "client transfer prohibited", "clientDeleteProhibited"})
        QVERIFY2(!alarmingStatus(QString::fromUtf8(s)), s);
}

void TestRegistry::applyWritesTickedAfterBackup()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const qint64 a = db.insert(
        {u"a.com"_s, u"说明"_s, u""_s, u""_s, u""_s, u"2026-01-01"_s, u"备注"_s, u"pw"_s, u"100"_s});
    const qint64 b = db.insert(
        {u"b.cn"_s, u""_s, u"新网"_s, u""_s, u"2003-03-17"_s, u"2026-03-17"_s, u""_s, u""_s, u"0"_s});
    QList<Difference> ticked{
        {QString::number(a),
         u"a.com"_s,
         Field::Expires,
         u"2026-01-01"_s,
         u"2028-09-14"_s,
         true,
         false,
         false,
         {}},
        {QString::number(a),
         u"a.com"_s,
         Field::Registrar,
         u""_s,
         u"MarkMonitor Inc."_s,
         true,
         false,
         false,
         {}},
        {QString::number(b),
         u"b.cn"_s,
         Field::Expires,
         u"2026-03-17"_s,
         u"2027-03-17"_s,
         true,
         false,
         false,
         {}},
    };
    QVERIFY(backup::copies(db.path()).isEmpty());
    const Applied applied =
        apply(db.module()->Conn_service(), db.path(), ticked, QDateTime(QDate(2026, 12, 10), QTime(9, 30)));
    QVERIFY2(applied.error.isEmpty(), qPrintable(applied.error));
    QCOMPARE(applied.domains, 2);
    QCOMPARE(applied.values, 3);
    QVERIFY(applied.conflicts.isEmpty());
    QCOMPARE(db.row(a), (QStringList{QString::number(a), u"a.com"_s, u"说明"_s, u"MarkMonitor Inc."_s, u""_s,
                                     u""_s, u"2028-09-14"_s, u"备注"_s, u"pw"_s, u"100"_s}));
    QCOMPARE(db.row(b)[6], QStringLiteral("2027-03-17"));
    QCOMPARE(db.row(b)[3], QStringLiteral("新网"));
    // The copy was made before the values went in: it holds the old date.
    QCOMPARE(backup::copies(db.path()).size(), 1);
    Connection copy;
    QVERIFY(
        copy.open(backup::folderFor(db.path()) + QLatin1Char('/') + backup::copies(db.path()).first()).ok());
    Dataset rows(&copy);
    rows.setSql(QStringLiteral("select a6 from tt_a where aid=%1").arg(a));
    QVERIFY(rows.open().ok());
    QCOMPARE(rows.value(0, 0), QStringLiteral("2026-01-01"));
}

void TestRegistry::applyKeepsNewerEdit()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const qint64 a =
        db.insert({u"a.com"_s, u""_s, u""_s, u""_s, u""_s, u"2026-01-01"_s, u""_s, u""_s, u""_s});
    const qint64 b =
        db.insert({u"b.com"_s, u""_s, u""_s, u""_s, u""_s, u"2026-01-01"_s, u""_s, u""_s, u""_s});
    const QList<Difference> ticked{
        {QString::number(a),
         u"a.com"_s,
         Field::Expires,
         u"2026-01-01"_s,
         u"2028-09-14"_s,
         true,
         false,
         false,
         {}},
        {QString::number(b),
         u"b.com"_s,
         Field::Expires,
         u"2026-01-01"_s,
         u"2028-09-14"_s,
         true,
         false,
         false,
         {}},
    };
    // The user renewed a.com and typed the new date while the registries were being asked.
    QVERIFY(db.exec(QStringLiteral("update tt_a set a6='2029-01-01' where aid=%1").arg(a)).isEmpty());
    const Applied applied =
        apply(db.module()->Conn_service(), db.path(), ticked, QDateTime::currentDateTime());
    QVERIFY2(applied.error.isEmpty(), qPrintable(applied.error));
    QCOMPARE(db.row(a)[6], QStringLiteral("2029-01-01"));
    QCOMPARE(db.row(b)[6], QStringLiteral("2028-09-14"));
    QCOMPARE(applied.domains, 1);
    QCOMPARE(applied.conflicts.size(), 1);
    QVERIFY(applied.conflicts[0].contains(QLatin1String("a.com")));
    QVERIFY(applied.conflicts[0].contains(QLatin1String("2029-01-01")));
}

void TestRegistry::applyNothingTickedWritesNothing()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.insert({u"a.com"_s, u""_s, u""_s, u""_s, u""_s, u"2026-01-01"_s, u""_s, u""_s, u""_s});
    const Applied applied = apply(db.module()->Conn_service(), db.path(), {}, QDateTime::currentDateTime());
    QVERIFY(applied.error.isEmpty());
    QCOMPARE(applied.domains, 0);
    QVERIFY(backup::copies(db.path()).isEmpty());
}

void TestRegistry::answerLog()
{
    QTemporaryDir dir;
    AnswerLog log(dir.path());
    QCOMPARE(log.line(QStringLiteral("a.com")), QString());
    Answer free;
    free.domain = QStringLiteral("free.cn");
    free.outcome = Answer::Outcome::Unregistered;
    free.time = QDateTime(QDate(2026, 12, 9), QTime(8, 0));
    Answer failed;
    failed.domain = QStringLiteral("failed.com");
    failed.time = free.time;
    QVERIFY(log.record({found(u"1"_s, u"A.com"_s, {}, QDate(2028, 1, 1), u"x"_s, {u"ok"_s}), free, failed})
                .isEmpty());
    QCOMPARE(log.line(QStringLiteral("a.com")), QStringLiteral("注册局信息：2026-12-10 查询，状态 ok"));
    QCOMPARE(log.line(QStringLiteral("free.cn")), QStringLiteral("注册局信息：2026-12-09 查询，未注册"));
    QCOMPARE(log.line(QStringLiteral("failed.com")), QString());
    // Another reader of the same folder sees it; a later answer replaces the earlier one.
    AnswerLog again(dir.path());
    QCOMPARE(again.entry(QStringLiteral("A.COM")).source, QStringLiteral("RDAP https://rdap.example/"));
    QVERIFY(again.record({found(u"1"_s, u"a.com"_s, {}, {}, {}, {u"client hold"_s, u"ok"_s})}).isEmpty());
    QCOMPARE(again.line(QStringLiteral("a.com")),
             QStringLiteral("注册局信息：2026-12-10 查询，状态 client hold，ok"));
    QCOMPARE(again.line(QStringLiteral("free.cn")), QStringLiteral("注册局信息：2026-12-09 查询，未注册"));
    QVERIFY(QFile::permissions(dir.filePath(AnswerLog::kFileName)) & QFileDevice::ReadOwner);
    QVERIFY(!(QFile::permissions(dir.filePath(AnswerLog::kFileName)) & QFileDevice::ReadOther));
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
