#include "PdfText.h"
#include "report/ReportData.h"
#include "report/ReportLayout.h"
#include "report/ReportOutput.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kShipped = QStringLiteral(LANSHU_TEST_DATA "/../../resources/shipped/yuming.rav");
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

// A small project with the given columns and page; the rest as the shipped one has it.
QByteArray project(const QString& columns, const QString& page = QStringLiteral("{\"size\": \"A4\"}"),
                   const QString& head = QStringLiteral("\"format\": \"lanshu-report\", \"version\": 1"))
{
    return QStringLiteral(
               "{%1,\n \"reports\": [{\"name\": \"列表\", \"data\": \"RvData\", \"page\": %2,\n"
               "  \"title\": {\"text\": \"标题 {count}\"},\n"
               "  \"footer\": {\"left\": \"日期 {date}\", \"right\": \"第 {page} 页 / 共 {pages} 页\"},\n"
               "  \"columns\": [%3]}]}")
        .arg(head, page, columns)
        .toUtf8();
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
    QTest::newRow("newer version") << project(kTwoColumns, QStringLiteral("{}"),
                                              QStringLiteral("\"format\": \"lanshu-report\", \"version\": 2"))
                                   << QStringLiteral("版本 2");
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
    QCOMPARE(writeReportPdf(layout, pdf), QString());

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
    QCOMPARE(writeReportPdf(wrappedLayout, pdf), QString());
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
    QCOMPARE(writeReportPdf(layout, pdf), QString());
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
        bool cancelled = false;
        const QString error = writeReportPdf(
            layout, path, [&calls](int, int) { return ++calls < 3; }, &cancelled);
        QCOMPARE(error, QString());
        QVERIFY(cancelled);
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
    bool cancelled = true;
    const QString error = writeReportPdf(layout, path, {}, &cancelled);
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) &&
                 error.startsWith(QStringLiteral("无法写入文件")),
             qPrintable(error));
    QVERIFY(!cancelled);
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
    QCOMPARE(printReport(layout, printer), QString());
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
    bool cancelled = false;
    const QString error = writeReportPdf(
        layout, path,
        [&](int done, int total) {
            if (++pages == 3)
                cancel->click();
            return progress(done, total);
        },
        &cancelled);
    QCOMPARE(error, QString());
    QVERIFY(cancelled);
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

QTEST_MAIN(tst_Report)
#include "tst_report.moc"
