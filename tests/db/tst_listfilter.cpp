#include "db/Expiry.h"
#include "db/ListFilter.h"

#include <QtTest>

using Choice = ListFilter::ExpiryChoice;
Q_DECLARE_METATYPE(ListFilter)

namespace {
const QDate kToday(2026, 3, 1);

ListFilter expiring(Choice choice, int year = 0)
{
    ListFilter filter;
    filter.expiry = choice;
    filter.year = year;
    return filter;
}

ListFilter priced(qint64 minCents, qint64 maxCents, bool notNumber = false)
{
    ListFilter filter;
    filter.minCents = minCents;
    filter.maxCents = maxCents;
    filter.priceNotNumber = notNumber;
    return filter;
}
} // namespace

class TestListFilter : public QObject
{
    Q_OBJECT
private slots:
    void endings_data();
    void endings();
    void rows_data();
    void rows();
};

void TestListFilter::endings_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("ending");
    QTest::newRow("com") << QStringLiteral("abc.com") << QStringLiteral(".com");
    QTest::newRow("com.cn") << QStringLiteral("lvyouhunqing.com.cn") << QStringLiteral(".com.cn");
    QTest::newRow("chinese") << QString::fromUtf8("旅游.中国") << QString::fromUtf8(".中国");
    QTest::newRow("upper case") << QStringLiteral("ABC.CN") << QStringLiteral(".cn");
    QTest::newRow("no dot") << QStringLiteral("localhost") << QStringLiteral("");
}

void TestListFilter::endings()
{
    QFETCH(QString, domain);
    QFETCH(QString, ending);
    QCOMPARE(ListFilter::endingOf(domain.toStdString()), ending);
}

void TestListFilter::rows_data()
{
    QTest::addColumn<ListFilter>("filter");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("registrar");
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QString>("price");
    QTest::addColumn<bool>("accepted");

    const QString aliyun = QString::fromUtf8("阿里云");
    ListFilter byRegistrar;
    byRegistrar.registrar = aliyun;
    ListFilter byEnding;
    byEnding.ending = QStringLiteral(".cn");
    ListFilter combined = priced(1000000, -1);
    combined.registrar = aliyun;
    combined.ending = QStringLiteral(".cn");
    combined.expiry = Choice::Year;
    combined.year = 2027;

    QTest::newRow("no filter") << ListFilter{} << QStringLiteral("a.com") << QStringLiteral("")
                               << QStringLiteral("junk") << QStringLiteral("junk") << true;
    QTest::newRow("registrar same") << byRegistrar << QStringLiteral("a.com") << aliyun << QStringLiteral("")
                                    << QStringLiteral("") << true;
    QTest::newRow("registrar other") << byRegistrar << QStringLiteral("a.com") << QStringLiteral("GoDaddy")
                                     << QStringLiteral("") << QStringLiteral("") << false;
    QTest::newRow("registrar is exact") << byRegistrar << QStringLiteral("a.com") << aliyun + QLatin1Char(' ')
                                        << QStringLiteral("") << QStringLiteral("") << false;
    QTest::newRow("ending same") << byEnding << QStringLiteral("a.cn") << QStringLiteral("")
                                 << QStringLiteral("") << QStringLiteral("") << true;
    QTest::newRow("ending longer") << byEnding << QStringLiteral("a.com.cn") << QStringLiteral("")
                                   << QStringLiteral("") << QStringLiteral("") << false;
    QTest::newRow("expired yesterday")
        << expiring(Choice::Expired) << QStringLiteral("a.com") << QStringLiteral("")
        << QStringLiteral("2026-02-28") << QStringLiteral("") << true;
    QTest::newRow("expired not today")
        << expiring(Choice::Expired) << QStringLiteral("a.com") << QStringLiteral("")
        << QStringLiteral("2026-03-01") << QStringLiteral("") << false;
    QTest::newRow("expired unreadable")
        << expiring(Choice::Expired) << QStringLiteral("a.com") << QStringLiteral("")
        << QStringLiteral("soon") << QStringLiteral("") << false;
    QTest::newRow("30 days last") << expiring(Choice::Within30) << QStringLiteral("a.com")
                                  << QStringLiteral("") << QStringLiteral("2026-03-31") << QStringLiteral("")
                                  << true;
    QTest::newRow("30 days past") << expiring(Choice::Within30) << QStringLiteral("a.com")
                                  << QStringLiteral("") << QStringLiteral("2026-04-01") << QStringLiteral("")
                                  << false;
    QTest::newRow("90 days today") << expiring(Choice::Within90) << QStringLiteral("a.com")
                                   << QStringLiteral("") << QStringLiteral("2026/3/1") << QStringLiteral("")
                                   << true;
    QTest::newRow("90 days last") << expiring(Choice::Within90) << QStringLiteral("a.com")
                                  << QStringLiteral("") << QStringLiteral("2026-05-30") << QStringLiteral("")
                                  << true;
    QTest::newRow("90 days past") << expiring(Choice::Within90) << QStringLiteral("a.com")
                                  << QStringLiteral("") << QStringLiteral("2026-05-31") << QStringLiteral("")
                                  << false;
    QTest::newRow("90 days expired") << expiring(Choice::Within90) << QStringLiteral("a.com")
                                     << QStringLiteral("") << QStringLiteral("2026-02-01")
                                     << QStringLiteral("") << false;
    QTest::newRow("year in") << expiring(Choice::Year, 2027) << QStringLiteral("a.com") << QStringLiteral("")
                             << QString::fromUtf8("2027年12月31日") << QStringLiteral("") << true;
    QTest::newRow("year out") << expiring(Choice::Year, 2027) << QStringLiteral("a.com") << QStringLiteral("")
                              << QStringLiteral("2028-01-01") << QStringLiteral("") << false;
    QTest::newRow("min inclusive") << priced(1000000, -1) << QStringLiteral("a.com") << QStringLiteral("")
                                   << QStringLiteral("") << QStringLiteral("10,000") << true;
    QTest::newRow("min below") << priced(1000000, -1) << QStringLiteral("a.com") << QStringLiteral("")
                               << QStringLiteral("") << QStringLiteral("9999.99") << false;
    QTest::newRow("max inclusive") << priced(-1, 500) << QStringLiteral("a.com") << QStringLiteral("")
                                   << QStringLiteral("") << QStringLiteral("5") << true;
    QTest::newRow("max above") << priced(-1, 500) << QStringLiteral("a.com") << QStringLiteral("")
                               << QStringLiteral("") << QStringLiteral("5.01") << false;
    QTest::newRow("range skips words") << priced(0, -1) << QStringLiteral("a.com") << QStringLiteral("")
                                       << QStringLiteral("") << QString::fromUtf8("面议") << false;
    QTest::newRow("not number words") << priced(-1, -1, true) << QStringLiteral("a.com") << QStringLiteral("")
                                      << QStringLiteral("") << QString::fromUtf8("面议") << true;
    QTest::newRow("not number empty") << priced(-1, -1, true) << QStringLiteral("a.com") << QStringLiteral("")
                                      << QStringLiteral("") << QStringLiteral("") << true;
    QTest::newRow("not number plain") << priced(-1, -1, true) << QStringLiteral("a.com") << QStringLiteral("")
                                      << QStringLiteral("") << QStringLiteral("88") << false;
    QTest::newRow("question all met") << combined << QStringLiteral("x.cn") << aliyun
                                      << QStringLiteral("2027-06-01") << QStringLiteral("20000") << true;
    QTest::newRow("question ending off") << combined << QStringLiteral("x.com.cn") << aliyun
                                         << QStringLiteral("2027-06-01") << QStringLiteral("20000") << false;
    QTest::newRow("question year off") << combined << QStringLiteral("x.cn") << aliyun
                                       << QStringLiteral("2026-06-01") << QStringLiteral("20000") << false;
    QTest::newRow("question price off") << combined << QStringLiteral("x.cn") << aliyun
                                        << QStringLiteral("2027-06-01") << QStringLiteral("9000") << false;
}

void TestListFilter::rows()
{
    QFETCH(ListFilter, filter);
    QFETCH(QString, domain);
    QFETCH(QString, registrar);
    QFETCH(QString, expires);
    QFETCH(QString, price);
    QFETCH(bool, accepted);
    const std::string d = domain.toStdString(), r = registrar.toStdString(), e = expires.toStdString(),
                      p = price.toStdString();
    QCOMPARE(filter.accepts(d, r, e, p, expiry::dayOf(kToday)), accepted);
}

QTEST_GUILESS_MAIN(TestListFilter)
#include "tst_listfilter.moc"
