#include "TestDb.h"
#include "db/DomainRecord.h"
#include "db/Sql.h"
#include "portfolio/DomainListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestDomainListModel : public QObject
{
    Q_OBJECT
private slots:
    void followsEveryChangeOfTheQuery();
    void columnsAndHeadings();
    void markedHeading_data();
    void markedHeading();
};

void TestDomainListModel::followsEveryChangeOfTheQuery()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"b.com", "a10.net", "a9.net", "c.cn"})
        db.insert({QString::fromLatin1(name),
                   QStringLiteral("说明"),
                   {},
                   {},
                   {},
                   {},
                   {},
                   {},
                   QStringLiteral("12")});
    DomainListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Dataset* q = db.queryA();
    model.setList(db.module()->domains());
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("c.cn"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("12"));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("说明"));

    QCOMPARE(q->setSort(QStringLiteral("a1 ASC")).error(), QString());
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("a9.net"));
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("a10.net"));

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    q->setCurrentRow(1);
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][1].toInt(), 1);
    QCOMPARE(model.rowCount(), 3);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QCOMPARE(q->append({QStringLiteral("new.com")}).error(), QString());
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("new.com"));

    QCOMPARE(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("zzz")}}).error(),
             QString());
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!q->replaceStatement(QStringLiteral("select * from missing")).ok());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(q->replaceStatement(sql::kDefaultList).error(), QString());
    QCOMPARE(model.rowCount(), 4);
    q->close();
    QCOMPARE(model.rowCount(), 0);
}

void TestDomainListModel::columnsAndHeadings()
{
    DomainListModel model;
    QCOMPARE(model.columnCount(), 5);
    QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
    model.setHeading(1, QStringLiteral("报价 ∨"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("报价 ∨"));
    model.resetHeadings();
    QCOMPARE(model.heading(1), QStringLiteral("报价"));
    QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());

    DomainListModel exported(DomainRecord::fieldNames(), DomainRecord::titles());
    QCOMPARE(exported.columnCount(), 10);
    QCOMPARE(exported.fieldName(0), QStringLiteral("aid"));
    QCOMPARE(exported.heading(9), QStringLiteral("对外报价"));
}

void TestDomainListModel::markedHeading_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("marked");
    QTest::newRow("first click") << QStringLiteral("域名") << true << QStringLiteral("域名 ∧");
    QTest::newRow("mark replaced") << QStringLiteral("域名 ∧") << false << QStringLiteral("域名 ∨");
    QTest::newRow("same mark again") << QStringLiteral("报价 ∨") << false << QStringLiteral("报价 ∨");
    QTest::newRow("blanks around") << QStringLiteral("  注册商 ∨  ") << true << QStringLiteral("注册商 ∧");
    QTest::newRow("mark without blank") << QStringLiteral("到期∧") << false << QStringLiteral("到期 ∨");
    // A mark anywhere makes the last character go, whatever it is.
    QTest::newRow("mark inside") << QStringLiteral("a∧b") << true << QStringLiteral("a∧ ∧");
}

void TestDomainListModel::markedHeading()
{
    QFETCH(QString, heading);
    QFETCH(bool, ascending);
    QFETCH(QString, marked);
    QCOMPARE(DomainListModel::markedHeading(heading, ascending), marked);
}

QTEST_GUILESS_MAIN(TestDomainListModel)
#include "tst_listmodel.moc"
