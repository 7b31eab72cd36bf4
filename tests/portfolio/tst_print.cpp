#include "PdfText.h"
#include "TestDb.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kShipped = QStringLiteral(LANSHU_TEST_DATA "/../../resources/shipped/yuming.rav");
const QString kNotice = QStringLiteral("请先添加域名");

// A fresh database holding the given domains (name, price, description; the first is the oldest),
// the shipped report project in the current directory unless told otherwise, and the panel.
struct Panel
{
    explicit Panel(const QList<QStringList>& domains, bool withProject = true)
    {
        for (const QStringList& d : domains)
            db.insert({d.value(0),
                       d.value(2),
                       QStringLiteral("万网"),
                       {},
                       QStringLiteral("2021-05-01"),
                       QStringLiteral("2031-05-01"),
                       {},
                       {},
                       d.value(1)});
        QVERIFY(db.queryA()->open().isEmpty());
        if (withProject)
            QFile::copy(kShipped, projectPath());
        panel.bindData(db.module());
    }
    QString projectPath() const { return QDir::current().absoluteFilePath(QStringLiteral("yuming.rav")); }
    void press() { panel.findChild<QToolButton*>(QStringLiteral("btnPrint"))->click(); }
    QStringList listed() const { return modelColumn(panel.bsSkinDBGrid1()->model()); }

    TestDb db;
    TFr_guanli panel;
};

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// The domains of a PDF of the default report, top to bottom over all pages.
QStringList printedDomains(const QString& pdf, const QStringList& known)
{
    QStringList found;
    for (const QString& page : pdftext::pages(pdf))
        for (const QString& line : page.split(QLatin1Char('\n'))) {
            const QString first = line.simplified().section(QLatin1Char(' '), 0, 0);
            if (known.contains(first))
                found << first;
        }
    return found;
}
} // namespace

class TestPrint : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyListDoesNotStartTheEngine_data();
    void emptyListDoesNotStartTheEngine();
    void printsTheListInItsOrderAfterSearchAndSort();
    void missingProjectIsTriedAgainAtTheNextPress();
    void damagedProjectNamesTheFileAndWhatIsWrong_data();
    void damagedProjectNamesTheFileAndWhatIsWrong();
    void projectIsReadOncePerRun();

private:
    int m_previews = 0;
    std::function<void(ReportPreview*)> m_inPreview;
};

void TestPrint::initTestCase()
{
    MessageBox::setTestMode(true);
    Platform::setTodayHook([] { return QDate(2026, 5, 4); });
    ReportPreview::setShownHook([this](ReportPreview* preview) {
        ++m_previews;
        if (m_inPreview)
            m_inPreview(preview);
        preview->reject();
    });
}

void TestPrint::init()
{
    MessageBox::clearShown();
    m_previews = 0;
    m_inPreview = {};
}

void TestPrint::cleanup()
{
    m_inPreview = {};
}

void TestPrint::emptyListDoesNotStartTheEngine_data()
{
    QTest::addColumn<bool>("emptyTable");
    QTest::newRow("empty table") << true;
    QTest::newRow("search finds nothing") << false;
}

void TestPrint::emptyListDoesNotStartTheEngine()
{
    QFETCH(bool, emptyTable);
    Panel p(emptyTable ? QList<QStringList>{} : QList<QStringList>{{QStringLiteral("a.com")}});
    if (!emptyTable)
        p.panel.searchFor(QStringLiteral("zzz"));
    QCOMPARE(p.db.queryA()->recordCount(), 0);
    p.press();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, kNotice);
    QCOMPARE(shown.first().icon, MessageBox::Information);
    QCOMPARE(m_previews, 0);
    QVERIFY(!p.panel.RvProject1().isOpen());
}

void TestPrint::printsTheListInItsOrderAfterSearchAndSort()
{
    const QList<QStringList> domains = {
        {QStringLiteral("zeta.com"), QStringLiteral("900"), QStringLiteral("最贵")},
        {QStringLiteral("beta.com"), QStringLiteral("20"), QStringLiteral("便宜")},
        {QStringLiteral("alpha.net"), QStringLiteral("5"), QStringLiteral("不在结果里")},
        {QStringLiteral("gamma.com"), QStringLiteral("300"),
         QStringLiteral("这是一段很长的中文说明，").repeated(12)},
        {QStringLiteral("delta.com"), QStringLiteral("100"), QStringLiteral("中间")},
    };
    Panel p(domains);
    p.panel.searchFor(QStringLiteral(".com"));
    p.panel.sortByColumn(1); // 报价, ascending
    const QStringList expected = {QStringLiteral("beta.com"), QStringLiteral("delta.com"),
                                  QStringLiteral("gamma.com"), QStringLiteral("zeta.com")};
    QCOMPARE(p.listed(), expected);

    const QString pdf = QDir::current().absoluteFilePath(QStringLiteral("out.pdf"));
    QString pageText;
    m_inPreview = [&](ReportPreview* preview) {
        FileDialog::setNextSaveFileName(pdf);
        preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->click();
        QCOMPARE(FileDialog::lastTitle(), QStringLiteral("导出PDF"));
        QCOMPARE(FileDialog::lastProposed(), Platform::dataFolder() + QStringLiteral("yuming.pdf"));
        // pdftotext drops some blanks between Chinese text and digits; compare without any.
        pageText = pdftext::pages(pdf).value(0).remove(QLatin1Char(' '));
    };
    p.press();
    QCOMPARE(m_previews, 1);
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QVERIFY(p.panel.RvProject1().isOpen());

    QStringList all;
    for (const QStringList& d : domains)
        all << d.first();
    QCOMPARE(printedDomains(pdf, all), expected);
    QVERIFY2(pageText.contains(QStringLiteral("共4个域名")), qPrintable(pageText));
    QVERIFY(pageText.contains(QStringLiteral("打印日期：2026-05-04")));
    QVERIFY(pageText.contains(QStringLiteral("第1页/共1页")));
    QVERIFY(pageText.contains(QStringLiteral("注册日期")) && pageText.contains(QStringLiteral("2031-05-01")));
    QVERIFY(!pageText.contains(QStringLiteral("不在结果里")));
    // The list itself is left as it was.
    QCOMPARE(p.listed(), expected);
}

void TestPrint::missingProjectIsTriedAgainAtTheNextPress()
{
    Panel p({{QStringLiteral("a.com")}}, false);
    p.press();
    QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().icon, MessageBox::Critical);
    QCOMPARE(shown.first().caption, QStringLiteral("岚枢"));
    QVERIFY2(shown.first().text.contains(QDir::toNativeSeparators(p.projectPath())),
             qPrintable(shown.first().text));
    QVERIFY(shown.first().text.contains(QStringLiteral("不存在")));
    QCOMPARE(m_previews, 0);
    QVERIFY(!p.panel.RvProject1().isOpen());

    QVERIFY(QFile::copy(kShipped, p.projectPath()));
    p.press();
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(m_previews, 1);
    QVERIFY(p.panel.RvProject1().isOpen());
}

void TestPrint::damagedProjectNamesTheFileAndWhatIsWrong_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not ours") << QByteArray("\"format\": \"lanshu-report\"")
                              << QByteArray("\"format\": \"other\"")
                              << QStringLiteral("不是岚枢报表项目文件");
    QTest::newRow("syntax error") << QByteArray("\"version\": 1,") << QByteArray("\"version\": 1")
                                  << QStringLiteral("第 4 行");
    QTest::newRow("unknown field") << QByteArray("\"field\": \"a3\"") << QByteArray("\"field\": \"a12\"")
                                   << QStringLiteral("不存在的字段 “a12”");
    QTest::newRow("zero width") << QByteArray("\"width\": 62") << QByteArray("\"width\": 0")
                                << QStringLiteral("“width” 必须大于 0");
    QTest::newRow("page smaller than margins")
        << QByteArray("\"left\": 14") << QByteArray("\"left\": 290") << QStringLiteral("小于其边距");
}

void TestPrint::damagedProjectNamesTheFileAndWhatIsWrong()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, expected);
    Panel p({{QStringLiteral("a.com")}}, false);
    QFile shipped(kShipped);
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray good = shipped.readAll();
    QVERIFY(good.contains(from));
    writeFile(p.projectPath(), QByteArray(good).replace(from, to));

    p.press();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().icon, MessageBox::Critical);
    QVERIFY2(shown.first().text.contains(
                 QStringLiteral("报表项目文件 “%1” 有误").arg(QDir::toNativeSeparators(p.projectPath()))),
             qPrintable(shown.first().text));
    QVERIFY2(shown.first().text.contains(expected), qPrintable(shown.first().text));
    QCOMPARE(m_previews, 0);
    QVERIFY(!p.panel.RvProject1().isOpen());

    // Mended on disk, it is read again at the next press.
    writeFile(p.projectPath(), good);
    p.press();
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(m_previews, 1);
}

void TestPrint::projectIsReadOncePerRun()
{
    Panel p({{QStringLiteral("a.com")}, {QStringLiteral("b.com")}});
    p.press();
    QCOMPARE(m_previews, 1);
    // Changed on disk, then gone: later presses keep the project read at the first.
    writeFile(p.projectPath(), "damaged");
    p.press();
    QVERIFY(QFile::remove(p.projectPath()));
    p.press();
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(m_previews, 3);
    QVERIFY(p.panel.RvProject1().isOpen());
    QCOMPARE(p.panel.RvProject1().defaultReport()->name, QStringLiteral("域名列表"));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
