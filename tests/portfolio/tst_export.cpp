#include "TestDb.h"
#include "db/DomainRecord.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Export.h"
#include "portfolio/ExportCore.h"
#include "portfolio/Fr_guanli.h"
#include "sheet/TableReader.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

namespace {

// Reads a workbook with an independent reader: per sheet its name and its rows as
// [[cell type, text], ...] (xlrd's types: 0 empty, 1 text, 2 number, ...).
const char* const kReader = R"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
out = []
for s in book.sheets():
    out.append({"name": s.name, "rows": [[[c.ctype, c.value if isinstance(c.value, str) else repr(c.value)]
                                          for c in s.row(r)] for r in range(s.nrows)]})
json.dump(out, sys.stdout, ensure_ascii=False)
)";

QJsonArray readBack(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

// Reads an .xlsx workbook with an independent reader: gnumeric turns its first sheet into CSV, which
// python's csv module splits into rows of texts. Empty when either fails.
const char* const kXlsxReader = R"(
import csv, json, os, subprocess, sys, tempfile
out = os.path.join(tempfile.mkdtemp(), "sheet.csv")
subprocess.run(["ssconvert", "--export-type=Gnumeric_stf:stf_csv", sys.argv[1], out], check=True,
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
with open(out, newline="", encoding="utf-8") as f:
    json.dump(list(csv.reader(f)), sys.stdout, ensure_ascii=False)
)";

QList<QStringList> readBackXlsx(const QString& path)
{
    QList<QStringList> rows;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kXlsxReader), path});
    if (!python.waitForFinished(300000) || python.exitCode() != 0)
        return rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells.append(cell.toString());
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows.append(cells);
    }
    return rows;
}

// The texts of one sheet row; every non-empty cell must be a text cell.
QStringList texts(const QJsonArray& row)
{
    QStringList list;
    for (const QJsonValue& cell : row) {
        const int type = cell.toArray()[0].toInt();
        const QString text = cell.toArray()[1].toString();
        if (type != 1 && !(type == 0 && text.isEmpty()))
            list.append(QStringLiteral("<type %1>").arg(type));
        else
            list.append(text);
    }
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast(); // a row read back ends at its last filled cell
    return list;
}

// The 域名 column of the first sheet, top to bottom, read back by the independent readers above.
QStringList readNames(const QString& path)
{
    QStringList names;
    if (path.endsWith(QLatin1String(".xlsx"))) {
        for (const QStringList& row : readBackXlsx(path))
            names.append(row.value(1));
    } else {
        for (const QJsonValue& row : readBack(path)[0].toObject()[QStringLiteral("rows")].toArray())
            names.append(texts(row.toArray()).value(1));
    }
    return names;
}

QStringList withoutTrailingEmpties(QStringList list)
{
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void exportsListInItsOrder();
    void emptyListTouchesNothing();
    void secondExportReplacesFirst();
    void saveFailure();
    void cellTooLongNamesDomainAndField_data();
    void cellTooLongNamesDomainAndField();
    void sheetLimit_data();
    void sheetLimit();
    void largeListReadByGnumeric();
    void exportWhileTheRowsComeInHoldsEveryRow_data();
    void exportWhileTheRowsComeInHoldsEveryRow();

private:
    QString exportPath() const { return Platform::dataFolder() + QStringLiteral("yuming.xls"); }
    QString largeExportPath() const { return Platform::dataFolder() + QStringLiteral("yuming.xlsx"); }
    void removeExport();
    QStringList m_opened;
};

void TestExport::init()
{
    MessageBox::setTestMode(true);
    m_opened.clear();
    Platform::setOpenFileHook([this](const QString& path) { m_opened.append(path); });
    removeExport();
}

void TestExport::cleanup()
{
    Platform::setOpenFileHook({});
    MessageBox::setTestMode(false);
    removeExport();
}

void TestExport::removeExport()
{
    const QString path = exportPath();
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
    QFile::remove(largeExportPath());
}

void TestExport::exportsListInItsOrder()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString longNote = QStringLiteral("第一行\n第二行 ") + QString(9000, QChar(u'注'));
    db.insert({QStringLiteral("b.com"), QStringLiteral("乙"), QStringLiteral("注册商\"Q\""),
               QStringLiteral("http://m.example/?a=1&b=2"), QStringLiteral("2012-10-10"),
               QStringLiteral("2022-10-10"), longNote, QStringLiteral("pa'ss"), QStringLiteral("100")});
    db.insert({QStringLiteral("skip.cn"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("1")});
    db.insert({QStringLiteral("a.com"), QStringLiteral("甲"), {}, {}, {}, {}, {}, {}, QStringLiteral("9")});
    db.insert({QStringLiteral("c.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("12.5")});
    db.insert({QStringLiteral("nope.net"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("3")});

    // Narrowed by a search to three domains and sorted by price.
    Dataset* query = db.queryA();
    QCOMPARE(query->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral(".com")}}).error(),
             QString());
    QCOMPARE(query->setSort(QStringLiteral("a9 ASC")).error(), QString());
    QCOMPARE(query->recordCount(), 3);

    exportDomainList(nullptr, db.module()->domains());

    QVERIFY(MessageBox::takeShown().isEmpty()); // no message reports success
    QCOMPARE(m_opened, QStringList{exportPath()});
    QCOMPARE(query->currentRow(), 2); // the walk leaves the last row current

    const QJsonArray book = readBack(exportPath());
    QCOMPARE(book.size(), 2);
    QCOMPARE(book[0].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Sheet1"));
    QCOMPARE(book[1].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Sheet2"));
    QVERIFY(book[1].toObject()[QStringLiteral("rows")].toArray().isEmpty());

    const QJsonArray rows = book[0].toObject()[QStringLiteral("rows")].toArray();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(texts(rows[0].toArray()),
             QStringList({QStringLiteral("编号"), QStringLiteral("域名"), QStringLiteral("域名说明"),
                          QStringLiteral("注册商"), QStringLiteral("域名管理地址"),
                          QStringLiteral("注册日期"), QStringLiteral("过期日期"), QStringLiteral("备注"),
                          QStringLiteral("管理密码"), QStringLiteral("对外报价")}));
    // Every field as text, in the list's order (9, 12.5, 100), empty fields as empty cells.
    for (int r = 0; r < 3; ++r)
        QCOMPARE(texts(rows[r + 1].toArray()), withoutTrailingEmpties(query->rowValues(r)));
    QCOMPARE(texts(rows[1].toArray()).value(1), QStringLiteral("a.com"));
    QCOMPARE(texts(rows[2].toArray()).value(1), QStringLiteral("c.com"));
    QCOMPARE(texts(rows[3].toArray()).value(7), longNote);
    // c.com has no notes: an empty cell in column 8.
    QCOMPARE(rows[2].toArray()[7].toArray()[0].toInt(), 0);
}

void TestExport::emptyListTouchesNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("a.com")});
    QFile old(exportPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old export");
    old.close();

    // A search that matches nothing: the toolbar button refuses before anything is exported.
    QCOMPARE(
        db.queryA()->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("zzz")}}).error(),
        QString());
    TFr_guanli panel;
    panel.bindData(db.module());
    auto* button = panel.findChild<QToolButton*>(QStringLiteral("btnExport"));
    QVERIFY(button);
    button->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Information);
    QCOMPARE(shown[0].text, QStringLiteral("请先添加域名"));
    QVERIFY(m_opened.isEmpty());
    QVERIFY(QFile::exists(exportPath()));
}

void TestExport::secondExportReplacesFirst()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("first.com")});
    QCOMPARE(db.queryA()->open().error(), QString());
    exportDomainList(nullptr, db.module()->domains());
    db.insert({QStringLiteral("second.com")});
    QCOMPARE(db.queryA()->open().error(), QString());
    exportDomainList(nullptr, db.module()->domains());

    QCOMPARE(m_opened.size(), 2);
    const QJsonArray rows = readBack(exportPath())[0].toObject()[QStringLiteral("rows")].toArray();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(texts(rows[1].toArray()).value(1), QStringLiteral("second.com"));
    QCOMPARE(texts(rows[2].toArray()).value(1), QStringLiteral("first.com"));
}

void TestExport::saveFailure()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("a.com")});
    db.insert({QStringLiteral("b.com")});
    QCOMPARE(db.queryA()->open().error(), QString());
    // Something that is not a file stands where the workbook goes (the tests run as root, so a
    // read-only folder would not stop them).
    QVERIFY(QDir().mkpath(exportPath()));

    exportDomainList(nullptr, db.module()->domains());

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::NoIcon);
    QCOMPARE(shown[0].caption, QStringLiteral("提示"));
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("保存失敗\n")), qPrintable(shown[0].text));
    QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(exportPath())), qPrintable(shown[0].text));
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok | MessageBox::Cancel));
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(db.queryA()->currentRow(), 1);
}

void TestExport::cellTooLongNamesDomainAndField_data()
{
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<QString>("expected");
    const QString huge(32768, QChar(u'注'));
    QTest::newRow("notes") << QStringList{QStringLiteral("long.com"), {}, {}, {}, {}, {}, huge}
                           << QStringLiteral("域名“long.com”的“备注”有 32768 个字符");
    QTest::newRow("domain itself")
        << QStringList{QString(32768, QLatin1Char('d'))}
        << QStringLiteral("域名“%1…”的“域名”有 32768 个字符").arg(QString(60, QLatin1Char('d')));
}

// One cell over what a cell holds: the box still says "保存失敗", and below it which domain and field.
void TestExport::cellTooLongNamesDomainAndField()
{
    QFETCH(QStringList, record);
    QFETCH(QString, expected);
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("fine.com")});
    db.insert(record);
    QCOMPARE(db.queryA()->open().error(), QString());
    exportDomainList(nullptr, db.module()->domains());
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("提示"));
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("保存失敗\n")), qPrintable(shown[0].text));
    QVERIFY2(shown[0].text.contains(expected), qPrintable(shown[0].text.left(300)));
    QVERIFY(!QFile::exists(exportPath()));
    QVERIFY(m_opened.isEmpty());
}

void TestExport::sheetLimit_data()
{
    QTest::addColumn<int>("domains");
    QTest::addColumn<bool>("large"); // written to yuming.xlsx
    QTest::newRow("fills the sheet") << exporter::kMaxDomains << false;
    QTest::newRow("one too many") << exporter::kMaxDomains + 1 << true;
}

void TestExport::sheetLimit()
{
    QFETCH(int, domains);
    QFETCH(bool, large);
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(db.addManyDomains(domains), QString());
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(db.queryA()->recordCount(), domains);
    // Old exports of both kinds: each export replaces the previous one.
    for (const QString& path : {exportPath(), largeExportPath()}) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old export");
    }

    exportDomainList(nullptr, db.module()->domains());

    QVERIFY(MessageBox::takeShown().isEmpty());
    const QString written = large ? largeExportPath() : exportPath();
    QCOMPARE(m_opened, QStringList{written});
    QVERIFY(!QFile::exists(large ? exportPath() : largeExportPath()));
    // Read back by our own reader here (gnumeric reads the .xlsx in largeListReadByGnumeric).
    const Expected<sheet::Sheet> read = sheet::readTable(written);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(read.value().rowCount(), domains + 1);
    QCOMPARE(sheet::cellToText(read.value().cell(0, 1)), QStringLiteral("域名"));
    QCOMPARE(sheet::cellToText(read.value().cell(1, 1)), QStringLiteral("d%1.com").arg(domains));
    QCOMPARE(sheet::cellToText(read.value().cell(domains, 1)), QStringLiteral("d1.com"));
    QCOMPARE(sheet::cellToText(read.value().cell(domains, 9)), QStringLiteral("1"));
    if (large) {
        // The .xls core still refuses such a list, and writes nothing.
        const QString elsewhere = db.folder() + QStringLiteral("/other.xls");
        QCOMPARE(exporter::writeWorkbook(*db.queryA(), elsewhere).code(), Result::Code::TooManyRows);
        QVERIFY(!QFile::exists(elsewhere));
    }
}

void TestExport::largeListReadByGnumeric()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ssconvert")).isEmpty())
        QSKIP("ssconvert (gnumeric) is not installed");
    TestDb db;
    QVERIFY(db.ok());
    // Every kind of field: quotes, commas, line breaks, Chinese, empty fields, texts that look like numbers.
    const QList<QStringList> domains{
        {QStringLiteral("例子.中国"), QStringLiteral("说明，含“引号”和 \"quotes\""),
         QStringLiteral("注册商, Inc."), QStringLiteral("http://m.example.com/?a=1&b=2"),
         QStringLiteral("2012-10-10"), QStringLiteral("2030-01-02"), QStringLiteral("备注\n第二行\n\n第四行"),
         QStringLiteral("pa'ss\"word<&>"), QStringLiteral("0100")},
        {QStringLiteral("empty.com"), {}, {}, {}, {}, {}, {}, {}, {}},
        {QStringLiteral("long.net"),
         QString(5000, QChar(u'域')),
         {},
         {},
         {},
         {},
         {},
         {},
         QStringLiteral("1e5")},
    };
    for (const QStringList& fields : domains)
        db.insert(fields);
    QCOMPARE(db.queryA()->open().error(), QString());
    const QString path = db.folder() + QStringLiteral("/list.xlsx");
    const Result result = exporter::writeWorkbook(*db.queryA(), path);
    QVERIFY2(result.ok(), qPrintable(result.error()));

    const QList<QStringList> rows = readBackXlsx(path);
    QCOMPARE(rows.size(), domains.size() + 1);
    QCOMPARE(rows[0], DomainRecord::titles());
    // Newest first, as the list shows them; 编号 first, then the nine fields as they were stored.
    for (int i = 0; i < domains.size(); ++i) {
        QStringList expected = domains[domains.size() - 1 - i];
        QStringList got = rows[i + 1];
        QVERIFY(!got.isEmpty());
        QVERIFY(got.takeFirst().toInt() > 0);
        while (!expected.isEmpty() && expected.last().isEmpty())
            expected.removeLast();
        QCOMPARE(got, expected);
    }
}

void TestExport::exportWhileTheRowsComeInHoldsEveryRow_data()
{
    QTest::addColumn<int>("domains");
    QTest::addColumn<QString>("file"); // the file written: .xls up to 65,535 domains, else .xlsx
    QTest::newRow("one worksheet") << 50000 << QStringLiteral("yuming.xls");
    QTest::newRow("beyond one worksheet") << 70000 << QStringLiteral("yuming.xlsx");
}

// 批量导出 at once after the start of a large portfolio, while the list still reads its rows: the export
// waits for the rest (busy cursor meanwhile), chooses the kind of file by the whole count and holds every
// row.
void TestExport::exportWhileTheRowsComeInHoldsEveryRow()
{
    QFETCH(int, domains);
    QFETCH(QString, file);
    if (file.endsWith(QLatin1String(".xlsx")) &&
        QStandardPaths::findExecutable(QStringLiteral("ssconvert")).isEmpty())
        QSKIP("ssconvert (gnumeric) is not installed");
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(db.addManyDomains(domains), QString());
    Dataset* query = db.queryA();
    query->setSql(sql::kDefaultList);
    QCOMPARE(query->openInSteps().error(), QString()); // the first rows at once, as at the start
    QVERIFY(query->isFilling());
    QVERIFY(query->recordCount() < domains);
    TFr_guanli panel;
    panel.bindData(db.module());
    QList<int> cursors; // the override cursor whenever more rows came in
    connect(query, &Dataset::rowsAdded, this, [&cursors] {
        const QCursor* c = QGuiApplication::overrideCursor();
        cursors << (c ? int(c->shape()) : -1);
    });

    panel.findChild<QToolButton*>(QStringLiteral("btnExport"))->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    const QString path = Platform::dataFolder() + file;
    QCOMPARE(m_opened, QStringList{path});
    QVERIFY(!QFile::exists(path == exportPath() ? largeExportPath() : exportPath()));
    const QStringList names = readNames(path);
    QCOMPARE(names.size(), domains + 1);
    QCOMPARE(names.first(), QStringLiteral("域名"));
    QCOMPARE(names.value(1), QStringLiteral("d%1.com").arg(domains)); // newest first
    QCOMPARE(names.last(), QStringLiteral("d1.com"));
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), domains + 1); // each domain once
    QVERIFY(!query->isFilling());
    QCOMPARE(cursors, QList<int>{int(Qt::BusyCursor)});
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
