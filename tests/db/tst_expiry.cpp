#include "TestDb.h"
#include "db/DataModule.h"
#include "db/DomainList.h"
#include "db/Expiry.h"
#include "db/ListTotals.h"
#include "db/Sql.h"

#include <QtTest>

using expiry::Status;
Q_DECLARE_METATYPE(expiry::Status)

namespace {
// The day every classification below is taken against.
const QDate kToday(2026, 3, 1);

QString dayText(int offset)
{
    return kToday.addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

class TestExpiry : public QObject
{
    Q_OBJECT
private slots:
    void dateForms_data();
    void dateForms();
    void classesAroundTheBoundaries_data();
    void classesAroundTheBoundaries();
    void plainPrices_data();
    void plainPrices();
    void groupedAmounts_data();
    void groupedAmounts();
    void totalsFollowTheRowsHeld();
    void keptTotalsMatchARecount();
    void expiryListsAreSoonestFirstAndReopenTheSame();
    void expiryListsWithinASearchHoldWhatTheSearchHolds();
    void expiryListsWithinASearchInEveryField();
};

void TestExpiry::dateForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: unreadable

    const QDate d(2026, 1, 5);
    const QDate none;
    QTest::newRow("dashes") << "2026-01-05" << d;
    QTest::newRow("dashes, short") << "2026-1-5" << d;
    QTest::newRow("slashes") << "2026/1/5" << d;
    QTest::newRow("slashes, padded") << "2026/01/05" << d;
    QTest::newRow("dots") << "2026.1.5" << d;
    QTest::newRow("chinese") << "2026年1月5日" << d;
    QTest::newRow("chinese, padded") << "2026年01月05日" << d;
    QTest::newRow("chinese, no 日") << "2026年1月5" << d;
    QTest::newRow("eight digits") << "20260105" << d;
    QTest::newRow("blanks around") << "  2026-01-05\t " << d;
    QTest::newRow("wide blank") << "\u30002026-01-05" << d;
    QTest::newRow("dashes + h:mm") << "2026-01-05 12:30" << d;
    QTest::newRow("dashes + h:mm:ss") << "2026-01-05 08:30:15" << d;
    QTest::newRow("T + time") << "2026-01-05T23:59:59" << d;
    QTest::newRow("slashes + short hour") << "2026/1/5 8:05" << d;
    QTest::newRow("dots + fraction") << "2026.1.5 23:59:59.123" << d;
    QTest::newRow("chinese + h:mm") << "2026年1月5日 12:30" << d;
    QTest::newRow("chinese + 时分") << "2026年1月5日 12时30分" << d;
    QTest::newRow("chinese + 时分秒") << "2026年1月5日 9时5分7秒" << d;
    QTest::newRow("eight digits + time") << "20260105 12:30" << d;
    QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("last day of year") << "2026/12/31" << QDate(2026, 12, 31);

    QTest::newRow("empty") << "" << none;
    QTest::newRow("words") << "面议" << none;
    QTest::newRow("not a leap year") << "2023-02-29" << none;
    QTest::newRow("month 13") << "2026-13-01" << none;
    QTest::newRow("month 0") << "2026-00-10" << none;
    QTest::newRow("april 31") << "2026-04-31" << none;
    QTest::newRow("eight digits, month 13") << "20261301" << none;
    QTest::newRow("nine digits") << "202601051" << none;
    QTest::newRow("mixed separators") << "2026-1/5" << none;
    QTest::newRow("two-digit year") << "26-01-05" << none;
    QTest::newRow("day first") << "05/01/2026" << none;
    QTest::newRow("three-digit month") << "2026-001-05" << none;
    QTest::newRow("trailing word") << "2026-01-05x" << none;
    QTest::newRow("time without blank") << "2026-01-0512:30" << none;
    QTest::newRow("hour 24") << "2026-01-05 24:00" << none;
    QTest::newRow("hour only") << "2026-01-05 12" << none;
    QTest::newRow("one-digit minute") << "2026-01-05 12:3" << none;
    QTest::newRow("T alone") << "2026-01-05T" << none;
    QTest::newRow("no day") << "2026年1月" << none;
    QTest::newRow("full-width digits") << "２０２６-01-05" << none;
}

void TestExpiry::dateForms()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(expiry::parse(text), expiry::dayOf(date));
    QCOMPARE(expiry::normalised(std::string_view(text.toUtf8().constData())),
             date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString());
}

void TestExpiry::classesAroundTheBoundaries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("remaining");

    QTest::newRow("a year ago") << dayText(-365) << Status::Expired << "已过期 365 天";
    QTest::newRow("yesterday") << dayText(-1) << Status::Expired << "已过期 1 天";
    QTest::newRow("today") << dayText(0) << Status::Within30 << "今天到期";
    QTest::newRow("today, late in the day")
        << dayText(0) + QStringLiteral(" 23:59") << Status::Within30 << "今天到期";
    QTest::newRow("tomorrow") << dayText(1) << Status::Within30 << "剩余 1 天";
    QTest::newRow("30 days") << dayText(30) << Status::Within30 << "剩余 30 天";
    QTest::newRow("31 days") << dayText(31) << Status::Within90 << "剩余 31 天";
    QTest::newRow("90 days") << dayText(90) << Status::Within90 << "剩余 90 天";
    QTest::newRow("91 days") << dayText(91) << Status::Fine << "剩余 91 天";
    QTest::newRow("over a year-end") << "2027/1/1" << Status::Fine << "剩余 306 天";
    QTest::newRow("unreadable") << "下个月" << Status::Unreadable << "";
}

void TestExpiry::classesAroundTheBoundaries()
{
    QFETCH(QString, text);
    QFETCH(Status, status);
    QFETCH(QString, remaining);
    const expiry::Day today = expiry::dayOf(kToday);
    QCOMPARE(expiry::classify(expiry::parse(text), today), status);
    QCOMPARE(expiry::remainingText(expiry::parse(text), today), remaining);
}

void TestExpiry::plainPrices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("cents"); // -1: not a plain number

    QTest::newRow("whole") << "1200" << qint64(120000);
    QTest::newRow("zero") << "0" << qint64(0);
    QTest::newRow("blanks around") << " 1200 " << qint64(120000);
    QTest::newRow("grouped") << "1,234,567" << qint64(123456700);
    QTest::newRow("one decimal") << "88.5" << qint64(8850);
    QTest::newRow("two decimals") << "88.05" << qint64(8805);
    QTest::newRow("rounded up") << "0.995" << qint64(100);
    QTest::newRow("rounded down") << "0.994" << qint64(99);
    QTest::newRow("fifteen digits") << "999999999999999" << qint64(99999999999999900);

    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("words") << "面议" << qint64(-1);
    QTest::newRow("with unit") << "1200元" << qint64(-1);
    QTest::newRow("negative") << "-5" << qint64(-1);
    QTest::newRow("bad group") << "1,20" << qint64(-1);
    QTest::newRow("long first group") << "1234,567" << qint64(-1);
    QTest::newRow("two points") << "1.2.3" << qint64(-1);
    QTest::newRow("point, no decimals") << "12." << qint64(-1);
    QTest::newRow("no whole part") << ".5" << qint64(-1);
    QTest::newRow("sixteen digits") << "1000000000000000" << qint64(-1);
    QTest::newRow("full-width digits") << "１２００" << qint64(-1);
}

void TestExpiry::plainPrices()
{
    QFETCH(QString, text);
    QFETCH(qint64, cents);
    const QByteArray utf8 = text.toUtf8();
    QCOMPARE(ListTotals::priceCentsOf(std::string_view(utf8.constData(), size_t(utf8.size()))), cents);
}

void TestExpiry::groupedAmounts_data()
{
    QTest::addColumn<qint64>("cents");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("hundreds") << qint64(99999) << "999.99";
    QTest::newRow("a thousand") << qint64(100000) << "1,000";
    QTest::newRow("millions") << qint64(123456700) << "1,234,567";
    QTest::newRow("cents") << qint64(8805) << "88.05";
    QTest::newRow("six digits") << qint64(12345600) << "123,456";
}

void TestExpiry::groupedAmounts()
{
    QFETCH(qint64, cents);
    QFETCH(QString, text);
    QCOMPARE(ListTotals::groupedAmount(cents), text);
}

void TestExpiry::totalsFollowTheRowsHeld()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    // a1, a6 (expiry) and a9 (price) matter here.
    auto add = [&db](const QString& name, const QString& expires, const QString& price) {
        QVERIFY(db.insert({name, {}, {}, {}, {}, expires, {}, {}, price}) > 0);
    };
    add(QStringLiteral("old.com"), dayText(-1), QStringLiteral("1,000"));
    add(QStringLiteral("today.com"), dayText(0) + QStringLiteral(" 09:00"), QStringLiteral("面议"));
    add(QStringLiteral("month.cn"), kToday.addDays(30).toString(QStringLiteral("yyyy/M/d")),
        QStringLiteral("2500.5"));
    add(QStringLiteral("later.cn"), kToday.addDays(31).toString(QStringLiteral("yyyyMMdd")),
        QStringLiteral("99"));
    add(QStringLiteral("never.com"), QStringLiteral("明年"), QString());

    const expiry::Day today = expiry::dayOf(kToday);
    Dataset* q = db.queryA();
    QVERIFY(q->replaceStatement(sql::kDefaultList).ok());
    ListTotals all = ListTotals::of(*q, today);
    QCOMPARE(all.count, 5);
    QCOMPARE(all.expired, 1);
    QCOMPARE(all.within30, 2);
    QCOMPARE(all.priced, 3);
    QCOMPARE(all.priceCents, qint64(100000 + 250050 + 9900));
    QCOMPARE(ListTotals::groupedAmount(all.priceCents), QStringLiteral("3,599.50"));

    // A search narrows the totals to what it found; a sort leaves them as they are.
    QVERIFY(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral(".cn")}}).ok());
    ListTotals cn = ListTotals::of(*q, today);
    QCOMPARE(cn.count, 2);
    QCOMPARE(cn.expired, 0);
    QCOMPARE(cn.within30, 1);
    QCOMPARE(cn.priceCents, qint64(250050 + 9900));
    QVERIFY(q->setSort(QStringLiteral("a9 DESC")).ok());
    QCOMPARE(ListTotals::of(*q, today), cn);

    // Deleting a row through the list takes it out of the totals.
    q->setCurrentRow(q->value(0, QStringLiteral("a1")) == QLatin1String("month.cn") ? 0 : 1);
    QVERIFY(q->deleteCurrent().ok());
    cn = ListTotals::of(*q, today);
    QCOMPARE(cn.count, 1);
    QCOMPARE(cn.within30, 0);
    QCOMPARE(cn.priceCents, qint64(9900));

    // A day later, "today" has expired too, and what was 31 days away is now 30.
    QVERIFY(q->replaceStatement(sql::kDefaultList).ok());
    const ListTotals tomorrow = ListTotals::of(*q, today + 1);
    QCOMPARE(tomorrow.expired, 2);
    QCOMPARE(tomorrow.within30, 1);

    // A closed list has nothing to count.
    q->close();
    QCOMPARE(ListTotals::of(*q, today), ListTotals());
}

// The module's counter takes each row's day and price while the rows are read; after every kind of change
// its figures are those of a count that reads every row's text again.
void TestExpiry::keptTotalsMatchARecount()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QCOMPARE(db.exec(QStringLiteral("begin")), QString());
    for (int i = 0; i < 300; ++i) {
        const QString price =
            i % 7 == 0 ? QStringLiteral("面议") : QString::number(i * 10) + QStringLiteral(".5");
        const QString expires = i % 11 == 0 ? QStringLiteral("明年") : dayText(i % 60 - 20);
        QVERIFY(db.insert({QStringLiteral("d%1.com").arg(i), {}, {}, {}, {}, expires, {}, {}, price}) > 0);
    }
    QCOMPARE(db.exec(QStringLiteral("commit")), QString());
    const expiry::Day today = expiry::dayOf(kToday);
    Dataset* q = db.queryA();
    ListCounter* kept = db.module()->listCounter();
    QCOMPARE(q->rowKeeper(), kept);
    // The kept figures, after checking them against a recount.
    ListTotals keptNow, recounted;
    auto counted = [&] {
        keptNow = kept->count(*q, today);
        recounted = ListTotals::of(*q, today);
        return keptNow == recounted;
    };
    QCOMPARE(q->open().error(), QString()); // read from the file
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 300);
    QVERIFY(keptNow.expired > 0 && keptNow.within30 > 0 && keptNow.priced < 300);
    QVERIFY(q->setSort(QStringLiteral("a9 DESC")).ok());
    QVERIFY(counted());
    QVERIFY(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("d1")}}).ok());
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 111); // d1, d10-d19, d100-d199
    QVERIFY(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("d")}}).ok());
    q->setCurrentRow(5);
    QVERIFY(q->deleteCurrent().ok());
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 299);
    const int within30 = keptNow.within30;
    QVERIFY(
        q->append({QStringLiteral("new.com"), {}, {}, {}, {}, dayText(3), {}, {}, QStringLiteral("1,000")})
            .ok());
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 300);
    QCOMPARE(keptNow.within30, within30 + 1);
    // Read again in steps, as at the start: the figures follow each step.
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(50).error(), QString());
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 50);
    QVERIFY(q->finishFill().ok());
    QVERIFY(counted());
    QCOMPARE(keptNow.count, 300);
    q->close();
    QCOMPARE(kept->count(*q, today), ListTotals());
}

void TestExpiry::expiryListsAreSoonestFirstAndReopenTheSame()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QStringList names = {QStringLiteral("a-late.com"),    QStringLiteral("b-soon.com"),
                               QStringLiteral("c-gone.cn"),     QStringLiteral("d-long-gone.com"),
                               QStringLiteral("e-today.cn"),    QStringLiteral("f-unreadable.com"),
                               QStringLiteral("g-gone-too.com")};
    const QStringList dates = {dayText(45),
                               kToday.addDays(3).toString(QStringLiteral("yyyy年M月d日")),
                               kToday.addDays(-2).toString(QStringLiteral("yyyy.M.d")) +
                                   QStringLiteral(" 10:00"),
                               dayText(-400),
                               dayText(0),
                               QStringLiteral("不详"),
                               kToday.addDays(-2).toString(QStringLiteral("yyyyMMdd"))};
    for (int i = 0; i < names.size(); ++i)
        QVERIFY(db.insert({names[i], {}, {}, {}, {}, dates[i]}) > 0);

    const QHash<QString, QString> params = {{QStringLiteral("q"), QString()},
                                            {QStringLiteral("today"), dayText(0)},
                                            {QStringLiteral("soon"), dayText(expiry::kSoonDays)}};
    Dataset* q = db.queryA();
    QVERIFY(q->replaceStatement(sql::kExpiredList, params).ok());
    // Soonest first; two on the same day come newest first.
    const QStringList expired = {QStringLiteral("d-long-gone.com"), QStringLiteral("g-gone-too.com"),
                                 QStringLiteral("c-gone.cn")};
    QCOMPARE(columnTexts(q, QStringLiteral("a1")), expired);
    QCOMPARE(q->currentRow(), 0);
    QVERIFY(q->open().ok());
    QCOMPARE(columnTexts(q, QStringLiteral("a1")), expired);
    QCOMPARE(ListTotals::of(*q, expiry::dayOf(kToday)).expired, expired.size());

    QVERIFY(q->replaceStatement(sql::kExpiringList, params).ok());
    QCOMPARE(columnTexts(q, QStringLiteral("a1")),
             QStringList({QStringLiteral("e-today.cn"), QStringLiteral("b-soon.com")}));

    // Within a search, only what the search finds.
    QHash<QString, QString> searched = params;
    searched.insert(QStringLiteral("q"), QStringLiteral(".cn"));
    QVERIFY(q->replaceStatement(sql::kExpiredList, searched).ok());
    QCOMPARE(columnTexts(q, QStringLiteral("a1")), QStringList({QStringLiteral("c-gone.cn")}));
    QVERIFY(q->replaceStatement(sql::kExpiringList, searched).ok());
    QCOMPARE(columnTexts(q, QStringLiteral("a1")), QStringList({QStringLiteral("e-today.cn")}));
}

// The search ignores the case of every letter ("äb" finds "ÄBC.cn"); an expiry list within that search
// holds the same names, so that "已过期 1 个" under the search lists one domain, not none.
void TestExpiry::expiryListsWithinASearchHoldWhatTheSearchHolds()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QVERIFY(db.insert({QStringLiteral("ÄBC.cn"), {}, {}, {}, {}, dayText(-10)}) > 0);
    QVERIFY(db.insert({QStringLiteral("äbx.com"), {}, {}, {}, {}, dayText(5)}) > 0);
    QVERIFY(db.insert({QStringLiteral("abc.com"), {}, {}, {}, {}, dayText(-3)}) > 0);
    QVERIFY(db.insert({QStringLiteral("ÉCOLE.cn"), {}, {}, {}, {}, dayText(-1)}) > 0);
    DomainList* list = db.module()->domains();
    QVERIFY(list->showDefault().ok());

    struct Case
    {
        QString typed;
        QStringList found, expired, expiring;
    };
    const QList<Case> cases = {
        {QStringLiteral("äb"),
         {QStringLiteral("äbx.com"), QStringLiteral("ÄBC.cn")},
         {QStringLiteral("ÄBC.cn")},
         {QStringLiteral("äbx.com")}},
        {QStringLiteral("ÄB"),
         {QStringLiteral("äbx.com"), QStringLiteral("ÄBC.cn")},
         {QStringLiteral("ÄBC.cn")},
         {QStringLiteral("äbx.com")}},
        {QStringLiteral("école"), {QStringLiteral("ÉCOLE.cn")}, {QStringLiteral("ÉCOLE.cn")}, {}},
        {QStringLiteral("ABC"), {QStringLiteral("abc.com")}, {QStringLiteral("abc.com")}, {}},
    };
    for (const Case& c : cases) {
        QVERIFY(list->search(c.typed).ok());
        QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), c.found);
        QVERIFY(list->showExpired(kToday).ok());
        QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), c.expired);
        QVERIFY(list->search(c.typed).ok());
        QVERIFY(list->showExpiring(kToday).ok());
        QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), c.expiring);
    }
}

void TestExpiry::expiryListsWithinASearchInEveryField()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    // a1, a2 description, a3 registrar, a4 address, a5, a6 expiry, a7 notes.
    QVERIFY(db.insert({QStringLiteral("old.cn"), {}, QStringLiteral("阿里云"), {}, {}, dayText(-10)}) > 0);
    QVERIFY(db.insert({QStringLiteral("soon.com"), QStringLiteral("阿里云转入"), {}, {}, {}, dayText(5)}) >
            0);
    QVERIFY(
        db.insert({QStringLiteral("note.net"), {}, {}, {}, {}, dayText(-2), QStringLiteral("续费 阿里云")}) >
        0);
    QVERIFY(
        db.insert(
            {QStringLiteral("addr.cn"), {}, {}, QStringLiteral("https://阿里云.example"), {}, dayText(20)}) >
        0);
    QVERIFY(db.insert({QStringLiteral("other.com"), {}, QStringLiteral("新网"), {}, {}, dayText(-1)}) > 0);
    DomainList* list = db.module()->domains();
    QVERIFY(list->showDefault().ok());

    QVERIFY(list->search(QStringLiteral("阿里云"), SearchScope::AllFields).ok());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{QStringLiteral("addr.cn"), QStringLiteral("note.net"), QStringLiteral("soon.com"),
                          QStringLiteral("old.cn")}));
    QVERIFY(list->showExpired(kToday).ok());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{QStringLiteral("old.cn"), QStringLiteral("note.net")}));
    QVERIFY(list->search(QStringLiteral("阿里云"), SearchScope::AllFields).ok());
    QVERIFY(list->showExpiring(kToday).ok());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{QStringLiteral("soon.com"), QStringLiteral("addr.cn")}));
    // The name search finds none of them, and its expiry lists hold none either.
    QVERIFY(list->search(QStringLiteral("阿里云")).ok());
    QCOMPARE(db.queryA()->recordCount(), 0);
    QVERIFY(list->showExpired(kToday).ok());
    QCOMPARE(db.queryA()->recordCount(), 0);
}

QTEST_GUILESS_MAIN(TestExpiry)
#include "tst_expiry.moc"
