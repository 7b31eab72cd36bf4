#include "TestDb.h"
#include "db/Dataset.h"
#include "db/Sql.h"
#include "entry/Daoru.h"
#include "entry/DuplicateKey.h"
#include "entry/HeadingMap.h"
#include "entry/ImportPlan.h"
#include "entry/ImportPreviewDialog.h"
#include "entry/MappedImport.h"
#include "entry/ValueCleaner.h"
#include "platform/Dialogs.h"
#include "portfolio/ExportCore.h"
#include "sheet/TableReader.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using valuecleaner::DayOrder;

namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);

QString dataFile(const QString& name)
{
    return QStringLiteral(LANSHU_TEST_DATA "/") + name;
}

sheet::Sheet readSheet(const QString& path)
{
    sheet::ReadOptions options;
    options.columns = headingmap::kReadColumns;
    Expected<sheet::Sheet> read = sheet::readTable(path, options);
    if (!read.ok())
        qWarning() << read.error();
    return read.ok() ? read.take() : sheet::Sheet();
}

// The plan for a sheet read from a file, mapped by its headings.
struct Planned
{
    headingmap::Columns columns;
    importplan::Settings settings;
    importplan::Plan plan;
};

Planned planFor(TestDb& db, const sheet::Sheet& sheet,
                importplan::Duplicates duplicates = importplan::Duplicates::Skip,
                const QList<DayOrder>& orders = {})
{
    Planned p;
    p.columns = headingmap::detect(sheet, headingmap::kReadColumns, kChina).value_or(headingmap::Columns());
    p.settings.fields = p.columns.fields;
    p.settings.orders = orders;
    p.settings.duplicates = duplicates;
    p.settings.verbatim = p.columns.ownExport;
    importplan::Portfolio portfolio;
    if (!importplan::loadPortfolio(db.module()->Conn_service(), &portfolio).ok())
        qWarning("portfolio not read");
    p.plan = importplan::Plan::build(sheet, p.settings, portfolio, kChina);
    return p;
}

importplan::Outcome importFile(TestDb& db, const QString& file,
                               importplan::Duplicates duplicates = importplan::Duplicates::Skip,
                               const QList<DayOrder>& orders = {})
{
    const Planned p = planFor(db, readSheet(dataFile(file)), duplicates, orders);
    return importplan::apply(db.module()->Conn_service(), p.plan);
}

// A sheet of text cells, row by row.
sheet::Sheet sheetOf(const QList<QStringList>& rows)
{
    sheet::Sheet s;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            if (rows[r][c].isEmpty())
                continue;
            sheet::Cell cell;
            cell.type = sheet::Cell::Type::Text;
            cell.text = rows[r][c];
            s.setCell(r, c, cell);
        }
    return s;
}

} // namespace

class TestImportMapped : public QObject
{
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { MessageBox::setTestMode(false); }

    void headings_data();
    void headings();
    void strongestHeadingWins();
    void sheetWithoutHeadingsIsNotMapped();
    void ownExportRecognised();
    void dates_data();
    void dates();
    void dayOrderOfAColumn_data();
    void dayOrderOfAColumn();
    void prices_data();
    void prices();
    void duplicateKeys_data();
    void duplicateKeys();

    void chineseRegistrarSheet();
    void englishRegistrarSheet();
    void zoneTimesAndPrices_data();
    void zoneTimesAndPrices();
    void dayFirstDatesAsk();
    void ownExportRoundTrip();
    void duplicates_data();
    void duplicates();
    void sameFileTwiceChangesNothing_data();
    void sameFileTwiceChangesNothing();
    void failureStoresNothing();
    void cancelStoresNothing();
    void undoAfterImport();
    void undoRefusedAfterEdit();
    void updateKeepsAChangeMadeSince_data();
    void updateKeepsAChangeMadeSince();
    void knownNamesOfALargeList();

    void dialogPreviewThenImport();
    void dialogPreviewCancelStoresNothing();
    void dialogAsksDayOrder();
    void dialogUndo();
    void dialogSheetWithoutHeadingsAsBefore();
};

void TestImportMapped::headings_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("field");
    QTest::addColumn<bool>("known");
    const int none = headingmap::kNoField;
    QTest::newRow("域名") << QStringLiteral("域名") << 0 << true;
    QTest::newRow("required, star, case") << QStringLiteral("* DOMAIN name (required)") << 0 << true;
    QTest::newRow("full-width and colon") << QStringLiteral("　域名名称：") << 0 << true;
    QTest::newRow("Punycode") << QStringLiteral("Punycode") << 0 << true;
    QTest::newRow("Description") << QStringLiteral("Description") << 1 << true;
    QTest::newRow("Registrar") << QStringLiteral("registrar") << 2 << true;
    QTest::newRow("域名管理网址") << QStringLiteral("域名管理网址") << 3 << true;
    QTest::newRow("URL") << QStringLiteral("URL") << 3 << true;
    QTest::newRow("注册时间") << QStringLiteral("注册时间") << 4 << true;
    QTest::newRow("Ownership Date") << QStringLiteral("Ownership_Date") << 4 << true;
    QTest::newRow("Expiration Date") << QStringLiteral("Expiration Date") << 5 << true;
    QTest::newRow("Renewal-Date") << QStringLiteral("Renewal-Date") << 5 << true;
    QTest::newRow("到期") << QStringLiteral("到期") << 5 << true;
    QTest::newRow("Domain Note") << QStringLiteral("Domain Note") << 6 << true;
    QTest::newRow("域名管理密码") << QStringLiteral("域名管理密码") << 7 << true;
    QTest::newRow("Price (USD)") << QStringLiteral("Price (USD)") << 8 << true;
    QTest::newRow("Buy Now") << QStringLiteral("Buy Now") << 8 << true;
    QTest::newRow("BIN") << QStringLiteral("BIN") << 8 << true;
    QTest::newRow("Amount: ambiguous") << QStringLiteral("Amount") << none << true;
    QTest::newRow("Value: ambiguous") << QStringLiteral("Value") << none << true;
    QTest::newRow("Category: ambiguous") << QStringLiteral("Category") << none << true;
    QTest::newRow("Registrant: personal") << QStringLiteral("Registrant") << none << true;
    QTest::newRow("Email: personal") << QStringLiteral("E-mail") << none << true;
    QTest::newRow("Phone: personal") << QStringLiteral("Phone") << none << true;
    QTest::newRow("Auth Code: secret") << QStringLiteral("Auth Code") << none << true;
    QTest::newRow("Auto Renew") << QStringLiteral("Auto Renew") << none << true;
    QTest::newRow("unknown") << QStringLiteral("Nameservers") << none << false;
    QTest::newRow("a domain is no heading") << QStringLiteral("domain.com") << none << false;
}

void TestImportMapped::headings()
{
    QFETCH(QString, heading);
    QFETCH(int, field);
    QFETCH(bool, known);
    const headingmap::Match m = headingmap::match(heading);
    QCOMPARE(m.field, field);
    QCOMPARE(m.known, known);
}

void TestImportMapped::strongestHeadingWins()
{
    const sheet::Sheet s =
        sheetOf({{QStringLiteral("Name"), QStringLiteral("Domain"), QStringLiteral("Created"),
                  QStringLiteral("Registration Date"), QStringLiteral("Email")},
                 {QStringLiteral("x"), QStringLiteral("a.com")}});
    const auto columns = headingmap::detect(s, headingmap::kReadColumns);
    QVERIFY(columns);
    QCOMPARE(columns->fields, QList<int>({-1, 0, 4, -1, -1}));
    QVERIFY(!columns->ownExport);
}

void TestImportMapped::sheetWithoutHeadingsIsNotMapped()
{
    QVERIFY(!headingmap::detect(readSheet(dataFile(QStringLiteral("mapped_no_headings.xls"))),
                                headingmap::kReadColumns));
    QVERIFY(!headingmap::detect(readSheet(dataFile(QStringLiteral("import_gnumeric.xls"))),
                                headingmap::kReadColumns));
    // A row of data whose description happens to read 域名 is no heading row.
    QVERIFY(!headingmap::detect(sheetOf({{QStringLiteral("abc.com"), QStringLiteral("域名")}}),
                                headingmap::kReadColumns));
    QVERIFY(headingmap::detect(sheetOf({{QStringLiteral("Name"), QStringLiteral("域名")}}),
                               headingmap::kReadColumns));
}

void TestImportMapped::ownExportRecognised()
{
    const auto columns = headingmap::detect(readSheet(dataFile(QStringLiteral("mapped_own_export.xls"))),
                                            headingmap::kReadColumns);
    QVERIFY(columns);
    QVERIFY(columns->ownExport);
    // 编号 is not imported; the nine fields go to a1 .. a9.
    QCOMPARE(columns->fields, QList<int>({-1, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

void TestImportMapped::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("expected"); // empty: not a date
    QTest::addColumn<bool>("needsOrder");
    const int unknown = int(DayOrder::Unknown);
    const int month = int(DayOrder::MonthFirst);
    const int day = int(DayOrder::DayFirst);
    QTest::newRow("zone name") << QStringLiteral("2021/11/24 11:43 PST") << unknown
                               << QStringLiteral("2021-11-24") << false;
    QTest::newRow("month name") << QStringLiteral("Dec 13 2021") << unknown << QStringLiteral("2021-12-13")
                                << false;
    QTest::newRow("month name, comma")
        << QStringLiteral("Dec 13, 2021") << unknown << QStringLiteral("2021-12-13") << false;
    QTest::newRow("full month, ordinal")
        << QStringLiteral("December 3rd, 2021") << unknown << QStringLiteral("2021-12-03") << false;
    QTest::newRow("day first name") << QStringLiteral("13 Dec 2021") << unknown
                                    << QStringLiteral("2021-12-13") << false;
    QTest::newRow("13-Dec-21") << QStringLiteral("13-Dec-21") << unknown << QStringLiteral("2021-12-13")
                               << false;
    QTest::newRow("weekday and zone") << QStringLiteral("Mon Dec 13 2021 10:00:00 GMT+0800") << unknown
                                      << QStringLiteral("2021-12-13") << false;
    QTest::newRow("11/24/2021") << QStringLiteral("11/24/2021") << unknown << QStringLiteral("2021-11-24")
                                << false;
    QTest::newRow("24/11/2021") << QStringLiteral("24/11/2021") << unknown << QStringLiteral("2021-11-24")
                                << false;
    QTest::newRow("24.11.2021") << QStringLiteral("24.11.2021") << unknown << QStringLiteral("2021-11-24")
                                << false;
    QTest::newRow("11-24-21") << QStringLiteral("11-24-21") << unknown << QStringLiteral("2021-11-24")
                              << false;
    QTest::newRow("03/04 untold") << QStringLiteral("03/04/2021") << unknown << QString() << true;
    QTest::newRow("03/04 month first")
        << QStringLiteral("03/04/2021") << month << QStringLiteral("2021-03-04") << false;
    QTest::newRow("03/04 day first") << QStringLiteral("03/04/2021") << day << QStringLiteral("2021-04-03")
                                     << false;
    QTest::newRow("05/05 either way")
        << QStringLiteral("05/05/2021") << unknown << QStringLiteral("2021-05-05") << false;
    QTest::newRow("24/11 against the order")
        << QStringLiteral("24/11/2021") << month << QStringLiteral("2021-11-24") << false;
    QTest::newRow("iso") << QStringLiteral("2021-11-24") << unknown << QStringLiteral("2021-11-24") << false;
    QTest::newRow("iso with time") << QStringLiteral("2021-11-24T11:43:00Z") << unknown
                                   << QStringLiteral("2021-11-24") << false;
    QTest::newRow("dots, one digit") << QStringLiteral("2021.1.5") << unknown << QStringLiteral("2021-01-05")
                                     << false;
    QTest::newRow("年月日") << QStringLiteral("2021年11月24日") << unknown << QStringLiteral("2021-11-24")
                            << false;
    QTest::newRow("年月日 下午") << QStringLiteral("2021年1月2日 下午3:04") << unknown
                                 << QStringLiteral("2021-01-02") << false;
    QTest::newRow("full-width digits")
        << QStringLiteral("２０２１/１１/２４") << unknown << QStringLiteral("2021-11-24") << false;
    QTest::newRow("eight digits") << QStringLiteral("20211124") << unknown << QStringLiteral("2021-11-24")
                                  << false;
    QTest::newRow("30 February") << QStringLiteral("2021-02-30") << unknown << QString() << false;
    QTest::newRow("13/13") << QStringLiteral("13/13/2021") << unknown << QString() << false;
    QTest::newRow("a range") << QStringLiteral("2021/11/24 - 2022/11/24") << unknown << QString() << false;
    QTest::newRow("words") << QStringLiteral("next year") << unknown << QString() << false;
    QTest::newRow("a number") << QStringLiteral("44524") << unknown << QString() << false;
}

void TestImportMapped::dates()
{
    QFETCH(QString, text);
    QFETCH(int, order);
    QFETCH(QString, expected);
    QFETCH(bool, needsOrder);
    bool asked = false;
    const QDate date = valuecleaner::readDate(text, DayOrder(order), &asked);
    QCOMPARE(date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString(), expected);
    QCOMPARE(asked, needsOrder);
    // A date that cannot be read stays as it was, with a warning.
    const valuecleaner::Cleaned cleaned = valuecleaner::cleanDate(text, DayOrder(order));
    QCOMPARE(cleaned.text, expected.isEmpty() ? text : expected);
    QCOMPARE(cleaned.warning.isEmpty(), !expected.isEmpty());
}

void TestImportMapped::dayOrderOfAColumn_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("ask");
    QTest::newRow("a day above 12") << QStringList{QStringLiteral("03/04/2021"), QStringLiteral("24/04/2021")}
                                    << int(DayOrder::DayFirst) << false;
    QTest::newRow("a month second above 12")
        << QStringList{QStringLiteral("03/04/2021"), QStringLiteral("04/24/2021")}
        << int(DayOrder::MonthFirst) << false;
    QTest::newRow("nothing tells") << QStringList{QStringLiteral("03/04/2021"), QStringLiteral("05/06/2021")}
                                   << int(DayOrder::Unknown) << true;
    QTest::newRow("they contradict") << QStringList{QStringLiteral("13/01/2021"),
                                                    QStringLiteral("01/13/2021"),
                                                    QStringLiteral("02/03/2021")}
                                     << int(DayOrder::Unknown) << true;
    QTest::newRow("no numbers-only dates")
        << QStringList{QStringLiteral("2021-01-02"), QStringLiteral("Dec 1 2021")} << int(DayOrder::Unknown)
        << false;
}

void TestImportMapped::dayOrderOfAColumn()
{
    QFETCH(QStringList, values);
    QFETCH(int, order);
    QFETCH(bool, ask);
    bool asked = false;
    QCOMPARE(int(valuecleaner::columnOrder(values, &asked)), order);
    QCOMPARE(asked, ask);
}

void TestImportMapped::prices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("warned");
    QTest::newRow("dollar and blank") << QStringLiteral("$ 18.99") << QStringLiteral("18.99") << false;
    QTest::newRow("thousands") << QStringLiteral("1,500") << QStringLiteral("1500") << false;
    QTest::newRow("full-width yen") << QStringLiteral("￥2000") << QStringLiteral("2000") << false;
    QTest::newRow("yen, thousands, cents")
        << QStringLiteral("¥1,234.50") << QStringLiteral("1234.50") << false;
    QTest::newRow("USD code") << QStringLiteral("USD 1,200") << QStringLiteral("1200") << false;
    QTest::newRow("US$") << QStringLiteral("US$99") << QStringLiteral("99") << false;
    QTest::newRow("元") << QStringLiteral("1500元") << QStringLiteral("1500") << false;
    QTest::newRow("full-width digits") << QStringLiteral("１２３") << QStringLiteral("123") << false;
    QTest::newRow("plain") << QStringLiteral("0") << QStringLiteral("0") << false;
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("words") << QStringLiteral("面议") << QStringLiteral("面议") << true;
    QTest::newRow("make offer") << QStringLiteral("Make offer") << QStringLiteral("Make offer") << true;
    QTest::newRow("comma as decimal") << QStringLiteral("1,5") << QStringLiteral("1,5") << true;
    QTest::newRow("bad groups") << QStringLiteral("12,34,567") << QStringLiteral("12,34,567") << true;
    QTest::newRow("k") << QStringLiteral("1.5k") << QStringLiteral("1.5k") << true;
}

void TestImportMapped::prices()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, warned);
    const valuecleaner::Cleaned cleaned = valuecleaner::cleanPrice(text);
    QCOMPARE(cleaned.text, expected);
    QCOMPARE(!cleaned.warning.isEmpty(), warned);
}

void TestImportMapped::duplicateKeys_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("IDN and xn--") << QStringLiteral("中文.中国") << QStringLiteral("xn--fiq228c.xn--fiqs8s")
                                  << true;
    QTest::newRow("IDN and XN-- in capitals")
        << QStringLiteral("中文.中国") << QStringLiteral("XN--FIQ228C.xn--fiqs8s") << true;
    QTest::newRow("ideographic full stop")
        << QStringLiteral("中文。中国") << QStringLiteral("xn--fiq228c.xn--fiqs8s") << true;
    QTest::newRow("letter case, final dot")
        << QStringLiteral("Example.COM") << QStringLiteral(" example.com. ") << true;
    QTest::newRow("accented") << QStringLiteral("Bücher.de") << QStringLiteral("xn--bcher-kva.de") << true;
    QTest::newRow("different") << QStringLiteral("a.com") << QStringLiteral("b.com") << false;
    QTest::newRow("different IDN") << QStringLiteral("中文.中国") << QStringLiteral("中文.cn") << false;
}

void TestImportMapped::duplicateKeys()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(duplicatekey::key(a) == duplicatekey::key(b), same);
    QCOMPARE(duplicatekey::hash(a) == duplicatekey::hash(b), same);
    // As the database gives the names: the same hash as from the text.
    QCOMPARE(duplicatekey::hashUtf8(b.toUtf8().toStdString()), duplicatekey::hash(b));
    QCOMPARE(duplicatekey::hashUtf8(a.toUtf8().toStdString()) == duplicatekey::hash(b), same);
}

void TestImportMapped::chineseRegistrarSheet()
{
    TestDb db;
    QVERIFY(db.ok());
    const importplan::Outcome outcome = importFile(db, QStringLiteral("mapped_cn_registrar.xlsx"));
    QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
    // The heading row is not stored; the empty line between the domains is passed over; 状态 is not imported.
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("例子.中国"),
                                                      {},
                                                      QStringLiteral("某某网络"),
                                                      {},
                                                      QStringLiteral("2019-03-05"),
                                                      QStringLiteral("2025-03-05")}),
                                                 row({QStringLiteral("abc.cn"),
                                                      {},
                                                      QStringLiteral("某某网络"),
                                                      {},
                                                      QStringLiteral("2020-11-24"),
                                                      QStringLiteral("2026-11-24")}),
                                                 row({QStringLiteral("xyz.com.cn"),
                                                      {},
                                                      QStringLiteral("某某网络"),
                                                      {},
                                                      QStringLiteral("2021-01-02"),
                                                      QStringLiteral("2027-01-02")})}));
}

void TestImportMapped::englishRegistrarSheet()
{
    TestDb db;
    QVERIFY(db.ok());
    const Planned p = planFor(db, readSheet(dataFile(QStringLiteral("mapped_en_registrar.csv"))));
    // Auto Renew and Registrant Email are not imported.
    QCOMPARE(p.columns.fields, QList<int>({0, 5, 2, -1, -1}));
    const importplan::Counts counts = p.plan.counts();
    QCOMPARE(counts.added, 2);
    QCOMPARE(counts.skipped, 1); // EXAMPLE-ONE.COM again, further down
    QVERIFY(importplan::apply(db.module()->Conn_service(), p.plan).ok());
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("Example-One.com"),
                                                      {},
                                                      QStringLiteral("Some Registrar, LLC"),
                                                      {},
                                                      {},
                                                      QStringLiteral("2021-12-13")}),
                                                 row({QStringLiteral("example-two.net"),
                                                      {},
                                                      QStringLiteral("Some Registrar, LLC"),
                                                      {},
                                                      {},
                                                      QStringLiteral("2021-11-24")})}));
    QCOMPARE(p.plan.report(), QStringList({QStringLiteral("第 4 行\tEXAMPLE-ONE.COM\t与第 2 行重复")}));
}

void TestImportMapped::zoneTimesAndPrices_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("csv: texts") << QStringLiteral("mapped_pst_prices.csv");
    QTest::newRow("xls: prices read as numbers") << QStringLiteral("mapped_pst_prices.xls");
}

void TestImportMapped::zoneTimesAndPrices()
{
    QFETCH(QString, file);
    TestDb db;
    QVERIFY(db.ok());
    const Planned p = planFor(db, readSheet(dataFile(file)));
    QCOMPARE(p.plan.counts().added, 4);
    QCOMPARE(p.plan.counts().problems, 1); // "Make offer" kept, with a warning
    QVERIFY(importplan::apply(db.module()->Conn_service(), p.plan).ok());
    const QList<QStringList> rows = storedRows(db);
    QCOMPARE(rows.size(), 4);
    const QStringList expected[] = {
        row({QStringLiteral("pst-one.com"),
             {},
             {},
             {},
             QStringLiteral("2021-11-24"),
             QStringLiteral("2023-11-24"),
             {},
             {},
             QStringLiteral("18.99")}),
        row({QStringLiteral("pst-two.com"),
             {},
             {},
             {},
             QStringLiteral("2020-01-05"),
             QStringLiteral("2024-01-05"),
             {},
             {},
             QStringLiteral("1500")}),
        row({QStringLiteral("pst-three.com"),
             {},
             {},
             {},
             QStringLiteral("2019-07-01"),
             QStringLiteral("2025-07-01"),
             {},
             {},
             QStringLiteral("2000")}),
        row({QStringLiteral("pst-four.com"),
             {},
             {},
             {},
             QStringLiteral("2018-02-03"),
             QStringLiteral("2026-02-03"),
             {},
             {},
             QStringLiteral("Make offer")}),
    };
    for (int i = 0; i < 4; ++i)
        QCOMPARE(rows[i], expected[i]);
    QCOMPARE(p.plan.report().size(), 1);
    QVERIFY(p.plan.report()[0].startsWith(QStringLiteral("第 5 行\tpst-four.com\t对外报价")));
}

void TestImportMapped::dayFirstDatesAsk()
{
    TestDb db;
    QVERIFY(db.ok());
    const sheet::Sheet sheet = readSheet(dataFile(QStringLiteral("mapped_day_first.csv")));
    const Planned untold = planFor(db, sheet);
    QCOMPARE(untold.plan.columnsToAsk(), QList<int>({1}));
    const Planned told =
        planFor(db, sheet, importplan::Duplicates::Skip, {DayOrder::Unknown, DayOrder::DayFirst});
    QVERIFY(told.plan.columnsToAsk().isEmpty());
    QVERIFY(importplan::apply(db.module()->Conn_service(), told.plan).ok());
    QStringList expiries;
    for (const QStringList& r : storedRows(db))
        expiries.append(r[5]);
    QCOMPARE(expiries, QStringList({QStringLiteral("2025-04-03"), QStringLiteral("2026-06-05"),
                                    QStringLiteral("2027-02-01")}));
}

void TestImportMapped::ownExportRoundTrip()
{
    // Written by the export itself: every value comes back as it was, the heading row and 编号 do not.
    TestDb first;
    QVERIFY(first.ok());
    first.insert(
        row({QStringLiteral("例子.中国"), QStringLiteral("说明"), QStringLiteral("注册商"),
             QStringLiteral("http://m.example.cn"), QStringLiteral("2012/10/10"), QStringLiteral("2030-1-2"),
             QStringLiteral("备注\n第二行"), QStringLiteral("pw"), QStringLiteral("0100")}));
    first.insert(row({QStringLiteral("second.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("面议")}));
    QCOMPARE(first.queryA()->open().error(), QString());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("yuming.xls"));
    QVERIFY(exporter::writeWorkbook(*first.queryA(), path).ok());

    TestDb second;
    QVERIFY(second.ok());
    const Planned p = planFor(second, readSheet(path));
    QVERIFY(p.columns.ownExport);
    QCOMPARE(p.plan.counts().problems, 0);
    QVERIFY(importplan::apply(second.module()->Conn_service(), p.plan).ok());
    QList<QStringList> back = storedRows(second);
    std::reverse(back.begin(), back.end()); // the export lists the newest first
    QCOMPARE(back, storedRows(first));
}

void TestImportMapped::duplicates_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("updated");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QList<QStringList>>("stored");
    const QStringList idnBefore =
        row({QStringLiteral("中文.中国"), QStringLiteral("旧说明"), QStringLiteral("旧注册商")});
    const QStringList exampleBefore =
        row({QStringLiteral("Example.com"), {}, {}, {}, {}, {}, QStringLiteral("旧备注")});
    QTest::newRow("跳过") << int(importplan::Duplicates::Skip) << 1 << 0 << 3
                          << QList<QStringList>({idnBefore, exampleBefore,
                                                 row({QStringLiteral("new.com"), QStringLiteral("一")})});
    // Filled values replace, empty ones leave what is there; the name keeps the portfolio's spelling; a later
    // row of the same domain adds its filled values.
    QTest::newRow("用表中非空的值更新")
        << int(importplan::Duplicates::Update) << 1 << 2 << 1
        << QList<QStringList>(
               {row({QStringLiteral("中文.中国"), QStringLiteral("新说明"), QStringLiteral("旧注册商")}),
                row({QStringLiteral("Example.com"),
                     {},
                     {},
                     {},
                     {},
                     {},
                     QStringLiteral("旧备注"),
                     {},
                     QStringLiteral("99")}),
                row({QStringLiteral("new.com"), QStringLiteral("一"), QStringLiteral("二")})});
    QTest::newRow("仍然添加")
        << int(importplan::Duplicates::Add) << 4 << 0 << 0
        << QList<QStringList>(
               {idnBefore, exampleBefore,
                row({QStringLiteral("xn--fiq228c.xn--fiqs8s"), QStringLiteral("新说明")}),
                row({QStringLiteral("EXAMPLE.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("99")}),
                row({QStringLiteral("new.com"), QStringLiteral("一")}),
                row({QStringLiteral("NEW.com."), {}, QStringLiteral("二")})});
}

void TestImportMapped::duplicates()
{
    QFETCH(int, choice);
    QFETCH(int, added);
    QFETCH(int, updated);
    QFETCH(int, skipped);
    QFETCH(QList<QStringList>, stored);
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row({QStringLiteral("中文.中国"), QStringLiteral("旧说明"), QStringLiteral("旧注册商")}));
    db.insert(row({QStringLiteral("Example.com"), {}, {}, {}, {}, {}, QStringLiteral("旧备注")}));
    const sheet::Sheet sheet = sheetOf({
        {QStringLiteral("Domain"), QStringLiteral("Description"), QStringLiteral("Registrar"),
         QStringLiteral("Price")},
        {QStringLiteral("xn--fiq228c.xn--fiqs8s"), QStringLiteral("新说明")},
        {QStringLiteral("EXAMPLE.com"), {}, {}, QStringLiteral("99")},
        {QStringLiteral("new.com"), QStringLiteral("一")},
        {QStringLiteral("NEW.com."), {}, QStringLiteral("二")},
    });
    const Planned p = planFor(db, sheet, importplan::Duplicates(choice));
    QCOMPARE(p.plan.counts().added, added);
    QCOMPARE(p.plan.counts().updated, updated);
    QCOMPARE(p.plan.counts().skipped, skipped);
    const importplan::Outcome outcome = importplan::apply(db.module()->Conn_service(), p.plan);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
    QCOMPARE(storedRows(db), stored);
}

void TestImportMapped::sameFileTwiceChangesNothing_data()
{
    QTest::addColumn<int>("choice");
    QTest::newRow("跳过") << int(importplan::Duplicates::Skip);
    QTest::newRow("用表中非空的值更新") << int(importplan::Duplicates::Update);
}

void TestImportMapped::sameFileTwiceChangesNothing()
{
    QFETCH(int, choice);
    TestDb db;
    QVERIFY(db.ok());
    const auto choose = importplan::Duplicates(choice);
    QVERIFY(importFile(db, QStringLiteral("mapped_en_registrar.csv"), choose).ok());
    QVERIFY(importFile(db, QStringLiteral("mapped_cn_registrar.xlsx"), choose).ok());
    const QList<QStringList> once = storedRows(db);
    QCOMPARE(once.size(), 5);
    for (const QString& file :
         {QStringLiteral("mapped_en_registrar.csv"), QStringLiteral("mapped_cn_registrar.xlsx")}) {
        const Planned again = planFor(db, readSheet(dataFile(file)), choose);
        QCOMPARE(again.plan.counts().added, 0);
        QCOMPARE(again.plan.counts().updated, 0);
        const importplan::Outcome outcome = importplan::apply(db.module()->Conn_service(), again.plan);
        QVERIFY(outcome.ok());
        QVERIFY(outcome.undo.isEmpty());
    }
    QCOMPARE(storedRows(db), once);
}

void TestImportMapped::failureStoresNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row({QStringLiteral("abc.cn"), QStringLiteral("旧")}));
    // The third row is refused: neither the rows before it nor the update are kept.
    QCOMPARE(db.exec(QStringLiteral("create trigger refuse before insert on tt_a when new.a1 = 'xyz.com.cn' "
                                    "begin select raise(abort, 'row refused'); end;")),
             QString());
    const importplan::Outcome outcome =
        importFile(db, QStringLiteral("mapped_cn_registrar.xlsx"), importplan::Duplicates::Update);
    QVERIFY(!outcome.ok());
    QVERIFY(outcome.error().contains(QStringLiteral("row refused")));
    QVERIFY(outcome.undo.isEmpty());
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("abc.cn"), QStringLiteral("旧")})}));
}

void TestImportMapped::cancelStoresNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    QList<QStringList> rows{{QStringLiteral("域名"), QStringLiteral("对外报价")}};
    for (int i = 0; i < 5000; ++i)
        rows.append({QStringLiteral("d%1.com").arg(i), QString::number(i)});
    const Planned p = planFor(db, sheetOf(rows));
    QCOMPARE(p.plan.counts().added, 5000);
    int calls = 0;
    const importplan::Outcome outcome = importplan::apply(db.module()->Conn_service(), p.plan, [&](int, int) {
        ++calls;
        return false; // 取消 at the first report
    });
    QVERIFY(outcome.wasCancelled());
    QCOMPARE(calls, 1);
    QCOMPARE(db.countRows(), 0);
}

void TestImportMapped::undoAfterImport()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row({QStringLiteral("abc.cn"), QStringLiteral("旧说明"), QStringLiteral("旧注册商")}));
    const QList<QStringList> before = storedRows(db);
    const importplan::Outcome outcome =
        importFile(db, QStringLiteral("mapped_cn_registrar.xlsx"), importplan::Duplicates::Update);
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.undo.added.size(), size_t(2));
    QCOMPARE(outcome.undo.updated.size(), size_t(1));
    QCOMPARE(db.countRows(), 3);
    const Result undone = importplan::undo(db.module()->Conn_service(), outcome.undo);
    QVERIFY(undone.ok());
    QVERIFY(undone.code() != Result::Code::Refused);
    QCOMPARE(storedRows(db), before);
}

// A list large enough that its names are keyed on both cores and looked up through many buckets: names
// from its first, middle and last rows are known, in any letter case and in either IDN form.
void TestImportMapped::knownNamesOfALargeList()
{
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(db.exec(QStringLiteral("insert into tt_a(a1) with recursive n(i) as (select 1 union all select "
                                    "i + 1 from n where i < 60000) select 'd' || i || '.com' from n")),
             QString());
    db.insert(row({QStringLiteral("中文.中国")}));
    Dataset* list = db.queryA();
    QCOMPARE(list->open().error(), QString());
    QCOMPARE(list->finishFill().error(), QString());
    QCOMPARE(list->recordCount(), 60001);

    const sheet::Sheet sheet = sheetOf({{QStringLiteral("Domain"), QStringLiteral("Price")},
                                        {QStringLiteral("d1.com"), QStringLiteral("1")},
                                        {QStringLiteral("d30000.com"), QStringLiteral("2")},
                                        {QStringLiteral("D60000.COM"), QStringLiteral("3")},
                                        {QStringLiteral("xn--fiq228c.xn--fiqs8s"), QStringLiteral("4")},
                                        {QStringLiteral("d60001.com"), QStringLiteral("5")},
                                        {QStringLiteral("d0.com"), QStringLiteral("6")}});
    importplan::Settings settings;
    settings.fields = headingmap::detect(sheet, headingmap::kReadColumns, kChina).value().fields;
    for (const bool fromList : {true, false}) {
        importplan::Portfolio portfolio;
        QVERIFY(importplan::loadPortfolio(db.module()->Conn_service(), &portfolio, fromList ? list : nullptr)
                    .ok());
        const importplan::Plan plan = importplan::Plan::build(sheet, settings, portfolio, kChina);
        QCOMPARE(plan.counts().skipped, 4);
        QCOMPARE(plan.counts().added, 2);
        QStringList added;
        for (const importplan::Row& r : plan.rows())
            if (r.action == importplan::Action::Add)
                added.append(r.values.domain);
        QCOMPARE(added, QStringList({QStringLiteral("d60001.com"), QStringLiteral("d0.com")}));
    }
}

void TestImportMapped::updateKeepsAChangeMadeSince_data()
{
    QTest::addColumn<bool>("fromList");
    QTest::addColumn<bool>("changeBeforePreview");
    // The rows of the preview read from the file; the note changed between the preview and storing.
    QTest::newRow("file, changed after the preview") << false << false;
    // The rows taken from the list in memory, which has not yet seen another program's change.
    QTest::newRow("list, changed before the preview") << true << true;
    QTest::newRow("list, changed after the preview") << true << false;
}

void TestImportMapped::updateKeepsAChangeMadeSince()
{
    QFETCH(bool, fromList);
    QFETCH(bool, changeBeforePreview);
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row(
        {QStringLiteral("example.com"), QStringLiteral("旧说明"), {}, {}, {}, {}, QStringLiteral("旧备注")}));
    Dataset* list = db.queryA();
    QCOMPARE(list->open().error(), QString());
    QCOMPARE(list->finishFill().error(), QString());
    QCOMPARE(list->recordCount(), 1);
    const QString change =
        QStringLiteral("update tt_a set a7 = '另一个程序写的备注' where a1 = 'example.com'");
    if (changeBeforePreview)
        QCOMPARE(db.exec(change), QString());

    const sheet::Sheet sheet = sheetOf({{QStringLiteral("Domain"), QStringLiteral("Price")},
                                        {QStringLiteral("example.com"), QStringLiteral("1200")}});
    importplan::Settings settings;
    settings.fields = headingmap::detect(sheet, headingmap::kReadColumns, kChina).value().fields;
    settings.duplicates = importplan::Duplicates::Update;
    importplan::Portfolio portfolio;
    QVERIFY(
        importplan::loadPortfolio(db.module()->Conn_service(), &portfolio, fromList ? list : nullptr).ok());
    const importplan::Plan plan = importplan::Plan::build(sheet, settings, portfolio, kChina);
    QCOMPARE(plan.counts().updated, 1);
    if (!changeBeforePreview)
        QCOMPARE(db.exec(change), QString());

    const importplan::Outcome outcome = importplan::apply(db.module()->Conn_service(), plan);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("example.com"),
                                                      QStringLiteral("旧说明"),
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      QStringLiteral("另一个程序写的备注"),
                                                      {},
                                                      QStringLiteral("1200")})}));
    // Undo puts back the row as it was just before the import, the other program's note with it.
    QVERIFY(importplan::undo(db.module()->Conn_service(), outcome.undo).ok());
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("example.com"),
                                                      QStringLiteral("旧说明"),
                                                      {},
                                                      {},
                                                      {},
                                                      {},
                                                      QStringLiteral("另一个程序写的备注")})}));
}

void TestImportMapped::undoRefusedAfterEdit()
{
    TestDb db;
    QVERIFY(db.ok());
    const importplan::Outcome outcome = importFile(db, QStringLiteral("mapped_cn_registrar.xlsx"));
    QVERIFY(outcome.ok());
    QCOMPARE(db.exec(QStringLiteral("update tt_a set a7 = '改过' where a1 = 'abc.cn'")), QString());
    const QList<QStringList> edited = storedRows(db);
    const Result refused = importplan::undo(db.module()->Conn_service(), outcome.undo);
    QCOMPARE(refused.code(), Result::Code::Refused);
    QVERIFY2(refused.error().contains(QStringLiteral("abc.cn（已被修改）")), qPrintable(refused.error()));
    QCOMPARE(storedRows(db), edited); // nothing undone, not even the unchanged rows
    // A row deleted since is named as well.
    QCOMPARE(db.exec(QStringLiteral("delete from tt_a where a1 = 'xyz.com.cn'")), QString());
    const Result gone = importplan::undo(db.module()->Conn_service(), outcome.undo);
    QCOMPARE(gone.code(), Result::Code::Refused);
    QVERIFY2(gone.error().contains(QStringLiteral("xyz.com.cn（已被删除）")), qPrintable(gone.error()));
}

namespace {

// The import dialog over a file that holds one domain, with the file chosen next.
void showDialog(Tdaoru& dlg, TestDb& db, const QString& file)
{
    db.insert(row({QStringLiteral("abc.cn"), QStringLiteral("旧说明")}));
    QCOMPARE(db.queryA()->open().error(), QString());
    dlg.bindData(db.module());
    dlg.show();
    FileDialog::setNextOpenFileName(dataFile(file));
}

ImportPreviewDialog* previewOf(Tdaoru& dlg)
{
    return dlg.findChild<ImportPreviewDialog*>(QStringLiteral("importPreview"));
}

} // namespace

void TestImportMapped::dialogPreviewThenImport()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showDialog(dlg, db, QStringLiteral("mapped_cn_registrar.xlsx"));
    dlg.bsSkinButton1Click();
    ImportPreviewDialog* preview = previewOf(dlg);
    QVERIFY(preview);
    QTRY_VERIFY(preview->isVisible());
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(db.countRows(), 1); // nothing stored before the preview is confirmed
    QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("counts"))->text(),
             QStringLiteral("共 3 行：新增 2 个，更新 0 个，跳过 1 个，有问题 0 个"));
    auto* table = preview->findChild<QTableWidget*>(QStringLiteral("previewRows"));
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("例子.中国"));
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("2025-03-05"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("跳过：已在域名列表中"));
    QCOMPARE(preview->findChild<QComboBox*>(QStringLiteral("field4"))->currentText(),
             QStringLiteral("不导入"));

    // Changing a column's field and the duplicates choice works the plan out again.
    auto* duplicates = preview->findChild<QComboBox*>(QStringLiteral("duplicates"));
    duplicates->setCurrentIndex(1);
    QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("counts"))->text(),
             QStringLiteral("共 3 行：新增 2 个，更新 1 个，跳过 0 个，有问题 0 个"));
    preview->findChild<QComboBox*>(QStringLiteral("field4"))->setCurrentIndex(7); // 状态 → 备注
    QCOMPARE(table->item(0, 8)->text(), QStringLiteral("正常"));
    // A field takes one column: 域名 for 状态 leaves column A without a field, and nothing can be imported.
    auto* import = preview->findChild<QPushButton*>(QStringLiteral("importButton"));
    auto* stateField = preview->findChild<QComboBox*>(QStringLiteral("field4"));
    stateField->setCurrentIndex(1);
    QCOMPARE(preview->findChild<QComboBox*>(QStringLiteral("field0"))->currentText(),
             QStringLiteral("不导入"));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("正常"));
    preview->findChild<QComboBox*>(QStringLiteral("field0"))->setCurrentIndex(1);
    QCOMPARE(stateField->currentText(), QStringLiteral("不导入"));
    stateField->setCurrentIndex(7);
    QVERIFY(import->isEnabled());
    preview->findChild<QComboBox*>(QStringLiteral("field0"))->setCurrentIndex(0);
    QVERIFY(!import->isEnabled());
    QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("askOrder"))->text(),
             QStringLiteral("没有一列导入到“域名”，请为域名选一列。"));
    preview->findChild<QComboBox*>(QStringLiteral("field0"))->setCurrentIndex(1);
    QVERIFY(import->isEnabled());

    // Enter imports.
    QTest::keyClick(preview, Qt::Key_Return);
    QTRY_VERIFY(!previewOf(dlg));
    auto* result = dlg.findChild<ImportResultDialog*>(QStringLiteral("importResult"));
    QVERIFY(result);
    QCOMPARE(result->findChild<QLabel*>(QStringLiteral("summary"))->text(),
             QStringLiteral("导入完成：新增 2 个，更新 1 个，跳过 0 个"));
    QVERIFY(!result->findChild<QPlainTextEdit*>(QStringLiteral("notStored")));
    QCOMPARE(db.countRows(), 3);
    QCOMPARE(db.queryA()->recordCount(), 3); // the list reloaded
    QCOMPARE(db.queryA()->value(2, QStringLiteral("a7")), QStringLiteral("正常"));
    QCOMPARE(db.queryA()->value(2, QStringLiteral("a2")), QStringLiteral("旧说明"));
    // Closing the result closes the import dialog.
    result->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestImportMapped::dialogPreviewCancelStoresNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showDialog(dlg, db, QStringLiteral("mapped_en_registrar.csv"));
    dlg.bsSkinButton1Click();
    ImportPreviewDialog* preview = previewOf(dlg);
    QVERIFY(preview);
    QTRY_VERIFY(preview->isVisible());
    QTest::keyClick(preview, Qt::Key_Escape);
    QTRY_VERIFY(!previewOf(dlg));
    QCOMPARE(db.countRows(), 1);
    QVERIFY(dlg.isVisible());
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton1"))->isEnabled());
}

void TestImportMapped::dialogAsksDayOrder()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showDialog(dlg, db, QStringLiteral("mapped_day_first.csv"));
    dlg.bsSkinButton1Click();
    ImportPreviewDialog* preview = previewOf(dlg);
    QVERIFY(preview);
    auto* ask = preview->findChild<QLabel*>(QStringLiteral("askOrder"));
    auto* import = preview->findChild<QPushButton*>(QStringLiteral("importButton"));
    QVERIFY(ask->text().contains(QStringLiteral("B 列“Expiry”")));
    QVERIFY(!import->isEnabled());
    // Enter does not import while the question is open.
    QTest::keyClick(preview, Qt::Key_Return);
    QVERIFY(previewOf(dlg));
    QCOMPARE(db.countRows(), 1);
    preview->findChild<QComboBox*>(QStringLiteral("order1"))->setCurrentIndex(2); // 日/月/年
    QVERIFY(import->isEnabled());
    QVERIFY(ask->text().isEmpty());
    auto* table = preview->findChild<QTableWidget*>(QStringLiteral("previewRows"));
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("2025-04-03"));
    import->click();
    QTRY_VERIFY(!previewOf(dlg));
    QCOMPARE(db.countRows(), 4);
}

void TestImportMapped::dialogUndo()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showDialog(dlg, db, QStringLiteral("mapped_pst_prices.csv"));
    auto* undoButton = dlg.findChild<QPushButton*>(QStringLiteral("undoImport"));
    QVERIFY(undoButton);
    QVERIFY(!undoButton->isVisible());
    dlg.bsSkinButton1Click();
    ImportPreviewDialog* preview = previewOf(dlg);
    QVERIFY(preview);
    preview->accept();
    auto* result = dlg.findChild<ImportResultDialog*>(QStringLiteral("importResult"));
    QVERIFY(result);
    QCOMPARE(db.countRows(), 5);
    // The value kept as it was is listed, and can be copied.
    auto* list = result->findChild<QPlainTextEdit*>(QStringLiteral("notStored"));
    QVERIFY(list);
    QVERIFY(list->toPlainText().contains(QStringLiteral("pst-four.com")));

    // Ctrl+Z right after the import takes it back.
    QTRY_VERIFY(result->isVisible());
    QApplication::setActiveWindow(result);
    QTRY_VERIFY(result->isActiveWindow());
    QTest::keyClick(result, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(db.countRows(), 1);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("已撤销上次导入：删除新增的 4 个域名")));
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(db.queryA()->recordCount(), 1);

    // Imported again, then the dialog's own button; after an edit it refuses.
    dlg.show();
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("mapped_pst_prices.csv")));
    dlg.bsSkinButton1Click();
    previewOf(dlg)->accept();
    dlg.findChild<ImportResultDialog*>(QStringLiteral("importResult"))->accept();
    QTRY_VERIFY(!dlg.isVisible());
    dlg.show();
    QVERIFY(undoButton->isVisible());
    QCOMPARE(db.exec(QStringLiteral("update tt_a set a9 = '5' where a1 = 'pst-one.com'")), QString());
    undoButton->click();
    const QList<MessageBox::Shown> refused = MessageBox::takeShown();
    QCOMPARE(refused.size(), 1);
    QVERIFY2(refused[0].text.contains(QStringLiteral("pst-one.com（已被修改）")),
             qPrintable(refused[0].text));
    QCOMPARE(db.countRows(), 5);
    QVERIFY(undoButton->isVisible());
    // The same file once more changes nothing: its result offers no undo, the earlier import keeps its own.
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("mapped_pst_prices.csv")));
    dlg.bsSkinButton1Click();
    previewOf(dlg)->accept();
    auto* again = dlg.findChild<ImportResultDialog*>(QStringLiteral("importResult"));
    QVERIFY(again);
    QCOMPARE(again->findChild<QLabel*>(QStringLiteral("summary"))->text(),
             QStringLiteral("导入完成：新增 0 个，更新 0 个，跳过 4 个"));
    QVERIFY(again->findChild<QPushButton*>(QStringLiteral("undoButton"))->isHidden());
    again->accept();
    QTRY_VERIFY(!dlg.isVisible());
    dlg.show();
    QVERIFY(undoButton->isVisible());
    QCOMPARE(db.countRows(), 5);
    // An import of a sheet without headings after it: that one is the last import now, and it has no undo.
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("mapped_no_headings.xls")));
    dlg.bsSkinButton1Click();
    QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("数据导入成功"));
    QCOMPARE(db.countRows(), 7);
    dlg.show();
    QVERIFY(!undoButton->isVisible());
}

void TestImportMapped::dialogSheetWithoutHeadingsAsBefore()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showDialog(dlg, db, QStringLiteral("mapped_no_headings.xls"));
    dlg.bsSkinButton1Click();
    QVERIFY(!previewOf(dlg));
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("数据导入成功"));
    QCOMPARE(
        storedRows(db).mid(1),
        QList<QStringList>(
            {row({QStringLiteral("plain-one.com"), QStringLiteral("说明一"), QStringLiteral("注册商一")}),
             row({QStringLiteral("plain-two.com"), QStringLiteral("说明二"), QStringLiteral("注册商二")})}));
}

QTEST_MAIN(TestImportMapped)
#include "tst_import_mapped.moc"
