#include "EngineConnection.h"
#include "TestDb.h"
#include "db/DomainList.h"
#include "db/Expiry.h"
#include "db/ListFilter.h"
#include "db/Sql.h"

#include <QRandomGenerator>
#include <QSignalSpy>
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

// The test data's values, in the forms the engine reads the same way as the program: dates as
// yyyy-mm-dd (or not dates at all), prices as digits with or without thousands commas and decimals.
const QStringList kEndings = {QStringLiteral(".com"),
                              QStringLiteral(".cn"),
                              QStringLiteral(".com.cn"),
                              QStringLiteral(".中国"),
                              QStringLiteral(".COM"),
                              QStringLiteral(".Net"),
                              QString()};
const QStringList kRegistrars = {QStringLiteral("阿里云"), QStringLiteral("万网"), QStringLiteral("GoDaddy"),
                                 QString(), QStringLiteral("阿里云 ")};
const QStringList kPrices = {QStringLiteral("面议"),        QString(),
                             QStringLiteral("12,345"),      QStringLiteral("88.5"),
                             QStringLiteral(" 100 "),       QStringLiteral("10000"),
                             QStringLiteral("1,000,000.01")};
const QStringList kSearches = {QString(), QStringLiteral("a"), QStringLiteral("中"), QStringLiteral("b.")};

// The engine's WHERE for a filter, with its parameters appended to `params`.
QString engineWhere(const ListFilter& filter, const QDate& today, QStringList& params)
{
    QStringList terms;
    if (!filter.registrar.isEmpty()) {
        terms << QStringLiteral("a3 = ?%1").arg(params.size() + 1);
        params << filter.registrar;
    }
    if (!filter.ending.isEmpty()) {
        terms << QStringLiteral("instr(a1, '.') > 0 and lower(substr(a1, instr(a1, '.'))) = ?%1")
                     .arg(params.size() + 1);
        params << filter.ending;
    }
    const QString date = QStringLiteral("date(a6) = a6 and ");
    const QString day = today.toString(Qt::ISODate);
    switch (filter.expiry) {
    case Choice::Any:
        break;
    case Choice::Expired:
        terms << date + QStringLiteral("a6 < '%1'").arg(day);
        break;
    case Choice::Within30:
        terms << date + QStringLiteral("a6 between '%1' and '%2'")
                            .arg(day, today.addDays(30).toString(Qt::ISODate));
        break;
    case Choice::Within90:
        terms << date + QStringLiteral("a6 between '%1' and '%2'")
                            .arg(day, today.addDays(90).toString(Qt::ISODate));
        break;
    case Choice::Year:
        terms << date + QStringLiteral("substr(a6, 1, 4) = '%1'").arg(filter.year);
        break;
    }
    const QString plain = QStringLiteral("replace(trim(a9), ',', '')");
    const QString isNumber = QStringLiteral("(%1 glob '[0-9]*' and %1 not glob '*[^0-9.]*' and %1 not glob "
                                            "'*.*.*' and %1 not glob '*.')")
                                 .arg(plain);
    const QString cents = QStringLiteral("cast(round(cast(%1 as real) * 100) as integer)").arg(plain);
    if (filter.priceNotNumber)
        terms << QStringLiteral("not ") + isNumber;
    if (filter.minCents >= 0)
        terms << isNumber + QStringLiteral(" and %1 >= %2").arg(cents).arg(filter.minCents);
    if (filter.maxCents >= 0)
        terms << isNumber + QStringLiteral(" and %1 <= %2").arg(cents).arg(filter.maxCents);
    return terms.isEmpty() ? QStringLiteral("1")
                           : QLatin1Char('(') + terms.join(QStringLiteral(") and (")) + QLatin1Char(')');
}

ListFilter randomFilter(QRandomGenerator& random)
{
    ListFilter filter;
    if (random.bounded(3) == 0)
        filter.registrar = kRegistrars[random.bounded(kRegistrars.size())];
    if (random.bounded(3) == 0)
        filter.ending = kEndings[random.bounded(kEndings.size())].toLower();
    filter.expiry = Choice(random.bounded(5));
    filter.year = 2024 + random.bounded(6);
    switch (random.bounded(5)) {
    case 0:
        filter.minCents = random.bounded(2000000);
        break;
    case 1:
        filter.maxCents = random.bounded(2000000);
        break;
    case 2:
        filter.minCents = 8850;
        filter.maxCents = 1000000;
        break;
    case 3:
        filter.priceNotNumber = true;
        break;
    default:
        break;
    }
    return filter;
}

QStringList listedAids(const Dataset* rows)
{
    QStringList aids;
    for (int r = 0; r < rows->recordCount(); ++r)
        aids << rows->value(r, QStringLiteral("aid"));
    return aids;
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
    void againstEngine();
    void keepsOrderAndCurrent();
    void rowsComingIn();
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

// Random domains, searches and filters: the list shows the rows the engine's WHERE gives, in the same
// order, and the counts of the choices and the totals follow the engine too.
void TestListFilter::againstEngine()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QRandomGenerator random(27);
    const QDate today(2026, 3, 1);
    QStringList inserts;
    for (int i = 0; i < 400; ++i) {
        QString name;
        for (int n = 1 + random.bounded(3); n > 0; --n)
            name += QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                QStringLiteral("中")}[random.bounded(3)];
        name += kEndings[random.bounded(kEndings.size())];
        const int shape = random.bounded(10);
        // Days at the edges of the expiry choices are many.
        const int edges[] = {-1, 0, 30, 31, 90, 91};
        const QString expires =
            shape == 0   ? QStringLiteral("soon")
            : shape == 1 ? QString()
            : shape <= 4 ? today.addDays(edges[random.bounded(6)]).toString(Qt::ISODate)
            : shape == 5
                ? QDate(2027, random.bounded(2) ? 1 : 12, random.bounded(2) ? 1 : 31).toString(Qt::ISODate)
                : today.addDays(random.bounded(-800, 1300)).toString(Qt::ISODate);
        inserts << QStringLiteral("insert into tt_a (a1, a3, a6, a9) values ('%1', '%2', '%3', '%4');")
                       .arg(name, kRegistrars[random.bounded(kRegistrars.size())], expires,
                            random.bounded(3) == 0 ? QString::number(random.bounded(30000))
                                                   : kPrices[random.bounded(kPrices.size())]);
    }
    QCOMPARE(db.exec(QStringLiteral("begin;") + inserts.join(QString()) + QStringLiteral("commit;")),
             QString());
    DomainList* list = db.module()->domains();
    QVERIFY(list->showDefault().ok());
    const EngineConnection engine(db.path());
    QVERIFY(engine.handle());

    for (int round = 0; round < 300; ++round) {
        const QString text = kSearches[random.bounded(kSearches.size())];
        const ListFilter filter = randomFilter(random);
        // The search and the filter set in either order.
        if (random.bounded(2)) {
            QVERIFY(list->search(text).ok());
            list->setFilter(filter, today);
        } else {
            list->setFilter(filter, today);
            QVERIFY(list->search(text).ok());
        }
        QStringList params{text};
        const QString where = engineWhere(filter, today, params);
        QString error;
        QStringList expected = engine.rows(
            QStringLiteral("select aid from tt_a where a1 like '%' || ?1 || '%' and %1 order by aid desc")
                .arg(where),
            params, &error);
        QCOMPARE(error, QString());
        const QString context =
            QStringLiteral("round %1, search \"%2\", where %3").arg(round).arg(text, where);
        QVERIFY2(listedAids(db.queryA()) == expected, qPrintable(context));

        // The totals of the list shown.
        const ListTotals totals = db.module()->listCounter()->count(*db.queryA(), expiry::dayOf(today));
        const QStringList sums = engine.rows(
            QStringLiteral(
                "select count(*), total(case when %1 then 1 end) from tt_a where a1 like '%' || ?1 "
                "|| '%' and %2")
                .arg(QStringLiteral("date(a6) = a6 and a6 < '%1'").arg(today.toString(Qt::ISODate)), where),
            params, &error);
        QCOMPARE(error, QString());
        QCOMPARE(QStringLiteral("%1|%2.0").arg(totals.count).arg(totals.expired), sums.value(0));

        // The registrars to choose from: those of the search, before the filter.
        const FilterChoices choices = list->filterChoices();
        QStringList registrars;
        for (const auto& [name, count] : choices.registrars)
            registrars << QStringLiteral("%1|%2").arg(name).arg(count);
        registrars.sort();
        QStringList engineRegistrars = engine.rows(
            QStringLiteral(
                "select a3, count(*) from tt_a where a1 like '%' || ?1 || '%' and a3 <> '' group by a3"),
            {text}, &error);
        engineRegistrars.sort();
        QCOMPARE(registrars, engineRegistrars);
        // And the expiry years, in order.
        QStringList years;
        for (const auto& [year, count] : choices.years)
            years << QStringLiteral("%1|%2").arg(year).arg(count);
        QCOMPARE(years,
                 engine.rows(QStringLiteral("select substr(a6, 1, 4), count(*) from tt_a where a1 like '%' "
                                            "|| ?1 || '%' and date(a6) = a6 group by 1 order by 1"),
                             {text}, &error));
    }
}

// d1.com .. d<count>.com, every third one (d3, d6 ...) at 阿里云.
void addEveryThirdAliyun(TestDb& db, int count)
{
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QCOMPARE(db.addManyDomains(count), QString());
    QCOMPARE(db.exec(QStringLiteral("update tt_a set a3 = '阿里云' where aid % 3 = 0")), QString());
}

// A filter set or taken away keeps the list's sort and its current domain, with one reset.
void TestListFilter::keepsOrderAndCurrent()
{
    TestDb db;
    addEveryThirdAliyun(db, 300);
    DomainList* list = db.module()->domains();
    QVERIFY(list->showDefault().ok());
    QVERIFY(list->sortBy(QStringLiteral("a1")).ok());
    const QStringList sorted = columnTexts(db.queryA(), QStringLiteral("a1"));
    QCOMPARE(sorted.mid(0, 4), QStringLiteral("d1.com d2.com d3.com d4.com").split(QLatin1Char(' ')));
    list->setCurrentRow(int(sorted.indexOf(QStringLiteral("d30.com"))));

    QSignalSpy changes(list, &DomainList::changed);
    ListFilter aliyun;
    aliyun.registrar = QStringLiteral("阿里云");
    list->setFilter(aliyun, kToday);
    int resets = 0;
    for (const QList<QVariant>& change : changes)
        resets += change.at(0).value<ListChange>().kind == ListChange::Kind::Reset;
    QCOMPARE(resets, 2); // told before and after
    QStringList expected;
    for (const QString& name : sorted) {
        if (name.mid(1, name.size() - 5).toInt() % 3 == 0)
            expected << name;
    }
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), expected);
    QCOMPARE(list->current().domain, QStringLiteral("d30.com"));

    list->setFilter({}, kToday);
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), sorted);
    QCOMPARE(list->current().domain, QStringLiteral("d30.com"));
}

// Rows read in steps after the start are filtered as they come; a deleted row stays gone.
void TestListFilter::rowsComingIn()
{
    TestDb db;
    addEveryThirdAliyun(db, 3000);
    DomainList* list = db.module()->domains();
    ListFilter aliyun;
    aliyun.registrar = QStringLiteral("阿里云");
    list->setFilter(aliyun, kToday);
    db.queryA()->setSql(sql::kDefaultList);
    QCOMPARE(db.queryA()->openInSteps(100, 100).error(), QString());
    QVERIFY(list->isFilling());
    QVERIFY(list->count() <= 100);
    QTRY_VERIFY(!list->isFilling());
    QCOMPARE(list->count(), 1000);
    QCOMPARE(list->current().domain, QStringLiteral("d3000.com"));
    QVERIFY(list->deleteCurrent().ok());
    list->setFilter({}, kToday);
    QCOMPARE(list->count(), 2999);
    QVERIFY(!columnTexts(db.queryA(), QStringLiteral("a1")).contains(QStringLiteral("d3000.com")));
    list->setFilter(aliyun, kToday);
    QCOMPARE(list->count(), 999);
}

QTEST_GUILESS_MAIN(TestListFilter)
#include "tst_listfilter.moc"
