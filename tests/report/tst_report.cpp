#include "PdfText.h"
#include "report/ReportData.h"
#include "report/ReportFormat.h"
#include "report/ReportLayout.h"
#include "report/ReportOutput.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
const QString kShipped = QStringLiteral(LANSHU_TEST_DATA "/../../resources/shipped/yuming.rav");
// The shipped project as it was in the first version of the format.
const QString kVersion1 = QStringLiteral(LANSHU_TEST_DATA "/report_v1.rav");
const QDate kDate(2026, 3, 9);

// Rows held in memory, offered as the report connection RvData.
class TableData : public ReportDataSource
{
public:
    TableData(QStringList fields, QList<QStringList> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows))
    {
    }
    QString name() const override { return QStringLiteral("RvData"); }
    QStringList fieldNames() const override { return m_fields; }
    int rowCount() const override { return int(m_rows.size()); }
    QString value(int row, int field) const override { return m_rows.at(row).value(field); }

private:
    QStringList m_fields;
    QList<QStringList> m_rows;
};

// Domains "d00001.com" ... with a price, a description and dates; every tenth description long.
TableData domains(int count, const QString& longText = {})
{
    QList<QStringList> rows;
    for (int i = 1; i <= count; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        rows << QStringList{QString::number(i),
                            QStringLiteral("d%1.com").arg(n),
                            (!longText.isEmpty() && i % 10 == 0) ? longText : QStringLiteral("说明%1").arg(n),
                            QStringLiteral("万网"),
                            {},
                            QStringLiteral("2020-01-01"),
                            QStringLiteral("2030-01-01"),
                            {},
                            {},
                            QString::number(i * 100)};
    }
    return TableData({QStringLiteral("aid"), QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a3"),
                      QStringLiteral("a4"), QStringLiteral("a5"), QStringLiteral("a6"), QStringLiteral("a7"),
                      QStringLiteral("a8"), QStringLiteral("a9")},
                     rows);
}

// The shipped default report laid out over count generated domains.
struct Shipped
{
    explicit Shipped(int count) : data(domains(count))
    {
        if (!project.open(kShipped).isEmpty())
            return;
        layout = std::make_unique<ReportLayout>(*project.defaultReport(), data, kDate);
        prepared = layout->prepare().isEmpty();
    }
    bool ready() const { return prepared; }

    ReportProject project;
    TableData data;
    std::unique_ptr<ReportLayout> layout;
    bool prepared = false;
};

// A small project with the given columns and page, and further members of the report (extra,
// each followed by a comma); the rest as the shipped one has it.
QByteArray project(const QString& columns, const QString& page = QStringLiteral("{\"size\": \"A4\"}"),
                   const QString& head = QStringLiteral("\"format\": \"lanshu-report\", \"version\": 1"),
                   const QString& extra = {})
{
    return QStringLiteral(
               "{%1,\n \"reports\": [{\"name\": \"列表\", \"data\": \"RvData\", \"page\": %2,\n"
               "  \"title\": {\"text\": \"标题 {count}\"},\n"
               "  \"footer\": {\"left\": \"日期 {date}\", \"right\": \"第 {page} 页 / 共 {pages} 页\"},\n"
               "  %4\"columns\": [%3]}]}")
        .arg(head, page, columns, extra)
        .toUtf8();
}

QByteArray project2(const QString& columns, const QString& extra)
{
    return project(columns, QStringLiteral("{}"),
                   QStringLiteral("\"format\": \"lanshu-report\", \"version\": 2"), extra);
}

// A report member of the named report of a project file, as JSON.
QJsonObject reportInFile(const QString& path, const QString& name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QJsonValue r :
         QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("reports")).toArray())
        if (r.toObject().value(QLatin1String("name")).toString() == name)
            return r.toObject();
    return {};
}

const QString kTwoColumns =
    QStringLiteral("{\"field\": \"a1\", \"heading\": \"域名\", \"width\": 60},"
                   "{\"field\": \"a9\", \"heading\": \"报价\", \"width\": 20, \"align\": \"right\"}");

// pdftotext drops some blanks between Chinese text and digits; compare without any.
QString squeezed(QString text)
{
    return text.remove(QLatin1Char(' '));
}

QStringList lines(const QString& page)
{
    QStringList out;
    for (const QString& l : page.split(QLatin1Char('\n')))
        if (!l.trimmed().isEmpty())
            out << l.simplified();
    return out;
}

// The domains on a page of pdftotext output, top to bottom.
QStringList domainsOn(const QString& page)
{
    QStringList found;
    static const QRegularExpression name(QStringLiteral("\\bd\\d{5}\\.com\\b"));
    for (auto it = name.globalMatch(page); it.hasNext();)
        found << it.next().captured();
    return found;
}
} // namespace

class tst_Report : public QObject
{
    Q_OBJECT
private slots:
    void shippedProject();
    void missingProject();
    void damagedProject_data();
    void damagedProject();
    void hostileButReadableProject_data();
    void hostileButReadableProject();
    void projectThatIsNoFile_data();
    void projectThatIsNoFile();
    void unknownField();
    void pagesRepeatTheHeadingAndNumberTheFooter_data();
    void pagesRepeatTheHeadingAndNumberTheFooter();
    void longValuesWrapAndAreCutShort();
    void chineseFontIsEmbedded();
    void cancelledPdfLeavesNoFile();
    void unwritablePdf();
    void printerGetsThePagesOfItsRange();
    void progressWindowCancels();
    void previewNavigatesAndExports();
    void shippedProjectHasBothReports();
    void oldVersionProjectStillLoads();
    void numberFormatAndMapping_data();
    void numberFormatAndMapping();
    void rowsLeftOut_data();
    void rowsLeftOut();
    void headerFilledFromForm();
    void columnsFollowTheList();
    void buyerReportPdf();
    void previewChoosesReport();
    void formatExampleReads();

private:
    QTemporaryDir m_dir;
};

void tst_Report::shippedProject()
{
    ReportProject p;
    QCOMPARE(p.open(kShipped), QString());
    QVERIFY(p.isOpen());
    const ReportDefinition* r = p.defaultReport();
    QVERIFY(r);
    QCOMPARE(r->name, QStringLiteral("域名列表"));
    QCOMPARE(r->dataName, QStringLiteral("RvData"));
    QCOMPARE(r->pageSize, QPageSize::A4);
    QCOMPARE(r->orientation, QPageLayout::Landscape);
    QStringList headings, fields;
    for (const ReportColumn& c : r->columns) {
        headings << c.heading;
        fields << c.field;
    }
    QCOMPARE(headings,
             QStringList({QStringLiteral("域名"), QStringLiteral("报价"), QStringLiteral("说明"),
                          QStringLiteral("注册商"), QStringLiteral("注册日期"), QStringLiteral("到期日期")}));
    QCOMPARE(fields, QStringList({QStringLiteral("a1"), QStringLiteral("a9"), QStringLiteral("a2"),
                                  QStringLiteral("a3"), QStringLiteral("a5"), QStringLiteral("a6")}));
    QVERIFY(r->subtitle.contains(QLatin1String("{count}")));
    QVERIFY(r->footerRight.contains(QLatin1String("{page}")) &&
            r->footerRight.contains(QLatin1String("{pages}")));
}

void tst_Report::missingProject()
{
    const QString path = m_dir.filePath(QStringLiteral("nowhere/yuming.rav"));
    ReportProject p;
    const QString error = p.open(path);
    QVERIFY2(error.contains(QStringLiteral("不存在")), qPrintable(error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())), qPrintable(error));
    QVERIFY(!p.isOpen());
    QVERIFY(!p.defaultReport());
}

void tst_Report::damagedProject_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("不是岚枢报表项目文件");
    QTest::newRow("xml") << QByteArray("<?xml version=\"1.0\"?><report/>")
                         << QStringLiteral("不是岚枢报表项目文件");
    QTest::newRow("binary") << QByteArray("\x00\x01\x02PK", 5) << QStringLiteral("不是岚枢报表项目文件");
    QTest::newRow("too large") << QByteArray(ReportProject::kMaxFileSize + 1, ' ')
                               << QStringLiteral("文件过大");
    QTest::newRow("other json") << QByteArray("{\"reports\": []}") << QStringLiteral("不是岚枢报表项目文件");
    QTest::newRow("syntax error") << QByteArray(project(kTwoColumns).replace("\"page\":", "\"page\""))
                                  << QStringLiteral("第 2 行");
    QTest::newRow("no columns") << project({}) << QStringLiteral("没有列");
    QTest::newRow("zero width") << project(QStringLiteral("{\"field\": \"a1\", \"width\": 0}"))
                                << QStringLiteral("第 1 列的 “width” 必须大于 0");
    QTest::newRow("negative width") << project(kTwoColumns +
                                               QStringLiteral(",{\"field\": \"a2\", \"width\": -5}"))
                                    << QStringLiteral("第 3 列的 “width” 必须大于 0");
    QTest::newRow("width missing") << project(QStringLiteral("{\"field\": \"a1\"}"))
                                   << QStringLiteral("缺少 “width”");
    QTest::newRow("page smaller than margins")
        << project(kTwoColumns, QStringLiteral("{\"margins\": {\"left\": 110, \"right\": 100}}"))
        << QStringLiteral("小于其边距");
    QTest::newRow("negative margin") << project(kTwoColumns, QStringLiteral("{\"margins\": {\"top\": -1}}"))
                                     << QStringLiteral("不能小于 0");
    QTest::newRow("unknown paper") << project(kTwoColumns, QStringLiteral("{\"size\": \"B5\"}"))
                                   << QStringLiteral("纸张 “B5” 不受支持");
    QTest::newRow("unknown overflow")
        << project(QStringLiteral("{\"field\": \"a1\", \"width\": 10, \"overflow\": \"clip\"}"))
        << QStringLiteral("“overflow” “clip” 不受支持");
    QTest::newRow("unknown row test")
        << project2(kTwoColumns, QStringLiteral("\"omit\": [{\"field\": \"a6\", \"test\": \"older\"}],"))
        << QStringLiteral("第 1 条略去条件的 “test” “older” 不受支持");
    QTest::newRow("row test without field or known test")
        << project2(kTwoColumns, QStringLiteral("\"omit\": [{\"test\": \"older\"}],"))
        << QStringLiteral("缺少 “field”");
    QTest::newRow("row test without value")
        << project2(kTwoColumns, QStringLiteral("\"omit\": [{\"field\": \"a6\", \"test\": \"before\"}],"))
        << QStringLiteral("缺少 “value”");
    QTest::newRow("row test date unreadable")
        << project2(
               kTwoColumns,
               QStringLiteral("\"omit\": [{\"field\": \"a6\", \"test\": \"after\", \"value\": \"明天\"}],"))
        << QStringLiteral("“明天” 不是日期");
    QTest::newRow("row test number unreadable")
        << project2(
               kTwoColumns,
               QStringLiteral("\"omit\": [{\"field\": \"a9\", \"test\": \"lessThan\", \"value\": \"十\"}],"))
        << QStringLiteral("“十” 不是数字");
    QTest::newRow("decimals not whole")
        << project2(QStringLiteral("{\"field\": \"a9\", \"width\": 10, \"number\": {\"decimals\": 1.5}}"), {})
        << QStringLiteral("“decimals” 应为 0 到 10 的整数");
    QTest::newRow("grouping not a flag")
        << project2(QStringLiteral("{\"field\": \"a9\", \"width\": 10, \"number\": {\"grouping\": \"yes\"}}"),
                    {})
        << QStringLiteral("“grouping” 应为 true 或 false");
    QTest::newRow("mapping to a number")
        << project2(QStringLiteral("{\"field\": \"a9\", \"width\": 10, \"map\": {\"0\": 0}}"), {})
        << QStringLiteral("“map” 中 “0” 的值应为文本");
    QTest::newRow("header line neither text nor object")
        << project2(kTwoColumns, QStringLiteral("\"header\": {\"left\": [\"{seller}\", 3]},"))
        << QStringLiteral("页眉左侧的第 2 行应为文本或对象");
    QTest::newRow("title alignment")
        << project2(kTwoColumns, QStringLiteral("\"title\": {\"text\": \"x\", \"align\": \"right\"},"))
        << QStringLiteral("标题对齐 “right” 不受支持");
    QTest::newRow("newer version") << project(kTwoColumns, QStringLiteral("{}"),
                                              QStringLiteral("\"format\": \"lanshu-report\", \"version\": 4"))
                                   << QStringLiteral("版本 4 比本程序支持的版本 3 新");
    // Hostile numbers and shapes: each is told, none ends the program.
    QTest::newRow("lines beyond any int (found by fuzzing)")
        << project2(QStringLiteral(
                        "{\"field\": \"a1\", \"width\": 10, \"overflow\": \"wrap\", \"maxLines\": 2.2e70}"),
                    {})
        << QStringLiteral("“maxLines” 不能大于 1000");
    QTest::newRow("decimals beyond any int")
        << project2(QStringLiteral("{\"field\": \"a9\", \"width\": 10, \"number\": {\"decimals\": 1e300}}"),
                    {})
        << QStringLiteral("“decimals” 应为 0 到 10 的整数");
    QTest::newRow("version beyond any int")
        << project(kTwoColumns, QStringLiteral("{}"),
                   QStringLiteral("\"format\": \"lanshu-report\", \"version\": 1e300"))
        << QStringLiteral("缺少有效的版本号");
    QTest::newRow("number beyond any double")
        << project(QStringLiteral("{\"field\": \"a1\", \"width\": 1e999}")) << QStringLiteral("第 ");
    QTest::newRow("deep nesting") << project(QStringLiteral("{\"field\": \"a1\", \"width\": 10, \"x\": %1%2}")
                                                 .arg(QString(100000, QLatin1Char('[')),
                                                      QString(100000, QLatin1Char(']'))))
                                  << QStringLiteral("第 ");
    QTest::newRow("default report missing")
        << project(kTwoColumns, QStringLiteral("{}"),
                   QStringLiteral("\"format\": \"lanshu-report\", \"version\": 1, \"default\": \"别的\""))
        << QStringLiteral("默认报表 “别的” 不存在");
}

void tst_Report::damagedProject()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QStringLiteral("damaged.rav"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();

    ReportProject p;
    const QString error = p.open(path);
    QVERIFY2(error.startsWith(QStringLiteral("报表项目文件 “%1” 有误：").arg(QDir::toNativeSeparators(path))),
             qPrintable(error));
    QVERIFY2(error.contains(expected), qPrintable(error));
    QVERIFY(!p.isOpen());
    QVERIFY(!p.defaultReport());
}

void tst_Report::hostileButReadableProject_data()
{
    QTest::addColumn<QByteArray>("text");
    QString many;
    for (int i = 0; i < 3000; ++i)
        many += QStringLiteral("%1{\"field\": \"a%2\", \"width\": 1}")
                    .arg(i ? QStringLiteral(",") : QString())
                    .arg(i % 9 + 1);
    QTest::newRow("three thousand columns") << project(many);
    QTest::newRow("widths near the largest number") << project(
        QStringLiteral("{\"field\": \"a1\", \"width\": 1.7e308}, {\"field\": \"a2\", \"width\": 1.7e308}"));
    QTest::newRow("smallest width beside the largest") << project(
        QStringLiteral("{\"field\": \"a1\", \"width\": 5e-324}, {\"field\": \"a2\", \"width\": 1.7e308}"));
    QTest::newRow("unknown members everywhere")
        << project(QStringLiteral("{\"field\": \"a1\", \"width\": 10, \"colour\": [1, {\"x\": null}]}"),
                   QStringLiteral("{\"size\": \"A4\", \"scale\": 1e300}"));
}

// A project the reader takes, however odd: it prints pages or says why not, and never ends the program.
void tst_Report::hostileButReadableProject()
{
    QFETCH(QByteArray, text);
    ReportProject p;
    QCOMPARE(p.parse(text, QStringLiteral("x.rav")), QString());
    const TableData data = domains(30);
    ReportLayout layout(*p.defaultReport(), data, kDate);
    const QString error = layout.prepare();
    if (error.isEmpty()) {
        QVERIFY(layout.pageCount() >= 1);
        QImage page(layout.paperSize().toSize().boundedTo(QSize(2000, 3000)), QImage::Format_RGB32);
        QPainter painter(&page);
        layout.paintPage(painter, 0);
    }
}

void tst_Report::projectThatIsNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("link to /dev/zero") << "zero" << QStringLiteral("不是普通文件");
    QTest::newRow("pipe") << "fifo" << QStringLiteral("不是普通文件");
    QTest::newRow("link to a pipe") << "fifo link" << QStringLiteral("不是普通文件");
    QTest::newRow("folder") << "folder" << QStringLiteral("是一个文件夹");
    QTest::newRow("a gigabyte, sparse") << "sparse" << QStringLiteral("文件过大");
}

// What yuming.rav may turn out to be: none of it may keep the window waiting, or fill the memory.
void tst_Report::projectThatIsNoFile()
{
#ifndef Q_OS_UNIX
    QSKIP("devices and named pipes as the system of the test machine offers them");
#else
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("yuming.rav"));
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    if (kind == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("fifo link"))
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 && QFile::link(fifo, path));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("yuming.rav")));
    else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(1) << 30));
    }

    // Opened on a thread of its own, so that a reader that waits or reads without end fails the test
    // instead of stalling the run.
    struct Outcome
    {
        std::atomic<bool> done{false};
        QString error;
        bool opened = false;
    };
    const auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, path] {
        ReportProject p;
        outcome->error = p.open(path);
        outcome->opened = p.isOpen();
        outcome->done = true;
    }).detach();
    if (!QTest::qWaitFor([&] { return outcome->done.load(); }, 10000))
        qFatal("opening the report project did not return: it waits on the file or reads it without end");
    QVERIFY(!outcome->opened);
    const QString error = outcome->error;
    QVERIFY2(error.startsWith(QStringLiteral("报表项目文件 “%1” 有误：").arg(QDir::toNativeSeparators(path))),
             qPrintable(error));
    QVERIFY2(error.contains(expected), qPrintable(error));
#endif
}

void tst_Report::unknownField()
{
    ReportProject p;
    QCOMPARE(p.parse(project(kTwoColumns + QStringLiteral(",{\"field\": \"a10\", \"width\": 10}")),
                     QStringLiteral("x.rav")),
             QString());
    const TableData data = domains(3);
    ReportLayout layout(*p.defaultReport(), data, kDate);
    const QString error = layout.prepare();
    QVERIFY2(error.contains(QStringLiteral("“a10”")) && error.contains(QStringLiteral("RvData")),
             qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("第 3 列")));
}

void tst_Report::pagesRepeatTheHeadingAndNumberTheFooter_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("landscape");
    QTest::newRow("one row") << 1 << false;
    QTest::newRow("several portrait pages") << 130 << false;
    QTest::newRow("several landscape pages") << 130 << true;
}

void tst_Report::pagesRepeatTheHeadingAndNumberTheFooter()
{
    QFETCH(int, rows);
    QFETCH(bool, landscape);
    ReportProject p;
    QCOMPARE(p.parse(project(kTwoColumns, landscape ? QStringLiteral("{\"orientation\": \"landscape\"}")
                                                    : QStringLiteral("{}")),
                     QStringLiteral("x.rav")),
             QString());
    const TableData data = domains(rows);
    ReportLayout layout(*p.defaultReport(), data, kDate);
    QCOMPARE(layout.prepare(), QString());
    const QString pdf = m_dir.filePath(QStringLiteral("pages.pdf"));
    QCOMPARE(writeReportPdf(layout, pdf).error(), QString());

    const QStringList pages = pdftext::pages(pdf);
    QCOMPARE(pages.size(), layout.pageCount());
    QVERIFY(rows == 1 || layout.pageCount() > 1);
    QStringList all;
    for (int i = 0; i < pages.size(); ++i) {
        const QStringList text = lines(pages.at(i));
        QVERIFY2(!text.isEmpty(), qPrintable(pages.at(i)));
        // The title on the first page only; the heading band on every page, above the rows.
        const int heading = text.indexOf(QStringLiteral("域名 报价"));
        QVERIFY2(heading >= 0, qPrintable(pages.at(i)));
        QCOMPARE(text.first() == QStringLiteral("标题 %1").arg(rows), i == 0);
        // The footer last, with the page's number and the count of pages.
        QCOMPARE(squeezed(text.last()),
                 QStringLiteral("日期2026-03-09第%1页/共%2页").arg(i + 1).arg(pages.size()));
        const QStringList onPage = domainsOn(pages.at(i));
        QCOMPARE(onPage.size(), layout.endRow(i) - layout.firstRow(i));
        all << onPage;
    }
    // Every row once, in order.
    QCOMPARE(all.size(), rows);
    for (int i = 0; i < rows; ++i)
        QCOMPARE(all.at(i), data.value(i, 1));
}

void tst_Report::longValuesWrapAndAreCutShort()
{
    const QString longText =
        QStringLiteral("这是一段很长的域名说明，").repeated(20) + QStringLiteral("结尾不会印出");
    const QString columns = QStringLiteral(
        "{\"field\": \"a1\", \"heading\": \"域名\", \"width\": 40},"
        "{\"field\": \"a2\", \"heading\": \"说明\", \"width\": 60, \"overflow\": \"wrap\", \"maxLines\": 3},"
        "{\"field\": \"a3\", \"heading\": \"注册商\", \"width\": 20}");
    ReportProject p;
    QCOMPARE(p.parse(project(columns), QStringLiteral("x.rav")), QString());
    const TableData plain = domains(200);
    const TableData wrapped = domains(200, longText);
    ReportLayout plainLayout(*p.defaultReport(), plain, kDate);
    ReportLayout wrappedLayout(*p.defaultReport(), wrapped, kDate);
    QCOMPARE(plainLayout.prepare(), QString());
    QCOMPARE(wrappedLayout.prepare(), QString());
    // Every tenth row takes three lines, so the pages hold fewer rows.
    QVERIFY(wrappedLayout.endRow(0) < plainLayout.endRow(0));

    const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
    QCOMPARE(writeReportPdf(wrappedLayout, pdf).error(), QString());
    const QString first = pdftext::pages(pdf).value(0);
    QVERIFY(first.contains(QStringLiteral("这是一段很长的域名说明")));
    QVERIFY2(first.contains(QStringLiteral("…")), qPrintable(first));
    QVERIFY(!first.contains(QStringLiteral("结尾不会印出")));
    // Rows below the long one are still all there, in order.
    QCOMPARE(domainsOn(first).mid(0, 12),
             QStringList(
                 {QStringLiteral("d00001.com"), QStringLiteral("d00002.com"), QStringLiteral("d00003.com"),
                  QStringLiteral("d00004.com"), QStringLiteral("d00005.com"), QStringLiteral("d00006.com"),
                  QStringLiteral("d00007.com"), QStringLiteral("d00008.com"), QStringLiteral("d00009.com"),
                  QStringLiteral("d00010.com"), QStringLiteral("d00011.com"), QStringLiteral("d00012.com")}));
}

void tst_Report::chineseFontIsEmbedded()
{
    const Shipped shipped(5);
    QVERIFY(shipped.ready());
    const ReportLayout& layout = *shipped.layout;
    const QString pdf = m_dir.filePath(QStringLiteral("fonts.pdf"));
    QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
    const QStringList fonts = pdftext::fonts(pdf);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts) {
        // name type encoding emb sub uni object ID: every font embedded.
        const QStringList cells = font.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY2(cells.size() >= 7 && cells.at(cells.size() - 5) == QLatin1String("yes"), qPrintable(font));
    }
    QVERIFY2(fonts.join(QLatin1Char('\n')).contains(QLatin1String("WenQuanYi")),
             qPrintable(fonts.join(QLatin1Char('\n'))));
    QVERIFY(pdftext::pages(pdf).value(0).contains(QStringLiteral("说明00001")));
}

void tst_Report::cancelledPdfLeavesNoFile()
{
    const Shipped shipped(400);
    QVERIFY(shipped.ready());
    const ReportLayout& layout = *shipped.layout;
    QVERIFY(layout.pageCount() > 3);

    const QString fresh = m_dir.filePath(QStringLiteral("cancelled.pdf"));
    const QString older = m_dir.filePath(QStringLiteral("older.pdf"));
    QFile file(older);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("older");
    file.close();
    for (const QString& path : {fresh, older}) {
        int calls = 0;
        const Result written = writeReportPdf(layout, path, [&calls](int, int) { return ++calls < 3; });
        QCOMPARE(written.error(), QString());
        QVERIFY(written.wasCancelled());
    }
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("older"));
    // Nothing else is left in the folder either (no temporary file).
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*cancelled*")}, QDir::Files), QStringList());
}

void tst_Report::unwritablePdf()
{
    const Shipped shipped(3);
    QVERIFY(shipped.ready());
    const ReportLayout& layout = *shipped.layout;
    const QString path = m_dir.filePath(QStringLiteral("no such folder/out.pdf"));
    const Result written = writeReportPdf(layout, path, {});
    const QString error = written.error();
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) &&
                 error.startsWith(QStringLiteral("无法写入文件")),
             qPrintable(error));
    QVERIFY(!written.ok());
    QVERIFY(!written.wasCancelled());
    QVERIFY(!QFile::exists(path));
}

void tst_Report::printerGetsThePagesOfItsRange()
{
    const Shipped shipped(200);
    QVERIFY(shipped.ready());
    const ReportLayout& layout = *shipped.layout;
    QVERIFY(layout.pageCount() >= 4);
    QPrinter printer(QPrinter::HighResolution);
    const QString out = m_dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out);
    printer.setPageLayout(layout.pageLayout());
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    QCOMPARE(printReport(layout, printer).error(), QString());
    const QStringList pages = pdftext::pages(out);
    QCOMPARE(pages.size(), 2);
    QVERIFY(squeezed(pages.at(0)).contains(QStringLiteral("第2页/共%1页").arg(layout.pageCount())));
    QCOMPARE(domainsOn(pages.at(0)).value(0), shipped.data.value(layout.firstRow(1), 1));
    QCOMPARE(domainsOn(pages.at(1)).value(0), shipped.data.value(layout.firstRow(2), 1));
}

void tst_Report::progressWindowCancels()
{
    const Shipped shipped(300);
    QVERIFY(shipped.ready());
    const ReportLayout& layout = *shipped.layout;
    const QString path = m_dir.filePath(QStringLiteral("progress.pdf"));

    QWidget owner;
    ReportProgressWindow window(&owner, QStringLiteral("正在导出PDF…"));
    const ReportProgress progress = window.callback();
    auto* dialog = owner.findChild<QProgressDialog*>();
    QVERIFY(dialog);
    QCOMPARE(dialog->labelText(), QStringLiteral("正在导出PDF…"));
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("取消"));
    // "取消" pressed while the third page is written.
    int pages = 0;
    const Result written = writeReportPdf(layout, path, [&](int done, int total) {
        if (++pages == 3)
            cancel->click();
        return progress(done, total);
    });
    QCOMPARE(written.error(), QString());
    QVERIFY(written.wasCancelled());
    QCOMPARE(pages, 3);
    QCOMPARE(dialog->maximum(), layout.pageCount());
    QVERIFY(!QFile::exists(path));
}

void tst_Report::previewNavigatesAndExports()
{
    ReportProject p;
    QCOMPARE(p.open(kShipped), QString());
    const TableData data = domains(3000);
    const QString pdf = m_dir.filePath(QStringLiteral("from preview.pdf"));
    QStringList asked;
    ReportHost host;
    host.proposedPdfPath = m_dir.filePath(QStringLiteral("yuming.pdf"));
    host.saveFileName = [&](QWidget*, const QString& title, const QString& proposed, const QString&) {
        asked << title << proposed;
        return pdf.chopped(4); // without the extension: it is added
    };
    host.showError = [](QWidget*, const QString& text) { QFAIL(qPrintable(text)); };
    const QString printed = m_dir.filePath(QStringLiteral("printed from preview.pdf"));
    host.choosePrinter = [&](QWidget*, QPrinter& printer) {
        // The print dialog's part: the report's own page, every page, to a file.
        if (printer.pageLayout().orientation() != QPageLayout::Landscape || printer.fromPage() != 1)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    };

    bool ran = false;
    ReportPreview::setShownHook([&](ReportPreview* preview) {
        ran = true;
        auto closeAtEnd = qScopeGuard(
            [preview] { preview->findChild<QPushButton*>(QStringLiteral("closeButton"))->click(); });
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        QCOMPARE(preview->windowTitle(), QStringLiteral("打印预览"));
        QVERIFY(preview->isModal() || preview->windowModality() != Qt::NonModal);
        for (const char* name : {"printButton", "exportPdfButton", "closeButton"})
            QVERIFY(preview->findChild<QPushButton*>(QLatin1String(name)));
        QCOMPARE(preview->findChild<QPushButton*>(QStringLiteral("printButton"))->text(),
                 QStringLiteral("打印…"));
        QCOMPARE(preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->text(),
                 QStringLiteral("导出PDF…"));
        QCOMPARE(preview->findChild<QPushButton*>(QStringLiteral("closeButton"))->text(),
                 QStringLiteral("关闭"));

        ReportPageView* view = preview->view();
        const int pages = preview->findChild<QLabel*>(QStringLiteral("pageCountLabel"))
                              ->text()
                              .split(QLatin1Char(' '))
                              .value(1)
                              .toInt();
        QVERIFY(pages > 50);
        QCOMPARE(view->currentPage(), 0);
        QVERIFY(!preview->findChild<QPushButton*>(QStringLiteral("priorPageButton"))->isEnabled());
        preview->findChild<QPushButton*>(QStringLiteral("nextPageButton"))->click();
        QCOMPARE(view->currentPage(), 1);
        preview->findChild<QPushButton*>(QStringLiteral("lastPageButton"))->click();
        QCOMPARE(view->currentPage(), pages - 1);
        QVERIFY(!preview->findChild<QPushButton*>(QStringLiteral("nextPageButton"))->isEnabled());
        QCOMPARE(preview->findChild<QSpinBox*>(QStringLiteral("pageBox"))->value(), pages);
        preview->findChild<QSpinBox*>(QStringLiteral("pageBox"))->setValue(7);
        QCOMPARE(view->currentPage(), 6);
        // Only the pages in sight are painted.
        view->viewport()->repaint();
        QVERIFY2(view->paintedPages() >= 1 && view->paintedPages() <= 3,
                 qPrintable(QString::number(view->paintedPages())));
        // Zoom from the box.
        auto* zoom = preview->findChild<QComboBox*>(QStringLiteral("zoomBox"));
        const int half = zoom->findText(QStringLiteral("50%"));
        QVERIFY(half >= 0);
        zoom->setCurrentIndex(half);
        emit zoom->activated(half);
        QCOMPARE(view->zoom(), 0.5);
        QCOMPARE(view->currentPage(), 6);

        preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->click();
        QCOMPARE(asked, QStringList({QStringLiteral("导出PDF"), host.proposedPdfPath}));
        QCOMPARE(pdftext::pages(pdf).size(), pages);

        preview->findChild<QPushButton*>(QStringLiteral("printButton"))->click();
        const QStringList printedPages = pdftext::pages(printed);
        QCOMPARE(printedPages.size(), pages);
        QCOMPARE(domainsOn(printedPages.last()).value(0), domainsOn(pdftext::pages(pdf).last()).value(0));
    });
    const QString error = ReportPreview::run(nullptr, *p.defaultReport(), data, kDate, host);
    ReportPreview::setShownHook({});
    QCOMPARE(error, QString());
    QVERIFY(ran);
    QVERIFY(QFile::exists(pdf));
}

void tst_Report::shippedProjectHasBothReports()
{
    ReportProject p;
    QCOMPARE(p.open(kShipped), QString());
    QStringList names;
    for (const ReportDefinition& r : p.reports())
        names << r.name;
    QCOMPARE(names, QStringList({QStringLiteral("域名列表"), QStringLiteral("报价单")}));
    QCOMPARE(p.defaultReport()->name, QStringLiteral("域名列表"));
    // The default report is the one of the first version, member for member, but that its columns follow
    // the list's.
    const QJsonObject before = reportInFile(kVersion1, QStringLiteral("域名列表"));
    QVERIFY(!before.isEmpty());
    QJsonObject shipped = reportInFile(kShipped, QStringLiteral("域名列表"));
    QCOMPARE(shipped.take(QStringLiteral("columnsFollow")).toString(), QStringLiteral("list"));
    QCOMPARE(shipped, before);

    const ReportDefinition* buyer = p.report(QStringLiteral("报价单"));
    QVERIFY(buyer);
    QStringList headings, fields;
    for (const ReportColumn& c : buyer->columns) {
        headings << c.heading;
        fields << c.field;
    }
    QCOMPARE(headings, QStringList({QStringLiteral("域名"), QStringLiteral("说明"), QStringLiteral("报价")}));
    QCOMPARE(fields, QStringList({QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a9")}));
    QCOMPARE(buyer->columns.last().align, Qt::AlignRight);
    QCOMPARE(buyer->omit.size(), 1);
    QCOMPARE(buyer->omit.first().field, QStringLiteral("a6"));
    QCOMPARE(buyer->omit.first().test, ReportCondition::Before);
    // One date on the page: in the footer, beside the page numbers.
    const QString texts = buyer->title + buyer->subtitle + buyer->footerLeft + buyer->footerRight;
    QCOMPARE(texts.count(QLatin1String("{date}")), 1);
    QVERIFY(buyer->footerRight.contains(QLatin1String("{page}")));
}

void tst_Report::oldVersionProjectStillLoads()
{
    QFile file(kVersion1);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("version")).toInt(), 1);
    ReportProject p;
    QCOMPARE(p.open(kVersion1), QString());
    QCOMPARE(p.reports().size(), 1);
    QCOMPARE(p.defaultReport()->name, QStringLiteral("域名列表"));
    QVERIFY(p.defaultReport()->omit.isEmpty());
    const TableData data = domains(40);
    ReportLayout layout(*p.defaultReport(), data, kDate);
    QCOMPARE(layout.prepare(), QString());
    QCOMPARE(layout.rowCount(), 40);
    const QString pdf = m_dir.filePath(QStringLiteral("v1.pdf"));
    QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
    // The price as it is stored: the old report asks for no number format.
    const QStringList text = lines(pdftext::pages(pdf).value(0));
    const auto row = std::find_if(text.begin(), text.end(), [](const QString& l) {
        return l.startsWith(QLatin1String("d00010.com "));
    });
    QVERIFY2(row != text.end(), qPrintable(text.join(QLatin1Char('\n'))));
    QVERIFY2(row->startsWith(QStringLiteral("d00010.com 1000 说明00010")), qPrintable(*row));
}

void tst_Report::numberFormatAndMapping_data()
{
    QTest::addColumn<QString>("column"); // members of the column besides field and width
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString price = QStringLiteral("\"number\": {\"grouping\": true, \"suffix\": \" 元\", "
                                         "\"otherwise\": \"议价\"}, \"map\": {\"0\": \"议价\"}");
    QTest::newRow("grouped with unit") << price << QStringLiteral("12000") << QStringLiteral("12,000 元");
    QTest::newRow("millions, decimals kept")
        << price << QStringLiteral("1234567.5") << QStringLiteral("1,234,567.5 元");
    QTest::newRow("small number") << price << QStringLiteral("800") << QStringLiteral("800 元");
    QTest::newRow("already grouped") << price << QStringLiteral("12,000") << QStringLiteral("12,000 元");
    QTest::newRow("written with its unit")
        << price << QStringLiteral("12000元") << QStringLiteral("12,000 元");
    QTest::newRow("blanks and full-width digits")
        << price << QStringLiteral(" ８８００ ") << QStringLiteral("8,800 元");
    QTest::newRow("leading zeros") << price << QStringLiteral("007") << QStringLiteral("7 元");
    QTest::newRow("zero mapped") << price << QStringLiteral("0") << QStringLiteral("议价");
    QTest::newRow("zero written otherwise mapped")
        << price << QStringLiteral("0.00") << QStringLiteral("议价");
    QTest::newRow("empty is no number") << price << QString() << QStringLiteral("议价");
    QTest::newRow("words are no number") << price << QStringLiteral("面议") << QStringLiteral("议价");
    QTest::newRow("ten thousands in words") << price << QStringLiteral("1.2万") << QStringLiteral("议价");
    QTest::newRow("misplaced comma") << price << QStringLiteral("12,00") << QStringLiteral("议价");
    QTest::newRow("two points") << price << QStringLiteral("1.2.3") << QStringLiteral("议价");
    QTest::newRow("negative") << price << QStringLiteral("-1500") << QStringLiteral("-1,500 元");
    const QString fixed =
        QStringLiteral("\"number\": {\"grouping\": true, \"decimals\": 2, \"prefix\": \"¥\"}");
    QTest::newRow("fixed decimals padded")
        << fixed << QStringLiteral("12000") << QStringLiteral("¥12,000.00");
    QTest::newRow("fixed decimals rounded") << fixed << QStringLiteral("0.125") << QStringLiteral("¥0.13");
    QTest::newRow("rounding carries")
        << fixed << QStringLiteral("999999.995") << QStringLiteral("¥1,000,000.00");
    QTest::newRow("negative rounded to zero") << fixed << QStringLiteral("-0.001") << QStringLiteral("¥0.00");
    QTest::newRow("prefix already written") << fixed << QStringLiteral("¥ 50") << QStringLiteral("¥50.00");
    QTest::newRow("no number, nothing said: as it is")
        << fixed << QStringLiteral("待定") << QStringLiteral("待定");
    QTest::newRow("no grouping") << QStringLiteral("\"number\": {\"suffix\": \"元\"}")
                                 << QStringLiteral("12000") << QStringLiteral("12000元");
    const QString words = QStringLiteral("\"map\": {\"com\": \"国际域名\", \"cn\": \"国内域名\"}");
    QTest::newRow("text mapped") << words << QStringLiteral(" cn ") << QStringLiteral("国内域名");
    QTest::newRow("text not in the map") << words << QStringLiteral("net") << QStringLiteral("net");
}

void tst_Report::numberFormatAndMapping()
{
    QFETCH(QString, column);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    ReportProject p;
    QCOMPARE(p.parse(project2(QStringLiteral("{\"field\": \"a9\", \"width\": 30, %1}").arg(column), {}),
                     QStringLiteral("x.rav")),
             QString());
    QCOMPARE(reportformat::cellText(value, p.defaultReport()->columns.first()), expected);
}

void tst_Report::rowsLeftOut_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QStringList>("values"); // of the field the rules look at, one row each
    QTest::addColumn<bool>("ownDates");      // dates read as the program around the engine reads them
    QTest::addColumn<QStringList>("kept");
    const QString expired =
        QStringLiteral("{\"field\": \"a6\", \"test\": \"before\", \"value\": \"{date}\"}");
    const QStringList dates = {QStringLiteral("2026-03-08"),
                               QStringLiteral("2026-03-09"),
                               QStringLiteral("2027-01-01"),
                               QStringLiteral("2026/3/1"),
                               QString(),
                               QStringLiteral("不详")};
    // Printed on 2026-03-09: the day before has passed, today has not; unreadable dates stay.
    QTest::newRow("expired, dates yyyy-MM-dd")
        << expired << dates << false << QStringList({dates[1], dates[2], dates[3], dates[4], dates[5]});
    QTest::newRow("expired, dates as the program reads them")
        << expired << dates << true << QStringList({dates[1], dates[2], dates[4], dates[5]});
    QTest::newRow("after a given day")
        << QStringLiteral("{\"field\": \"a6\", \"test\": \"after\", \"value\": \"2026-12-31\"}") << dates
        << false << QStringList({dates[0], dates[1], dates[3], dates[4], dates[5]});
    const QStringList prices = {QStringLiteral("50"), QStringLiteral("100"), QStringLiteral("1,500"),
                                QStringLiteral("议价"), QString()};
    QTest::newRow("number below") << QStringLiteral(
                                         "{\"field\": \"a6\", \"test\": \"lessThan\", \"value\": \"100\"}")
                                  << prices << false << prices.mid(1);
    QTest::newRow("number above") << QStringLiteral(
                                         "{\"field\": \"a6\", \"test\": \"greaterThan\", \"value\": \"100\"}")
                                  << prices << false
                                  << QStringList({prices[0], prices[1], prices[3], prices[4]});
    QTest::newRow("empty") << QStringLiteral("{\"field\": \"a6\", \"test\": \"empty\"}")
                           << QStringList(
                                  {QStringLiteral("a"), QStringLiteral("  "), QString(), QStringLiteral("b")})
                           << false << QStringList({QStringLiteral("a"), QStringLiteral("b")});
    const QStringList words = {QStringLiteral("自用"), QStringLiteral("出售"), QStringLiteral("Sold"),
                               QStringLiteral("unsold")};
    QTest::newRow("equals") << QStringLiteral(
                                   "{\"field\": \"a6\", \"test\": \"equals\", \"value\": \"自用\"}")
                            << words << false << words.mid(1);
    QTest::newRow("contains, any case")
        << QStringLiteral("{\"field\": \"a6\", \"test\": \"contains\", \"value\": \"sold\"}") << words
        << false << words.mid(0, 2);
    QTest::newRow("either of two rules")
        << expired + QStringLiteral(",{\"field\": \"a6\", \"test\": \"empty\"}") << dates << false
        << QStringList({dates[1], dates[2], dates[3], dates[5]});
}

void tst_Report::rowsLeftOut()
{
    QFETCH(QString, rules);
    QFETCH(QStringList, values);
    QFETCH(bool, ownDates);
    QFETCH(QStringList, kept);
    ReportProject p;
    QCOMPARE(p.parse(project2(QStringLiteral(
                                  "{\"field\": \"a1\", \"width\": 30},{\"field\": \"a6\", \"width\": 30}"),
                              QStringLiteral("\"omit\": [%1],").arg(rules)),
                     QStringLiteral("x.rav")),
             QString());
    QList<QStringList> rows;
    for (int i = 0; i < values.size(); ++i)
        rows << QStringList{QStringLiteral("r%1.com").arg(i), values.at(i)};
    const TableData data({QStringLiteral("a1"), QStringLiteral("a6")}, rows);
    ReportContext context{kDate, {}, {}, {}};
    if (ownDates) // as a program might read them: also with "/" between the parts
        context.readDay = [](const QString& text) {
            const QStringList parts = text.split(QRegularExpression(QStringLiteral("[-/]")));
            const QDate d =
                parts.size() == 3 ? QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()) : QDate();
            return d.isValid() ? d.toJulianDay() : qint64(-1);
        };
    ReportLayout layout(*p.defaultReport(), data, context);
    QCOMPARE(layout.prepare(), QString());
    QCOMPARE(layout.rowCount(), kept.size());
    QCOMPARE(layout.omittedRows(), values.size() - kept.size());

    // What is printed: the rows kept, in their order, and the count of those.
    const QString pdf = m_dir.filePath(QStringLiteral("omit.pdf"));
    QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
    const QString page = pdftext::pages(pdf).value(0);
    QStringList printed;
    for (const QString& line : lines(page))
        if (line.startsWith(QLatin1Char('r')))
            printed << values.at(line.section(QLatin1Char('.'), 0, 0).mid(1).toInt());
    QCOMPARE(printed, kept);
    QVERIFY2(lines(page).first() == QStringLiteral("标题 %1").arg(kept.size()), qPrintable(page));
}

void tst_Report::headerFilledFromForm()
{
    const QString header = QStringLiteral(
        "\"header\": {\"left\": [{\"text\": \"{seller}\", \"size\": 16, \"bold\": true}, \"{note}\"],"
        " \"right\": [\"电话：{phone}\", \"邮箱：{email}\", \"网址：{site}\"]},");
    ReportProject p;
    QCOMPARE(p.parse(project2(kTwoColumns, header), QStringLiteral("x.rav")), QString());
    const TableData data = domains(3);
    struct Case
    {
        QHash<QString, QString> values;
        QStringList shown;
        QStringList absent;
    };
    const QList<Case> cases = {
        {{{QStringLiteral("seller"), QStringLiteral("青云域名")},
          {QStringLiteral("phone"), QStringLiteral("0571-8888 6666")},
          {QStringLiteral("email"), QStringLiteral("sale@qingyun.cn")},
          {QStringLiteral("note"), QStringLiteral("诚意出售，支持担保交易")}},
         {QStringLiteral("青云域名"), QStringLiteral("电话：0571-8888 6666"),
          QStringLiteral("邮箱：sale@qingyun.cn"), QStringLiteral("诚意出售，支持担保交易"),
          // A name the program does not fill is printed as written, for the maker of the report to see.
          QStringLiteral("网址：{site}")},
         {}},
        // Lines whose fields are all empty are left out, with their labels.
        {{{QStringLiteral("seller"), QStringLiteral("青云域名")},
          {QStringLiteral("phone"), QString()},
          {QStringLiteral("email"), QStringLiteral("  ")},
          {QStringLiteral("note"), QString()}},
         {QStringLiteral("青云域名")},
         {QStringLiteral("电话"), QStringLiteral("邮箱")}},
    };
    for (const Case& c : cases) {
        ReportLayout layout(*p.defaultReport(), data, ReportContext{kDate, c.values, {}, {}});
        QCOMPARE(layout.prepare(), QString());
        QVERIFY(layout.usesFormFields());
        const QString pdf = m_dir.filePath(QStringLiteral("header.pdf"));
        QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
        const QString page = pdftext::pages(pdf).value(0);
        for (const QString& text : c.shown)
            QVERIFY2(page.contains(text), qPrintable(text + QLatin1Char('\n') + page));
        for (const QString& text : c.absent)
            QVERIFY2(!page.contains(text), qPrintable(text + QLatin1Char('\n') + page));
        // The header comes first, above the title; the rows follow.
        QVERIFY(page.indexOf(QStringLiteral("青云域名")) < page.indexOf(QStringLiteral("标题 3")));
        QVERIFY(page.contains(QStringLiteral("d00003.com")));
    }
    // Without a form, the same report has no form fields to fill.
    ReportLayout plain(*p.defaultReport(), data, kDate);
    QVERIFY(!plain.usesFormFields());
}

void tst_Report::columnsFollowTheList()
{
    const QString columns = QStringLiteral("{\"field\": \"a1\", \"heading\": \"域名\", \"width\": 30},"
                                           "{\"field\": \"a2\", \"heading\": \"说明\", \"width\": 30}");
    // The list hides 说明 and shows 备注: the hook's answer is what is printed.
    const auto listColumns = [](const QList<ReportColumn>& own) {
        QList<ReportColumn> shown{own.first()};
        ReportColumn notes;
        notes.field = QStringLiteral("a7");
        notes.heading = QStringLiteral("备注");
        notes.width = 40;
        shown << notes;
        return shown;
    };
    const QList<QStringList> rows{
        {QStringLiteral("x1.com"), QStringLiteral("说明一"), QStringLiteral("备注一")}};
    const TableData data({QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a7")}, rows);
    struct Case
    {
        QString member;
        bool hook;
        QStringList headings;
    };
    const QList<Case> cases{
        {QStringLiteral("\"columnsFollow\": \"list\","),
         true,
         {QStringLiteral("域名"), QStringLiteral("备注")}},
        // Without a hook, or in a report that does not follow the list, its own columns.
        {QStringLiteral("\"columnsFollow\": \"list\","),
         false,
         {QStringLiteral("域名"), QStringLiteral("说明")}},
        {QString(), true, {QStringLiteral("域名"), QStringLiteral("说明")}},
    };
    for (const Case& c : cases) {
        ReportProject p;
        QCOMPARE(p.parse(project2(columns, c.member), QStringLiteral("x.rav")), QString());
        ReportContext context{kDate, {}, {}, {}};
        if (c.hook)
            context.listColumns = listColumns;
        ReportLayout layout(*p.defaultReport(), data, context);
        QCOMPARE(layout.prepare(), QString());
        const QString pdf = m_dir.filePath(QStringLiteral("follow.pdf"));
        QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
        const QStringList printed = lines(pdftext::pages(pdf).value(0));
        const int heading = int(printed.indexOf(QRegularExpression(QStringLiteral("域名\\s.*"))));
        QVERIFY2(heading >= 0, qPrintable(printed.join(u'\n')));
        QCOMPARE(printed.at(heading).split(QRegularExpression(QStringLiteral("\\s+"))), c.headings);
    }
    // Only "list" is known.
    ReportProject wrong;
    const QString error = wrong.parse(project2(columns, QStringLiteral("\"columnsFollow\": \"sheet\",")),
                                      QStringLiteral("x.rav"));
    QVERIFY2(error.contains(QStringLiteral("“columnsFollow” “sheet” 不受支持")), qPrintable(error));
}

void tst_Report::buyerReportPdf()
{
    ReportProject p;
    QCOMPARE(p.open(kShipped), QString());
    const QStringList fields = {QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a6"),
                                QStringLiteral("a9")};
    const TableData data(fields, {{QStringLiteral("tianqi.com"), QStringLiteral("天气"),
                                   QStringLiteral("2027-05-01"), QStringLiteral("128000")},
                                  {QStringLiteral("expired.cn"), QStringLiteral("已过期"),
                                   QStringLiteral("2026-03-08"), QStringLiteral("500")},
                                  {QStringLiteral("offer.net"), QStringLiteral("出价"),
                                   QStringLiteral("2026-03-09"), QStringLiteral("0")},
                                  {QStringLiteral("talk.cc"), QStringLiteral("面谈"),
                                   QStringLiteral("2030-01-01"), QStringLiteral("面议")},
                                  {QStringLiteral("small.top"), QStringLiteral("小"), QStringLiteral(""),
                                   QStringLiteral("880")}});
    const QHash<QString, QString> form = {{QStringLiteral("seller"), QStringLiteral("青云域名")},
                                          {QStringLiteral("phone"), QStringLiteral("13800001111")},
                                          {QStringLiteral("email"), QStringLiteral("sale@qingyun.cn")},
                                          {QStringLiteral("note"), QStringLiteral("诚意出售")}};
    ReportLayout layout(*p.report(QStringLiteral("报价单")), data, ReportContext{kDate, form, {}, {}});
    QCOMPARE(layout.prepare(), QString());
    const QString pdf = m_dir.filePath(QStringLiteral("buyer.pdf"));
    QCOMPARE(writeReportPdf(layout, pdf).error(), QString());
    const QStringList pages = pdftext::pages(pdf);
    QCOMPARE(pages.size(), 1);
    const QStringList text = lines(pages.first());
    auto lineOf = [&](const QString& start) {
        for (const QString& l : text)
            if (l.startsWith(start))
                return l;
        return QString();
    };
    QCOMPARE(lineOf(QStringLiteral("tianqi.com")), QStringLiteral("tianqi.com 天气 128,000 元"));
    QCOMPARE(lineOf(QStringLiteral("offer.net")), QStringLiteral("offer.net 出价 议价"));
    QCOMPARE(lineOf(QStringLiteral("talk.cc")), QStringLiteral("talk.cc 面谈 议价"));
    QCOMPARE(lineOf(QStringLiteral("small.top")), QStringLiteral("small.top 小 880 元"));
    QVERIFY(!pages.first().contains(QStringLiteral("expired.cn")));
    const QString all = squeezed(pages.first());
    for (const QString& shown :
         {QStringLiteral("青云域名"), QStringLiteral("诚意出售"), QStringLiteral("电话：13800001111"),
          QStringLiteral("邮箱：sale@qingyun.cn"), QStringLiteral("共4个域名")})
        QVERIFY2(all.contains(shown), qPrintable(shown + QLatin1Char('\n') + pages.first()));
    // One date, in the footer with the page numbers.
    QCOMPARE(all.count(QStringLiteral("2026年3月9日")), 1);
    QVERIFY2(squeezed(text.last()) == QStringLiteral("报价日期：2026年3月9日第1页/共1页"),
             qPrintable(text.last()));
    // Internal columns are not printed.
    QVERIFY(!all.contains(QStringLiteral("2027-05-01")) && !all.contains(QStringLiteral("注册商")));
}

void tst_Report::previewChoosesReport()
{
    ReportProject p;
    QCOMPARE(p.open(kShipped), QString());
    // Every third domain has expired; the data has all the fields both reports ask for.
    const TableData all = domains(30);
    QList<QStringList> rows;
    for (int i = 0; i < all.rowCount(); ++i) {
        QStringList row;
        for (int f = 0; f < all.fieldNames().size(); ++f)
            row << all.value(i, f);
        if (i % 3 == 0)
            row[6] = QStringLiteral("2020-01-01");
        rows << row;
    }
    const TableData data(all.fieldNames(), rows);

    struct Run
    {
        QString remembered;
        QString opened;
    };
    for (const Run& run :
         {Run{QString(), QStringLiteral("域名列表")}, Run{QStringLiteral("报价单"), QStringLiteral("报价单")},
          Run{QStringLiteral("已删除的报表"), QStringLiteral("域名列表")}}) {
        QStringList chosen;
        int asked = 0;
        ReportHost host;
        host.showError = [](QWidget*, const QString& text) { QFAIL(qPrintable(text)); };
        host.reportChosen = [&](const QString& name) { chosen << name; };
        host.formButtonText = QStringLiteral("报价单信息…");
        host.editValues = [&](QWidget*, QHash<QString, QString>& values) {
            ++asked;
            values[QStringLiteral("seller")] = QStringLiteral("青云域名");
            return true;
        };
        const QHash<QString, QString> blank = {{QStringLiteral("seller"), QString()},
                                               {QStringLiteral("phone"), QString()}};
        bool ran = false;
        ReportPreview::setShownHook([&](ReportPreview* preview) {
            ran = true;
            auto closeAtEnd = qScopeGuard([preview] { preview->reject(); });
            auto* box = preview->findChild<QComboBox*>(QStringLiteral("reportBox"));
            QVERIFY(box);
            QCOMPARE(box->count(), 2);
            QCOMPARE(box->itemText(0), QStringLiteral("域名列表"));
            QCOMPARE(box->itemText(1), QStringLiteral("报价单"));
            QCOMPARE(box->currentText(), run.opened);
            QCOMPARE(preview->layout().report().name, run.opened);
            auto* form = preview->findChild<QPushButton*>(QStringLiteral("formButton"));
            QVERIFY(form);
            QCOMPARE(form->text(), QStringLiteral("报价单信息…"));
            auto* status = preview->findChild<QLabel*>(QStringLiteral("statusLabel"));

            // To the list: the form is not offered, nothing is left out.
            box->setCurrentIndex(0);
            emit box->activated(0);
            QCOMPARE(preview->layout().report().name, QStringLiteral("域名列表"));
            QVERIFY(!form->isVisible());
            QCOMPARE(preview->layout().rowCount(), 30);
            QCOMPARE(status->text(), QStringLiteral("共 30 行，%1 页").arg(preview->layout().pageCount()));

            // To the price list: the blank form is asked for first, the expired rows are left out.
            box->setCurrentIndex(1);
            emit box->activated(1);
            QCOMPARE(preview->layout().report().name, QStringLiteral("报价单"));
            QCOMPARE(asked, 1);
            QVERIFY(form->isVisible());
            QCOMPARE(preview->layout().rowCount(), 20);
            QCOMPARE(preview->layout().pageCount(), 1);
            QCOMPARE(status->text(), QStringLiteral("共 20 行，1 页（按报表条件略去 10 行）"));
            QCOMPARE(preview->layout().context().values.value(QStringLiteral("seller")),
                     QStringLiteral("青云域名"));
            QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("pageCountLabel"))->text(),
                     QStringLiteral("/ 1 页"));
            // Filled in now: choosing it again does not ask; the button does.
            box->setCurrentIndex(0);
            emit box->activated(0);
            box->setCurrentIndex(1);
            emit box->activated(1);
            QCOMPARE(asked, 1);
            form->click();
            QCOMPARE(asked, 2);
            QCOMPARE(box->currentIndex(), 1);
        });
        const QString error =
            ReportPreview::run(nullptr, p, run.remembered, data, ReportContext{kDate, blank, {}, {}}, host);
        ReportPreview::setShownHook({});
        QCOMPARE(error, QString());
        QVERIFY(ran);
        // Each change of report is told, to be remembered.
        const QStringList expected = run.opened == QStringLiteral("报价单")
                                         ? QStringList({QStringLiteral("域名列表"), QStringLiteral("报价单"),
                                                        QStringLiteral("域名列表"), QStringLiteral("报价单")})
                                         : QStringList({QStringLiteral("报价单"), QStringLiteral("域名列表"),
                                                        QStringLiteral("报价单")});
        QCOMPARE(chosen, expected);
    }
}

void tst_Report::formatExampleReads()
{
    // The example of the format's description is a project this engine reads.
    QFile doc(QStringLiteral(LANSHU_TEST_DATA "/../../src/report/FORMAT.md"));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const qsizetype start = text.indexOf(QLatin1String("```json"));
    const qsizetype end = text.indexOf(QLatin1String("```"), start + 7);
    QVERIFY(start >= 0 && end > start);
    ReportProject p;
    QCOMPARE(p.parse(text.mid(start + 7, end - start - 7).toUtf8(), QStringLiteral("FORMAT.md")), QString());
    const ReportColumn& price = p.defaultReport()->columns.last();
    QCOMPARE(reportformat::cellText(QStringLiteral("12000"), price), QStringLiteral("12,000 元"));
    QCOMPARE(p.defaultReport()->omit.size(), 1);
}

QTEST_MAIN(tst_Report)
#include "tst_report.moc"
