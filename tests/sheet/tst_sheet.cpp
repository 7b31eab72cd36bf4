#include "sheet/Biff.h"
#include "sheet/Cell.h"
#include "sheet/TableReader.h"
#include "sheet/XlsReader.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

using sheet::Cell;

namespace {

QString dataPath(const QString& name)
{
    return QStringLiteral(LANSHU_TEST_DATA "/") + name;
}

Cell makeCell(Cell::Type type, double number = 0, const QString& text = {}, const QDateTime& dateTime = {})
{
    Cell c;
    c.type = type;
    c.number = number;
    c.text = text;
    c.dateTime = dateTime;
    return c;
}
Cell numberCell(double v)
{
    return makeCell(Cell::Type::Number, v);
}
Cell textCell(const QString& t)
{
    return makeCell(Cell::Type::Text, 0, t);
}

// The long text of the fixtures: 4,606 characters, 9,212 bytes as UTF-16, so it crosses a CONTINUE record.
QString fixtureLongText()
{
    return QStringLiteral("长文开头") + QStringLiteral("域名").repeated(2300) + QStringLiteral("结尾");
}

// Texts that the writer must carry unchanged.
QStringList oddTexts()
{
    QString mixed;
    for (int i = 0; i < 10000; ++i)
        mixed += (i % 3 == 0) ? QChar(u'域') : QChar(u'a' + i % 26);
    QString emojiRun; // surrogate pairs at every offset, so that some pair meets a record boundary
    for (int i = 0; i < 3000; ++i)
        emojiRun += (i % 7 == 0) ? QStringLiteral("x") : QStringLiteral("😀");
    return {
        QStringLiteral("例子.中国"),
        QStringLiteral("他说\"你好\" and 'single' quotes"),
        QStringLiteral("第一行\n第二行\r\n第三行"),
        QStringLiteral("  blanks around\t"),
        QStringLiteral("emoji 👍🏽 and 😀 and 𠀀"),
        QStringLiteral("Latin-1 only: café ÿ ñ"),
        mixed,
        QString(8223, QChar(u'z')),
        emojiRun,
        QString(32767, QChar(u'长')),
        QStringLiteral("tab\tand control \x01 char"),
    };
}

QString findTool(const QString& name, const QStringList& paths = {})
{
    return QStandardPaths::findExecutable(name, paths);
}

// A workbook of rows × columns distinct texts, written at run time (a few MB for the larger cases).
QString writeWorkbook(const QTemporaryDir& dir, int rows, int columns)
{
    sheet::XlsWriter writer(1);
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << QStringLiteral("r%1c%2-域名-%3").arg(r).arg(c).arg(QString(12, QChar(u'a' + c % 26)));
        writer.appendRow(0, cells);
    }
    const QString path = dir.filePath(QStringLiteral("generated.xls"));
    return writer.save(path).ok() ? path : QString();
}

QByteArray record(quint16 id, const QByteArray& payload)
{
    QByteArray out;
    sheet::biff::put16(out, id);
    sheet::biff::put16(out, quint16(payload.size()));
    return out + payload;
}

// A LABELSST cell: row, column, shared string index.
QByteArray sharedStringCell(int row, int column, quint32 index)
{
    QByteArray p;
    sheet::biff::put16(p, quint16(row));
    sheet::biff::put16(p, quint16(column));
    sheet::biff::put16(p, 0);
    sheet::biff::put32(p, index);
    return record(sheet::biff::LabelSst, p);
}

QByteArray numberCell(int row, int column, double value)
{
    QByteArray p;
    sheet::biff::put16(p, quint16(row));
    sheet::biff::put16(p, quint16(column));
    sheet::biff::put16(p, 0);
    p.append(reinterpret_cast<const char*>(&value), 8); // little-endian on every platform we build for
    return record(sheet::biff::Number, p);
}

// A bare BIFF8 workbook stream: a shared-string table of Latin-1 texts that goes on in a CONTINUE record
// after its first string, one worksheet with the given cell records.
QByteArray bareWorkbook(const QStringList& strings, const QByteArray& cells)
{
    using namespace sheet::biff;
    const auto bof = [](quint16 kind) {
        QByteArray p;
        put16(p, Biff8Version);
        put16(p, kind);
        p.append(12, '\0');
        return record(Bof, p);
    };
    QByteArray sst;
    put32(sst, quint32(strings.size()));
    put32(sst, quint32(strings.size()));
    QByteArray more;
    for (qsizetype i = 0; i < strings.size(); ++i) {
        QByteArray& into = i == 0 ? sst : more;
        put16(into, quint16(strings[i].size()));
        into.append('\0');
        into.append(strings[i].toLatin1());
    }
    QByteArray globals =
        bof(0x0005) + record(Sst, sst) + (more.isEmpty() ? QByteArray() : record(Continue, more));
    QByteArray boundSheet;
    put32(boundSheet, 0); // set below
    put16(boundSheet, 0);
    boundSheet.append(char(1));
    boundSheet.append('\0');
    boundSheet.append('S');
    const qsizetype offsetAt = globals.size() + 4;
    globals += record(BoundSheet, boundSheet) + record(Eof, {});
    set32(globals, offsetAt, quint32(globals.size()));
    return globals + bof(0x0010) + cells + record(Eof, {});
}

} // namespace

class TestSheet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellToText_data();
    void cellToText();
    void sheetStorage();

    void fixtures_data();
    void fixtures();
    void fixtureDecimalComma();
    void fixtureSecondSheetIsNotRead();
    void fixture1904();
    void xlsxTextsInPlaceBesideValues();
    void fixtureOldFormatCodePage();
    void sharedStringCountLies();

    void formatByContent_data();
    void formatByContent();
    void csvValues_data();
    void csvValues();
    void mutatedTablesNeverCrash();
    void xlsxPartsCheckedWhateverTheirName();
    void workbookTakesItsPlaceInOneStep_data();
    void workbookTakesItsPlaceInOneStep();
    void sharedTextBombsRefused_data();
    void sharedTextBombsRefused();
    void sharedTextBombCancelled();
    void csvAcrossPieces_data();
    void csvAcrossPieces();
    void csvEncodingBroken_data();
    void csvEncodingBroken();
    void overLongCellsKeptOnlyInPart_data();
    void overLongCellsKeptOnlyInPart();
    void damaged_data();
    void damaged();
    void everyDamagedFixtureFails();
    void missingFile();
    void notARegularFileRefused_data();
    void notARegularFileRefused();
    void overTheLimitRefusedBeforeReading();
    void onlyKeptColumnsTakeMemory();
    void sharedStringsStayWithTheirCells_data();
    void sharedStringsStayWithTheirCells();
    void readingHoldsLittleMoreThanWhatIsKept();
    void progressReachesTheEnd();
    void cancelStopsTheRead();

    void roundTrip();
    void roundTripFullSheet();
    void readByXlrd();
    void readBySsconvert();
    void tooManyRowsRefused();
    void otherLimitsRefused_data();
    void otherLimitsRefused();
    void failedSaveKeepsOldFile();
    void savedFileIsPrivate();
};

void TestSheet::cellToText_data()
{
    QTest::addColumn<Cell>("cell");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    const QString zh = QStringLiteral("zh_CN");
    QTest::newRow("integer") << numberCell(100) << zh << "100";
    QTest::newRow("decimal") << numberCell(12.5) << zh << "12.5";
    QTest::newRow("negative") << numberCell(-3) << zh << "-3";
    QTest::newRow("0.1+0.2") << numberCell(0.1 + 0.2) << zh << "0.3";
    QTest::newRow("no group separator") << numberCell(1234567.891) << zh << "1234567.891";
    QTest::newRow("15 digits") << numberCell(123456789012345.0) << zh << "123456789012345";
    QTest::newRow("negative zero") << numberCell(-0.0) << zh << "0";
    QTest::newRow("decimal comma") << numberCell(12.5) << QStringLiteral("de_DE") << "12,5";
    QTest::newRow("text unchanged") << textCell(QStringLiteral("a \"b\" c")) << zh << "a \"b\" c";
    QTest::newRow("blanks stripped") << textCell(QStringLiteral(" \t\r\n abc.com \x01\x7f")) << zh
                                     << "abc.com";
    QTest::newRow("wide blanks stripped")
        << textCell(QStringLiteral("\u3000\u00a0例子 中国\u00a0\u3000")) << zh << "例子 中国";
    QTest::newRow("only blanks") << textCell(QStringLiteral(" \u3000 \t")) << zh << "";
    QTest::newRow("true") << makeCell(Cell::Type::Boolean, 1) << zh << "TRUE";
    QTest::newRow("false") << makeCell(Cell::Type::Boolean, 0) << zh << "FALSE";
    // Dates keep their century and seconds in every locale: the form the add dialog asks for.
    const QDateTime midnight(QDate(2024, 1, 5), QTime(0, 0));
    const QDateTime afternoon(QDate(2012, 10, 10), QTime(14, 30, 5));
    for (const char* name : {"zh_CN", "de_DE", "en_US", "C"}) {
        const QString loc = QString::fromLatin1(name);
        const QByteArray tag = QByteArray(name) + ": ";
        QTest::newRow(tag + "date at midnight")
            << makeCell(Cell::Type::Date, 0, {}, midnight) << loc << "2024-01-05";
        QTest::newRow(tag + "date and time")
            << makeCell(Cell::Type::Date, 0, {}, afternoon) << loc << "2012-10-10 14:30:05";
        QTest::newRow(tag + "time of day only")
            << makeCell(Cell::Type::Date, 0, {}, QDateTime(QDate(1899, 12, 31), QTime(9, 5))) << loc
            << "09:05:00";
    }
    QTest::newRow("before 1950") << makeCell(Cell::Type::Date, 0, {},
                                             QDateTime(QDate(1905, 3, 1), QTime(0, 0)))
                                 << QStringLiteral("de_DE") << "1905-03-01";
    QTest::newRow("empty") << Cell() << zh << "";
    QTest::newRow("error") << makeCell(Cell::Type::Error, 0x07) << zh << "#DIV/0!";
}

void TestSheet::cellToText()
{
    QFETCH(Cell, cell);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QCOMPARE(sheet::cellToText(cell, QLocale(locale)), expected);
}

void TestSheet::sheetStorage()
{
    sheet::Sheet s;
    s.setCell(5, 2, textCell(QStringLiteral("later")));
    s.setCell(0, 0, numberCell(1)); // out of order
    s.setCell(5, 2, textCell(QStringLiteral("replaced")));
    s.setCell(3, 7, textCell(QStringLiteral("cleared")));
    s.setCell(3, 7, Cell());
    QCOMPARE(s.rowCount(), 6);
    QCOMPARE(s.columnCount(), 3);
    QCOMPARE(s.cellCount(), 2);
    QCOMPARE(s.cell(5, 2).text, QStringLiteral("replaced"));
    QCOMPARE(s.cell(0, 0).number, 1.0);
    QVERIFY(s.cell(3, 7).isEmpty());
    QVERIFY(s.cell(-1, 0).isEmpty());
    QVERIFY(s.cell(100, 100).isEmpty());
}

void TestSheet::fixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");

    const int text = int(Cell::Type::Text);
    const int number = int(Cell::Type::Number);
    const int date = int(Cell::Type::Date);
    const int boolean = int(Cell::Type::Boolean);
    for (const QString& file :
         {QStringLiteral("sheet_libreoffice.xls"), QStringLiteral("sheet_gnumeric.xls")}) {
        const QByteArray p = file.toUtf8() + ": ";
        QTest::newRow(p + "chinese text with blanks") << file << 0 << 0 << text << "例子.中国";
        QTest::newRow(p + "integer") << file << 0 << 1 << number << "100";
        QTest::newRow(p + "decimal") << file << 0 << 2 << number << "12.5";
        QTest::newRow(p + "negative") << file << 0 << 3 << number << "-3";
        QTest::newRow(p + "date") << file << 0 << 4 << date << "2024-01-05";
        QTest::newRow(p + "date and time") << file << 0 << 5 << date << "2024-01-05 14:30:00";
        QTest::newRow(p + "quotes") << file << 0 << 6 << text << "他说\"你好\"";
        QTest::newRow(p + "wide blanks") << file << 0 << 7 << text << "全角空格";
        QTest::newRow(p + "formula 0.1+0.2") << file << 0 << 8 << number << "0.3";
        QTest::newRow(p + "domain") << file << 1 << 0 << text << "abc.com";
        QTest::newRow(p + "long decimal") << file << 1 << 1 << number << "1234567.891";
        QTest::newRow(p + "negative decimal") << file << 1 << 2 << number << "-0.25";
        QTest::newRow(p + "long text") << file << 1 << 3 << text << fixtureLongText();
        QTest::newRow(p + "CJK date format") << file << 1 << 4 << date << "2023-12-31";
        QTest::newRow(p + "[Red] is no date") << file << 1 << 5 << number << "42.5";
        QTest::newRow(p + "boolean") << file << 1 << 7 << boolean << "TRUE";
        QTest::newRow(p + "after empty A") << file << 2 << 1 << text << "空A之后";
        QTest::newRow(p + "empty A") << file << 2 << 0 << int(Cell::Type::Empty) << "";
    }
    QTest::newRow("gnumeric: quoted d is no date") << "sheet_gnumeric.xls" << 1 << 6 << number << "7";
    QTest::newRow("gnumeric: string formula") << "sheet_gnumeric.xls" << 1 << 8 << text << "ab中";
    QTest::newRow("libreoffice: line break kept inside")
        << "sheet_libreoffice.xls" << 1 << 8 << text << "第一行\n第二行";
}

void TestSheet::fixtures()
{
    QFETCH(QString, file);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, type);
    QFETCH(QString, expected);

    const Expected<sheet::Sheet> result = sheet::readFirstSheet(dataPath(file));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QVERIFY(result.error().isEmpty());
    const Cell& cell = result.value().cell(row, column);
    QCOMPARE(int(cell.type), type);
    QCOMPARE(sheet::cellToText(cell, QLocale(QStringLiteral("zh_CN"))), expected);
}

void TestSheet::fixtureDecimalComma()
{
    const Expected<sheet::Sheet> result =
        sheet::readFirstSheet(dataPath(QStringLiteral("sheet_libreoffice.xls")));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const QLocale german(QStringLiteral("de_DE"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 2), german), QStringLiteral("12,5"));
    QCOMPARE(sheet::cellToText(result.value().cell(1, 1), german), QStringLiteral("1234567,891"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 4), german), QStringLiteral("2024-01-05"));
}

void TestSheet::fixtureSecondSheetIsNotRead()
{
    for (const QString& file :
         {QStringLiteral("sheet_libreoffice.xls"), QStringLiteral("sheet_gnumeric.xls")}) {
        const Expected<sheet::Sheet> result = sheet::readFirstSheet(dataPath(file));
        QVERIFY2(result.ok(), qPrintable(result.error()));
        QCOMPARE(result.value().rowCount(), 4);
        QCOMPARE(result.value().columnCount(), 9);
        QCOMPARE(result.value().cell(3, 0).text, QStringLiteral("not-read.com"));
        for (int r = 0; r < result.value().rowCount(); ++r) {
            for (int c = 0; c < result.value().columnCount(); ++c)
                QVERIFY(result.value().cell(r, c).text != QStringLiteral("第二个工作表"));
        }
    }
}

// Texts held in the sheet itself (read beside the package library) and the library's own values (numbers,
// a date by its cell format, a shared text) come together in one sheet.
void TestSheet::xlsxTextsInPlaceBesideValues()
{
    sheet::ReadOptions options;
    options.columns = 5;
    const Expected<sheet::Sheet> result =
        sheet::readTable(dataPath(QStringLiteral("table_inline_and_values.xlsx")), options);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const QLocale zh(QStringLiteral("zh_CN"));
    const auto text = [&](int row, int column) {
        return sheet::cellToText(result.value().cell(row, column), zh);
    };
    QCOMPARE(text(0, 0), QStringLiteral("abc.cn"));
    QCOMPARE(text(0, 1), QStringLiteral("42"));
    QCOMPARE(text(0, 2), QStringLiteral("2024-01-05"));
    QCOMPARE(text(0, 3), QStringLiteral("共享的文字"));
    QCOMPARE(result.value().cell(2, 0).text, QStringLiteral("第二行\r"));
    QCOMPARE(text(2, 4), QStringLiteral("空格"));
    QCOMPARE(result.value().rowCount(), 3);
    QVERIFY(result.value().cell(1, 0).isEmpty());
}

void TestSheet::fixture1904()
{
    const Expected<sheet::Sheet> result =
        sheet::readFirstSheet(dataPath(QStringLiteral("sheet_libreoffice_1904.xls")));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const QLocale zh(QStringLiteral("zh_CN"));
    QCOMPARE(result.value().cell(0, 0).dateTime, sheet::wallClock(QDate(2024, 1, 5), QTime(0, 0)));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 0), zh), QStringLiteral("2024-01-05"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 1), zh), QStringLiteral("2024-01-05 14:30:00"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 2), zh), QStringLiteral("100"));
}

void TestSheet::fixtureOldFormatCodePage()
{
    const Expected<sheet::Sheet> result =
        sheet::readFirstSheet(dataPath(QStringLiteral("sheet_biff5_gbk.xls")));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const QLocale zh(QStringLiteral("zh_CN"));
    QCOMPARE(result.value().cell(0, 0).text, QStringLiteral("中文域名.com"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 1), zh), QStringLiteral("12.5"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 2), zh), QStringLiteral("2024-01-05"));
    QCOMPARE(sheet::cellToText(result.value().cell(0, 3), zh), QStringLiteral("2023-12-31"));
}

void TestSheet::sharedStringCountLies()
{
    // The table claims 2^31 strings: the reader takes the ones that are there and no more memory.
    const Expected<sheet::Sheet> result =
        sheet::readFirstSheet(dataPath(QStringLiteral("sheet_robust_sst_count.xls")));
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().cell(0, 6).text, QStringLiteral("他说\"你好\""));
    QCOMPARE(result.value().cell(1, 3).text, fixtureLongText());
}

namespace {

QByteArray fixtureBytes(const QString& name)
{
    QFile file(dataPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The cells of a sheet as text, row by row, each row up to its last filled cell.
QList<QStringList> sheetTexts(const sheet::Sheet& sheet)
{
    QList<QStringList> rows;
    for (int r = 0; r < sheet.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < sheet.columnCount(); ++c)
            cells.append(sheet::cellToText(sheet.cell(r, c)));
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows.append(cells);
    }
    return rows;
}

// Rows of texts written as UTF-8 literals.
QList<QStringList> utf8Rows(std::initializer_list<std::initializer_list<const char*>> rows)
{
    QList<QStringList> list;
    for (const auto& row : rows) {
        QStringList cells;
        for (const char* cell : row)
            cells.append(QString::fromUtf8(cell));
        list.append(cells);
    }
    return list;
}

} // namespace

void TestSheet::formatByContent_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    using F = sheet::TableFormat;
    // The names' endings say nothing: every file is told by what it holds.
    QTest::newRow("xls") << fixtureBytes(QStringLiteral("import_gnumeric.xls")) << int(F::Xls);
    QTest::newRow("xlsx") << fixtureBytes(QStringLiteral("import_libreoffice.xlsx")) << int(F::Xlsx);
    QTest::newRow("xlsx named .xls") << fixtureBytes(QStringLiteral("sheet_damaged_xlsx.xls"))
                                     << int(F::Xlsx);
    QTest::newRow("ods") << fixtureBytes(QStringLiteral("import_gnumeric.ods")) << int(F::Ods);
    QTest::newRow("csv") << fixtureBytes(QStringLiteral("import_libreoffice_gbk.csv")) << int(F::Csv);
    QTest::newRow("csv named .xls") << fixtureBytes(QStringLiteral("sheet_damaged_csv.xls")) << int(F::Csv);
    QTest::newRow("UTF-16 text") << QByteArray("\xFF\xFE"
                                               "a\0,\0b\0",
                                               8)
                                 << int(F::Csv);
    QTest::newRow("empty") << QByteArray() << int(F::Empty);
    QTest::newRow("png") << fixtureBytes(QStringLiteral("sheet_damaged_png.xls")) << int(F::Unknown);
    QTest::newRow("xml") << fixtureBytes(QStringLiteral("sheet_cases.fods")) << int(F::Unknown);
    QTest::newRow("zip, cut off") << fixtureBytes(QStringLiteral("import_libreoffice.xlsx")).left(100)
                                  << int(F::Unknown);
}

void TestSheet::formatByContent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QCOMPARE(int(sheet::detectFormat(bytes)), format);
}

void TestSheet::csvValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::newRow("commas") << QByteArray("a.com,说明,3\nb.com,,4\n")
                            << utf8Rows({{"a.com", "说明", "3"}, {"b.com", "", "4"}});
    QTest::newRow("semicolons, commas inside") << QByteArray("a.com;1,5;x\r\nb.com;2,5;y")
                                               << utf8Rows({{"a.com", "1,5", "x"}, {"b.com", "2,5", "y"}});
    QTest::newRow("tabs") << QByteArray("a.com\tx, y\tz\n") << utf8Rows({{"a.com", "x, y", "z"}});
    QTest::newRow("quotes, line breaks inside")
        << QByteArray("\"a.com\",\"say \"\"hi\"\", ok\",\"line 1\r\nline 2\"\r\nb.com,x,y\r\n")
        << utf8Rows({{"a.com", "say \"hi\", ok", "line 1\r\nline 2"}, {"b.com", "x", "y"}});
    QTest::newRow("old Mac line ends") << QByteArray("a,b\rc,d\r") << utf8Rows({{"a", "b"}, {"c", "d"}});
    QTest::newRow("quote never closed") << QByteArray("a,\"b\nc") << utf8Rows({{"a", "b\nc"}});
    QTest::newRow("quote inside a value") << QByteArray("a,b\"c\n") << utf8Rows({{"a", "b\"c"}});
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF域名,说明\n") << utf8Rows({{"域名", "说明"}});
    QTest::newRow("GBK") << QByteArray("\xd3\xf2\xc3\xfb.com,\xcb\xb5\xc3\xf7\n")
                         << utf8Rows({{"域名.com", "说明"}});
    QTest::newRow("UTF-16 with its mark")
        << QByteArray("\xFF\xFE\xdf\x57\x0d\x54\t\0x\0\n\0", 12) << utf8Rows({{"域名", "x"}});
    QTest::newRow("dates as a spreadsheet takes them")
        << QByteArray("2012/1/5,2013-01-02 8:30,2012.10.10,2012/13/40,0100,1e5\n")
        << utf8Rows({{"2012-01-05", "2013-01-02 08:30:00", "2012-10-10", "2012/13/40", "0100", "1e5"}});
    QTest::newRow("almost dates stay texts")
        << QByteArray("2012-1-5 8:3,2012-01/05,2012-01-05x,12012-01-05,2012-01-05 24:00,2012-01-05 \n")
        << utf8Rows({{"2012-1-5 8:3", "2012-01/05", "2012-01-05x", "12012-01-05", "2012-01-05 24:00",
                      "2012-01-05"}});
    QTest::newRow("date with seconds")
        << QByteArray("2012-12-31 23:59:59\n") << utf8Rows({{"2012-12-31 23:59:59"}});
    QTest::newRow("blanks trimmed, blank line kept")
        << QByteArray("  a.com  ,\tx\n\nc.com\n") << utf8Rows({{"a.com", "x"}, {}, {"c.com"}});
}

void TestSheet::csvValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QStringList>, rows);
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(sheetTexts(result.value()), rows);
}

void TestSheet::mutatedTablesNeverCrash()
{
    // Random damage to the fixtures of every new format: each read ends in a sheet or in an error text,
    // never in a crash, a hang or an exception (run under the sanitizers on CI).
    QRandomGenerator random(20261210);
    const QStringList names{
        QStringLiteral("import_gnumeric.xlsx"),   QStringLiteral("import_libreoffice.xlsx"),
        QStringLiteral("import_gnumeric.ods"),    QStringLiteral("import_libreoffice.ods"),
        QStringLiteral("import_libreoffice.csv"), QStringLiteral("import_libreoffice_gbk.csv")};
    int reads = 0;
    for (const QString& name : names) {
        const QByteArray original = fixtureBytes(name);
        QVERIFY(!original.isEmpty());
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = original;
            const int changes = 1 + int(random.bounded(8));
            for (int i = 0; i < changes && !bytes.isEmpty(); ++i) {
                const auto at = qsizetype(random.bounded(quint32(bytes.size())));
                switch (random.bounded(4)) {
                case 0:
                    bytes[at] = char(random.bounded(256));
                    break;
                case 1:
                    bytes.truncate(at);
                    break;
                case 2:
                    bytes.insert(at, char(random.bounded(256)));
                    break;
                default:
                    bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
                    break;
                }
            }
            const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
            QVERIFY2(result.ok() == result.error().isEmpty(), qPrintable(name));
            if (result.ok())
                (void)sheetTexts(result.value());
            ++reads;
        }
    }
    QCOMPARE(reads, names.size() * 150);
    // The fuzzer's former finds read without a crash and without reserving gigabytes.
    const QDir data(QStringLiteral(LANSHU_TEST_DATA));
    const QStringList found = data.entryList({QStringLiteral("table_fuzz_*")}, QDir::Files);
    QVERIFY(!found.isEmpty());
    for (const QString& name : found) {
        const Expected<sheet::Sheet> result = sheet::readTableFromMemory(fixtureBytes(name));
        QVERIFY2(!result.ok() && !result.error().isEmpty(), qPrintable(name));
    }
}

// The package library follows a relation to any part, whatever its name: every part is checked, and a
// part that holds no XML is never handed on.
void TestSheet::xlsxPartsCheckedWhateverTheirName()
{
    // A damaged second sheet stored as xl/worksheets/sheet2.bin, its checksum right.
    const Expected<sheet::Sheet> damaged =
        sheet::readTable(dataPath(QStringLiteral("table_fuzz_sheet_bin.xlsx")));
    QVERIFY(!damaged.ok());
    QVERIFY2(damaged.error().contains(QStringLiteral("损坏")), qPrintable(damaged.error()));
    // The first sheet's part holds a picture: nothing to read, and not an empty sheet either.
    const Expected<sheet::Sheet> picture =
        sheet::readTable(dataPath(QStringLiteral("table_sheet_not_xml.xlsx")));
    QVERIFY(!picture.ok());
    QVERIFY2(picture.error().contains(QStringLiteral("损坏")), qPrintable(picture.error()));
    // The first sheet as xl/worksheets/Sheet1.BIN, a picture beside it: read as the workbook it came from.
    const Expected<sheet::Sheet> renamed =
        sheet::readTable(dataPath(QStringLiteral("table_renamed_parts.xlsx")));
    QVERIFY2(renamed.ok(), qPrintable(renamed.error()));
    const Expected<sheet::Sheet> original =
        sheet::readTable(dataPath(QStringLiteral("import_gnumeric.xlsx")));
    QVERIFY(original.ok());
    QVERIFY(original.value().rowCount() > 3);
    QCOMPARE(sheetTexts(renamed.value()), sheetTexts(original.value()));
}

// Packages of a few hundred KB whose shared texts unpack to more than a workbook may hold are refused
// quickly, holding little memory on the way (the parts are checked a piece at a time).
void TestSheet::workbookTakesItsPlaceInOneStep_data()
{
    QTest::addColumn<QString>("suffix");   // the kind of workbook written
    QTest::addColumn<QString>("standing"); // what stands under the name before
    QTest::addColumn<bool>("saved");
    QTest::newRow("xlsx over an older one") << "xlsx"
                                            << "file" << true;
    QTest::newRow("xlsx over a half file left by a killed export") << "xlsx"
                                                                   << "part" << true;
    QTest::newRow("xlsx over a link") << "xlsx"
                                      << "link" << true;
    QTest::newRow("xlsx where a folder stands") << "xlsx"
                                                << "folder" << false;
    QTest::newRow("xls over an older one") << "xls"
                                           << "file" << true;
    QTest::newRow("xls over a link") << "xls"
                                     << "link" << true;
    QTest::newRow("xls where a folder stands") << "xls"
                                               << "folder" << false;
}

// A workbook is written whole under another name and then takes its place in one step: whatever fails,
// the older file stays as it was and no half file is left, under the name or beside it. A link under the
// name is replaced itself; what it points to is never written.
void TestSheet::workbookTakesItsPlaceInOneStep()
{
    QFETCH(QString, suffix);
    QFETCH(QString, standing);
    QFETCH(bool, saved);
    const QTemporaryDir dir;
    const QTemporaryDir otherDir;
    const QString path = dir.filePath(QStringLiteral("yuming.") + suffix);
    const QString other = otherDir.filePath(QStringLiteral("notes.txt"));
    const QByteArray old("the export before");
    auto write = [](const QString& at, const QByteArray& bytes) {
        QFile file(at);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    auto read = [](const QString& at) {
        QFile file(at);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    if (standing == QLatin1String("link")) {
        QVERIFY(write(other, "someone else's"));
        QVERIFY(QFile::link(other, path));
    } else if (standing == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(path).fileName()));
        QVERIFY(write(QDir(path).filePath(QStringLiteral("inside.txt")), old));
    } else {
        QVERIFY(write(path, old));
        if (standing == QLatin1String("part"))
            QVERIFY(write(path + QStringLiteral(".part"), "PK half"));
    }

    QString error;
    const QStringList row{QStringLiteral("例子.com"), QStringLiteral("1200")};
    if (suffix == QLatin1String("xlsx")) {
        sheet::XlsxWriter writer(path, 2);
        QCOMPARE(writer.appendRow(row).error(), QString());
        error = writer.save().error();
    } else {
        sheet::XlsWriter writer(2);
        writer.appendRow(0, row);
        error = writer.save(path).error();
    }

    if (saved) {
        QCOMPARE(error, QString());
        QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        const Expected<sheet::Sheet> result = sheet::readTable(path);
        QVERIFY2(result.ok(), qPrintable(result.error()));
        QCOMPARE(sheet::cellToText(result.value().cell(0, 0)), row[0]);
    } else {
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QCOMPARE(read(QDir(path).filePath(QStringLiteral("inside.txt"))), old);
    }
    if (standing == QLatin1String("link"))
        QCOMPARE(read(other), QByteArray("someone else's"));
    // Nothing but the workbook (or the folder that stood there) is left.
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList{QFileInfo(path).fileName()});
}

void TestSheet::sharedTextBombsRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("160 MB of text") << QStringLiteral("table_bomb_shared_text.xlsx")
                                    << QStringLiteral("文字解压后超过 128 MB");
    QTest::newRow("six million entries")
        << QStringLiteral("table_bomb_shared_count.xlsx") << QStringLiteral("共享文字表有 500 万条以上");
}

void TestSheet::sharedTextBombsRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    QVERIFY(QFileInfo(dataPath(file)).size() < 256 * 1024);
    sheet::ReadOptions options;
    qint64 most = 0;
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const auto heap = [] {
        const struct mallinfo2 info = mallinfo2();
        return qint64(info.uordblks + info.hblkhd);
    };
    const qint64 before = heap();
    options.progress = [&](qint64, qint64) {
        most = std::max(most, heap() - before);
        return true;
    };
#endif
    const Expected<sheet::Sheet> result = sheet::readTable(dataPath(file), options);
    QVERIFY(!result.ok());
    QVERIFY(!result.wasCancelled());
    QVERIFY2(result.error().contains(message), qPrintable(result.error()));
    QVERIFY2(most < 32 * 1024 * 1024, qPrintable(QString::number(most)));
}

void TestSheet::sharedTextBombCancelled()
{
    int calls = 0;
    sheet::ReadOptions options;
    options.progress = [&](qint64, qint64) { return ++calls < 5; };
    const Expected<sheet::Sheet> result =
        sheet::readTable(dataPath(QStringLiteral("table_bomb_shared_text.xlsx")), options);
    QVERIFY(!result.ok());
    QVERIFY(result.wasCancelled());
    QCOMPARE(calls, 5);
}

// A .csv text of several MB is decoded and read a piece at a time: characters of several bytes, quoted
// values with line breaks and CR LF pairs fall on every kind of seam and still read whole.
void TestSheet::csvAcrossPieces_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("mark");
    QTest::newRow("UTF-8") << QByteArray("UTF-8") << QByteArray();
    QTest::newRow("UTF-8 with its mark") << QByteArray("UTF-8") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("GBK") << QByteArray("GB18030") << QByteArray();
    QTest::newRow("UTF-16") << QByteArray("UTF-16LE") << QByteArray("\xFF\xFE");
}

void TestSheet::csvAcrossPieces()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, mark);
    constexpr int Rows = 80000;
    const auto cells = [](int r) {
        return QStringList{QStringLiteral("域名%1.com").arg(r), QStringLiteral("说明\"引号\"%1😀").arg(r),
                           QStringLiteral("多行\r\n值%1").arg(r)};
    };
    QString text;
    for (int r = 0; r < Rows; ++r) {
        const QStringList row = cells(r);
        text += row[0] + QLatin1Char(',') + QLatin1Char('"') +
                QString(row[1]).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
                QStringLiteral("\",\"") + row[2] + QStringLiteral("\"\r\n");
    }
    QStringEncoder encoder(encoding.constData());
    const QByteArray bytes = mark + QByteArray(encoder.encode(text));
    QVERIFY(!encoder.hasError());
    QVERIFY(bytes.size() > 3 * 1024 * 1024); // several pieces
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().rowCount(), Rows);
    for (int r = 0; r < Rows; ++r) {
        const QStringList row = cells(r);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(result.value().cell(r, c).text, row[c]);
    }
}

// A .csv text that is not valid in the encoding chosen for it is refused, naming the first line that
// breaks it, instead of being stored garbled.
void TestSheet::csvEncodingBroken_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QByteArray gbk("\xd3\xf2\xc3\xfb.com,\xcb\xb5\xc3\xf7\n"); // 域名.com,说明
    const QByteArray utf8("\xe4\xbe\x8b\xe5\xad\x90.com,x\n");       // 例子.com,x
    QTest::newRow("GBK, then UTF-8") << gbk + utf8 << QStringLiteral("第 2 行是 UTF-8 编码");
    QTest::newRow("UTF-8, then GBK") << utf8 + gbk << QStringLiteral("第 1 行是 UTF-8 编码");
    QTest::newRow("UTF-8 with one GBK line")
        << QByteArray("a.com\n") + utf8 + utf8 + gbk + utf8 << QStringLiteral("第 4 行不是 UTF-8 编码");
    QTest::newRow("UTF-8 with its mark, a byte no UTF-8")
        << QByteArray("\xEF\xBB\xBF") + utf8 + QByteArray("b\xff.com\r\n") << QStringLiteral("第 2 行");
    QTest::newRow("GBK, a byte no GBK")
        << gbk + gbk + QByteArray("c.com,\xff\n") << QStringLiteral("第 3 行");
}

void TestSheet::csvEncodingBroken()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
    QVERIFY(!result.ok());
    QVERIFY2(result.error().contains(message), qPrintable(result.error()));
    QVERIFY2(result.error().contains(QStringLiteral("编码")), qPrintable(result.error()));
}

// A cell's text is kept up to one character past the longest a cell holds: enough to tell it is too long,
// and a line of hundreds of MB takes no more than that.
void TestSheet::overLongCellsKeptOnlyInPart_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("length"); // of the text kept
    const QByteArray longAscii(300000, 'x');
    QTest::newRow("csv") << QByteArray("a.com,") + longAscii + "\n" << 1 << sheet::kMaxCellCharacters + 1;
    QTest::newRow("csv, quoted") << QByteArray("\"") + longAscii + "\",b\n"
                                 << 0 << sheet::kMaxCellCharacters + 1;
    QTest::newRow("csv, longest a cell holds")
        << QByteArray("a,") + QByteArray(sheet::kMaxCellCharacters, 'y') << 1 << sheet::kMaxCellCharacters;
}

void TestSheet::overLongCellsKeptOnlyInPart()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, column);
    QFETCH(int, length);
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().cell(0, column).text.size(), qsizetype(length));
}

void TestSheet::damaged_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    const QString notXls = QStringLiteral("无法读取该文件：它不是有效的 Excel 97-2003 工作簿(.xls)");
    const QString broken = QStringLiteral("无法读取该文件：工作簿已损坏或不完整");
    QTest::newRow("empty") << "sheet_damaged_empty.xls" << QStringLiteral("无法读取该文件：文件是空的");
    QTest::newRow("csv") << "sheet_damaged_csv.xls" << notXls;
    QTest::newRow("png") << "sheet_damaged_png.xls" << notXls;
    QTest::newRow("xlsx") << "sheet_damaged_xlsx.xls" << QStringLiteral("(.xlsx)");
    QTest::newRow("other compound file") << "sheet_damaged_no_workbook.xls" << notXls;
    QTest::newRow("Excel 4.0") << "sheet_damaged_biff4.xls" << QStringLiteral("旧格式");
    QTest::newRow("truncated") << "sheet_damaged_truncated.xls" << broken;
    QTest::newRow("record too long") << "sheet_damaged_record_length.xls" << broken;
    QTest::newRow("sheet offset") << "sheet_damaged_sheet_offset.xls" << broken;
    QTest::newRow("encrypted") << "sheet_damaged_encrypted.xls" << QStringLiteral("工作簿设有打开密码");
    QTest::newRow("no worksheet") << "sheet_damaged_no_worksheet.xls" << QStringLiteral("没有工作表");
}

void TestSheet::damaged()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(dataPath(file));
    QVERIFY(!result.ok());
    QVERIFY2(result.error().contains(expected), qPrintable(result.error()));
    QCOMPARE(result.value().rowCount(), 0);
}

void TestSheet::everyDamagedFixtureFails()
{
    // Every damaged workbook ends in an error text; the fuzzer's former crashers read without a crash.
    const QDir dir(QStringLiteral(LANSHU_TEST_DATA));
    const QStringList damaged = dir.entryList({QStringLiteral("sheet_damaged_*")}, QDir::Files);
    QVERIFY(!damaged.isEmpty());
    for (const QString& name : damaged) {
        const Expected<sheet::Sheet> result = sheet::readFirstSheet(dir.filePath(name));
        QVERIFY2(!result.ok() && !result.error().isEmpty(), qPrintable(name));
    }
    for (const QString& name : dir.entryList({QStringLiteral("sheet_fuzz_*")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const Expected<sheet::Sheet> result = sheet::readFirstSheetFromMemory(file.readAll());
        QVERIFY2(result.ok() == result.error().isEmpty(), qPrintable(name));
    }
}

void TestSheet::missingFile()
{
    const QString path = dataPath(QStringLiteral("sheet_no_such_file.xls"));
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path);
    QVERIFY(!result.ok());
    QVERIFY2(result.error().startsWith(QStringLiteral("文件不存在")), qPrintable(result.error()));
    QVERIFY(result.error().contains(QDir::toNativeSeparators(path)));
}

void TestSheet::notARegularFileRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("folder") << "folder"
                            << "是一个文件夹";
#ifndef Q_OS_WIN
    QTest::newRow("pipe") << "fifo"
                          << "不是普通文件";
    QTest::newRow("device") << "/dev/zero"
                            << "不是普通文件";
    QTest::newRow("link to a device") << "link"
                                      << "不是普通文件";
#endif
}

// A pipe never starts, a device never ends: both are refused at once, before anything is read.
void TestSheet::notARegularFileRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("book.xls"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
#ifndef Q_OS_WIN
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#endif
    } else {
        path = kind;
    }
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path);
    QVERIFY(!result.ok());
    QVERIFY2(result.error().contains(expected), qPrintable(result.error()));
    QVERIFY(result.error().contains(QDir::toNativeSeparators(path)));
}

void TestSheet::overTheLimitRefusedBeforeReading()
{
    const QString path = dataPath(QStringLiteral("sheet_libreoffice.xls"));
    sheet::ReadOptions options;
    options.maxFileSize = QFileInfo(path).size() - 1;
    bool read = false;
    options.progress = [&](qint64, qint64) { return read = true; };
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path, options);
    QVERIFY(!result.ok());
    QVERIFY2(result.error().contains(QStringLiteral("超过了可以读取的上限")), qPrintable(result.error()));
    QVERIFY(!read);
    // A sparse file of 600 MB is refused by the default limit just as fast.
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.xls")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(600LL * 1024 * 1024));
    big.close();
    const Expected<sheet::Sheet> huge = sheet::readFirstSheet(big.fileName());
    QVERIFY(!huge.ok());
    QVERIFY2(huge.error().contains(QStringLiteral("600.0 MB")), qPrintable(huge.error()));
    // In memory the same limit holds.
    options.progress = {};
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!sheet::readFirstSheetFromMemory(file.readAll(), options).ok());
}

// Columns the caller does not keep are never stored, and shared texts are decoded only for kept cells.
void TestSheet::onlyKeptColumnsTakeMemory()
{
    QTemporaryDir dir;
    const QString path = writeWorkbook(dir, 300, 40);
    QVERIFY(!path.isEmpty());
    sheet::ReadOptions options;
    options.columns = 9;
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path, options);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().columnCount(), 9);
    QCOMPARE(result.value().rowCount(), 300);
    QCOMPARE(result.value().cellCount(), qsizetype(300 * 9));
    QCOMPARE(result.value().cell(299, 8).text, QStringLiteral("r299c8-域名-") + QString(12, QChar(u'i')));
    QVERIFY(result.value().cell(0, 9).isEmpty());
    const Expected<sheet::Sheet> all = sheet::readFirstSheet(path);
    QVERIFY(all.ok());
    QCOMPARE(all.value().cellCount(), qsizetype(300 * 40));
    QCOMPARE(all.value().cell(7, 39).text, QStringLiteral("r7c39-域名-") + QString(12, QChar(u'n')));
}

// Shared texts are put into their cells after the worksheet is read: a later value at the same place still
// wins, and cells of strings the table does not have stay as they were.
void TestSheet::sharedStringsStayWithTheirCells_data()
{
    QTest::addColumn<QByteArray>("cells");
    QTest::addColumn<QString>("expected"); // A1|A2|A4
    QTest::newRow("in order") << sharedStringCell(0, 0, 0) + sharedStringCell(1, 0, 1) +
                                     sharedStringCell(3, 0, 2)
                              << QStringLiteral("first|second|third");
    QTest::newRow("out of order") << sharedStringCell(3, 0, 0) + sharedStringCell(0, 0, 2)
                                  << QStringLiteral("third||first");
    QTest::newRow("one text in many cells")
        << sharedStringCell(0, 0, 1) + sharedStringCell(1, 0, 1) + sharedStringCell(3, 0, 1)
        << QStringLiteral("second|second|second");
    QTest::newRow("later number wins")
        << sharedStringCell(0, 0, 1) + numberCell(0, 0, 5) << QStringLiteral("5||");
    QTest::newRow("later text wins") << numberCell(0, 0, 5) + sharedStringCell(0, 0, 2)
                                     << QStringLiteral("third||");
    QTest::newRow("later shared text wins")
        << sharedStringCell(0, 0, 0) + sharedStringCell(0, 0, 2) << QStringLiteral("third||");
    QTest::newRow("index past the table")
        << numberCell(0, 0, 5) + sharedStringCell(0, 0, 3) + sharedStringCell(1, 0, 99)
        << QStringLiteral("5||");
}

void TestSheet::sharedStringsStayWithTheirCells()
{
    QFETCH(QByteArray, cells);
    QFETCH(QString, expected);
    const QByteArray bytes =
        bareWorkbook({QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")}, cells);
    for (const int columns : {0, 1}) {
        sheet::ReadOptions options;
        options.columns = columns;
        const Expected<sheet::Sheet> result = sheet::readFirstSheetFromMemory(bytes, options);
        QVERIFY2(result.ok(), qPrintable(result.error()));
        const QStringList got{sheet::cellToText(result.value().cell(0, 0), QLocale::c()),
                              sheet::cellToText(result.value().cell(1, 0), QLocale::c()),
                              sheet::cellToText(result.value().cell(3, 0), QLocale::c())};
        QCOMPARE(got.join(u'|'), expected);
    }
}

// The workbook is read a bounded piece at a time: while reading, the heap holds the kept cells and little
// else, never the whole workbook.
void TestSheet::readingHoldsLittleMoreThanWhatIsKept()
{
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
    // A sanitizer brings its own allocator, which glibc's counters do not see.
    QSKIP("the heap is measured with glibc's mallinfo2");
#else
    QTemporaryDir dir;
    const QString path = writeWorkbook(dir, 12000, 40);
    QVERIFY(!path.isEmpty());
    const qint64 fileSize = QFileInfo(path).size();
    QVERIFY(fileSize > 12 * 1024 * 1024);
    const auto heap = [] {
        const struct mallinfo2 info = mallinfo2();
        return qint64(info.uordblks + info.hblkhd);
    };
    const qint64 before = heap();
    qint64 most = 0;
    sheet::ReadOptions options;
    options.columns = 1;
    options.progress = [&](qint64, qint64) {
        most = std::max(most, heap() - before);
        return true;
    };
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path, options);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().cellCount(), qsizetype(12000));
    QCOMPARE(result.value().cell(11999, 0).text, QStringLiteral("r11999c0-域名-") + QString(12, QChar(u'a')));
    QVERIFY2(most > 0 && most < fileSize / 4,
             qPrintable(QStringLiteral("%1 bytes held for a file of %2").arg(most).arg(fileSize)));
#endif
}

void TestSheet::progressReachesTheEnd()
{
    QTemporaryDir dir;
    const QString path = writeWorkbook(dir, 20000, 9); // about 6 MB
    QVERIFY(!path.isEmpty());
    QList<qint64> seen;
    QList<qint64> permille; // the share shown to the user never goes back
    qint64 whole = 0;
    sheet::ReadOptions options;
    options.progress = [&](qint64 done, qint64 total) {
        seen.append(done);
        permille.append(done * 1000 / total);
        whole = total;
        return true;
    };
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path, options);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().rowCount(), 20000);
    QVERIFY2(seen.size() >= 4, qPrintable(QString::number(seen.size())));
    QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
    QVERIFY(std::is_sorted(permille.cbegin(), permille.cend()));
    QCOMPARE(seen.last(), whole);
}

void TestSheet::cancelStopsTheRead()
{
    QTemporaryDir dir;
    const QString path = writeWorkbook(dir, 20000, 9);
    QVERIFY(!path.isEmpty());
    for (const int stopAt : {1, 3}) {
        int calls = 0;
        sheet::ReadOptions options;
        options.progress = [&](qint64, qint64) { return ++calls < stopAt; };
        const Expected<sheet::Sheet> result = sheet::readFirstSheet(path, options);
        QVERIFY(!result.ok());
        QVERIFY(result.wasCancelled());
        QCOMPARE(calls, stopAt);
        QCOMPARE(result.value().cellCount(), qsizetype(0));
    }
}

void TestSheet::roundTrip()
{
    const QStringList texts = oddTexts();
    sheet::XlsWriter writer;
    QCOMPARE(writer.sheetCount(), 2);
    writer.appendRow(0, texts.mid(0, 4));
    writer.appendRow(0, {QString(), QStringLiteral("after an empty cell"), QString(), texts[4]});
    writer.appendRow(0, {});
    for (qsizetype i = 4; i < texts.size(); ++i)
        writer.appendRow(0, {texts[i], texts[0]}); // a repeated text is shared
    writer.appendRow(1, {QStringLiteral("第二个工作表")});
    QCOMPARE(writer.rowCount(0), int(3 + texts.size() - 4));
    QCOMPARE(writer.rowCount(1), 1);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("round.xls"));
    QCOMPARE(writer.save(path).error(), QString());
    const Expected<sheet::Sheet> result = sheet::readFirstSheet(path);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    const sheet::Sheet& s = result.value();
    QCOMPARE(s.rowCount(), int(3 + texts.size() - 4));
    for (int c = 0; c < 4; ++c)
        QCOMPARE(s.cell(0, c).text, texts[c]);
    QVERIFY(s.cell(1, 0).isEmpty());
    QCOMPARE(s.cell(1, 1).text, QStringLiteral("after an empty cell"));
    QVERIFY(s.cell(1, 2).isEmpty());
    QCOMPARE(s.cell(1, 3).text, texts[4]);
    QVERIFY(s.cell(2, 0).isEmpty());
    for (qsizetype i = 4; i < texts.size(); ++i) {
        const int row = int(3 + i - 4);
        QCOMPARE(s.cell(row, 0).type, Cell::Type::Text);
        QCOMPARE(s.cell(row, 0).text.size(), texts[i].size());
        QCOMPARE(s.cell(row, 0).text, texts[i]);
        QCOMPARE(s.cell(row, 1).text, texts[0]);
    }

    const Expected<QByteArray> built = writer.toBytes();
    QCOMPARE(built.error(), QString());
    const QByteArray& bytes = built.value();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

void TestSheet::roundTripFullSheet()
{
    // The last row that a sheet can hold, 65,536, and many row blocks.
    sheet::XlsWriter writer(1);
    for (int r = 0; r < sheet::XlsWriter::MaxRows; ++r)
        writer.appendRow(0, {QString::number(r), (r % 2) ? QString() : QStringLiteral("偶数行")});
    const Expected<QByteArray> built = writer.toBytes();
    QCOMPARE(built.error(), QString());
    const QByteArray& bytes = built.value();
    const Expected<sheet::Sheet> result = sheet::readFirstSheetFromMemory(bytes);
    QVERIFY2(result.ok(), qPrintable(result.error()));
    QCOMPARE(result.value().rowCount(), 65536);
    QCOMPARE(result.value().cell(65535, 0).text, QStringLiteral("65535"));
    QCOMPARE(result.value().cell(65534, 1).text, QStringLiteral("偶数行"));
    QVERIFY(result.value().cell(65535, 1).isEmpty());
}

void TestSheet::readByXlrd()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python) ||
        QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import xlrd")}) != 0)
        QSKIP("python3-xlrd is not installed");
    const QStringList texts = oddTexts();
    sheet::XlsWriter writer(3);
    for (const QString& t : texts)
        writer.appendRow(0, {t, QString(), QStringLiteral("x")});
    writer.appendRow(2, {QStringLiteral("third")});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("xlrd.xls"));
    QCOMPARE(writer.save(path).error(), QString());

    QProcess py;
    py.start(python, {QStringLiteral("-c"),
                      QStringLiteral("import json, sys, xlrd\n"
                                     "b = xlrd.open_workbook(sys.argv[1])\n"
                                     "s = b.sheet_by_index(0)\n"
                                     "print(json.dumps({'names': b.sheet_names(),\n"
                                     "  'rows': [s.row_values(r) for r in range(s.nrows)],\n"
                                     "  'third': b.sheet_by_index(2).cell_value(0, 0)}))\n"),
                      path});
    QVERIFY(py.waitForFinished(60000));
    QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
    const QJsonObject out = QJsonDocument::fromJson(py.readAllStandardOutput()).object();
    QCOMPARE(out.value(QStringLiteral("names")).toArray(),
             QJsonArray({QStringLiteral("Sheet1"), QStringLiteral("Sheet2"), QStringLiteral("Sheet3")}));
    QCOMPARE(out.value(QStringLiteral("third")).toString(), QStringLiteral("third"));
    const QJsonArray rows = out.value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QJsonArray row = rows[i].toArray();
        QCOMPARE(row.size(), 3);
        QCOMPARE(row[0].toString(), texts[i]);
        QCOMPARE(row[1].toString(), QString());
        QCOMPARE(row[2].toString(), QStringLiteral("x"));
    }
}

void TestSheet::readBySsconvert()
{
    const QString ssconvert = findTool(QStringLiteral("ssconvert"));
    if (ssconvert.isEmpty())
        QSKIP("ssconvert (gnumeric) is not installed");
    // One cell per row, texts without line breaks (the text export writes one line per row).
    QStringList texts;
    for (const QString& t : oddTexts()) {
        if (!t.contains(u'\n'))
            texts << t;
    }
    sheet::XlsWriter writer;
    for (const QString& t : texts)
        writer.appendRow(0, {t});
    writer.appendRow(1, {QStringLiteral("第二个工作表")});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gnumeric.xls"));
    const QString txt = dir.filePath(QStringLiteral("gnumeric.txt"));
    QCOMPARE(writer.save(path).error(), QString());

    QProcess p;
    p.start(ssconvert,
            {QStringLiteral("--export-type=Gnumeric_stf:stf_assistant"),
             QStringLiteral("--export-options=sheet=Sheet1 eol=unix quoting-mode=never separator=\x1f"), path,
             txt});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QByteArray errors = p.readAllStandardError();
    QVERIFY2(!errors.contains("rror") && !errors.contains("amaged"), errors.constData());
    QFile file(txt);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QCOMPARE(lines.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        QCOMPARE(lines[i], texts[i]);
}

void TestSheet::tooManyRowsRefused()
{
    sheet::XlsWriter writer;
    for (int r = 0; r < 65537; ++r)
        writer.appendRow(0, {QStringLiteral("a")});
    QCOMPARE(writer.rowCount(0), 65537);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.xls"));
    QCOMPARE(writer.save(path).error(), QStringLiteral("Excel 工作表最多只能容纳 65536 行，当前有 65537 行"));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()); // no temporary file left
}

void TestSheet::otherLimitsRefused_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("expected");
    QStringList wide;
    for (int c = 0; c < 257; ++c)
        wide << QStringLiteral("c");
    QTest::newRow("257 columns") << wide
                                 << QStringLiteral("Excel 工作表最多只能容纳 256 列，第 2 行有 257 列");
    QTest::newRow("text over 32767")
        << QStringList{QString(), QString(32768, QChar(u'x'))}
        << QStringLiteral("第 2 行第 2 列的文本有 32768 个字符，超过了 Excel 单元格最多 32767 个字符的限制");
}

void TestSheet::otherLimitsRefused()
{
    QFETCH(QStringList, row);
    QFETCH(QString, expected);
    sheet::XlsWriter writer;
    writer.appendRow(0, {QStringLiteral("first")});
    writer.appendRow(0, row);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limits.xls"));
    QCOMPARE(writer.save(path).error(), expected);
    QVERIFY(!QFile::exists(path));
}

void TestSheet::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("yuming.xls"));
    sheet::XlsWriter first;
    first.appendRow(0, {QStringLiteral("old")});
    QCOMPARE(first.save(path).error(), QString());

    // A refused workbook leaves the old file as it was; a good one replaces it.
    sheet::XlsWriter refused;
    for (int r = 0; r < 65537; ++r)
        refused.appendRow(0, {QStringLiteral("a")});
    QVERIFY(!refused.save(path).ok());
    QCOMPARE(sheet::readFirstSheet(path).value().cell(0, 0).text, QStringLiteral("old"));
    sheet::XlsWriter second;
    second.appendRow(0, {QStringLiteral("new")});
    QCOMPARE(second.save(path).error(), QString());
    QCOMPARE(sheet::readFirstSheet(path).value().cell(0, 0).text, QStringLiteral("new"));

    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/yuming.xls"));
    const QString error = second.save(nowhere).error();
    QVERIFY2(error.startsWith(QStringLiteral("无法保存文件：")), qPrintable(error));
    QVERIFY(!QFile::exists(nowhere));
}

// The export holds every management password: readable by the user alone, whatever the umask.
void TestSheet::savedFileIsPrivate()
{
#ifdef Q_OS_WIN
    QSKIP("no permission bits");
#else
    const mode_t old = ::umask(022);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("yuming.xls"));
    sheet::XlsWriter writer;
    writer.appendRow(0, {QStringLiteral("a.com"), QStringLiteral("secret")});
    QCOMPARE(writer.save(path).error(), QString());
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    ::umask(old);
    QCOMPARE(int(st.st_mode & 0777), 0600);
#endif
}

QTEST_GUILESS_MAIN(TestSheet)
#include "tst_sheet.moc"
