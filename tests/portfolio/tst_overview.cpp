// The investor's view of the portfolio panel: expiry colours and days left, the counts and the sum
// for the status bar with their two links, a list that fits, and the keyboard.
#include "TestDb.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/DomainListModel.h"
#include "portfolio/ExpiryStyle.h"
#include "portfolio/FilterStrip.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/PortfolioStatus.h"

#include "platform/LayoutSettings.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QtTest>

namespace {
const QDate kToday(2026, 3, 1);

QString inDays(int days, const char* format = "yyyy-MM-dd")
{
    return kToday.addDays(days).toString(QString::fromUtf8(format));
}

// A database with domains given as (name, expiry date, price), oldest first, and the panel over it.
struct View
{
    struct Domain
    {
        QString name, expires, price;
    };
    explicit View(const QList<Domain>& domains)
    {
        for (const Domain& d : domains)
            db.insert({d.name, {}, {}, {}, {}, d.expires, {}, {}, d.price});
        QVERIFY(db.queryA()->open().ok());
        panel.resize(852, 593);
        panel.bindData(db.module());
        panel.show();
    }
    QStringList listed() const { return columnTexts(db.queryA(), QStringLiteral("a1")); }
    QString status(const char* name) const
    {
        const auto* label = panel.statusStrip()->findChild<QLabel*>(QLatin1String(name));
        return label ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : QStringLiteral("?");
    }
    QStringList statusTexts() const
    {
        return {status("lblDomainCount"), status("lnkExpired"), status("lnkExpiring"), status("lblPriceSum")};
    }
    bool isLink(const char* name) const
    {
        const auto* label = panel.statusStrip()->findChild<QLabel*>(QLatin1String(name));
        return label->textFormat() == Qt::RichText && label->text().contains(QLatin1String("<a "));
    }
    TestDb db;
    TFr_guanli panel;
};

// A portfolio with each kind of domain; newest last.
const QList<View::Domain> kMixed = {
    {QStringLiteral("gone-long.com"), inDays(-400), QStringLiteral("1,000")},
    {QStringLiteral("healthy.com"), inDays(200, "yyyy/M/d"), QStringLiteral("12000")},
    {QStringLiteral("gone.cn"), inDays(-3, "yyyy年M月d日"), QStringLiteral("面议")},
    {QStringLiteral("today.com"), inDays(0) + QStringLiteral(" 18:00"), QStringLiteral("88.5")},
    {QStringLiteral("soon.cn"), inDays(12, "yyyyMMdd"), QStringLiteral("500")},
    {QStringLiteral("near.com"), inDays(60, "yyyy.M.d"), QString()},
    {QStringLiteral("nodate.cn"), QStringLiteral("不详"), QStringLiteral("1200")},
};
} // namespace

class TestInvestorView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { MessageBox::clearShown(); }

    void listColoursByExpiry_data();
    void listColoursByExpiry();
    void detailPaneShowsDaysLeft_data();
    void detailPaneShowsDaysLeft();
    void statusFollowsEveryListChange();
    void linksListSoonestFirstAndClearBringsAllBack_data();
    void linksListSoonestFirstAndClearBringsAllBack();
    void linksWithinASearch();
    void keyboardAndMouse();
    void columnsFitAndShareAWiderPanel();
    void namesFitAtThreeSizes_data();
    void namesFitAtThreeSizes();
    void tipOnlyWhereTheTextIsCut();
    void widthSetByTheUserStays();
    void headingMenuChoosesColumns();
    void chosenColumnsComeBackWithTheLayout();

private:
    QTemporaryDir m_config; // the user's settings: the layout file
};

void TestInvestorView::initTestCase()
{
    MessageBox::setTestMode(true);
    Platform::setTodayHook([] { return kToday; });
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
}

void TestInvestorView::cleanupTestCase()
{
    Platform::setTodayHook({});
}

void TestInvestorView::listColoursByExpiry_data()
{
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QColor>("row");  // colour of the domain name; invalid: drawn as usual
    QTest::addColumn<QColor>("date"); // colour of the date
    QTest::addColumn<QString>("tip"); // the date's tool tip

    const QColor plain;
    QTest::newRow("a year ago") << inDays(-365) << expirystyle::kExpired << expirystyle::kExpired
                                << "已过期 365 天";
    QTest::newRow("yesterday") << inDays(-1, "yyyy/M/d") << expirystyle::kExpired << expirystyle::kExpired
                               << "已过期 1 天";
    QTest::newRow("today") << inDays(0, "yyyy年M月d日") << expirystyle::kSoon << expirystyle::kSoon
                           << "今天到期";
    QTest::newRow("30 days") << inDays(30, "yyyyMMdd") << expirystyle::kSoon << expirystyle::kSoon
                             << "剩余 30 天";
    QTest::newRow("31 days") << inDays(31, "yyyy.M.d") << plain << expirystyle::kNear << "剩余 31 天";
    QTest::newRow("90 days") << inDays(90) + QStringLiteral(" 08:00") << plain << expirystyle::kNear
                             << "剩余 90 天";
    QTest::newRow("91 days") << inDays(91) << plain << plain << "剩余 91 天";
    QTest::newRow("unreadable") << "明年三月" << plain << plain << "";
    QTest::newRow("empty") << "" << plain << plain << "";
}

void TestInvestorView::listColoursByExpiry()
{
    QFETCH(QString, expires);
    QFETCH(QColor, row);
    QFETCH(QColor, date);
    QFETCH(QString, tip);
    View v({{QStringLiteral("x.com"), expires, QStringLiteral("1")}});
    const QAbstractItemModel* model = v.panel.bsSkinDBGrid1()->model();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), row);
    QCOMPARE(model->index(0, 3).data(Qt::ForegroundRole).value<QColor>(), row);
    QCOMPARE(model->index(0, 4).data(Qt::ForegroundRole).value<QColor>(), date);
    QCOMPARE(model->index(0, 4).data(Qt::ToolTipRole).toString(), tip);
    QCOMPARE(model->index(0, 4).data().toString(), expires); // the text itself is shown as stored
}

void TestInvestorView::detailPaneShowsDaysLeft_data()
{
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("expired") << inDays(-10, "yyyy/M/d") << "已过期 10 天" << expirystyle::kExpired;
    QTest::newRow("today") << inDays(0) << "今天到期" << expirystyle::kSoon;
    QTest::newRow("in 45 days") << inDays(45, "yyyy年M月d日") << "剩余 45 天" << expirystyle::kNear;
    QTest::newRow("in 400 days") << inDays(400) << "剩余 400 天" << QColor(0, 0, 128);
    QTest::newRow("unreadable") << "2026-02-30"
                                << "" << QColor(0, 0, 128);
}

void TestInvestorView::detailPaneShowsDaysLeft()
{
    QFETCH(QString, expires);
    QFETCH(QString, note);
    QFETCH(QColor, colour);
    // The record between two others, so that the pane has to follow the move to it.
    View v({{QStringLiteral("a.com"), inDays(-1), {}},
            {QStringLiteral("b.com"), expires, {}},
            {QStringLiteral("c.com"), inDays(5), {}}});
    auto* label = v.panel.findChild<QLabel*>(QStringLiteral("lblExpiryNote"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("剩余 5 天"));
    v.db.queryA()->next();
    QCOMPARE(v.panel.findChild<QLabel*>(QStringLiteral("lblExpDate"))->text(), expires);
    QCOMPARE(label->text(), note);
    if (!note.isEmpty())
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    // The record handed to the edit dialog keeps the date alone.
    QCOMPARE(v.panel.detailPane()->record().expires, expires);
}

void TestInvestorView::statusFollowsEveryListChange()
{
    View v(kMixed);
    // 7 domains; expired: gone-long, gone; within 30 days: today, soon; the sum of 1,000 + 12000 + 88.5
    // + 500 + 1200 (面议 and the empty price are not numbers).
    const QStringList all = {QStringLiteral("域名 7 个"), QStringLiteral("已过期 2 个"),
                             QStringLiteral("30天内到期 2 个"), QStringLiteral("报价合计 14,788.50 元")};
    QCOMPARE(v.statusTexts(), all);
    QVERIFY(v.isLink("lnkExpired"));
    QVERIFY(v.isLink("lnkExpiring"));

    // Typing narrows the counts to what the search finds.
    QTest::keyClicks(v.panel.searchBox(), QStringLiteral(".cn"));
    QCOMPARE(v.statusTexts(),
             (QStringList{QStringLiteral("域名 3 个"), QStringLiteral("已过期 1 个"),
                          QStringLiteral("30天内到期 1 个"), QStringLiteral("报价合计 1,700 元")}));
    QTest::keyClicks(v.panel.searchBox(), QStringLiteral("x"));
    QCOMPARE(v.statusTexts(),
             (QStringList{QStringLiteral("域名 0 个"), QStringLiteral("已过期 0 个"),
                          QStringLiteral("30天内到期 0 个"), QStringLiteral("报价合计 0 元")}));
    QVERIFY(!v.isLink("lnkExpired")); // nothing to list
    QVERIFY(!v.isLink("lnkExpiring"));

    // A sort changes no count; deleting a row takes it out.
    v.panel.resetToDefaultList();
    QCOMPARE(v.statusTexts(), all);
    v.panel.bsSkinDBGrid1()->sortByHeading(1);
    QCOMPARE(v.statusTexts(), all);
    while (v.db.queryA()->fieldText(QStringLiteral("a1")) != QLatin1String("soon.cn"))
        QVERIFY(v.db.queryA()->next());
    MessageBox::setNextAnswer(MessageBox::Ok);
    v.panel.deleteCurrentDomain();
    MessageBox::clearShown();
    QCOMPARE(v.statusTexts(),
             (QStringList{QStringLiteral("域名 6 个"), QStringLiteral("已过期 2 个"),
                          QStringLiteral("30天内到期 1 个"), QStringLiteral("报价合计 14,288.50 元")}));

    // A row written elsewhere shows after the list is read again, as the dialogs do after saving.
    v.db.insert(
        {QStringLiteral("added.com"), {}, {}, {}, {}, inDays(-2), {}, {}, QStringLiteral("1,000,000")});
    QVERIFY(v.db.queryA()->open().ok());
    QCOMPARE(v.statusTexts(),
             (QStringList{QStringLiteral("域名 7 个"), QStringLiteral("已过期 3 个"),
                          QStringLiteral("30天内到期 1 个"), QStringLiteral("报价合计 1,014,288.50 元")}));

    // A list that failed to open counts nothing.
    QCOMPARE(v.db.exec(QStringLiteral("drop table tt_a")), QString());
    v.panel.resetToDefaultList();
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 0 个"));
}

void TestInvestorView::linksListSoonestFirstAndClearBringsAllBack_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("back"); // what brings the whole list back
    const QStringList expired = {QStringLiteral("gone-long.com"), QStringLiteral("gone.cn")};
    const QStringList expiring = {QStringLiteral("today.com"), QStringLiteral("soon.cn")};
    QTest::newRow("expired, 清除") << "lnkExpired" << expired << "btnClear";
    QTest::newRow("expiring, 刷 新") << "lnkExpiring" << expiring << "btnRefresh";
}

void TestInvestorView::linksListSoonestFirstAndClearBringsAllBack()
{
    QFETCH(QString, link);
    QFETCH(QStringList, listed);
    QFETCH(QString, back);
    View v(kMixed);
    const QStringList everything = v.listed();
    v.panel.bsSkinDBGrid1()->sortByHeading(0); // a mark on a heading goes: the rows now come by date
    auto* label = v.panel.statusStrip()->findChild<QLabel*>(link);
    QVERIFY(label);
    emit label->linkActivated(QStringLiteral("list"));
    QCOMPARE(v.listed(), listed);
    QCOMPARE(v.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名"));
    QCOMPARE(v.db.queryA()->currentRow(), 0);
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 %1 个").arg(listed.size()));
    // The list holds its statement: reading it again (as after an edit) gives the same rows.
    QVERIFY(v.db.queryA()->open().ok());
    QCOMPARE(v.listed(), listed);
    QVERIFY(MessageBox::shown().isEmpty());

    v.panel.findChild<QAbstractButton*>(back)->click();
    QCOMPARE(v.listed(), everything);
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 7 个"));
}

void TestInvestorView::linksWithinASearch()
{
    View v(kMixed);
    v.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&v.panel));
    QTest::keyClicks(v.panel.searchBox(), QStringLiteral(".com"));
    QCOMPARE(v.status("lnkExpired"), QStringLiteral("已过期 1 个"));
    emit v.panel.statusStrip()->findChild<QLabel*>(QStringLiteral("lnkExpired"))->linkActivated({});
    QCOMPARE(v.listed(), QStringList{QStringLiteral("gone-long.com")});
    QCOMPARE(v.panel.searchBox()->text(), QStringLiteral(".com"));
    // The link set the 到期 filter: typing again searches within it, until its chip takes it away.
    QCOMPARE(v.panel.filterStrip()->chipTexts(), QStringList{QStringLiteral("到期：已过期")});
    QTest::keyClick(v.panel.searchBox(), Qt::Key_Backspace);
    QCOMPARE(v.listed(), QStringList{QStringLiteral("gone-long.com")});
    v.panel.filterStrip()->findChild<QToolButton*>(QStringLiteral("filterChip"))->click();
    QCOMPARE(v.listed().size(), 4); // .co matches the four .com names
    // Esc clears the box and brings the whole list back.
    v.panel.searchBox()->setFocus();
    QTest::keyClick(v.panel.searchBox(), Qt::Key_Escape);
    QCOMPARE(v.panel.searchBox()->text(), QString());
    QCOMPARE(v.listed().size(), 7);
}

void TestInvestorView::keyboardAndMouse()
{
    View v({{QStringLiteral("a.com"), {}, {}}, {QStringLiteral("b.com"), {}, {}}});
    v.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&v.panel));
    QSignalSpy edits(&v.panel, &TFr_guanli::editRequested);
    QSignalSpy adds(&v.panel, &TFr_guanli::addRequested);
    QTableView* grid = v.panel.bsSkinDBGrid1();
    grid->setFocus();

    // Double-click on a row makes it current and opens the edit dialog; so does Enter.
    const QRect second = grid->visualRect(grid->model()->index(1, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(edits.size(), 1);
    QCOMPARE(v.db.queryA()->fieldText(QStringLiteral("a1")), QStringLiteral("a.com"));
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(edits.size(), 3);

    // Ctrl+N adds, from the list and from the search box.
    QTest::keyClick(grid, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(v.panel.searchBox(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(adds.size(), 2);

    // Enter on a list that a search emptied gives the empty-list notice, as "编 辑" does.
    v.panel.searchBox()->setText(QStringLiteral("zzz"));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(edits.size(), 3);
    QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("请先添加域名"));

    // The buttons tell their keys.
    const QList<std::pair<const char*, QKeySequence>> keys = {{"btnAdd", QKeySequence::New},
                                                              {"btnDelete", QKeySequence::Delete},
                                                              {"btnRefresh", QKeySequence::Refresh},
                                                              {"btnEdit", QKeySequence(Qt::Key_Return)},
                                                              {"btnClear", QKeySequence(Qt::Key_Escape)}};
    for (const auto& [name, key] : keys) {
        auto* button = v.panel.findChild<QAbstractButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QVERIFY2(button->toolTip().contains(key.toString(QKeySequence::NativeText)), name);
    }
}

void TestInvestorView::columnsFitAndShareAWiderPanel()
{
    View v({{QStringLiteral("a.com"), QStringLiteral("2026-12-28"), {}}});
    QTableView* grid = v.panel.bsSkinDBGrid1();
    QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
    // The starting widths, but the whole date shows, and the last column reaches the edge.
    const QList<int> starting = {113, 60, 130, 106};
    for (int c = 0; c < 4; ++c) {
        if (c != 2) // the description may give way to the date
            QCOMPARE(grid->columnWidth(c), starting[c]);
    }
    QVERIFY(grid->columnWidth(2) >= 100);
    const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    QVERIFY(grid->columnWidth(4) >= 65);
    QVERIFY(grid->columnWidth(4) >=
            grid->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-28")) + margins);
    QCOMPARE(grid->horizontalHeader()->sectionViewportPosition(4) + grid->columnWidth(4),
             grid->viewport()->width());
    QVERIFY(v.panel.splitter()->sizes().value(0) >= 490);

    // Widened, both sides grow; the last column takes the list's share.
    const QList<int> before = v.panel.splitter()->sizes();
    const int dateBefore = grid->columnWidth(4);
    const int before2 = grid->columnWidth(2);
    v.panel.resize(1500, 800);
    QTRY_VERIFY(v.panel.splitter()->sizes().value(0) > before[0] + 100);
    QVERIFY(v.panel.splitter()->sizes().value(1) > before[1] + 100);
    // The list's share goes to 域名 and 说明; the price, the registrar and the date keep their widths.
    QTRY_VERIFY(grid->columnWidth(0) + grid->columnWidth(2) > 113 + before2 + 100);
    QVERIFY(grid->columnWidth(0) > 113);
    QVERIFY(grid->columnWidth(2) > before2);
    QCOMPARE(grid->columnWidth(4), dateBefore);
    QCOMPARE(grid->columnWidth(1), 60);
    QCOMPARE(grid->columnWidth(3), 106);
    QCOMPARE(grid->horizontalHeader()->sectionViewportPosition(4) + grid->columnWidth(4),
             grid->viewport()->width());

    // Made narrow again (a maximised window restored), the list keeps its starting width and the detail
    // pane gives up the room.
    v.panel.resize(700, 800);
    QTRY_VERIFY(v.panel.splitter()->sizes().value(1) < before[1] + 100);
    QVERIFY(v.panel.splitter()->sizes().value(0) >= before[0]);
    QCOMPARE(grid->horizontalHeader()->sectionViewportPosition(4) + grid->columnWidth(4),
             grid->viewport()->width());
}

namespace {
// The room a cell's text has: the column less the focus frame margin and a pixel on each side.
int textRoom(const QTableView* grid, int column)
{
    return grid->columnWidth(column) -
           2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
}
int textWidth(const QTableView* grid, const QString& text)
{
    return grid->fontMetrics().horizontalAdvance(text);
}
int columnsWidth(const QTableView* grid)
{
    int sum = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        sum += grid->columnWidth(c);
    return sum;
}
const QString kLongName = QStringLiteral("lvyouhunqing.com.cn");
const QString kLongDescription = QStringLiteral("适合做旅游婚庆品牌，老米，建站多年，有流量");
const QString kLongRegistrar = QStringLiteral("Example Registrar Inc.");
} // namespace

void TestInvestorView::namesFitAtThreeSizes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("roomy"); // every text of the list fits
    QTest::newRow("narrow") << QSize(700, 600) << false;
    QTest::newRow("design size") << QSize(852, 593) << false;
    QTest::newRow("maximised") << QSize(1900, 1000) << true;
}

void TestInvestorView::namesFitAtThreeSizes()
{
    QFETCH(QSize, size);
    QFETCH(bool, roomy);
    View v({{QStringLiteral("a.cn"), inDays(40), QStringLiteral("100")}});
    v.db.insert(
        {kLongName, kLongDescription, kLongRegistrar, {}, {}, inDays(300), {}, {}, QStringLiteral("8800")});
    QCOMPARE(v.db.queryA()->open().error(), QString());
    v.panel.resize(size);
    QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
    QTableView* grid = v.panel.bsSkinDBGrid1();
    // The whole name shows, however narrow the window: the longest name on screen sets the width of 域名.
    QTRY_VERIFY(textRoom(grid, 0) >= textWidth(grid, kLongName));
    QVERIFY(grid->columnWidth(0) > 113);
    QVERIFY(textRoom(grid, 4) >= textWidth(grid, inDays(300))); // and the whole date
    QCOMPARE(grid->columnWidth(1), 60);
    // The columns fill the list to its edge.
    QCOMPARE(columnsWidth(grid), grid->viewport()->width());
    if (roomy) {
        // Room to spare: the description and the registrar show whole; 域名 and 说明 take the rest.
        QVERIFY(textRoom(grid, 2) >= textWidth(grid, kLongDescription));
        QVERIFY(textRoom(grid, 3) >= textWidth(grid, kLongRegistrar));
        QVERIFY(grid->columnWidth(0) > textWidth(grid, kLongName) + 100);
    } else {
        // Short of room, the description gives way first (never below 60).
        QVERIFY(grid->columnWidth(2) <= 130);
        QVERIFY(grid->columnWidth(2) >= 60);
        QCOMPARE(grid->columnWidth(3), 106);
    }
}

void TestInvestorView::tipOnlyWhereTheTextIsCut()
{
    const QString veryLong =
        QStringLiteral("the-longest-name-an-investor-ever-registered-for-a-brand.com.cn");
    View v({{QStringLiteral("a.cn"), inDays(40), QStringLiteral("100")}});
    v.db.insert({kLongName, kLongDescription, QStringLiteral("新网"), {}, {}, inDays(300), {}, {}, {}});
    v.db.insert({veryLong, QStringLiteral("双拼"), {}, {}, {}, inDays(300), {}, {}, {}});
    QCOMPARE(v.db.queryA()->open().error(), QString());
    QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
    QTableView* grid = v.panel.bsSkinDBGrid1();
    const QAbstractItemModel* m = grid->model();
    // Rows newest first: the very long name, the long one, a.cn. 域名 stops at its limit, so the very long
    // name is cut, and its tip is the whole name; the names that show whole have no tip.
    QTRY_VERIFY(grid->columnWidth(0) > 113);
    QVERIFY(textRoom(grid, 0) < textWidth(grid, veryLong));
    QVERIFY(grid->columnWidth(0) < v.panel.splitter()->sizes().value(0) / 2 + 10);
    QCOMPARE(m->index(0, 0).data(Qt::ToolTipRole).toString(), veryLong);
    QVERIFY(!m->index(1, 0).data(Qt::ToolTipRole).isValid());
    QVERIFY(!m->index(2, 0).data(Qt::ToolTipRole).isValid());
    QVERIFY(textRoom(grid, 2) < textWidth(grid, kLongDescription));
    QCOMPARE(m->index(1, 2).data(Qt::ToolTipRole).toString(), kLongDescription);
    QVERIFY(!m->index(0, 2).data(Qt::ToolTipRole).isValid()); // 双拼 shows whole
    QVERIFY(!m->index(1, 3).data(Qt::ToolTipRole).isValid()); // 新网 too
    // The date keeps its own tip: the days left.
    QCOMPARE(m->index(1, 4).data(Qt::ToolTipRole).toString(), QStringLiteral("剩余 300 天"));

    // Widened, the description shows whole and its tip goes.
    v.panel.resize(1900, 1000);
    QTRY_VERIFY(textRoom(grid, 2) >= textWidth(grid, kLongDescription));
    QVERIFY(!m->index(1, 2).data(Qt::ToolTipRole).isValid());
}

void TestInvestorView::widthSetByTheUserStays()
{
    View v({{kLongName, inDays(40), QStringLiteral("100")}});
    QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
    QTableView* grid = v.panel.bsSkinDBGrid1();
    QTRY_VERIFY(textRoom(grid, 0) >= textWidth(grid, kLongName));
    grid->setColumnWidth(0, 90); // as a drag of the heading's edge does
    QTRY_COMPARE(columnsWidth(grid), grid->viewport()->width());
    v.panel.resize(1400, 800);
    QTRY_VERIFY(grid->columnWidth(2) > 200); // the room goes elsewhere
    QCOMPARE(grid->columnWidth(0), 90);
    QCOMPARE(v.panel.bsSkinDBGrid1()->rememberedWidths(), (QList<int>{90, 0, 0, 0, 0}));
    // 自动调整列宽 lets the list fit it again.
    v.panel.findChild<QAction*>(QStringLiteral("actFitColumns"))->trigger();
    QTRY_VERIFY(grid->columnWidth(0) > 90);
    QCOMPARE(v.panel.bsSkinDBGrid1()->rememberedWidths(), (QList<int>{0, 0, 0, 0, 0}));
}

void TestInvestorView::headingMenuChoosesColumns()
{
    View v({{QStringLiteral("a.cn"), inDays(40), QStringLiteral("100")}});
    QCOMPARE(
        v.db.exec(QStringLiteral("update tt_a set a4 = 'https://dc.example.cn/login', a5 = '2019-05-04', "
                                 "a7 = 'line one\nline two', a8 = 'secret99'")),
        QString());
    QCOMPARE(v.db.queryA()->open().error(), QString());
    QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
    QTableView* grid = v.panel.bsSkinDBGrid1();
    const QAbstractItemModel* m = grid->model();
    auto* menu = v.panel.findChild<QMenu*>(QStringLiteral("menuColumns"));
    QVERIFY(menu);
    // A right click on the heading row opens it; the five columns are ticked, the four others not.
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
    QApplication::sendEvent(header->viewport(), &click);
    QTRY_VERIFY(menu->isVisible());
    menu->close();
    QStringList ticked, offered;
    for (QAction* a : menu->actions()) {
        if (a->objectName().startsWith(QStringLiteral("actColumn_"))) {
            offered << a->text();
            if (a->isChecked())
                ticked << a->text();
        }
    }
    QCOMPARE(offered,
             (QStringList{QStringLiteral("域名"), QStringLiteral("报价"), QStringLiteral("说明"),
                          QStringLiteral("注册商"), QStringLiteral("到期"), QStringLiteral("注册日期"),
                          QStringLiteral("管理地址"), QStringLiteral("备注"), QStringLiteral("管理密码")}));
    QCOMPARE(ticked, DomainListModel::defaultHeadings());
    auto action = [&v](const char* name) { return v.panel.findChild<QAction*>(QLatin1String(name)); };
    QVERIFY(!action("actShowPasswords")->isEnabled());

    // Shown: 注册日期, 管理密码 and 备注 take their places after the five; 报价 hidden.
    action("actColumn_a5")->trigger();
    action("actColumn_a8")->trigger();
    action("actColumn_a7")->trigger();
    action("actColumn_a9")->trigger();
    QStringList headings;
    for (int c = 0; c < m->columnCount(); ++c)
        headings << m->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headings, (QStringList{QStringLiteral("域名"), QStringLiteral("说明"), QStringLiteral("注册商"),
                                    QStringLiteral("到期"), QStringLiteral("注册日期"),
                                    QStringLiteral("备注"), QStringLiteral("管理密码")}));
    QCOMPARE(m->index(0, 4).data().toString(), QStringLiteral("2019-05-04"));
    QCOMPARE(m->index(0, 5).data().toString(), QStringLiteral("line one  line two"));
    // The password is masked, in the cell and in its tip, until asked for.
    QCOMPARE(m->index(0, 6).data().toString(), QStringLiteral("••••••"));
    QVERIFY(!m->index(0, 6).data(Qt::ToolTipRole).toString().contains(QStringLiteral("secret")));
    QVERIFY(action("actShowPasswords")->isEnabled());
    action("actShowPasswords")->trigger();
    QCOMPARE(m->index(0, 6).data().toString(), QStringLiteral("secret99"));
    // Hidden and shown again, it is masked again.
    action("actColumn_a8")->trigger();
    action("actColumn_a8")->trigger();
    QCOMPARE(m->index(0, 6).data().toString(), QStringLiteral("••••••"));
    // A heading click on an added column sorts by it and marks it; "刷 新" takes the mark off again.
    QCOMPARE(v.panel.bsSkinDBGrid1()->listModel()->fieldName(4), QStringLiteral("a5"));
    v.panel.bsSkinDBGrid1()->sortByHeading(4);
    QCOMPARE(v.panel.bsSkinDBGrid1()->heading(4), QStringLiteral("注册日期 ∧"));
    QCOMPARE(v.db.queryA()->sort(), QStringLiteral("a5 ASC"));
    v.panel.resetToDefaultList();
    QCOMPARE(v.panel.bsSkinDBGrid1()->heading(4), QStringLiteral("注册日期"));
    // The columns still fill the list, the new date whole.
    QTRY_VERIFY(textRoom(grid, 4) >= textWidth(grid, QStringLiteral("2019-05-04")));

    // The last column shown cannot be hidden.
    for (const char* name :
         {"actColumn_a1", "actColumn_a2", "actColumn_a3", "actColumn_a6", "actColumn_a5", "actColumn_a7"})
        action(name)->trigger();
    QCOMPARE(v.panel.bsSkinDBGrid1()->shownColumns(), QStringList{QStringLiteral("a8")});
    menu->popup(QPoint(0, 0)); // the menu is brought up to date as it opens
    QTRY_VERIFY(menu->isVisible());
    menu->close();
    QVERIFY(!action("actColumn_a8")->isEnabled());
    action("actColumn_a8")->trigger();
    QCOMPARE(v.panel.bsSkinDBGrid1()->shownColumns(), QStringList{QStringLiteral("a8")});
}

void TestInvestorView::chosenColumnsComeBackWithTheLayout()
{
    QFile::remove(LayoutSettings::filePath());
    {
        View v({{QStringLiteral("a.cn"), inDays(40), QStringLiteral("100")}});
        QVERIFY(QTest::qWaitForWindowExposed(&v.panel));
        for (const char* field : {"a9", "a3"})
            v.panel.bsSkinDBGrid1()->setColumnShown(QLatin1String(field), false);
        v.panel.bsSkinDBGrid1()->setColumnShown(QStringLiteral("a4"), true);
        v.panel.bsSkinDBGrid1()->setColumnWidth(1, 222); // 说明, set by the user
        QCOMPARE(v.panel.bsSkinDBGrid1()->shownColumns(),
                 (QStringList{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a6"),
                              QStringLiteral("a4")}));
        WindowLayout layout;
        layout.columns = v.panel.bsSkinDBGrid1()->shownColumns();
        layout.columnWidths = v.panel.bsSkinDBGrid1()->rememberedWidths();
        QCOMPARE(LayoutSettings::save(layout), QString());
    }
    // Kept per user with the window layout, never in the program's settings file.
    QSettings file(LayoutSettings::filePath(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("portfolio/shown")).toString(), QStringLiteral("a1,a2,a6,a4"));

    // The panel made again, as at the next start.
    View again({{QStringLiteral("b.cn"), inDays(40), QStringLiteral("100")}});
    const WindowLayout layout = LayoutSettings::load();
    again.panel.restoreLayout(layout.splitter, layout.columnWidths, layout.columns);
    QVERIFY(QTest::qWaitForWindowExposed(&again.panel));
    QCOMPARE(again.panel.bsSkinDBGrid1()->shownColumns(),
             (QStringList{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a6"),
                          QStringLiteral("a4")}));
    QCOMPARE(again.panel.bsSkinDBGrid1()->listModel()->heading(3), QStringLiteral("管理地址"));
    QTRY_COMPARE(again.panel.bsSkinDBGrid1()->columnWidth(1), 222);
    QCOMPARE(again.panel.bsSkinDBGrid1()->rememberedWidths(), (QList<int>{0, 222, 0, 0}));

    // A file of an earlier version: five widths, no columns. Those at their starting widths and the last
    // were never set by the user; the others were.
    View old({{QStringLiteral("c.cn"), inDays(40), QStringLiteral("100")}});
    old.panel.restoreLayout({}, {113, 60, 90, 106, 300});
    QCOMPARE(old.panel.bsSkinDBGrid1()->shownColumns(), DomainListModel::fieldNames());
    QCOMPARE(old.panel.bsSkinDBGrid1()->rememberedWidths(), (QList<int>{0, 0, 90, 0, 0}));
}

QTEST_MAIN(TestInvestorView)
#include "tst_overview.moc"
