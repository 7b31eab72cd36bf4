// Query_a answered from the rows it holds: searches and reloads of an unchanged file without the engine,
// but never stale (writes of this connection or of another process send it to the file again), deletes
// that stay deleted, the first rows at once and the rest in steps, and the natural sort with its byte keys
// for ASCII against the collator itself.
#include "TestDb.h"
#include "db/Connection.h"
#include "db/ListTotals.h"
#include "db/NaturalOrder.h"
#include "db/Sql.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <numeric>

namespace {
QStringList names(const Dataset* d)
{
    QStringList out;
    for (int r = 0; r < d->recordCount(); ++r)
        out << d->value(r, QStringLiteral("a1"));
    return out;
}

QString search(Dataset* q, const QString& text)
{
    return q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), text}}).error();
}

// Fills tt_a with count rows "n<i>.com" in one transaction; every third has expired by 2025, every
// fifth has no price, the others are priced i yuan.
void fill(TestDb& db, int count)
{
    QCOMPARE(db.exec(QStringLiteral("begin")), QString());
    QCOMPARE(db.exec(QStringLiteral("insert into tt_a (a1,a6,a9) with recursive n(i) as (select 1 union all "
                                    "select i+1 from n where i < %1) select 'n' || i || '.com', case when "
                                    "i % 3 = 0 then '2020-01-01' else '2099-01-01' end, case when i % 5 = 0 "
                                    "then '' else i end from n")
                         .arg(count)),
             QString());
    QCOMPARE(db.exec(QStringLiteral("commit")), QString());
}

// The names the engine itself lists for a search (a null text: the default list), on a connection of
// its own.
QStringList engineNames(const QString& path, const QString& text)
{
    Connection connection;
    if (!connection.open(path).ok())
        return {QStringLiteral("(not opened)")};
    Dataset engine(&connection);
    engine.setSql(text.isNull() ? sql::kDefaultList : sql::kSearch);
    if (!text.isNull())
        engine.setParam(QStringLiteral("q"), text);
    if (const QString error = engine.open().error(); !error.isEmpty())
        return {error};
    return names(&engine);
}

// Those of `all` (in their order) among the first `count` names of the default list.
QStringList amongFirst(const QStringList& all, const QStringList& defaultList, int count)
{
    const QSet<QString> read(defaultList.begin(), defaultList.begin() + count);
    QStringList out;
    for (const QString& n : all) {
        if (read.contains(n))
            out << n;
    }
    return out;
}

// One more step of an open in steps: the queued step runs, and nothing else waits.
void oneFillStep()
{
    QCoreApplication::processEvents();
}
} // namespace

class TestListMemory : public QObject
{
    Q_OBJECT
private slots:
    void searchSeesWritesNotYetReloaded_data();
    void searchSeesWritesNotYetReloaded();
    void unchangedReloadComesFromMemory();
    void deletedRowsStayDeleted();
    void missingNameIsNeverFound();
    void firstRowsAtOnceAndTheRestInSteps();
    void changesWaitForTheRestOfTheRows();
    void sameListAgainDoesNotWaitForTheRest();
    void searchWhileTheRowsComeIn_data();
    void searchWhileTheRowsComeIn();
    void writeWhileTheRowsComeInSendsTheSearchToTheFile();
    void sortMatchesTheCollator_data();
    void sortMatchesTheCollator();
};

void TestListMemory::searchSeesWritesNotYetReloaded_data()
{
    QTest::addColumn<bool>("otherProcess");
    QTest::newRow("this connection") << false;
    QTest::newRow("another connection") << true;
}

void TestListMemory::searchSeesWritesNotYetReloaded()
{
    QFETCH(bool, otherProcess);
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("alpha.com")});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(search(q, QStringLiteral("a")), QString());
    QCOMPARE(names(q), QStringList{QStringLiteral("alpha.com")});
    if (otherProcess) {
        Connection other;
        QCOMPARE(other.open(db.path()).error(), QString());
        QCOMPARE(other.execute(QStringLiteral("insert into tt_a (a1) values ('gamma.net')")).error(),
                 QString());
    } else {
        db.insert({QStringLiteral("gamma.net")});
    }
    QCOMPARE(search(q, QStringLiteral("a")), QString());
    QCOMPARE(names(q), (QStringList{QStringLiteral("gamma.net"), QStringLiteral("alpha.com")}));
}

void TestListMemory::unchangedReloadComesFromMemory()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* n : {"b.com", "a.com", "c.com"})
        db.insert({QString::fromLatin1(n)});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    const quint64 read = q->generation();
    QCOMPARE(q->setSort(QStringLiteral("a1 ASC")).error(), QString());
    QCOMPARE(search(q, QStringLiteral("b")), QString());
    QCOMPARE(names(q), QStringList{QStringLiteral("b.com")});
    QSignalSpy current(q, &Dataset::currentRowChanged);
    QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
    // The statement's own order, the first row current, and the file not read again.
    QCOMPARE(names(q),
             (QStringList{QStringLiteral("c.com"), QStringLiteral("a.com"), QStringLiteral("b.com")}));
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(current.count(), 1);
    QCOMPARE(q->sort(), QString());
    QCOMPARE(q->generation(), read);
    // After a write it reads the file.
    db.insert({QStringLiteral("d.com")});
    QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
    QCOMPARE(names(q).value(0), QStringLiteral("d.com"));
    QVERIFY(q->generation() != read);
}

void TestListMemory::deletedRowsStayDeleted()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* n : {"a1.com", "a2.com", "b.com"})
        db.insert({QString::fromLatin1(n)});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    const quint64 read = q->generation();
    QCOMPARE(search(q, QStringLiteral("a")), QString());
    QCOMPARE(q->value(0, QStringLiteral("a1")), QStringLiteral("a2.com"));
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(db.countRows(), 2);
    // Narrowing, widening and the full list all leave it out, without reading the file again.
    for (const QString& text : {QStringLiteral("a"), QStringLiteral("a2"), QString()}) {
        QCOMPARE(search(q, text), QString());
        QVERIFY2(!names(q).contains(QStringLiteral("a2.com")), qPrintable(text));
    }
    QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
    QCOMPARE(names(q), (QStringList{QStringLiteral("b.com"), QStringLiteral("a1.com")}));
    QCOMPARE(q->generation(), read);
}

void TestListMemory::missingNameIsNeverFound()
{
    // As in the engine, a NULL name matches no pattern, not even the empty text; the full list has it.
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("a.com")});
    QCOMPARE(db.exec(QStringLiteral("insert into tt_a (a2) values ('no name')")), QString());
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(q->recordCount(), 2);
    QVERIFY(q->isNull(0, 1));
    QCOMPARE(search(q, QString()), QString());
    QCOMPARE(names(q), QStringList{QStringLiteral("a.com")});
    QCOMPARE(search(q, QStringLiteral("%")), QString());
    QCOMPARE(q->recordCount(), 1);
}

void TestListMemory::firstRowsAtOnceAndTheRestInSteps()
{
    TestDb db;
    QVERIFY(db.ok());
    fill(db, 30000);
    Dataset* q = db.queryA();
    q->setSql(sql::kDefaultList);
    QSignalSpy added(q, &Dataset::rowsAdded);
    QSignalSpy reset(q, &Dataset::rowsReset);
    QCOMPARE(q->openInSteps(100).error(), QString());
    QCOMPARE(q->recordCount(), 100);
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(q->value(0, QStringLiteral("a1")), QStringLiteral("n30000.com"));
    QVERIFY(q->isFilling());
    QTRY_VERIFY(!q->isFilling());
    QCOMPARE(q->recordCount(), 30000);
    QCOMPARE(reset.count(), 1);
    // The steps add at the end, one after the other, without a gap.
    int next = 100;
    for (const QList<QVariant>& step : added) {
        QCOMPARE(step.value(0).toInt(), next);
        next = step.value(1).toInt() + 1;
    }
    QCOMPARE(next, 30000);
    QCOMPARE(q->value(29999, QStringLiteral("a1")), QStringLiteral("n1.com"));
}

void TestListMemory::changesWaitForTheRestOfTheRows()
{
    TestDb db;
    QVERIFY(db.ok());
    fill(db, 5000);
    Dataset* q = db.queryA();
    // A list by expiry while the rows come in lists from all of them.
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10).error(), QString());
    QCOMPARE(q->replaceStatement(sql::kExpiredList, {{QStringLiteral("q"), QStringLiteral("n1")},
                                                     {QStringLiteral("today"), QStringLiteral("2025-01-01")},
                                                     {QStringLiteral("soon"), QStringLiteral("2025-01-31")}})
                 .error(),
             QString());
    QVERIFY(!q->isFilling());
    int expired = 0; // "n1" begins the names of 1, 10 ... 19, 100 ... 199, 1000 ... 1999; every third expired
    for (int i = 1; i <= 5000; ++i)
        expired += i % 3 == 0 && QString::number(i).startsWith(QLatin1Char('1'));
    QCOMPARE(q->recordCount(), expired);
    // So does a sort, and a delete takes the row it names.
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10).error(), QString());
    QCOMPARE(q->setSort(QStringLiteral("a1 DESC")).error(), QString());
    QCOMPARE(q->recordCount(), 5000);
    QCOMPARE(q->value(0, QStringLiteral("a1")), QStringLiteral("n5000.com"));
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10).error(), QString());
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(q->recordCount(), 4999);
    QCOMPARE(db.countRows(), 4999);
    QVERIFY(!q->isFilling());
    // Reopening drops an unfinished fill and starts again.
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10).error(), QString());
    QCOMPARE(q->open().error(), QString());
    QVERIFY(!q->isFilling());
    QCOMPARE(q->recordCount(), 4999);
}

// The default list shown again while it is still being read (域名管理 clicked at once after the start)
// shows the rows read so far at once; the rest follow as before.
void TestListMemory::sameListAgainDoesNotWaitForTheRest()
{
    TestDb db;
    QVERIFY(db.ok());
    fill(db, 30000);
    Dataset* q = db.queryA();
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(100).error(), QString());
    q->setCurrentRow(50);
    QSignalSpy reset(q, &Dataset::rowsReset);
    QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
    QCOMPARE(reset.count(), 1);
    QVERIFY(q->isFilling());
    QCOMPARE(q->recordCount(), 100);
    QCOMPARE(q->currentRow(), 0);
    QTRY_VERIFY(!q->isFilling());
    QCOMPARE(q->recordCount(), 30000);
    QCOMPARE(q->value(0, QStringLiteral("a1")), QStringLiteral("n30000.com"));
    QCOMPARE(q->value(29999, QStringLiteral("a1")), QStringLiteral("n1.com"));
    // Once read, the rows answer a search as ever.
    QCOMPARE(search(q, QStringLiteral("n2999")), QString());
    QCOMPARE(q->recordCount(), 11);
}

void TestListMemory::searchWhileTheRowsComeIn_data()
{
    // Texts typed one after the other, each after one more step of the reading; a null text is the
    // default list shown again (清除).
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("narrowing") << QStringList{QStringLiteral("1"), QStringLiteral("12"),
                                              QStringLiteral("123")};
    QTest::newRow("widening") << QStringList{QStringLiteral("123"), QStringLiteral("12"),
                                             QStringLiteral("1")};
    QTest::newRow("nothing found, then rows of later steps")
        << QStringList{QStringLiteral("qq"), QStringLiteral("n1.c"), QStringLiteral("n100.")};
    QTest::newRow("wildcards") << QStringList{QStringLiteral("1_3"), QStringLiteral("%99%"),
                                              QStringLiteral("N9")};
    QTest::newRow("cleared") << QStringList{QStringLiteral("77"), QString()};
    QTest::newRow("cleared, then a search")
        << QStringList{QStringLiteral("5"), QString(), QStringLiteral("55")};
}

// A search typed while the default list is still being read (the first second after the start) is
// answered at once from the rows read so far, without reading on; the rows read later that it finds
// follow in the list's order, so that at the end it holds exactly what the engine finds. The status
// bar's counts stay those of the rows shown.
void TestListMemory::searchWhileTheRowsComeIn()
{
    QFETCH(QStringList, texts);
    constexpr int kRows = 20000;
    TestDb db;
    QVERIFY(db.ok());
    fill(db, kRows);
    const QStringList all = engineNames(db.path(), QString());
    QCOMPARE(all.size(), kRows);
    Dataset* q = db.queryA();
    ListCounter* counter = db.module()->listCounter();
    const expiry::Day today = expiry::dayOf(QDate(2025, 1, 1));
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(100, 1000).error(), QString());
    oneFillStep();
    QVERIFY(q->isFilling());
    for (const QString& text : texts) {
        const QStringList found = engineNames(db.path(), text);
        const int read = q->storedRowCount();
        QSignalSpy reset(q, &Dataset::rowsReset);
        QCOMPARE(text.isNull() ? q->replaceStatement(sql::kDefaultList).error() : search(q, text), QString());
        QCOMPARE(reset.count(), 1);
        QVERIFY2(q->isFilling(), qPrintable(text));
        QCOMPARE(q->storedRowCount(), read); // nothing more read for it
        QCOMPARE(names(q), amongFirst(found, all, read));
        QCOMPARE(q->currentRow(), q->recordCount() > 0 ? 0 : -1);
        QCOMPARE(counter->count(*q, today), ListTotals::of(*q, today));
        // The next step adds what it finds among the rows it reads, after those shown.
        oneFillStep();
        QVERIFY(q->storedRowCount() > read);
        QVERIFY(q->isFilling());
        QCOMPARE(names(q), amongFirst(found, all, q->storedRowCount()));
        QCOMPARE(counter->count(*q, today), ListTotals::of(*q, today));
    }
    QTRY_VERIFY(!q->isFilling());
    const QString last = texts.last();
    const QStringList found = engineNames(db.path(), last);
    QCOMPARE(names(q), found);
    QCOMPARE(q->currentRow(), found.isEmpty() ? -1 : 0);
    const ListTotals totals = counter->count(*q, today);
    QCOMPARE(totals, ListTotals::of(*q, today));
    QCOMPARE(totals.count, found.size());
    // The same search once all rows are read gives the same rows, without reading the file again.
    const quint64 generation = q->generation();
    QCOMPARE(last.isNull() ? q->replaceStatement(sql::kDefaultList).error() : search(q, last), QString());
    QCOMPARE(names(q), found);
    QCOMPARE(q->generation(), generation);
}

// A write while the rows come in (a domain saved in the first second): the rows read so far no longer
// answer for the file, so the next search reads the file again and finds the new row.
void TestListMemory::writeWhileTheRowsComeInSendsTheSearchToTheFile()
{
    TestDb db;
    QVERIFY(db.ok());
    fill(db, 30000);
    Dataset* q = db.queryA();
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(100).error(), QString());
    QCOMPARE(search(q, QStringLiteral("n29")), QString());
    QVERIFY(q->isFilling());
    db.insert({QStringLiteral("n29new.com")});
    QVERIFY(q->waitsForFill(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("n29n")}}));
    QCOMPARE(search(q, QStringLiteral("n29n")), QString());
    QVERIFY(!q->isFilling());
    QCOMPARE(names(q), QStringList{QStringLiteral("n29new.com")});
}

void TestListMemory::sortMatchesTheCollator_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("withChinese");
    QTest::addColumn<int>("maxPieces");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("more"); // further pieces
    const QStringList han = {QStringLiteral("说"), QStringLiteral("明"), QStringLiteral("阿"),
                             QStringLiteral("啊"), QStringLiteral("云"), QStringLiteral("網"),
                             QStringLiteral("网"), QStringLiteral("一"), QStringLiteral("鿏"),
                             QStringLiteral("龥"), QStringLiteral("丂"), QStringLiteral("123456")};
    // Characters the keys do not stand for, among those they do: other scripts, a full-width letter, a Han
    // character outside the common block, the ideographic zero, a compatibility ideograph. (Not full-width
    // digits: next to ASCII ones the collator's own order of them is not transitive, "0a" > "0１" but
    // "0a" < "00１", so no sort can agree with it.)
    const QStringList others = {QStringLiteral("é"),  QStringLiteral("Ａ"), QStringLiteral("𠀀"),
                                QStringLiteral("〇"), QStringLiteral("豈"), QStringLiteral("ä"),
                                QStringLiteral("ß")};
    QTest::newRow("ASCII only") << 11u << false << 6 << 600 << QStringList();
    QTest::newRow("ASCII and Chinese") << 12u << true << 6 << 600 << QStringList();
    QTest::newRow("another draw") << 13u << true << 6 << 600 << QStringList();
    QTest::newRow("Han with digits and names") << 16u << true << 6 << 2000 << han;
    QTest::newRow("Han among other scripts") << 17u << true << 6 << 2000 << han + others;
    // Long texts from few pieces: many share their first 8 and 16 key bytes, in runs long enough to be
    // sorted by their next bytes as a whole.
    QTest::newRow("long, shared beginnings") << 14u << false << 24 << 3000 << QStringList();
    QTest::newRow("long, with Chinese") << 15u << true << 24 << 3000 << QStringList();
    QTest::newRow("long, with Han and digits") << 18u << true << 40 << 12000 << han;
    // Every text the same long beginning, then numbers and letters: one run of all the rows, sorted by the
    // bytes after the shared ones, a byte at a time from the first, in parts down to a few thousand.
    QTest::newRow("one long shared beginning")
        << 19u << false << 10 << 30000 << QStringList({QStringLiteral("my-domain-portfolio-export-")});
}

// The order the sort gives is the stable sort with the collator's own comparison, in both directions.
void TestListMemory::sortMatchesTheCollator()
{
    QFETCH(quint32, seed);
    QFETCH(bool, withChinese);
    QFETCH(int, maxPieces);
    QFETCH(int, rows);
    QFETCH(QStringList, more);
    QStringList pieces = {QStringLiteral("a"), QStringLiteral("B"),  QStringLiteral("b"),
                          QStringLiteral("Z"), QStringLiteral("0"),  QStringLiteral("00"),
                          QStringLiteral("7"), QStringLiteral("10"), QStringLiteral("9"),
                          QStringLiteral("-"), QStringLiteral("."),  QStringLiteral("_"),
                          QStringLiteral(" "), QStringLiteral("~"),  QStringLiteral("'"),
                          QStringLiteral("@"), QStringLiteral("(")};
    if (withChinese)
        pieces << QStringLiteral("中") << QStringLiteral("文") << QStringLiteral("é");
    pieces << more;
    QRandomGenerator random(seed);
    TestDb db;
    QVERIFY(db.ok());
    QStringList values;
    QCOMPARE(db.exec(QStringLiteral("begin")), QString());
    // With long texts, the first pieces come from a few only, so that the beginnings repeat.
    const int common = maxPieces > 6 ? 3 : int(pieces.size());
    // A piece ending in "-" begins every text.
    const QString shared = more.value(0).endsWith(QLatin1Char('-')) ? more.value(0) : QString();
    if (!shared.isEmpty())
        pieces.removeAll(shared);
    for (int i = 0; i < rows; ++i) {
        QString v = shared;
        for (int n = random.bounded(maxPieces), at = 0; n > 0; --n, ++at)
            v += pieces[random.bounded(at < maxPieces / 2 ? common : int(pieces.size()))];
        values << v;
        QVERIFY(db.insert({v}) > 0);
    }
    QCOMPARE(db.exec(QStringLiteral("commit")), QString());
    std::reverse(values.begin(), values.end()); // newest first, as the list holds them
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    const NaturalOrder order;
    for (const bool descending : {false, true}) {
        QStringList expected = values;
        std::stable_sort(expected.begin(), expected.end(), [&](const QString& a, const QString& b) {
            const int c = order.compare(a, b);
            return descending ? c > 0 : c < 0;
        });
        QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
        QCOMPARE(q->setSort(descending ? QStringLiteral("a1 DESC") : QStringLiteral("a1 ASC")).error(),
                 QString());
        QCOMPARE(names(q), expected);
    }
    // A sort of a sorted list is stable over the order it finds: by the first four characters (a2 holds
    // them), ties in the order of the full names' sort.
    QCOMPARE(db.exec(QStringLiteral("update tt_a set a2 = substr(a1, 1, 4)")), QString());
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(q->setSort(QStringLiteral("a1 DESC")).error(), QString());
    QStringList before;
    for (int r = 0; r < q->recordCount(); ++r)
        before << q->value(r, QStringLiteral("a2")) + QLatin1Char('|') + q->value(r, QStringLiteral("a1"));
    std::stable_sort(before.begin(), before.end(), [&](const QString& a, const QString& b) {
        return order.compare(a.section(QLatin1Char('|'), 0, 0), b.section(QLatin1Char('|'), 0, 0)) < 0;
    });
    QCOMPARE(q->setSort(QStringLiteral("a2 ASC")).error(), QString());
    QStringList after;
    for (int r = 0; r < q->recordCount(); ++r)
        after << q->value(r, QStringLiteral("a2")) + QLatin1Char('|') + q->value(r, QStringLiteral("a1"));
    QCOMPARE(after, before);
}

QTEST_GUILESS_MAIN(TestListMemory)
#include "tst_listmemory.moc"
