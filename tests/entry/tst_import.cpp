#include "TestDb.h"
#include "db/Backup.h"
#include "db/DomainRecord.h"
#include "db/Sql.h"
#include "db/Statement.h"
#include "entry/Daoru.h"
#include "entry/Importer.h"
#include "entry/WorkbookLoader.h"
#include "platform/Dialogs.h"
#include "portfolio/ExportCore.h"
#include "sheet/Cell.h"
#include "sheet/TableReader.h"
#include "sheet/XlsReader.h"
#include "sheet/XlsWriter.h"

#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <fnmatch.h>

namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);

QString dataFile(const QString& name)
{
    return QStringLiteral(LANSHU_TEST_DATA "/") + name;
}

// A first sheet of count rows "d<n>.com" in column A and "<n>" in column I.
sheet::Sheet numberedSheet(int count)
{
    sheet::Sheet s;
    for (int r = 0; r < count; ++r) {
        sheet::Cell a;
        a.type = sheet::Cell::Type::Text;
        a.text = QStringLiteral("d%1.com").arg(r + 1);
        s.setCell(r, 0, a);
        sheet::Cell i;
        i.type = sheet::Cell::Type::Number;
        i.number = r + 1;
        s.setCell(r, 8, i);
    }
    return s;
}

// Makes the database refuse a row whose domain is a1, as it would refuse a value its column cannot take.
void refuseDomain(TestDb& db, const QString& a1)
{
    QCOMPARE(db.exec(QStringLiteral("create trigger refuse before insert on tt_a when new.a1 = '%1' "
                                    "begin select raise(abort, 'row refused'); end;")
                         .arg(a1)),
             QString());
}

// A workbook of count rows "big<n>.com" with nine filled columns and a few more, written at run time.
QString writeBigWorkbook(const QTemporaryDir& dir, int count)
{
    sheet::XlsWriter writer(1);
    for (int r = 0; r < count; ++r) {
        QStringList cells{QStringLiteral("big%1.com").arg(r)};
        for (int c = 1; c < 14; ++c)
            cells << QStringLiteral("r%1c%2-说明文字").arg(r).arg(c);
        writer.appendRow(0, cells);
    }
    const QString path = dir.filePath(QStringLiteral("big.xls"));
    return writer.save(path).ok() ? path : QString();
}

// The dialog shown over a file that holds one domain, old.cn.
void showOverOneDomain(Tdaoru& dlg, TestDb& db)
{
    db.insert(row({QStringLiteral("old.cn")}));
    dlg.bindData(db.module());
    dlg.show();
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void workbooksFromSpreadsheetPrograms_data();
    void workbooksFromSpreadsheetPrograms();
    void blankColumnAImportsNothing();
    void exportReadBack_data();
    void exportReadBack();
    void headingRowOnlyWhenExact_data();
    void headingRowOnlyWhenExact();
    void badFilesStoreNothing_data();
    void badFilesStoreNothing();
    void unreadableFileStoresNothing_data();
    void unreadableFileStoresNothing();
    void refusedRowKeepsRowsBefore_data();
    void refusedRowKeepsRowsBefore();
    void progressBetweenBatches();
    void overLongTextsStoreNothing_data();
    void overLongTextsStoreNothing();
    void valuesGoToTheirColumnsByName();
    void controlCharactersLeaveTheDomain();
    void tableLackingAColumnStoresNothing();
    void fileFilterShowsXlsInAnyCase_data();
    void fileFilterShowsXlsInAnyCase();

    void dialogLayout();
    void dialogImportsAndReloadsList();
    void dialogImportWhileTheRowsComeIn();
    void dialogShowsReaderError();
    void dialogCancelledChoiceKeepsEarlierFile();
    void dialogStoreErrorKeepsDialogOpen();
    void dialogCancelButtonCloses();
    void loaderReadsOffTheWindowThread();
    void loaderCancelled();
    void dialogCancelDuringReadStoresNothing();
    void dialogRefusesDevice();
};

void TestImport::init()
{
    MessageBox::setTestMode(true);
}

void TestImport::cleanup()
{
    MessageBox::setTestMode(false);
}

void TestImport::workbooksFromSpreadsheetPrograms_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("gnumeric") << QStringLiteral("import_gnumeric.xls");
    QTest::newRow("libreoffice") << QStringLiteral("import_libreoffice.xls");
    // The same table in the other formats: each imports as its .xls twin does.
    QTest::newRow("gnumeric xlsx") << QStringLiteral("import_gnumeric.xlsx");
    QTest::newRow("libreoffice xlsx") << QStringLiteral("import_libreoffice.xlsx");
    QTest::newRow("gnumeric ods") << QStringLiteral("import_gnumeric.ods");
    QTest::newRow("libreoffice ods") << QStringLiteral("import_libreoffice.ods");
    QTest::newRow("gnumeric csv") << QStringLiteral("import_gnumeric.csv");
    QTest::newRow("gnumeric csv, UTF-8 mark") << QStringLiteral("import_gnumeric_bom.csv");
    QTest::newRow("libreoffice csv") << QStringLiteral("import_libreoffice.csv");
    QTest::newRow("libreoffice csv, tabs") << QStringLiteral("import_libreoffice_tab.csv");
    QTest::newRow("libreoffice csv, GBK, semicolons") << QStringLiteral("import_libreoffice_gbk.csv");
}

void TestImport::workbooksFromSpreadsheetPrograms()
{
    QFETCH(QString, file);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));

    const importer::Outcome result =
        importer::importWorkbook(db.module()->Conn_service(), dataFile(file), {}, kChina);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.rowsRead, 4);
    QCOMPARE(result.rowsStored, 4);

    const QList<QStringList> rows = storedRows(db);
    QCOMPARE(rows.size(), 4);
    // Blanks and control characters around a text go; inside it they stay. Quotes stay as typed.
    QCOMPARE(
        rows[0],
        QStringList({QStringLiteral("例子.中国"), QStringLiteral("中文说明，含“引号”"),
                     QStringLiteral("注册商 \"Quote\" 公司"), QStringLiteral("http://example.com/m?a=1&b=2"),
                     QStringLiteral("2012-10-10"), QStringLiteral("2013-01-02 08:30:00"),
                     QStringLiteral("备注\n第二行"), QStringLiteral("pa'ss\"word"), QStringLiteral("100")}));
    QCOMPARE(rows[1], row({QStringLiteral("abc.com"),
                           QStringLiteral("-3"),
                           QStringLiteral("-0.25"),
                           QStringLiteral("1234567"),
                           QStringLiteral("2024-02-29"),
                           {},
                           {},
                           {},
                           QStringLiteral("12.5")}));
    // Texts longer than one record of the file come whole.
    const QString longCjk =
        QStringLiteral("长文开头") + QString(5000, QChar(u'域')) + QStringLiteral("长文结尾");
    const QString longAscii =
        QStringLiteral("BEGIN-") + QString(9000, QLatin1Char('x')) + QStringLiteral("-END");
    QCOMPARE(rows[2], row({QStringLiteral("long.com"), {}, {}, {}, {}, {}, longCjk, longAscii}));
    // Only column A filled: the other eight fields are empty.
    QCOMPARE(rows[3], row({QStringLiteral("tab.cn")}));
    // The row with an empty column A ended the import; the second sheet was never read.
    for (const QStringList& r : rows) {
        QVERIFY(r[0] != QLatin1String("after.empty.com"));
        QVERIFY(r[0] != QLatin1String("sheet2.com"));
    }
}

void TestImport::blankColumnAImportsNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    const importer::Outcome result =
        importer::importWorkbook(db.module()->Conn_service(), dataFile(QStringLiteral("import_blank_a.xls")));
    QVERIFY(result.ok());
    QCOMPARE(result.rowsRead, 0);
    QCOMPARE(db.countRows(), 0);
}

void TestImport::exportReadBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << QStringLiteral("yuming.xls");
    QTest::newRow("xlsx") << QStringLiteral("yuming.xlsx");
}

void TestImport::exportReadBack()
{
    QFETCH(QString, file);
    // Every kind of field: quotes, separators, line breaks inside the notes, Chinese, empty fields, texts
    // that look like numbers or dates, the longest text a cell holds.
    const QList<QStringList> domains{
        row({QStringLiteral("例子.中国"), QStringLiteral("说明，含“引号”和 \"quotes\""),
             QStringLiteral("注册商, Inc.; 分号"), QStringLiteral("http://m.example.com/?a=1&b=2"),
             QStringLiteral("2012-10-10"), QStringLiteral("2030/1/2"),
             QStringLiteral("备注\n第二行\r\n第三行"), QStringLiteral("pa'ss\"word<&>_x000D_"),
             QStringLiteral("0100")}),
        row({QStringLiteral("empty.com")}),
        row({QStringLiteral("long.net"),
             QString(32767, QChar(u'域')),
             {},
             {},
             {},
             {},
             {},
             {},
             QStringLiteral("1e5")}),
        row({QStringLiteral("编号"), QStringLiteral("域名")}),
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QList<QStringList> before;
    {
        TestDb db;
        QVERIFY(db.ok());
        for (const QStringList& fields : domains)
            db.insert(fields);
        QCOMPARE(db.queryA()->open().error(), QString());
        const Result written = exporter::writeWorkbook(*db.queryA(), path);
        QVERIFY2(written.ok(), qPrintable(written.error()));
        before = storedRows(db);
    }
    TestDb empty;
    QVERIFY(empty.ok());
    const importer::Outcome result =
        importer::importWorkbook(empty.module()->Conn_service(), path, {}, kChina);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.rowsStored, domains.size());
    // The export lists the newest first; the import stores the rows in the sheet's order.
    QList<QStringList> after = storedRows(empty);
    std::reverse(after.begin(), after.end());
    QCOMPARE(after, before);
}

void TestImport::headingRowOnlyWhenExact_data()
{
    QTest::addColumn<QStringList>("heading");
    QTest::addColumn<int>("rows");      // rows imported
    QTest::addColumn<QString>("first"); // a1 of the first row stored
    const QStringList exact = DomainRecord::titles();
    QTest::newRow("the export's heading") << exact << 1 << QStringLiteral("a.com");
    QStringList changed = exact;
    changed[9] = QStringLiteral("报价");
    QTest::newRow("one heading differs") << changed << 2 << QStringLiteral("编号");
    QTest::newRow("the picture's headings, no 编号")
        << QStringList{QStringLiteral("域名"), QStringLiteral("域名说明"), QStringLiteral("注册商")} << 2
        << QStringLiteral("域名");
}

void TestImport::headingRowOnlyWhenExact()
{
    QFETCH(QStringList, heading);
    QFETCH(int, rows);
    QFETCH(QString, first);
    sheet::XlsWriter writer(1);
    writer.appendRow(0, heading);
    writer.appendRow(0, {QStringLiteral("7"), QStringLiteral("a.com"), QStringLiteral("说明")});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("heading.xls"));
    QCOMPARE(writer.save(path).error(), QString());
    TestDb db;
    QVERIFY(db.ok());
    const importer::Outcome result = importer::importWorkbook(db.module()->Conn_service(), path);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.rowsStored, rows);
    const QList<QStringList> stored = storedRows(db);
    QCOMPARE(stored.value(0).value(0), first);
    if (rows == 1) // 编号 is not imported: 域名 to a1, 域名说明 to a2
        QCOMPARE(stored[0].mid(0, 3), QStringList({QStringLiteral("a.com"), QStringLiteral("说明"), {}}));
}

void TestImport::badFilesStoreNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // a part of the text shown
    const auto fixture = [](const QString& name) {
        QFile f(dataFile(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray xlsx = fixture(QStringLiteral("import_libreoffice.xlsx"));
    const QByteArray ods = fixture(QStringLiteral("import_libreoffice.ods"));
    QTest::newRow("empty") << QByteArray() << QStringLiteral("文件是空的");
    QTest::newRow("xlsx cut short") << xlsx.left(xlsx.size() / 2) << QStringLiteral("损坏");
    QTest::newRow("ods cut short") << ods.left(ods.size() / 2) << QStringLiteral("损坏");
    QTest::newRow("picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                             << QStringLiteral("不是表格文件");
    QTest::newRow("markup") << QByteArray("<html><body>a,b</body></html>") << QStringLiteral("不是表格文件");
    QTest::newRow("encrypted workbook")
        << fixture(QStringLiteral("sheet_damaged_encrypted.xls")) << QStringLiteral("密码");
    // A package whose parts claim to unpack to gigabytes.
    QByteArray bomb = xlsx;
    const auto u32 = [&bomb](qsizetype at) { // little-endian, each byte checked to lie in the file
        quint32 value = 0;
        for (qsizetype i = 3; i >= 0; --i)
            value = (value << 8) | quint8(bomb.at(at + i));
        return value;
    };
    for (qsizetype at = bomb.indexOf("PK\x01\x02"); at >= 0; at = bomb.indexOf("PK\x01\x02", at + 4)) {
        // In the directory and in the part's own header alike.
        qToLittleEndian<quint32>(0x7FFFFFFF, bomb.data() + at + 24);
        const quint32 local = u32(at + 42);
        if (u32(local + 22) != 0) // else it follows the data
            qToLittleEndian<quint32>(0x7FFFFFFF, bomb.data() + local + 22);
    }
    QTest::newRow("unpacks to gigabytes") << bomb << QStringLiteral("超过了可以读取的上限");
    // A package that is no spreadsheet: the parts of an .xlsx without its workbook.
    QByteArray foreign = xlsx;
    foreign.replace("xl/workbook.xml", "xl/workbook.xmm");
    QTest::newRow("other package") << foreign << QStringLiteral("不是表格文件");
    // A .csv of one line of 20 MB: the reader held no more of it than a cell, the row is named.
    QTest::newRow("csv line longer than a cell")
        << QByteArray("a.com,x\nb.com,") + QByteArray(20 * 1024 * 1024, 'y') + QByteArray("\nc.com,z\n")
        << QStringLiteral("第 2 行 B 列");
    // A UTF-8 line among GBK lines, which would be stored garbled.
    QTest::newRow("csv mixing encodings")
        << QByteArray("\xd3\xf2\xc3\xfb.com,\xcb\xb5\xc3\xf7\r\n" // 域名.com,说明 in GBK
                      "\xe4\xbe\x8b\xe5\xad\x90.com,x\r\n")       // 例子.com,x in UTF-8
        << QStringLiteral("第 2 行是 UTF-8 编码");
    // The shared texts unpack to more than a workbook may hold.
    QTest::newRow("xlsx shared text bomb")
        << fixture(QStringLiteral("table_bomb_shared_text.xlsx")) << QStringLiteral("超过了可以读取的上限");
    // A damaged sheet under a name that does not end in .xml.
    QTest::newRow("xlsx damaged part named .bin")
        << fixture(QStringLiteral("table_fuzz_sheet_bin.xlsx")) << QStringLiteral("损坏");
}

void TestImport::badFilesStoreNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.xlsx"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    TestDb db;
    QVERIFY(db.ok());
    const importer::Outcome result = importer::importWorkbook(db.module()->Conn_service(), path);
    QCOMPARE(result.code(), Result::Code::ReadFailed);
    QVERIFY2(result.error().contains(message), qPrintable(result.error()));
    QCOMPARE(db.countRows(), 0);
}

void TestImport::unreadableFileStoresNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("damaged") << dataFile(QStringLiteral("import_damaged.xls"));
    QTest::newRow("foreign xml") << dataFile(QStringLiteral("import_cases.gnumeric"));
    QTest::newRow("missing") << dataFile(QStringLiteral("import_no_such_file.xls"));
}

void TestImport::unreadableFileStoresNothing()
{
    QFETCH(QString, path);
    TestDb db;
    QVERIFY(db.ok());
    const importer::Outcome result = importer::importWorkbook(db.module()->Conn_service(), path);
    QCOMPARE(result.code(), Result::Code::ReadFailed);
    QVERIFY(!result.error().isEmpty());
    QCOMPARE(db.countRows(), 0);
}

void TestImport::refusedRowKeepsRowsBefore_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("refused"); // 1-based row the database refuses
    QTest::newRow("first row") << 10 << 1;
    QTest::newRow("within the first batch") << 10 << 4;
    QTest::newRow("last row") << 10 << 10;
    QTest::newRow("first row of a later batch") << importer::kBatchRows * 2 + 5 << importer::kBatchRows + 1;
    QTest::newRow("inside a later batch") << importer::kBatchRows * 2 + 5 << importer::kBatchRows * 2 + 3;
}

void TestImport::refusedRowKeepsRowsBefore()
{
    QFETCH(int, rows);
    QFETCH(int, refused);
    TestDb db;
    QVERIFY(db.ok());
    refuseDomain(db, QStringLiteral("d%1.com").arg(refused));

    const importer::Outcome result = importer::storeSheet(db.module()->Conn_service(), numberedSheet(rows));
    QCOMPARE(result.code(), Result::Code::StoreFailed);
    QVERIFY(result.error().contains(QLatin1String("row refused")));
    QCOMPARE(result.rowsRead, rows);
    QCOMPARE(result.rowsStored, refused - 1);

    // Every row before the refused one is in the file, whole; nothing of it or after it.
    const QList<QStringList> stored = storedRows(db);
    QCOMPARE(stored.size(), refused - 1);
    if (!stored.isEmpty())
        QCOMPARE(stored.last(), row({QStringLiteral("d%1.com").arg(refused - 1),
                                     {},
                                     {},
                                     {},
                                     {},
                                     {},
                                     {},
                                     {},
                                     QString::number(refused - 1)}));
    // No transaction is left open: a later write goes to the file.
    QVERIFY(db.insert(row({QStringLiteral("later.com")})) > 0);
    QCOMPARE(db.countRows(), refused);
}

// A text longer than a cell holds, or a domain longer than any name, refuses the import before a row is
// stored, naming where it stands in the sheet; texts up to those limits are stored unchanged.
void TestImport::overLongTextsStoreNothing_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: stored
    const QString longest(sheet::kMaxCellCharacters, QChar(u'长'));
    QTest::newRow("notes over a cell")
        << 1 << 6 << longest + QLatin1Char('x')
        << QStringLiteral("第 2 行 G 列的内容超过了一个单元格最多可以容纳的 32767 个字符");
    QTest::newRow("price over a cell") << 4 << 8 << longest + longest << QStringLiteral("第 5 行 I 列");
    QTest::newRow("notes as long as a cell holds") << 1 << 6 << longest << QString();
    QTest::newRow("domain over any name")
        << 2 << 0 << QString(importer::kMaxDomainLength - 3, QLatin1Char('a')) + QStringLiteral(".com")
        << QStringLiteral("第 3 行 A 列的域名有 254 个字符，而域名最长 253 个字符");
    QTest::newRow("domain as long as a name")
        << 2 << 0 << QString(importer::kMaxDomainLength - 4, QLatin1Char('a')) + QStringLiteral(".com")
        << QString();
    QTest::newRow("domain with blanks around")
        << 2 << 0
        << QStringLiteral("  ") + QString(importer::kMaxDomainLength - 4, QLatin1Char('a')) +
               QStringLiteral(".com\t\t ")
        << QString();
}

void TestImport::overLongTextsStoreNothing()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    sheet::Sheet sheet = numberedSheet(6);
    sheet::Cell cell;
    cell.type = sheet::Cell::Type::Text;
    cell.text = text;
    sheet.setCell(row, column, cell);
    TestDb db;
    QVERIFY(db.ok());
    const importer::Outcome result = importer::storeSheet(db.module()->Conn_service(), sheet);
    if (message.isEmpty()) {
        QVERIFY2(result.ok(), qPrintable(result.error()));
        QCOMPARE(storedRows(db).at(row).at(column), text.trimmed());
        return;
    }
    QCOMPARE(result.code(), Result::Code::ReadFailed);
    QVERIFY2(result.error().contains(message), qPrintable(result.error()));
    QCOMPARE(db.countRows(), 0);
}

void TestImport::progressBetweenBatches()
{
    TestDb db;
    QVERIFY(db.ok());
    const int rows = importer::kBatchRows * 2 + 7;
    QList<QPair<int, int>> calls;
    const importer::Outcome result =
        importer::storeSheet(db.module()->Conn_service(), numberedSheet(rows), [&](int stored, int total) {
            calls.append({stored, total});
            // Between batches no transaction is open: another writer gets through at once.
            Statement probe(db.module()->Conn_service());
            probe.setSql(QStringLiteral("update jz_ub set ub5=:v where ub3='8'"));
            probe.setParam(QStringLiteral("v"), QString::number(stored));
            QCOMPARE(probe.exec().error(), QString());
        });
    QVERIFY(result.ok());
    QCOMPARE(result.rowsStored, rows);
    QCOMPARE(db.countRows(), rows);
    const QList<QPair<int, int>> expected = {
        {0, rows}, {importer::kBatchRows, rows}, {importer::kBatchRows * 2, rows}, {rows, rows}};
    QCOMPARE(calls, expected);
}

// Inside a domain a control character would make it impossible to find; the notes keep their line breaks.
void TestImport::controlCharactersLeaveTheDomain()
{
    TestDb db;
    QVERIFY(db.ok());
    sheet::Sheet s;
    sheet::Cell domain;
    domain.type = sheet::Cell::Type::Text;
    domain.text = QStringLiteral("\tab") + QChar(0) + QStringLiteral("c\x1b\nd.com\r\n");
    s.setCell(0, 0, domain);
    sheet::Cell notes;
    notes.type = sheet::Cell::Type::Text;
    notes.text = QStringLiteral("第一行\n第二行\r\n第三行");
    s.setCell(0, 6, notes);
    const importer::Outcome result = importer::storeSheet(db.module()->Conn_service(), s);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const QList<QStringList> rows = storedRows(db);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0], QStringLiteral("abcd.com"));
    QCOMPARE(rows[0][6], QStringLiteral("第一行\n第二行\r\n第三行"));
}

// A table whose columns stand in another order still gets each value in its own column.
void TestImport::valuesGoToTheirColumnsByName()
{
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(
        db.exec(QStringLiteral("drop table tt_a; create table tt_a (aid integer primary key autoincrement, "
                               "a9 text, a8 text, a7 text, a6 text, a5 text, a4 text, a3 text, a2 text, "
                               "a1 text)")),
        QString());
    const importer::Outcome result = importer::storeSheet(db.module()->Conn_service(), numberedSheet(3));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    Dataset d(db.module()->Conn_service());
    d.setSql(QStringLiteral("select * from tt_a order by aid"));
    QCOMPARE(d.open().error(), QString());
    QCOMPARE(d.recordCount(), 3);
    QCOMPARE(d.value(2, QStringLiteral("a1")), QStringLiteral("d3.com"));
    QCOMPARE(d.value(2, QStringLiteral("a9")), QStringLiteral("3"));
    QCOMPARE(d.value(2, QStringLiteral("a2")), QString());
}

// A table without one of the columns: an error, and no row stored with its values shifted.
void TestImport::tableLackingAColumnStoresNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(
        db.exec(QStringLiteral("drop table tt_a; create table tt_a (aid integer primary key autoincrement, "
                               "a1 text, a2 text, a4 text, a5 text, a6 text, a7 text, a8 text, a9 text)")),
        QString());
    const importer::Outcome result = importer::storeSheet(db.module()->Conn_service(), numberedSheet(3));
    QCOMPARE(result.code(), Result::Code::StoreFailed);
    QVERIFY2(result.error().contains(QStringLiteral("a3")), qPrintable(result.error()));
    QCOMPARE(result.rowsStored, 0);
    QCOMPARE(db.countRows(), 0);
}

void TestImport::fileFilterShowsXlsInAnyCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("table"); // shown by "表格文件"
    QTest::addColumn<bool>("excel"); // shown by "Excel"
    QTest::newRow("lower") << QStringLiteral("domains.xls") << true << true;
    QTest::newRow("upper") << QStringLiteral("DOMAINS.XLS") << true << true;
    QTest::newRow("mixed") << QStringLiteral("域名.Xls") << true << true;
    QTest::newRow("mixed 2") << QStringLiteral("a.xLs") << true << true;
    QTest::newRow("xlsx") << QStringLiteral("domains.xlsx") << true << false;
    QTest::newRow("xlsx upper") << QStringLiteral("DOMAINS.XLSX") << true << false;
    QTest::newRow("ods") << QStringLiteral("域名.Ods") << true << false;
    QTest::newRow("csv") << QStringLiteral("domains.CSV") << true << false;
    QTest::newRow("backup") << QStringLiteral("domains.xls.bak") << false << false;
    QTest::newRow("text") << QStringLiteral("domains.txt") << false << false;
    QTest::newRow("bare") << QStringLiteral("xls") << false << false;
}

void TestImport::fileFilterShowsXlsInAnyCase()
{
    QFETCH(QString, name);
    QFETCH(bool, table);
    QFETCH(bool, excel);
    const QString filter = importer::fileFilter();
    // Two entries, "表格文件" first, then "Excel", their patterns in parentheses.
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^表格文件\\(([^()]+)\\);;Excel\\(([^()]+)\\)$")).match(filter);
    QVERIFY2(m.hasMatch(), qPrintable(filter));
    for (const auto& [entry, shown] : {std::pair{1, table}, std::pair{2, excel}}) {
        const QStringList patterns = m.captured(entry).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY(!patterns.isEmpty());
        bool byQt = false;   // Qt's own dialog (wildcards, matched as given)
        bool byGlob = false; // the native dialogs' glob, which compares letters as they stand
        for (const QString& p : patterns) {
            byQt |= QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(name).hasMatch();
#ifndef Q_OS_WIN
            byGlob |= fnmatch(p.toUtf8().constData(), name.toUtf8().constData(), 0) == 0;
#else
            byGlob = byQt;
#endif
        }
        QCOMPARE(byQt, shown);
        QCOMPARE(byGlob, shown);
    }
}

void TestImport::dialogLayout()
{
    Tdaoru dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("从EXCEL文件批量导入域名"));
    QCOMPARE(dlg.size(), QSize(625, 288));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    const QList<QPair<QString, QString>> labels = {
        {QStringLiteral("bsSkinStdLabel3"), QStringLiteral("第一步:")},
        {QStringLiteral("bsSkinStdLabel2"), QStringLiteral("请您按照以下表头保存好您的EXCEL文件。")},
        {QStringLiteral("bsSkinStdLabel4"), QStringLiteral("（从第一行开始放域名，不用把表头写文件里）")},
        {QStringLiteral("bsSkinStdLabel5"), QStringLiteral("第二步:")},
        {QStringLiteral("bsSkinStdLabel1"), QStringLiteral("点击下面的按钮，选择刚才保存好的文件")},
    };
    for (const auto& [name, text] : labels) {
        auto* label = dlg.findChild<QLabel*>(name);
        QVERIFY2(label, qPrintable(name));
        QCOMPARE(label->text(), text);
    }
    auto* picture = dlg.findChild<QLabel*>(QStringLiteral("bsSkinLinkImage1"));
    QVERIFY(picture);
    QCOMPARE(picture->size(), QSize(604, 117));
    QVERIFY(!picture->isEnabled());
    auto* import = dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton1"));
    auto* cancel = dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton2"));
    QVERIFY(import && cancel);
    QCOMPARE(import->text(), QStringLiteral("从EXCEL导 入"));
    QVERIFY(import->isDefault());
    QCOMPARE(cancel->text(), QStringLiteral("取  消"));

    // The path label is never shown and starts empty on every showing.
    auto* path = dlg.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel9"));
    QVERIFY(path);
    path->setText(QStringLiteral("/tmp/old.xls"));
    dlg.show();
    QVERIFY(!path->isVisible());
    QVERIFY(!picture->pixmap().isNull());
    QCOMPARE(path->text(), QString());
}

void TestImport::dialogImportsAndReloadsList()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row({QStringLiteral("old.cn")}));
    db.insert(row({QStringLiteral("kept.com")}));
    // A search in force stays in force after the import.
    Dataset* query = db.queryA();
    QCOMPARE(query->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral(".com")}}).error(),
             QString());
    QCOMPARE(query->recordCount(), 1);
    QCOMPARE(query->setSort(QStringLiteral("a1 ASC")).error(), QString());

    Tdaoru dlg;
    dlg.bindData(db.module());
    dlg.show();
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("import_gnumeric.xls")));
    // Enter presses the default button.
    QTest::keyClick(&dlg, Qt::Key_Return);

    QCOMPARE(FileDialog::lastTitle(), QStringLiteral("请选择正确的excel文件"));
#ifdef Q_OS_WIN
    QCOMPARE(FileDialog::lastFilter(), QStringLiteral("表格文件(*.xls *.xlsx *.ods *.csv);;Excel(*.xls)"));
#else
    // Each letter in either case: the native dialogs compare the pattern's letters as they stand.
    QCOMPARE(FileDialog::lastFilter(),
             QStringLiteral("表格文件(*.[xX][lL][sS] *.[xX][lL][sS][xX] *.[oO][dD][sS] *.[cC][sS][vV]);;"
                            "Excel(*.[xX][lL][sS])"));
#endif
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Warning);
    QCOMPARE(shown[0].caption, QStringLiteral("提示信息"));
    QCOMPARE(shown[0].text, QStringLiteral("数据导入成功"));
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));

    QCOMPARE(db.countRows(), 6);
    // A copy of the file as it was before the import.
    QCOMPARE(backup::copies(QStringLiteral("service.dll")).size(), 1);
    // Reopened with the search: kept.com and the imported abc.com and long.com, newest first,
    // the heading-click sort gone, the first row current.
    QCOMPARE(query->sql(), sql::kSearch);
    QCOMPARE(query->sort(), QString());
    QCOMPARE(query->recordCount(), 3);
    QCOMPARE(query->value(0, QStringLiteral("a1")), QStringLiteral("long.com"));
    QCOMPARE(query->value(1, QStringLiteral("a1")), QStringLiteral("abc.com"));
    QCOMPARE(query->value(2, QStringLiteral("a1")), QStringLiteral("kept.com"));
    QCOMPARE(query->currentRow(), 0);
}

// 导入 just after the start of a large portfolio, while the list still reads its rows in steps from the
// event loop: the rest is read before the first domain is stored, so no step of that reading runs on the
// connection between the import's writes; afterwards the list holds every domain once.
void TestImport::dialogImportWhileTheRowsComeIn()
{
    TestDb db;
    QVERIFY(db.ok());
    const int domains = 100000;
    QCOMPARE(db.addManyDomains(domains), QString());
    Dataset* query = db.queryA();
    query->setSql(sql::kDefaultList);
    // One row a step: the reading is still going on when the import stores its rows.
    QCOMPARE(query->openInSteps(10, 1).error(), QString());
    QVERIFY(query->isFilling());
    Connection* connection = db.module()->Conn_service();
    const QString unchanged = connection->changeStamp();
    int stepsAfterAWrite = 0;
    connect(query, &Dataset::rowsAdded, this, [&] {
        if (connection->changeStamp() != unchanged)
            ++stepsAfterAWrite;
    });

    Tdaoru dlg;
    dlg.bindData(db.module());
    dlg.show();
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("import_gnumeric.xls")));
    QTest::keyClick(&dlg, Qt::Key_Return);

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("数据导入成功"));
    QCOMPARE(stepsAfterAWrite, 0);
    QVERIFY(!query->isFilling());
    QCOMPARE(db.countRows(), domains + 4);
    const QStringList names = columnTexts(query, QStringLiteral("a1"));
    QCOMPARE(names.size(), domains + 4);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), domains + 4); // each domain once
    QCOMPARE(names.value(4), QStringLiteral("d%1.com").arg(domains));        // the imported ones newest
    QCOMPARE(names.last(), QStringLiteral("d1.com"));
}

void TestImport::dialogShowsReaderError()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    dlg.bindData(db.module());
    dlg.show();
    const QString path = dataFile(QStringLiteral("import_damaged.xls"));
    FileDialog::setNextOpenFileName(path);
    dlg.bsSkinButton1Click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    // The file is the first 4 KiB of a workbook; the text ends in ")", so no "." is added.
    QCOMPARE(shown[0].text,
             QStringLiteral("无法读取该文件：工作簿已损坏或不完整，它不是有效的 Excel 97-2003 工作簿(.xls)"));
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel9"))->text(), path);
    QCOMPARE(db.countRows(), 0);
}

void TestImport::dialogCancelledChoiceKeepsEarlierFile()
{
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    dlg.bindData(db.module());
    dlg.show();

    // Cancelled at the first press: nothing happens.
    const int opened = FileDialog::openedCount();
    dlg.bsSkinButton1Click();
    QCOMPARE(FileDialog::openedCount(), opened + 1);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(dlg.isVisible());

    // A failed import, then a cancelled choice: the earlier file is read again.
    refuseDomain(db, QStringLiteral("abc.com"));
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("import_gnumeric.xls")));
    dlg.bsSkinButton1Click();
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QCOMPARE(db.countRows(), 1);
    dlg.bsSkinButton1Click();
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QCOMPARE(db.countRows(), 2);
}

void TestImport::dialogStoreErrorKeepsDialogOpen()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert(row({QStringLiteral("old.cn")}));
    QCOMPARE(db.queryA()->open().error(), QString());
    refuseDomain(db, QStringLiteral("long.com"));

    Tdaoru dlg;
    dlg.bindData(db.module());
    dlg.show();
    FileDialog::setNextOpenFileName(dataFile(QStringLiteral("import_libreoffice.xls")));
    dlg.bsSkinButton1Click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Information);
    QCOMPARE(shown[0].caption, QStringLiteral("提示信息"));
    QCOMPARE(shown[0].text, QStringLiteral("导入数据出错"));
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok));
    QVERIFY(dlg.isVisible());
    // The two rows before long.com are stored; the list was not reloaded.
    QCOMPARE(db.countRows(), 3);
    QCOMPARE(db.queryA()->recordCount(), 1);
    // The buttons work again for another try.
    QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton1"))->isEnabled());
}

void TestImport::dialogCancelButtonCloses()
{
    Tdaoru dlg;
    dlg.show();
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton2")), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    // Escape, like the caption bar's close button, acts as Cancel.
    dlg.show();
    QVERIFY(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
}

// While the workbook is read the window thread keeps running its event loop.
void TestImport::loaderReadsOffTheWindowThread()
{
    QTemporaryDir dir;
    const QString path = writeBigWorkbook(dir, 30000);
    QVERIFY(!path.isEmpty());
    WorkbookLoader loader;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    QList<int> progress;
    bool done = false;
    connect(&loader, &WorkbookLoader::progressChanged, [&](int permille) { progress.append(permille); });
    connect(&loader, &WorkbookLoader::finished, [&] { done = true; });
    loader.start(path, importer::kColumns);
    QVERIFY(loader.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
    QVERIFY2(ticks > 0, "the event loop stood still during the read");
    QVERIFY(!progress.isEmpty());
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
    QCOMPARE(progress.last(), 1000);
    const Expected<sheet::Sheet> result = loader.takeResult();
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().rowCount(), 30000);
    QCOMPARE(result.value().columnCount(), importer::kColumns); // the columns after I take no memory
}

void TestImport::loaderCancelled()
{
    QTemporaryDir dir;
    const QString path = writeBigWorkbook(dir, 30000);
    QVERIFY(!path.isEmpty());
    WorkbookLoader loader;
    bool done = false;
    connect(&loader, &WorkbookLoader::finished, [&] { done = true; });
    // Cancelled at the first report.
    connect(&loader, &WorkbookLoader::progressChanged, &loader, &WorkbookLoader::cancel);
    loader.start(path, importer::kColumns);
    QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
    const Expected<sheet::Sheet> result = loader.takeResult();
    QVERIFY(result.wasCancelled());
    QVERIFY(!result.ok());
    QCOMPARE(result.value().cellCount(), qsizetype(0));
    // Ending the loader during a read stops and waits for it.
    {
        WorkbookLoader running;
        running.start(path);
    }
}

void TestImport::dialogCancelDuringReadStoresNothing()
{
    QTemporaryDir dir;
    const QString path = writeBigWorkbook(dir, 30000);
    QVERIFY(!path.isEmpty());
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showOverOneDomain(dlg, db);
    FileDialog::setNextOpenFileName(path);
    // 取消 on the progress window as soon as the read runs.
    bool pressed = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* progress = dlg.findChild<QProgressDialog*>(QStringLiteral("readProgress"));
        if (progress) {
            QCOMPARE(progress->labelText(), QStringLiteral("正在读取工作簿……"));
            auto* button = progress->findChild<QPushButton*>();
            QVERIFY(button);
            QCOMPARE(button->text(), QStringLiteral("取消"));
            button->click();
            pressed = true;
        }
    });
    dlg.bsSkinButton1Click();
    QVERIFY(pressed);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(dlg.isVisible());
    QCOMPARE(db.countRows(), 1);
    QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("bsSkinButton1"))->isEnabled());
}

void TestImport::dialogRefusesDevice()
{
#ifdef Q_OS_WIN
    QSKIP("no devices by path");
#else
    TestDb db;
    QVERIFY(db.ok());
    Tdaoru dlg;
    showOverOneDomain(dlg, db);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("zero.xls"));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), link));
    FileDialog::setNextOpenFileName(link);
    dlg.bsSkinButton1Click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QVERIFY2(shown[0].text.contains(QStringLiteral("不是普通文件")), qPrintable(shown[0].text));
    QCOMPARE(db.countRows(), 1);
    QVERIFY(dlg.isVisible());
#endif
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
