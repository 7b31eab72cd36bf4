#include "PdfText.h"
#include "TestDb.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/Print.h"
#include "portfolio/QuoteInfoDialog.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kShipped = QStringLiteral(LANSHU_TEST_DATA "/../../resources/shipped/yuming.rav");
const QString kNotice = QStringLiteral("请先添加域名");

// A fresh database holding the given domains (name, price, description, expiry date; the first is the
// oldest), the shipped report project in the current directory unless told otherwise, and the panel.
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
                       d.value(3, QStringLiteral("2031-05-01")),
                       {},
                       {},
                       d.value(1)});
        QVERIFY(db.queryA()->open().ok());
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
// Answers the form 报价单信息 once it is up (it is modal): types info and presses the button.
void answerQuoteForm(const QuoteInfo& info, QDialogButtonBox::StandardButton button, int* answered)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* form = qobject_cast<QuoteInfoDialog*>(QApplication::activeModalWidget());
        if (!form)
            return;
        poll->deleteLater();
        poll->stop();
        QCOMPARE(form->windowTitle(), QStringLiteral("报价单信息"));
        form->findChild<QLineEdit*>(QStringLiteral("sellerEdit"))->setText(info.seller);
        form->findChild<QLineEdit*>(QStringLiteral("phoneEdit"))->setText(info.phone);
        form->findChild<QLineEdit*>(QStringLiteral("emailEdit"))->setText(info.email);
        form->findChild<QLineEdit*>(QStringLiteral("noteEdit"))->setText(info.note);
        ++*answered;
        form->findChild<QDialogButtonBox*>()->button(button)->click();
    });
    poll->start();
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
    void buyerReportFromThePanel();
    void printWhileTheRowsComeInCountsEveryRow();
    void quoteFormChecksTheEmail();
    void printedColumnsAreTheListsColumns();
    void reportColumnsFollowTheList_data();
    void reportColumnsFollowTheList();

private:
    QTemporaryDir m_config; // the user's settings: the layout file with the print choices
    int m_previews = 0;
    std::function<void(ReportPreview*)> m_inPreview;
};

void TestPrint::initTestCase()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
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
    p.panel.bsSkinDBGrid1()->sortByHeading(1); // 报价, ascending
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
    QTest::newRow("syntax error") << QByteArray("\"version\": 3,") << QByteArray("\"version\": 3")
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

// 打印 at once after the start of a large portfolio, while the list still reads its rows: the report
// waits for the rest and counts every domain.
void TestPrint::printWhileTheRowsComeInCountsEveryRow()
{
    Panel p({});
    QCOMPARE(
        p.db.exec(QStringLiteral("insert into tt_a (a1,a9) with recursive n(i) as (select 1 union all "
                                 "select i+1 from n where i < 50000) select 'n' || i || '.com', i from n")),
        QString());
    Dataset* q = p.db.queryA();
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps().error(), QString()); // the first rows at once, as at the start
    QVERIFY(q->isFilling());
    const QString pdf = QDir::current().absoluteFilePath(QStringLiteral("all.pdf"));
    QStringList pages;
    m_inPreview = [&](ReportPreview* preview) {
        FileDialog::setNextSaveFileName(pdf);
        preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->click();
        pages = pdftext::pages(pdf);
    };
    p.press();
    QCOMPARE(m_previews, 1);
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QVERIFY(!pages.isEmpty());
    // pdftotext drops some blanks between Chinese text and digits; compare without any.
    const QString text = pages.join(QLatin1Char('\n')).remove(QLatin1Char(' '));
    const QStringList counted = text.split(QLatin1Char('\n')).filter(QStringLiteral("个域名"));
    QVERIFY2(text.contains(QStringLiteral("共50000个域名")), qPrintable(counted.join(QLatin1Char('\n'))));
    QVERIFY(text.contains(QStringLiteral("n50000.com")) && text.contains(QStringLiteral("n1.com")));
    QVERIFY(!q->isFilling());
}

void TestPrint::buyerReportFromThePanel()
{
    // Printed on 2026-05-04 (today through the seam). Expiry dates are read as the list reads them.
    Panel p({{QStringLiteral("tianqi.com"), QStringLiteral("128000"), QStringLiteral("天气"),
              QStringLiteral("2027-05-01")},
             {QStringLiteral("old.cn"), QStringLiteral("500"), QStringLiteral("昨天到期"),
              QStringLiteral("2026/5/3")},
             {QStringLiteral("today.net"), QStringLiteral("0"), QStringLiteral("今天到期"),
              QStringLiteral("2026-05-04")},
             {QStringLiteral("talk.cc"), QStringLiteral("面议"), QStringLiteral("面谈"),
              QStringLiteral("2030年1月1日")},
             {QStringLiteral("gone.top"), QStringLiteral("880"), QStringLiteral("去年到期"),
              QStringLiteral("2025.12.31")},
             {QStringLiteral("lost.xyz"), QStringLiteral("1500.5"), QStringLiteral("日期不详"),
              QStringLiteral("不详")}});
    QCOMPARE(PrintSettings::lastReport(), QString());
    const QuoteInfo info{QStringLiteral("青云域名工作室"), QStringLiteral("138 0000 1111"),
                         QStringLiteral("sale@qingyun.cn"), QStringLiteral("诚意出售，支持平台担保交易")};
    const QString pdf = QDir::current().absoluteFilePath(QStringLiteral("buyer.pdf"));
    int answered = 0;
    m_inPreview = [&](ReportPreview* preview) {
        auto* box = preview->findChild<QComboBox*>(QStringLiteral("reportBox"));
        QVERIFY(box);
        QCOMPARE(box->currentText(), QStringLiteral("域名列表"));
        // Chosen with nothing filled in yet: the form comes up first.
        answerQuoteForm(info, QDialogButtonBox::Ok, &answered);
        box->setCurrentIndex(box->findText(QStringLiteral("报价单")));
        emit box->activated(box->currentIndex());
        QCOMPARE(answered, 1);
        QCOMPARE(preview->layout().report().name, QStringLiteral("报价单"));
        FileDialog::setNextSaveFileName(pdf);
        preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->click();
    };
    p.press();
    QCOMPARE(m_previews, 1);
    QCOMPARE(MessageBox::takeShown().size(), 0);

    const QStringList pages = pdftext::pages(pdf);
    QCOMPARE(pages.size(), 1);
    QStringList rows;
    for (const QString& line : pages.first().split(QLatin1Char('\n')))
        if (line.simplified().section(QLatin1Char(' '), 0, 0).contains(QLatin1Char('.')) &&
            !line.contains(QLatin1Char('@')))
            rows << line.simplified();
    // Newest first, as the list holds them; the expired two left out, prices written for a buyer.
    QCOMPARE(rows,
             QStringList({QStringLiteral("lost.xyz 日期不详 1,500.5 元"), QStringLiteral("talk.cc 面谈 议价"),
                          QStringLiteral("today.net 今天到期 议价"),
                          QStringLiteral("tianqi.com 天气 128,000 元")}));
    const QString text = pages.first();
    for (const QString& shown : {info.seller, info.note, QStringLiteral("电话：") + info.phone,
                                 QStringLiteral("邮箱：") + info.email})
        QVERIFY2(text.contains(shown), qPrintable(shown + QLatin1Char('\n') + text));
    QCOMPARE(text.count(QStringLiteral("2026年5月4日")), 1);

    // Kept for the user beside the window layout: the form and the report chosen.
    QCOMPARE(PrintSettings::quoteInfo(), info);
    QCOMPARE(PrintSettings::lastReport(), QStringLiteral("报价单"));
    QVERIFY(QFileInfo(LayoutSettings::filePath()).absolutePath().startsWith(m_config.path()));

    // The next print opens on the price list, with the header kept; nothing is asked.
    QString reopened;
    m_inPreview = [&](ReportPreview* preview) {
        reopened = preview->layout().report().name;
        QCOMPARE(preview->layout().context().values.value(QStringLiteral("seller")), info.seller);
    };
    p.press();
    QCOMPARE(m_previews, 2);
    QCOMPARE(reopened, QStringLiteral("报价单"));
    QCOMPARE(answered, 1);
}

void TestPrint::quoteFormChecksTheEmail()
{
    QuoteInfoDialog form(QuoteInfo{QStringLiteral("青云"), {}, {}, {}});
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("sellerEdit"))->text(), QStringLiteral("青云"));
    form.findChild<QLineEdit*>(QStringLiteral("phoneEdit"))->setText(QStringLiteral("  0571-88886666 "));
    form.findChild<QLineEdit*>(QStringLiteral("emailEdit"))->setText(QStringLiteral("sale at qingyun"));
    form.accept();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().text.contains(QStringLiteral("邮箱格式不正确")));
    QCOMPARE(form.result(), int(QDialog::Rejected));
    form.findChild<QLineEdit*>(QStringLiteral("emailEdit"))->setText(QStringLiteral("sale@qingyun.cn"));
    form.accept();
    QCOMPARE(MessageBox::takeShown().size(), 0);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.info(), (QuoteInfo{QStringLiteral("青云"), QStringLiteral("0571-88886666"),
                                     QStringLiteral("sale@qingyun.cn"), QString()}));

    // Cancelled: the values and the kept form stay as they were.
    const QuoteInfo kept = PrintSettings::quoteInfo();
    QHash<QString, QString> values = quoteFields(kept);
    int answered = 0;
    answerQuoteForm(QuoteInfo{QStringLiteral("别的"), {}, {}, {}}, QDialogButtonBox::Cancel, &answered);
    QVERIFY(!editQuoteFields(nullptr, values));
    QCOMPARE(answered, 1);
    QCOMPARE(values, quoteFields(kept));
    QCOMPARE(PrintSettings::quoteInfo(), kept);
}

void TestPrint::printedColumnsAreTheListsColumns()
{
    Panel p({{QStringLiteral("alpha.com"), QStringLiteral("800"), QStringLiteral("好说明")}});
    PrintSettings::saveLastReport(QStringLiteral("域名列表"));
    // 说明 hidden and 管理地址, 管理密码 shown in the list.
    p.panel.bsSkinDBGrid1()->setColumnShown(QStringLiteral("a2"), false);
    p.panel.bsSkinDBGrid1()->setColumnShown(QStringLiteral("a4"), true);
    p.panel.bsSkinDBGrid1()->setColumnShown(QStringLiteral("a8"), true);
    const QString pdf = QDir::current().absoluteFilePath(QStringLiteral("columns.pdf"));
    QString pageText;
    m_inPreview = [&](ReportPreview* preview) {
        FileDialog::setNextSaveFileName(pdf);
        preview->findChild<QPushButton*>(QStringLiteral("exportPdfButton"))->click();
        pageText = pdftext::pages(pdf).value(0);
    };
    p.press();
    QCOMPARE(m_previews, 1);
    QString heading;
    for (const QString& line : pageText.split(QLatin1Char('\n')))
        if (line.simplified().startsWith(QStringLiteral("域名 ")))
            heading = line.simplified();
    // The report's own columns less 说明, then 管理地址; the password is never printed.
    QCOMPARE(heading, QStringLiteral("域名 报价 注册商 注册日期 到期日期 管理地址"));
    QVERIFY(!pageText.contains(QStringLiteral("好说明")));
}

// Fields a1 .. a9 given as one text, blank between.
static QStringList fieldList(const char* fields)
{
    return QString::fromLatin1(fields).split(QLatin1Char(' '));
}

void TestPrint::reportColumnsFollowTheList_data()
{
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("printed");
    const QStringList own = fieldList("a1 a9 a2 a3 a5 a6"); // the shipped 域名列表
    QTest::newRow("nothing chosen") << QStringList() << own;
    QTest::newRow("the first columns") << fieldList("a1 a9 a2 a3 a6") << own;
    QTest::newRow("报价 and 说明 hidden") << fieldList("a1 a3 a6") << fieldList("a1 a3 a5 a6");
    QTest::newRow("备注 and 管理地址 shown, the password never")
        << fieldList("a1 a9 a2 a3 a6 a7 a8 a4") << fieldList("a1 a9 a2 a3 a5 a6 a7 a4");
    QTest::newRow("注册日期 shown: once") << fieldList("a1 a5 a6") << fieldList("a1 a5 a6");
}

void TestPrint::reportColumnsFollowTheList()
{
    QFETCH(QStringList, shown);
    QFETCH(QStringList, printed);
    ReportProject project;
    QCOMPARE(project.open(kShipped), QString());
    const ReportDefinition* list = project.defaultReport();
    QVERIFY(list->columnsFollowList);
    QVERIFY(!project.report(QStringLiteral("报价单"))->columnsFollowList);
    const QList<ReportColumn> columns = listReportColumns(list->columns, shown, fieldList("a1 a9 a2 a3 a6"));
    QStringList fields;
    for (const ReportColumn& c : columns) {
        fields << c.field;
        QVERIFY(!c.heading.isEmpty());
        QVERIFY(c.width > 0);
    }
    QCOMPARE(fields, printed);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
