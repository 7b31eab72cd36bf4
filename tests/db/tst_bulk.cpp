#include "TestDb.h"
#include "db/BulkEdit.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DomainList.h"
#include "db/ListFilter.h"
#include "db/RowChanges.h"
#include "db/UndoHistory.h"

#include <QtTest>
#include <numeric>

using namespace Qt::StringLiterals;

// Work on many domains at once: deleting and editing them in one transaction, moving expiry dates on by
// years, and taking every change back and making it again.
class TestBulk : public QObject
{
    Q_OBJECT
private slots:
    void extendedExpiry_data();
    void extendedExpiry();
    void bulkEditLeavesUnreadableDates();
    void deleteIsOneTransaction_data();
    void deleteIsOneTransaction();
    void editIsOneTransaction();
    void stoppedWriteKeepsNothing_data();
    void stoppedWriteKeepsNothing();
    void deletingEveryRowListedSparesRowsAddedSince_data();
    void deletingEveryRowListedSparesRowsAddedSince();
    void undoRedoSequences_data();
    void undoRedoSequences();
    void undoRefusedAfterOutsideChange_data();
    void undoRefusedAfterOutsideChange();
    void historyIsBoundedBySize();
    void undoOfDeleteRestoresRowsAsShown_data();
    void undoOfDeleteRestoresRowsAsShown();
    void failedUndoOfDeleteChangesNothing_data();
    void failedUndoOfDeleteChangesNothing();
    void changesUnderFilterSurviveSort();
    void takingRowsCanBeStopped();
};

namespace {
// A database of the given domains (a1, a3 注册商, a6 到期, a9 报价), the list open on them.
struct Fixture
{
    explicit Fixture(int count)
    {
        for (int i = 1; i <= count; ++i)
            aids << db.insert(row({QStringLiteral("d%1.com").arg(i),
                                   QStringLiteral("说明%1").arg(i),
                                   QStringLiteral("老注册商"),
                                   {},
                                   {},
                                   QStringLiteral("2024-02-29"),
                                   {},
                                   {},
                                   QString::number(i * 10)}));
        list = db.module()->domains();
        [&] { QVERIFY(list->reopen().ok()); }();
    }
    // The display rows of the list whose names are given.
    std::vector<int> rowsOf(const QStringList& names) const
    {
        std::vector<int> rows;
        for (int r = 0; r < list->count(); ++r) {
            if (names.contains(list->record(r).domain))
                rows.push_back(r);
        }
        return rows;
    }
    QStringList listed() const { return columnTexts(list->rows(), QStringLiteral("a1")); }
    TestDb db;
    DomainList* list = nullptr;
    QList<qint64> aids;
};

QStringList allNames(int count)
{
    QStringList names;
    for (int i = count; i >= 1; --i)
        names << QStringLiteral("d%1.com").arg(i);
    return names;
}
} // namespace

void TestBulk::extendedExpiry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("years");
    QTest::addColumn<QString>("expected"); // null: unreadable, left as it is
    QTest::newRow("leap day to a year without one") << u"2024-02-29"_s << 1 << u"2025-02-28"_s;
    QTest::newRow("leap day to the next leap year") << u"2024/2/29"_s << 4 << u"2028/2/29"_s;
    QTest::newRow("Chinese form") << u"2024年2月29日"_s << 1 << u"2025年2月28日"_s;
    QTest::newRow("eight digits") << u"20240229"_s << 1 << u"20250228"_s;
    QTest::newRow("single-digit month and day kept") << u"2026-1-5"_s << 2 << u"2028-1-5"_s;
    QTest::newRow("month end stays") << u"2023-01-31"_s << 1 << u"2024-01-31"_s;
    QTest::newRow("year end with dots") << u"2024.12.31"_s << 1 << u"2025.12.31"_s;
    QTest::newRow("time after the date kept") << u"2024-03-31 08:30"_s << 3 << u"2027-03-31 08:30"_s;
    QTest::newRow("blanks around kept") << u" 2024-06-30 "_s << 1 << u" 2025-06-30 "_s;
    QTest::newRow("backwards from a leap day") << u"2024-02-29"_s << -1 << u"2023-02-28"_s;
    QTest::newRow("unreadable text") << u"明年"_s << 1 << QString();
    QTest::newRow("no such day") << u"2023-02-29"_s << 1 << QString();
    QTest::newRow("empty") << u""_s << 1 << QString();
}

void TestBulk::extendedExpiry()
{
    QFETCH(QString, text);
    QFETCH(int, years);
    QFETCH(QString, expected);
    const QString moved = bulkedit::extendedExpiry(text, years);
    QCOMPARE(moved, expected);
    QCOMPARE(moved.isNull(), expected.isNull());
}

void TestBulk::bulkEditLeavesUnreadableDates()
{
    RowPack rows;
    rows.add(DomainRecord::fromValues({u"a.com"_s, u""_s, u""_s, u""_s, u""_s, u"2024-02-29"_s, u"old"_s},
                                      u"1"_s));
    rows.add(DomainRecord::fromValues({u"b.com"_s, u""_s, u""_s, u""_s, u""_s, u"不详"_s, u""_s}, u"2"_s));
    bulkedit::Edit edit;
    edit.extendYears = 1;
    edit.notesMode = bulkedit::Edit::Notes::Append;
    edit.notes = QStringLiteral("续费");
    edit.price = QStringLiteral("999");
    QStringList unreadable;
    const RowChange change = bulkedit::changeFor(rows, edit, &unreadable);
    QCOMPARE(unreadable, QStringList{u"b.com"_s});
    QCOMPARE(change.size(), size_t(2));
    QCOMPARE(change.after.record(0).expires, u"2025-02-28"_s);
    QCOMPARE(change.after.record(0).notes, u"old\n续费"_s);
    QCOMPARE(change.after.record(1).expires, u"不详"_s);
    QCOMPARE(change.after.record(1).notes, u"续费"_s);
    QCOMPARE(change.after.record(1).price, u"999"_s);
    QCOMPARE(change.after.aid(1), 2);
}

void TestBulk::deleteIsOneTransaction_data()
{
    QTest::addColumn<bool>("failsMidway");
    QTest::newRow("all deleted") << false;
    QTest::newRow("a failure in the middle deletes nothing") << true;
}

void TestBulk::deleteIsOneTransaction()
{
    QFETCH(bool, failsMidway);
    Fixture f(6);
    if (failsMidway)
        QCOMPARE(f.db.exec(u"create trigger refuse before delete on tt_a when old.a1='d3.com' "_s
                           u"begin select raise(abort, 'refused'); end"_s),
                 QString());
    const QStringList chosen{u"d2.com"_s, u"d3.com"_s, u"d5.com"_s};
    const RowChange change{RowPack::fromRows(*f.list->rows(), f.rowsOf(chosen)), {}};
    const rowwriter::Outcome outcome = f.list->write(change);
    QCOMPARE(outcome.result.ok(), !failsMidway);
    if (failsMidway) {
        QVERIFY(outcome.result.error().contains(u"refused"_s));
        QCOMPARE(f.db.countRows(), 6);
        QCOMPARE(f.listed(), allNames(6));
    } else {
        QCOMPARE(f.db.countRows(), 3);
        QCOMPARE(f.listed(), (QStringList{u"d6.com"_s, u"d4.com"_s, u"d1.com"_s}));
        QCOMPARE(f.db.row(f.aids[1]), QStringList());
    }
}

void TestBulk::editIsOneTransaction()
{
    Fixture f(5);
    QCOMPARE(f.db.exec(u"create trigger refuse before update on tt_a when old.a1='d4.com' "_s
                       u"begin select raise(abort, 'refused'); end"_s),
             QString());
    bulkedit::Edit edit;
    edit.registrar = QStringLiteral("新注册商");
    const RowChange change =
        bulkedit::changeFor(RowPack::fromRows(*f.list->rows(), f.rowsOf(allNames(5))), edit);
    QCOMPARE(change.size(), size_t(5));
    QVERIFY(!f.list->write(change).result.ok());
    for (const qint64 aid : f.aids)
        QCOMPARE(f.db.row(aid).value(3), u"老注册商"_s);
    QCOMPARE(f.db.exec(u"drop trigger refuse"_s), QString());
    QVERIFY(f.list->write(change).result.ok());
    for (const qint64 aid : f.aids)
        QCOMPARE(f.db.row(aid).value(3), u"新注册商"_s);
    // The list follows in place, the rows in their order, and a search sees the new values.
    QCOMPARE(f.list->record(0).registrar, u"新注册商"_s);
    QCOMPARE(f.listed(), allNames(5));
    QVERIFY(f.list->search(u"新注册商"_s, SearchScope::AllFields).ok());
    QCOMPARE(f.listed(), allNames(5));
    QVERIFY(f.list->search(u"老注册商"_s, SearchScope::AllFields).ok());
    QCOMPARE(f.listed(), QStringList());
}

void TestBulk::stoppedWriteKeepsNothing_data()
{
    QTest::addColumn<int>("spared"); // rows of the list left out of the deletion
    QTest::newRow("row by row") << 1;
    QTest::newRow("every row at once") << 0;
}

void TestBulk::stoppedWriteKeepsNothing()
{
    QFETCH(int, spared);
    Fixture f(0);
    QCOMPARE(f.db.addManyDomains(10000), QString());
    QVERIFY(f.list->reopen().ok());
    std::vector<int> all(size_t(f.list->count() - spared));
    std::iota(all.begin(), all.end(), 0);
    const RowChange change{RowPack::fromRows(*f.list->rows(), all), {}};
    int asked = 0;
    const rowwriter::Outcome outcome = f.list->write(change, [&](qint64 done, qint64 total) {
        ++asked;
        return done >= 0 && done < total / 2;
    });
    QVERIFY(asked > 0);
    QVERIFY(outcome.cancelled);
    QCOMPARE(f.db.countRows(), 10000);
    QCOMPARE(f.list->count(), 10000);
}

void TestBulk::deletingEveryRowListedSparesRowsAddedSince_data()
{
    QTest::addColumn<bool>("addedSince");
    QTest::newRow("nothing since: the table is emptied") << false;
    QTest::newRow("a domain added by another program since") << true;
}

void TestBulk::deletingEveryRowListedSparesRowsAddedSince()
{
    QFETCH(bool, addedSince);
    Fixture f(0);
    QCOMPARE(f.db.addManyDomains(5000), QString());
    QVERIFY(f.list->reopen().ok());
    // A bulk edit first and its undo: the rows held still match the file after them.
    bulkedit::Edit edit;
    edit.price = u"1"_s;
    const RowChange priced = bulkedit::changeFor(RowPack::fromRows(*f.list->rows(), {0, 1}), edit);
    QVERIFY(f.list->write(priced).result.ok());
    QVERIFY(f.list->write(priced.reversed()).result.ok());
    if (addedSince) {
        Connection other;
        QCOMPARE(other.open(f.db.path()).error(), QString());
        QCOMPARE(other.execute(u"insert into tt_a (a1) values ('late.com')"_s).error(), QString());
    }
    std::vector<int> all(size_t(f.list->count()));
    std::iota(all.begin(), all.end(), 0);
    int asked = 0;
    QVERIFY(f.list
                ->write({RowPack::fromRows(*f.list->rows(), all), {}},
                        [&](qint64 done, qint64) {
                            asked += done > 0 ? 1 : 0; // rows told one by one: not all at once
                            return true;
                        })
                .result.ok());
    QCOMPARE(asked > 0, addedSince);
    QCOMPARE(storedRows(f.db), addedSince ? QList<QStringList>{row({u"late.com"_s})} : QList<QStringList>());
}

// Steps: d = delete d2 and d3, e = bulk edit of every domain's price, s = a single edit of d1,
// a = add n.com; u = undo, r = redo. `listed` is the list after them, newest first, with d1's price.
void TestBulk::undoRedoSequences_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("price1");
    QTest::addColumn<QString>("undoText");
    const QStringList all{u"d4.com"_s, u"d3.com"_s, u"d2.com"_s, u"d1.com"_s};
    const QStringList without23{u"d4.com"_s, u"d1.com"_s};
    QTest::newRow("delete, undo") << u"du"_s << all << u"10"_s << u"撤销"_s;
    QTest::newRow("delete, undo, redo") << u"dur"_s << without23 << u"10"_s << u"撤销：删除 2 个域名"_s;
    QTest::newRow("edit, undo") << u"eu"_s << all << u"10"_s << u"撤销"_s;
    QTest::newRow("delete, edit, undo") << u"deu"_s << without23 << u"10"_s << u"撤销：删除 2 个域名"_s;
    QTest::newRow("delete, edit, undo, undo") << u"deuu"_s << all << u"10"_s << u"撤销"_s;
    QTest::newRow("delete, edit, undo twice, redo twice")
        << u"deuurr"_s << without23 << u"5"_s << u"撤销：批量修改 2 个域名"_s;
    QTest::newRow("edit, single edit, undo") << u"esu"_s << all << u"5"_s << u"撤销：批量修改 4 个域名"_s;
    QTest::newRow("single edit, undo") << u"su"_s << all << u"10"_s << u"撤销"_s;
    QTest::newRow("add, undo") << u"au"_s << all << u"10"_s << u"撤销"_s;
    QTest::newRow("add, undo, redo") << u"aur"_s << (QStringList{u"n.com"_s} + all) << u"10"_s
                                     << u"撤销：添加域名 n.com"_s;
    QTest::newRow("undo after new step drops redo") << u"eudu"_s << all << u"10"_s << u"撤销"_s;
}

void TestBulk::undoRedoSequences()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, listed);
    QFETCH(QString, price1);
    QFETCH(QString, undoText);
    Fixture f(4);
    UndoHistory history;
    for (const QChar step : steps) {
        if (step == u'u') {
            QVERIFY2(history.undo(*f.list).result.ok(), qPrintable(history.undoText()));
        } else if (step == u'r') {
            QVERIFY(history.redo(*f.list).result.ok());
        } else if (step == u'd') {
            const RowChange change{RowPack::fromRows(*f.list->rows(), f.rowsOf({u"d2.com"_s, u"d3.com"_s})),
                                   {}};
            QVERIFY(f.list->write(change).result.ok());
            history.push(std::make_unique<DeleteCommand>(change.before));
        } else if (step == u'e') {
            bulkedit::Edit edit;
            edit.price = QStringLiteral("5");
            const RowChange change =
                bulkedit::changeFor(RowPack::fromRows(*f.list->rows(), f.rowsOf(allNames(4))), edit);
            QVERIFY(f.list->write(change).result.ok());
            history.push(std::make_unique<BulkEditCommand>(change));
        } else if (step == u's') {
            const DomainRecord before = f.list->record(f.rowsOf({u"d1.com"_s}).front());
            DomainRecord after = before;
            after.description = QStringLiteral("单个修改");
            auto command = std::make_unique<EditCommand>(before, after);
            QVERIFY(command->apply(*f.list).result.ok());
            history.push(std::move(command));
        } else if (step == u'a') {
            const qint64 aid = f.db.insert({u"n.com"_s});
            QVERIFY(f.list->reopen().ok());
            history.push(std::make_unique<AddCommand>(f.list->record(0)));
            QCOMPARE(f.list->record(0).aid, QString::number(aid));
        }
    }
    QCOMPARE(f.listed(), listed);
    QCOMPARE(f.db.row(f.aids[0]).value(9), price1);
    QCOMPARE(history.undoText(), undoText);
    // Deleted domains come back with their own aids.
    for (int i = 0; i < 4; ++i) {
        if (listed.contains(QStringLiteral("d%1.com").arg(i + 1)))
            QCOMPARE(f.db.row(f.aids[i]).value(1), QStringLiteral("d%1.com").arg(i + 1));
    }
}

void TestBulk::undoRefusedAfterOutsideChange_data()
{
    QTest::addColumn<QString>("kind"); // what is undone
    QTest::addColumn<QString>("outside");
    QTest::newRow("edit, then changed by another program")
        << u"edit"_s << u"update tt_a set a9='77' where a1='d2.com'"_s;
    QTest::newRow("edit, then deleted by another program")
        << u"edit"_s << u"delete from tt_a where a1='d2.com'"_s;
    QTest::newRow("add, then changed by another program")
        << u"add"_s << u"update tt_a set a2='x' where a1='n.com'"_s;
}

void TestBulk::undoRefusedAfterOutsideChange()
{
    QFETCH(QString, kind);
    QFETCH(QString, outside);
    Fixture f(3);
    UndoHistory history;
    if (kind == u"edit"_s) {
        bulkedit::Edit edit;
        edit.price = QStringLiteral("5");
        const RowChange change =
            bulkedit::changeFor(RowPack::fromRows(*f.list->rows(), f.rowsOf(allNames(3))), edit);
        QVERIFY(f.list->write(change).result.ok());
        history.push(std::make_unique<BulkEditCommand>(change));
    } else {
        f.db.insert({u"n.com"_s});
        QVERIFY(f.list->reopen().ok());
        history.push(std::make_unique<AddCommand>(f.list->record(0)));
    }
    const QList<QStringList> before = storedRows(f.db);
    {
        Connection other;
        QCOMPARE(other.open(f.db.path()).error(), QString());
        QCOMPARE(other.execute(outside).error(), QString());
    }
    const QList<QStringList> changed = storedRows(f.db);
    const rowwriter::Outcome outcome = history.undo(*f.list);
    QVERIFY(!outcome.result.ok());
    QVERIFY2(outcome.result.error().contains(kind == u"edit"_s ? u"d2.com"_s : u"n.com"_s),
             qPrintable(outcome.result.error()));
    QVERIFY(history.canUndo()); // the step stays
    QCOMPARE(storedRows(f.db), changed);
    QVERIFY(changed != before);
}

void TestBulk::historyIsBoundedBySize()
{
    Fixture f(3);
    UndoHistory history;
    const RowPack one = RowPack::fromRows(*f.list->rows(), {0});
    history.setLimit(one.bytes() * 2 + 1);
    history.push(std::make_unique<DeleteCommand>(one));
    QVERIFY(!history.dropped());
    history.push(std::make_unique<DeleteCommand>(RowPack::fromRows(*f.list->rows(), {1})));
    history.push(std::make_unique<DeleteCommand>(RowPack::fromRows(*f.list->rows(), {2})));
    QVERIFY(history.dropped());
    QVERIFY(history.undoText().contains(u"已丢弃"_s));
    QVERIFY(history.undoText().startsWith(u"撤销：删除域名 d1.com"_s));
}

namespace {
// Every row the list shows, in its order, aid and a1 .. a9.
QList<QStringList> shownRows(const DomainList* list)
{
    QList<QStringList> rows;
    for (int r = 0; r < list->count(); ++r)
        rows.append(list->rows()->rowValues(r));
    return rows;
}

// 250 domains, more than one insert statement takes, in three registrars, with prices and dates all
// different and some fields empty.
void addVariedDomains(TestDb& db, QList<qint64>* aids = nullptr)
{
    const QStringList registrars{u"甲注册商"_s, u"乙注册商"_s, u"丙注册商"_s};
    QCOMPARE(db.exec(u"begin"_s), QString());
    for (int i = 1; i <= 250; ++i) {
        const qint64 aid =
            db.insert({QStringLiteral("v%1.%2").arg(i).arg(i % 2 ? u"com"_s : u"cn"_s),
                       i % 5 ? QStringLiteral("说明 %1").arg(i) : QString(), registrars[i % 3],
                       QStringLiteral("https://m%1.example").arg(i % 7), QStringLiteral("管理 %1").arg(i),
                       QStringLiteral("20%1-0%2-1%3").arg(25 + i % 4).arg(1 + i % 9).arg(i % 10),
                       i % 4 ? QStringLiteral("备注\n第二行 %1").arg(i) : QString(),
                       QStringLiteral("c%1").arg(i), QString::number((i * 37) % 1000)});
        if (aids)
            aids->append(aid);
    }
    QCOMPARE(db.exec(u"commit"_s), QString());
}
} // namespace

// The undo of a deletion brings back exactly the rows deleted, in the file (aid and all nine fields) and in
// the list as it was shown: with a search, a filter or a sort in force; a redo deletes them again.
void TestBulk::undoOfDeleteRestoresRowsAsShown_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("registrar"); // the filter's; empty for none
    QTest::addColumn<QString>("sort");      // a field sorted by, ascending; empty for none
    QTest::addColumn<bool>("everyRow");     // every row shown deleted, else every third
    QTest::newRow("every row of the default list") << QString() << QString() << QString() << true;
    QTest::newRow("some rows of the default list") << QString() << QString() << QString() << false;
    QTest::newRow("a search in force") << u".cn"_s << QString() << QString() << true;
    QTest::newRow("a filter in force") << QString() << u"乙注册商"_s << QString() << false;
    QTest::newRow("a sort in force") << QString() << QString() << u"a9"_s << false;
    QTest::newRow("search, filter and sort") << u"v1"_s << u"甲注册商"_s << u"a1"_s << true;
}

void TestBulk::undoOfDeleteRestoresRowsAsShown()
{
    QFETCH(QString, search);
    QFETCH(QString, registrar);
    QFETCH(QString, sort);
    QFETCH(bool, everyRow);
    Fixture f(0);
    addVariedDomains(f.db);
    QVERIFY(f.list->reopen().ok());
    const QList<QStringList> fileBefore = storedRowsWithAid(f.db);
    QCOMPARE(fileBefore.size(), 250);
    if (!search.isEmpty())
        QVERIFY(f.list->search(search).ok());
    ListFilter filter;
    filter.registrar = registrar;
    f.list->setFilter(filter, QDate(2026, 1, 1));
    if (!sort.isEmpty())
        QVERIFY(f.list->sortBy(sort).ok());
    const QList<QStringList> shownBefore = shownRows(f.list);
    QVERIFY(shownBefore.size() > 3);
    std::vector<int> chosen;
    for (int r = 0; r < f.list->count(); r += everyRow ? 1 : 3)
        chosen.push_back(r);
    QList<QStringList> shownAfterDelete = shownBefore;
    for (auto r = chosen.rbegin(); r != chosen.rend(); ++r)
        shownAfterDelete.removeAt(*r);
    QList<QStringList> fileAfterDelete = fileBefore;
    for (const int r : chosen)
        fileAfterDelete.removeOne(shownBefore[r]);

    UndoHistory history;
    auto command = std::make_unique<DeleteCommand>(RowPack::fromRows(*f.list->rows(), chosen));
    QVERIFY(command->apply(*f.list).result.ok());
    history.push(std::move(command));
    QCOMPARE(storedRowsWithAid(f.db), fileAfterDelete);
    QCOMPARE(shownRows(f.list), shownAfterDelete);

    QVERIFY(history.undo(*f.list).result.ok());
    QCOMPARE(storedRowsWithAid(f.db), fileBefore);
    QCOMPARE(shownRows(f.list), shownBefore);

    QVERIFY(history.redo(*f.list).result.ok());
    QCOMPARE(storedRowsWithAid(f.db), fileAfterDelete);
    QCOMPARE(shownRows(f.list), shownAfterDelete);

    // With the search and the filter taken away, the list holds every row of the file, newest first.
    QVERIFY(history.undo(*f.list).result.ok());
    f.list->setFilter({}, QDate(2026, 1, 1));
    QVERIFY(f.list->showDefault().ok());
    QList<QStringList> newestFirst = fileBefore;
    std::reverse(newestFirst.begin(), newestFirst.end());
    QCOMPARE(shownRows(f.list), newestFirst);
}

// An undo of a deletion that fails in the middle (the engine refuses one row; a row with one of the aids
// added by another program) writes nothing, leaves the list as it was and keeps the step to undo.
void TestBulk::failedUndoOfDeleteChangesNothing_data()
{
    QTest::addColumn<QString>("outside");
    QTest::addColumn<QString>("named"); // the domain the refusal names; empty for the engine's failure
    QTest::newRow("the engine refuses a row")
        << u"create trigger refuse before insert on tt_a when "
           u"new.a1='v120.cn' begin select raise(abort, 'refused'); end"_s
        << QString();
    QTest::newRow("its aid taken by another program since")
        << u"insert into tt_a (aid, a1) select aid, 'other.com' from (select %1 as aid)"_s << u"v120.cn"_s;
}

void TestBulk::failedUndoOfDeleteChangesNothing()
{
    QFETCH(QString, outside);
    QFETCH(QString, named);
    Fixture f(0);
    QList<qint64> aids;
    addVariedDomains(f.db, &aids);
    QVERIFY(f.list->reopen().ok());
    std::vector<int> all(size_t(f.list->count()));
    std::iota(all.begin(), all.end(), 0);
    UndoHistory history;
    auto command = std::make_unique<DeleteCommand>(RowPack::fromRows(*f.list->rows(), all));
    QVERIFY(command->apply(*f.list).result.ok());
    history.push(std::move(command));
    QCOMPARE(f.list->count(), 0);
    {
        Connection other;
        QCOMPARE(other.open(f.db.path()).error(), QString());
        QCOMPARE(other.execute(outside.contains(u"%1"_s) ? outside.arg(aids[119]) : outside).error(),
                 QString());
    }
    const QList<QStringList> fileBefore = storedRowsWithAid(f.db);
    const rowwriter::Outcome outcome = history.undo(*f.list);
    QVERIFY(!outcome.result.ok());
    QVERIFY2(outcome.result.error().contains(named.isEmpty() ? u"refused"_s : named),
             qPrintable(outcome.result.error()));
    QCOMPARE(storedRowsWithAid(f.db), fileBefore);
    QCOMPARE(f.list->count(), 0);
    QVERIFY(history.canUndo());
    QVERIFY(!history.canRedo());
}

// Rows deleted and edited while a filter is in force stay deleted and edited once the list is sorted.
void TestBulk::changesUnderFilterSurviveSort()
{
    Fixture f(0);
    addVariedDomains(f.db);
    QVERIFY(f.list->reopen().ok());
    ListFilter filter;
    filter.registrar = u"乙注册商"_s;
    f.list->setFilter(filter, QDate(2026, 1, 1));
    QList<QStringList> expected = shownRows(f.list);
    QCOMPARE(expected.size(), 84); // v1, v4 .. v250
    QVERIFY(f.list->write({RowPack::fromRows(*f.list->rows(), {0, 1, 2}), {}}).result.ok());
    expected.remove(0, 3);
    bulkedit::Edit edit;
    edit.price = u"12345"_s;
    QVERIFY(f.list->write(bulkedit::changeFor(RowPack::fromRows(*f.list->rows(), {0, 1}), edit)).result.ok());
    expected[0][9] = expected[1][9] = u"12345"_s;
    QVERIFY(f.list->sortBy(u"a9"_s).ok());
    QList<QStringList> shown = shownRows(f.list);
    const auto byAid = [](const QStringList& a, const QStringList& b) { return a[0].toInt() < b[0].toInt(); };
    std::sort(shown.begin(), shown.end(), byAid);
    std::sort(expected.begin(), expected.end(), byAid);
    QCOMPARE(shown, expected);
}

// Taking many rows to keep for an undo is told as it goes, and stopped leaves nothing.
void TestBulk::takingRowsCanBeStopped()
{
    Fixture f(0);
    QCOMPARE(f.db.addManyDomains(10000), QString());
    QVERIFY(f.list->reopen().ok());
    std::vector<int> all(size_t(f.list->count()));
    std::iota(all.begin(), all.end(), 0);
    qint64 lastDone = 0;
    const std::optional<RowPack> taken =
        RowPack::fromRows(*f.list->rows(), all, [&](qint64 done, qint64 total) {
            [&] { QCOMPARE(total, 10000); }();
            lastDone = done;
            return true;
        });
    QVERIFY(taken);
    QVERIFY(lastDone > 0 && lastDone < 10000);
    QCOMPARE(taken->size(), size_t(10000));
    for (const size_t row : {size_t(0), size_t(4321), size_t(9999)})
        QCOMPARE(taken->record(row).values(), f.list->record(int(row)).values());
    int asked = 0;
    const std::optional<RowPack> stopped =
        RowPack::fromRows(*f.list->rows(), all, [&](qint64, qint64) { return ++asked < 2; });
    QVERIFY(!stopped);
    QCOMPARE(asked, 2);
}

QTEST_GUILESS_MAIN(TestBulk)
#include "tst_bulk.moc"
