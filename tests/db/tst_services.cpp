#include "TestDb.h"
#include "db/DomainList.h"
#include "db/DomainRecord.h"
#include "db/DomainWriter.h"
#include "db/LockSettings.h"
#include "db/Sql.h"
#include "db/Statement.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

// The services the windows go through: the domain record and its columns, the domain list over
// Query_a, the settings row over Query_jz_ub, and the result type they report with.
class TestServices : public QObject
{
    Q_OBJECT
private slots:
    void failureIsNeverSuccess();
    void failureTellsItsKind();
    void expectedHoldsValueOrFailure();
    void recordFieldsLandInTheirColumns_data();
    void recordFieldsLandInTheirColumns();
    void updateAddressesTheRecordsAid();
    void defaultListResetsHeadingsAndDropsTheSearch_data();
    void defaultListResetsHeadingsAndDropsTheSearch();
    void failedReloadLeavesTheListEmpty();
    void searchTooLongForTheEngineIsAnEmptyList();
    void searchTooLongWhileRowsComeInKeepsReading();
    void sortAlternatesOnlyWhenItSorts();
    void reopenKeepsTheSearchAndDropsTheSort();
    void moveCurrent_data();
    void moveCurrent();
    void deleteCurrentOnAnEmptyListFails();
    void changesAreToldBeforeAndAfter_data();
    void changesAreToldBeforeAndAfter();
    void startUpReadIsToldAsItComes();
    void lockSettingsWriteAndReadBack();
};

namespace {
// A list of the given domains (a1 only), newest first, the first row current.
struct Listed
{
    explicit Listed(const QStringList& domains)
    {
        for (const QString& d : domains)
            db.insert({d});
        ok = db.ok() && list()->reopen().ok();
    }
    DomainList* list() const { return db.module()->domains(); }
    QStringList names() const
    {
        QStringList out;
        for (int r = 0; r < list()->count(); ++r)
            out << list()->record(r).domain;
        return out;
    }
    TestDb db;
    bool ok = false;
};
// One change as the list told it: "Kind before|done first last".
QString told(const ListChange& c)
{
    static const char* const kinds[] = {"Reset",        "RowsInserted", "RowsRemoved", "CurrentMoved",
                                        "FillProgress", "FillFinished", "FillFailed"};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(QLatin1String(kinds[int(c.kind)]), c.done ? QStringLiteral("done") : QStringLiteral("before"))
        .arg(c.first)
        .arg(c.last);
}

// Every change the list tells from now on, as told().
struct Told
{
    explicit Told(DomainList* list)
    {
        QObject::connect(list, &DomainList::changed, &receiver,
                         [this](const ListChange& c) { all << told(c); });
    }
    QObject receiver;
    QStringList all;
};
} // namespace

void TestServices::failureIsNeverSuccess()
{
    QVERIFY(Result::success().ok());
    QVERIFY(Result::success().error().isEmpty());
    // An engine that gives no message has still failed.
    QVERIFY(!Result::failure(QString()).ok());
    QCOMPARE(Result::failure(QStringLiteral("磁盘已满")).error(), QStringLiteral("磁盘已满"));
    QVERIFY(Result::fromError(QString()).ok());
    QVERIFY(!Result::fromError(QStringLiteral("x")).ok());
}

void TestServices::failureTellsItsKind()
{
    QCOMPARE(Result::success().code(), Result::Code::None);
    QCOMPARE(Result::failure(QStringLiteral("x")).code(), Result::Code::Failed);
    // No failure passes for success by its code either.
    QVERIFY(!Result::failure(QStringLiteral("x"), Result::Code::None).ok());
    const Result rows = Result::failure(QStringLiteral("太多"), Result::Code::TooManyRows);
    QCOMPARE(rows.code(), Result::Code::TooManyRows);
    QCOMPARE(rows.error(), QStringLiteral("太多"));
    QVERIFY(!rows.wasCancelled());
    const Result stopped = Result::cancelled(QStringLiteral("已取消"));
    QVERIFY(!stopped.ok());
    QVERIFY(stopped.wasCancelled());
    QCOMPARE(stopped.code(), Result::Code::Cancelled);
}

void TestServices::expectedHoldsValueOrFailure()
{
    Expected<QStringList> found(QStringList{QStringLiteral("a.com")});
    QVERIFY(found.ok());
    QCOMPARE(found.code(), Result::Code::None);
    QCOMPARE(found.value(), QStringList{QStringLiteral("a.com")});
    QCOMPARE(found.take(), QStringList{QStringLiteral("a.com")});

    const Expected<QStringList> refused(
        Result::failure(QStringLiteral("无法读取"), Result::Code::ReadFailed));
    QVERIFY(!refused.ok());
    QCOMPARE(refused.code(), Result::Code::ReadFailed);
    QCOMPARE(refused.error(), QStringLiteral("无法读取"));
    QVERIFY(!Expected<int>(Result::cancelled(QString())).ok());
    QVERIFY(Expected<int>(Result::cancelled(QString())).wasCancelled());
}

void TestServices::recordFieldsLandInTheirColumns_data()
{
    QTest::addColumn<int>("position"); // 1 .. 9, the column a1 .. a9
    for (int i = 1; i <= DomainRecord::kValueCount; ++i)
        QTest::addRow("a%d", i) << i;
}

// Each named field goes to its own column of tt_a and comes back into the same field.
void TestServices::recordFieldsLandInTheirColumns()
{
    QFETCH(int, position);
    TestDb db;
    QVERIFY(db.ok());
    QStringList values(DomainRecord::kValueCount);
    values[position - 1] = QStringLiteral("值 %1").arg(position);
    const DomainRecord written = DomainRecord::fromValues(values);
    Statement add(db.module()->Conn_service());
    QVERIFY(domainwriter::insert(add, written).ok());

    Dataset* rows = db.queryA();
    QVERIFY(rows->open().ok());
    QCOMPARE(rows->recordCount(), 1);
    QCOMPARE(rows->value(0, QStringLiteral("a%1").arg(position)), values[position - 1]);
    QCOMPARE(DomainRecord::fieldNames().value(position), QStringLiteral("a%1").arg(position));

    const DomainRecord read = db.module()->domains()->current();
    QCOMPARE(read.aid, rows->value(0, QStringLiteral("aid")));
    DomainRecord expected = written;
    expected.aid = read.aid;
    QCOMPARE(read, expected);
    QCOMPARE(read.values(), values);
    QCOMPARE(DomainRecord::fromRow(db.row(read.aid.toLongLong())), read);
}

void TestServices::updateAddressesTheRecordsAid()
{
    TestDb db;
    QVERIFY(db.ok());
    const qint64 other = db.insert({QStringLiteral("other.com"), QStringLiteral("别的")});
    const qint64 aid = db.insert({QStringLiteral("old.com")});
    DomainRecord edited =
        DomainRecord::fromValues({u"new.com"_s, u"说明"_s, u"商"_s, u"http://m"_s, u"2012-10-10"_s,
                                  u"2013-10-10"_s, u"备注\n二行"_s, u"pw"_s, u"100"_s},
                                 QString::number(aid));
    Statement edit(db.module()->Conn_service());
    QVERIFY(domainwriter::update(edit, edited).ok());
    QCOMPARE(DomainRecord::fromRow(db.row(aid)), edited);
    QCOMPARE(db.row(other).value(1), QStringLiteral("other.com"));

    // A refused update writes nothing and says why.
    QVERIFY(db.exec(QStringLiteral("create trigger no_bad before update on tt_a when new.a1 = 'bad' "
                                   "begin select raise(abort, 'value rejected'); end"))
                .isEmpty());
    edited.domain = QStringLiteral("bad");
    const Result refused = domainwriter::update(edit, edited);
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error(), QStringLiteral("value rejected"));
    QCOMPARE(db.row(aid).value(1), QStringLiteral("new.com"));
}

void TestServices::defaultListResetsHeadingsAndDropsTheSearch_data()
{
    QTest::addColumn<int>("headings");
    QTest::newRow("all five (refresh, navigation)") << DomainList::kAllHeadings;
    QTest::newRow("first two (unlock)") << 2;
}

void TestServices::defaultListResetsHeadingsAndDropsTheSearch()
{
    QFETCH(int, headings);
    Listed l({QStringLiteral("a.com"), QStringLiteral("b.net"), QStringLiteral("c.com")});
    QVERIFY(l.ok);
    QVERIFY(l.list()->search(QStringLiteral("com")).ok());
    QVERIFY(l.list()->sortBy(QStringLiteral("a1")).ok());
    QCOMPARE(l.names(), (QStringList{u"a.com"_s, u"c.com"_s}));

    QSignalSpy reset(l.list(), &DomainList::headingsReset);
    QVERIFY(l.list()->showDefault(headings).ok());
    QCOMPARE(reset.size(), 1);
    QCOMPARE(reset[0][0].toInt(), headings);
    QCOMPARE(l.names(), (QStringList{u"c.com"_s, u"b.net"_s, u"a.com"_s}));
    QCOMPARE(l.list()->currentRow(), 0);
    QCOMPARE(l.list()->rows()->sql(), sql::kDefaultList);
}

void TestServices::failedReloadLeavesTheListEmpty()
{
    Listed l({QStringLiteral("a.com")});
    QVERIFY(l.ok);
    QVERIFY(l.db.exec(QStringLiteral("drop table tt_a")).isEmpty());
    QSignalSpy reset(l.list(), &DomainList::headingsReset);
    const Result result = l.list()->showDefault();
    QVERIFY(!result.ok());
    QVERIFY(result.error().contains(QStringLiteral("tt_a")));
    QCOMPARE(reset.size(), 1); // the headings are reset before the statement runs
    QVERIFY(!l.list()->isOpen());
    QCOMPARE(l.list()->count(), 0);
    QCOMPARE(l.list()->current(), DomainRecord());
}

void TestServices::searchTooLongForTheEngineIsAnEmptyList()
{
    Listed l({QStringLiteral("a.com")});
    QVERIFY(l.ok);
    // Longer than the engine's LIKE pattern limit: no domain can contain it.
    QVERIFY(l.list()->search(QString(60000, QLatin1Char('a'))).ok());
    QCOMPARE(l.list()->count(), 0);
    QVERIFY(l.list()->search(QStringLiteral("a.")).ok());
    QCOMPARE(l.names(), QStringList{u"a.com"_s});
}

void TestServices::searchTooLongWhileRowsComeInKeepsReading()
{
    TestDb db;
    QCOMPARE(db.addManyDomains(50), QString());
    Dataset* q = db.queryA();
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10, 15).error(), QString());
    DomainList* list = db.module()->domains();
    // Typed while the start-up read is still going: nothing found, no error, and the read goes on.
    QVERIFY(q->isFilling());
    QVERIFY(list->search(QString(60000, QLatin1Char('a'))).ok());
    QCOMPARE(list->count(), 0);
    QTRY_VERIFY(!q->isFilling());
    QCOMPARE(list->count(), 0);
    QVERIFY(list->showDefault().ok());
    QCOMPARE(list->count(), 50);
    QVERIFY(list->search(QStringLiteral("d1")).ok());
    QCOMPARE(list->count(), 11); // d1.com, d10.com .. d19.com
}

void TestServices::sortAlternatesOnlyWhenItSorts()
{
    Listed l({QStringLiteral("b.com"), QStringLiteral("a.com"), QStringLiteral("c.com")});
    QVERIFY(l.ok);
    QVERIFY(l.list()->ascendingNext());
    QVERIFY(l.list()->sortBy(QStringLiteral("a1")).ok());
    QCOMPARE(l.names(), (QStringList{u"a.com"_s, u"b.com"_s, u"c.com"_s}));
    QVERIFY(!l.list()->ascendingNext());
    // A field the list does not have: nothing sorted, the direction stays.
    QVERIFY(!l.list()->sortBy(QStringLiteral("nope")).ok());
    QVERIFY(!l.list()->ascendingNext());
    // A reload does not reset the direction.
    QVERIFY(l.list()->showDefault().ok());
    QVERIFY(l.list()->sortBy(QStringLiteral("a1")).ok());
    QCOMPARE(l.names(), (QStringList{u"c.com"_s, u"b.com"_s, u"a.com"_s}));
    QVERIFY(l.list()->ascendingNext());
}

void TestServices::reopenKeepsTheSearchAndDropsTheSort()
{
    Listed l({QStringLiteral("a.com"), QStringLiteral("x.net"), QStringLiteral("b.com")});
    QVERIFY(l.ok);
    QVERIFY(l.list()->search(QStringLiteral(".com")).ok());
    QVERIFY(l.list()->sortBy(QStringLiteral("a1")).ok());
    l.db.insert({QStringLiteral("c.com")});
    l.db.insert({QStringLiteral("y.net")});
    QVERIFY(l.list()->reopen().ok());
    QCOMPARE(l.names(), (QStringList{u"c.com"_s, u"b.com"_s, u"a.com"_s}));
    QCOMPARE(l.list()->currentRow(), 0);
}

void TestServices::moveCurrent_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("delta");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<int>("to");
    QTest::newRow("next") << 0 << 1 << true << 1;
    QTest::newRow("prior") << 1 << -1 << true << 0;
    QTest::newRow("past the last row") << 2 << 1 << false << 2;
    QTest::newRow("before the first row") << 0 << -1 << false << 0;
    QTest::newRow("far stops at the end") << 0 << 10 << true << 2;
    QTest::newRow("no move") << 1 << 0 << false << 1;
}

void TestServices::moveCurrent()
{
    QFETCH(int, from);
    QFETCH(int, delta);
    QFETCH(bool, moved);
    QFETCH(int, to);
    Listed l({QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")});
    QVERIFY(l.ok);
    l.list()->setCurrentRow(from);
    QSignalSpy changed(l.list()->rows(), &Dataset::currentRowChanged);
    QCOMPARE(l.list()->moveCurrent(delta), moved);
    QCOMPARE(l.list()->currentRow(), to);
    QCOMPARE(changed.size(), moved ? 1 : 0);
    QCOMPARE(l.list()->current(), l.list()->record(to));
}

void TestServices::deleteCurrentOnAnEmptyListFails()
{
    Listed l({});
    QVERIFY(l.ok);
    QVERIFY(l.list()->isEmpty());
    const Result result = l.list()->deleteCurrent();
    QVERIFY(!result.ok());
    QVERIFY(!result.error().isEmpty());
    QCOMPARE(l.list()->moveCurrent(1), false);
}

void TestServices::changesAreToldBeforeAndAfter_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("told");
    // The list: c.com, b.com, a.com (newest first), row 1 (b.com) current.
    QTest::newRow("delete") << u"delete"_s
                            << QStringList{u"RowsRemoved before 1 1"_s, u"RowsRemoved done 1 1"_s,
                                           u"CurrentMoved done 1 -1"_s};
    QTest::newRow("search") << u"search"_s
                            << QStringList{u"Reset before -1 -1"_s, u"Reset done -1 -1"_s,
                                           u"CurrentMoved done 0 -1"_s};
    QTest::newRow("sort") << u"sort"_s
                          << QStringList{u"Reset before -1 -1"_s, u"Reset done -1 -1"_s,
                                         u"CurrentMoved done 0 -1"_s};
    QTest::newRow("move") << u"move"_s << QStringList{u"CurrentMoved done 2 -1"_s};
}

// Each change of the list is told once through its one signal, a change of the rows before and after.
void TestServices::changesAreToldBeforeAndAfter()
{
    QFETCH(QString, action);
    QFETCH(QStringList, told);
    Listed l({u"a.com"_s, u"b.com"_s, u"c.com"_s});
    QVERIFY(l.ok);
    l.list()->setCurrentRow(1);
    Told changes(l.list());
    Result result = Result::success();
    if (action == u"delete")
        result = l.list()->deleteCurrent();
    else if (action == u"search")
        result = l.list()->search(u"b"_s);
    else if (action == u"sort")
        result = l.list()->sortBy(u"a1"_s);
    else
        QVERIFY(l.list()->moveCurrent(1));
    QVERIFY(result.ok());
    QCOMPARE(changes.all, told);
}

// The rows that come in after the start are told as they come, then the end; a failed later step is told
// with the engine's message after the list was emptied.
void TestServices::startUpReadIsToldAsItComes()
{
    for (const bool fails : {false, true}) {
        TestDb db;
        QCOMPARE(db.addManyDomains(50), QString());
        Dataset* q = db.queryA();
        q->setSql(sql::kDefaultList);
        QCOMPARE(q->openInSteps(10, 15).error(), QString());
        Told changes(db.module()->domains());
        if (fails)
            db.interruptRunningStatements();
        QTRY_VERIFY(!q->isFilling());
        const QStringList expected =
            fails ? QStringList{u"Reset before -1 -1"_s, u"Reset done -1 -1"_s, u"CurrentMoved done -1 -1"_s,
                                u"FillFailed done -1 -1"_s}
                  : QStringList{u"FillProgress before 10 24"_s, u"FillProgress done 10 24"_s,
                                u"FillProgress before 25 39"_s, u"FillProgress done 25 39"_s,
                                u"FillProgress before 40 49"_s, u"FillProgress done 40 49"_s,
                                u"FillFinished done -1 -1"_s};
        QCOMPARE(changes.all, expected);
        QCOMPARE(db.module()->domains()->count(), fails ? 0 : 50);
    }
}

void TestServices::lockSettingsWriteAndReadBack()
{
    TestDb db;
    QVERIFY(db.ok());
    LockSettings* s = db.module()->settings();
    QCOMPARE(s->lockFlag(), QStringLiteral("0"));
    QCOMPARE(s->passwordSetFlag(), QStringLiteral("0"));

    // The saves read the row again at once.
    QVERIFY(s->savePassword(QStringLiteral("0042")).ok());
    QCOMPARE(s->password(), QStringLiteral("0042"));
    QCOMPARE(s->lockFlag(), QStringLiteral("1"));
    QCOMPARE(s->passwordSetFlag(), QStringLiteral("1"));
    QCOMPARE(db.setting(QStringLiteral("ub1")), QStringLiteral("0042"));

    QVERIFY(s->saveLockOff().ok());
    QCOMPARE(s->lockFlag(), QStringLiteral("0"));
    QCOMPARE(s->passwordSetFlag(), QStringLiteral("0"));
    QCOMPARE(s->password(), QStringLiteral("0042")); // left in place

    QVERIFY(s->load().ok());
    QCOMPARE(db.module()->Query_jz_ub()->sql(), sql::kSettingsAll);

    // A write the engine refuses: the error comes back and the row read before stays shown.
    QVERIFY(db.exec(QStringLiteral("create trigger no_set before update on jz_ub "
                                   "begin select raise(abort, 'settings locked'); end"))
                .isEmpty());
    const Result refused = s->savePassword(QStringLiteral("7"));
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error(), QStringLiteral("settings locked"));
    QCOMPARE(s->lockFlag(), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
