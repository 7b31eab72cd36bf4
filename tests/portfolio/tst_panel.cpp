#include "TestDb.h"
#include "db/DomainRecord.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/DomainListModel.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/Lookups.h"
#include "portfolio/PortfolioStatus.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>
#include <memory>

namespace {
const QString kNotice = QStringLiteral("请先添加域名");

// A fresh database holding the given domains (a1 .. a9 each; the first is the oldest) and the
// panel bound to it, shown at the size it has in the main window.
struct Panel
{
    explicit Panel(const QList<QStringList>& domains = {})
    {
        for (const QStringList& d : domains)
            aids << db.insert(d);
        QVERIFY(db.queryA()->open().ok());
        panel.resize(852, 593);
        panel.bindData(db.module());
        panel.show();
    }
    Dataset* query() const { return db.queryA(); }
    template <typename T = QToolButton> T* find(const char* name) const
    {
        return panel.findChild<T*>(QLatin1String(name));
    }
    QString shown(const char* name) const { return find<QLabel>(name)->text(); }
    // The names in the list, top to bottom, as the list's model gives them.
    QStringList listed() const { return modelColumn(panel.bsSkinDBGrid1()->model()); }
    QStringList headings() const
    {
        QStringList texts;
        const QAbstractItemModel* model = panel.bsSkinDBGrid1()->model();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal).toString();
        return texts;
    }
    void clickHeading(int column) const
    {
        QHeaderView* header = panel.bsSkinDBGrid1()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    void clickRow(int row) const
    {
        QTableView* grid = panel.bsSkinDBGrid1();
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    TestDb db;
    TFr_guanli panel;
    QList<qint64> aids;
};

QList<QStringList> names(const QStringList& list)
{
    QList<QStringList> rows;
    for (const QString& n : list)
        rows << QStringList{n};
    return rows;
}

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}
} // namespace

class TestPortfolioPanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndNames();
    void partsReachedByAccessorAreTheNamedOnes_data();
    void partsReachedByAccessorAreTheNamedOnes();
    void detailPaneShowsTheCurrentRecord_data();
    void detailPaneShowsTheCurrentRecord();
    void listAndQueryMoveTogether();
    void addressLinkFollowsTheAddress_data();
    void addressLinkFollowsTheAddress();
    void emptyListNotice_data();
    void emptyListNotice();
    void toolbarActionsWithRows();

    void typingSearchesAtEveryChange();
    void searchText_data();
    void searchText();
    void searchWhileTheRowsComeInAnswersAtOnce();
    void sortWhileTheRowsComeInWaitsWithABusyCursor();
    void totalsWaitForTheWholeList();
    void failedLaterReadIsShown();
    void typingUpperCaseFindsLowerCase_data();
    void typingUpperCaseFindsLowerCase();
    void searchStaysForAReopen();
    void searchInEveryFieldAndSayWhenNothingIsFound();
    void searchErrorEmptiesTheListUntilTheNextGoodSearch();

    void headingClicksSortAndMark();
    void sortKeepsTiesInTheirOrder();
    void sortAfterSearchAndSearchAfterSort();
    void resetToDefaultList_data();
    void resetToDefaultList();
    void refreshErrorShowsTheBoxAndLeavesTheListEmpty();

    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void deleteTheLastRowAndTheOnlyRow();
    void deleteOfADomainAlreadyGone();
    void deleteDuringSearchKeepsTheSearch();

    void keyboardShortcuts();
    void detailPaneShowsLongTextsWhole();
    void priceSumTellsWhatItLeftOut();
    void linksHandTheirAddressToTheBrowser_data();
    void linksHandTheirAddressToTheBrowser();
    void otherSchemesRefused_data();
    void otherSchemesRefused();

private:
    QStringList m_opened;
};

void TestPortfolioPanel::initTestCase()
{
    MessageBox::setTestMode(true);
    Platform::setBrowserHook([this](const QString& address) { m_opened << address; });
}

void TestPortfolioPanel::init()
{
    MessageBox::clearShown();
    m_opened.clear();
}

void TestPortfolioPanel::cleanup()
{
    MessageBox::clearShown();
}

void TestPortfolioPanel::layoutAndNames()
{
    Panel p(names({QStringLiteral("a.com")}));
    QCOMPARE(p.panel.objectName(), QStringLiteral("Fr_guanli1"));
    const QList<std::pair<const char*, QString>> buttons = {
        {"btnAdd", QStringLiteral("添 加")},       {"btnEdit", QStringLiteral("编 辑")},
        {"btnDelete", QStringLiteral("删 除")},    {"btnImport", QStringLiteral("批量导入")},
        {"btnExport", QStringLiteral("批量导出")}, {"btnRefresh", QStringLiteral("刷 新")},
        {"btnPrint", QStringLiteral("打 印")},     {"btnHelp", QStringLiteral("帮 助")}};
    int lastX = -1;
    for (const auto& [name, text] : buttons) {
        QToolButton* b = p.find(name);
        QVERIFY2(b, name);
        QCOMPARE(b->text(), text);
        QVERIFY(!b->icon().isNull());
        QVERIFY2(b->x() > lastX, name); // left to right in this order
        lastX = b->x();
    }
    // Dividers after the third and the fifth button.
    QVERIFY(p.find<QWidget>("divider1")->x() > p.find("btnDelete")->x());
    QVERIFY(p.find<QWidget>("divider1")->x() < p.find("btnImport")->x());
    QVERIFY(p.find<QWidget>("divider2")->x() > p.find("btnExport")->x());
    QVERIFY(p.find<QWidget>("divider2")->x() < p.find("btnRefresh")->x());

    QTableView* grid = p.panel.bsSkinDBGrid1();
    QCOMPARE(grid->objectName(), QStringLiteral("bsSkinDBGrid1"));
    QCOMPARE(p.headings(),
             (QStringList{QStringLiteral("域名"), QStringLiteral("报价"), QStringLiteral("说明"),
                          QStringLiteral("注册商"), QStringLiteral("到期")}));
    // The design widths, except that the date column is at least as wide as a full date and the
    // description gives way to it when the list is too narrow for both (see tst_overview).
    const QList<int> widths = {113, 60, 130, 106, 65};
    for (int c : {0, 1, 3})
        QCOMPARE(grid->columnWidth(c), widths[c]);
    QVERIFY(grid->columnWidth(2) <= widths[2] && grid->columnWidth(2) >= 100);
    QVERIFY(grid->columnWidth(4) >= widths[4]);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!grid->verticalHeader()->isVisible());
    QVERIFY(!grid->showGrid());
    QCOMPARE(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    const QPalette pal = grid->palette();
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
             pal.color(QPalette::Active, QPalette::Highlight));
    QVERIFY(p.panel.splitter()->sizes().value(0) >= 490); // wide enough for the columns
    QCOMPARE(p.panel.splitter()->handleWidth(), 10);

    QCOMPARE(p.panel.searchBox()->objectName(), QStringLiteral("bsSkinEdit1"));
    QCOMPARE(p.find<QPushButton>("btnClear")->text(), QStringLiteral("清除"));
    auto* notes = p.find<QPlainTextEdit>("bsSkinMemo1");
    QVERIFY(notes->isReadOnly());
    QCOMPARE(notes->palette().color(QPalette::Base), QColor(245, 249, 254));
    QVERIFY(p.find<QLabel>("lblAid")->isHidden());
    // The titles that head the exported sheet, one per field aid, a1 .. a9.
    QCOMPARE(DomainRecord::titles(),
             (QStringList{QStringLiteral("编号"), QStringLiteral("域名"), QStringLiteral("域名说明"),
                          QStringLiteral("注册商"), QStringLiteral("域名管理地址"),
                          QStringLiteral("注册日期"), QStringLiteral("过期日期"), QStringLiteral("备注"),
                          QStringLiteral("管理密码"), QStringLiteral("对外报价")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->listModel()->index(0, 0).data().toString(), QStringLiteral("a.com"));
}

void TestPortfolioPanel::partsReachedByAccessorAreTheNamedOnes_data()
{
    // The main window and the guide reach these parts through the panel; the skin and older settings
    // know them by these names.
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("name");
    QTest::newRow("toolbar") << QStringLiteral("toolbar") << QStringLiteral("bsSkinToolBar1");
    QTest::newRow("list") << QStringLiteral("list") << QStringLiteral("bsSkinDBGrid1");
    QTest::newRow("search strip") << QStringLiteral("search strip") << QStringLiteral("searchStrip");
    QTest::newRow("search box") << QStringLiteral("search box") << QStringLiteral("bsSkinEdit1");
    QTest::newRow("detail side") << QStringLiteral("detail side") << QStringLiteral("detailSide");
    QTest::newRow("detail fields") << QStringLiteral("detail fields") << QStringLiteral("detailPane");
    QTest::newRow("undo") << QStringLiteral("undo") << QStringLiteral("actUndo");
    QTest::newRow("redo") << QStringLiteral("redo") << QStringLiteral("actRedo");
}

void TestPortfolioPanel::partsReachedByAccessorAreTheNamedOnes()
{
    QFETCH(QString, part);
    QFETCH(QString, name);
    Panel p;
    const TFr_guanli& panel = p.panel;
    const QHash<QString, QObject*> parts = {
        {QStringLiteral("toolbar"), panel.bsSkinToolBar1()},
        {QStringLiteral("list"), panel.bsSkinDBGrid1()},
        {QStringLiteral("search strip"), panel.searchStrip()},
        {QStringLiteral("search box"), panel.searchBox()},
        {QStringLiteral("detail side"), panel.detailPane()},
        {QStringLiteral("detail fields"), panel.detailPane()->fields()},
        {QStringLiteral("undo"), panel.undoAction()},
        {QStringLiteral("redo"), panel.redoAction()},
    };
    QObject* reached = parts.value(part);
    QVERIFY(reached);
    const QList<QObject*> named = panel.findChildren<QObject*>(name);
    QCOMPARE(named.size(), 1); // one part of that name in the panel
    QCOMPARE(reached, named.constFirst());
}

void TestPortfolioPanel::detailPaneShowsTheCurrentRecord_data()
{
    QTest::addColumn<QStringList>("record");
    QTest::newRow("plain") << QStringList{QStringLiteral("abc.com"),
                                          QStringLiteral("三字母"),
                                          QStringLiteral("华夏域名"),
                                          QStringLiteral("http://reg.example/login"),
                                          QStringLiteral("2020-01-02"),
                                          QStringLiteral("2030-01-02"),
                                          QStringLiteral("第一行\r\n第二行"),
                                          QStringLiteral("pw&1"),
                                          QStringLiteral("8800")};
    QTest::newRow("ampersand and markup")
        << QStringList{QStringLiteral("a&b.com"), QStringLiteral("Tom & Jerry"), QStringLiteral("<b>粗</b>"),
                       QStringLiteral(" "),       QStringLiteral("&&"),          QStringLiteral("&x"),
                       QStringLiteral("A & B"),   QStringLiteral("<i>"),         QStringLiteral("&")};
    QTest::newRow("empty fields") << QStringList{QStringLiteral("x.cn"), {}, {}, {}, {}, {}, {}, {}, {}};
}

void TestPortfolioPanel::detailPaneShowsTheCurrentRecord()
{
    QFETCH(QStringList, record);
    // The record between two others, so the pane has to follow the move to it.
    Panel p({{QStringLiteral("old.com"), QStringLiteral("旧")},
             record,
             {QStringLiteral("new.com"), QStringLiteral("新")}});
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("new.com"));
    p.query()->next();
    const QStringList expected = QStringList{QString::number(p.aids[1])} + record;
    QCOMPARE(p.panel.detailPane()->record(), DomainRecord::fromRow(expected));
    const QList<std::pair<const char*, int>> labels = {
        {"lblDomain", 0},  {"lblDescription", 1}, {"lblRegistrar", 2}, {"lblAddress", 3},
        {"lblRegDate", 4}, {"lblExpDate", 5},     {"lblPassword", 7},  {"lblPrice", 8}};
    for (const auto& [name, field] : labels) {
        auto* label = p.find<QLabel>(name);
        QCOMPARE(label->text(), record[field]);
        QCOMPARE(label->textFormat(), Qt::PlainText); // "&" and "<" shown as they are
    }
    QCOMPARE(p.find<QPlainTextEdit>("bsSkinMemo1")->toPlainText(),
             QString(record[6]).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    p.query()->next();
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("old.com"));
    QCOMPARE(p.shown("lblDescription"), QStringLiteral("旧"));
    QCOMPARE(p.shown("lblAid"), QString::number(p.aids[0]));
}

void TestPortfolioPanel::listAndQueryMoveTogether()
{
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QStringLiteral("d%1.com").arg(i);
    Panel p(names(many));
    QTableView* grid = p.panel.bsSkinDBGrid1();
    QCOMPARE(grid->currentIndex().row(), 0);
    QVERIFY(grid->selectionModel()->isRowSelected(0, {}));

    // The query moves (as the wheel does): the list selects the row and scrolls it into view.
    p.query()->setCurrentRow(150);
    QCOMPARE(grid->currentIndex().row(), 150);
    QVERIFY(grid->selectionModel()->isRowSelected(150, {}));
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("d49.com"));
    p.query()->setCurrentRow(199);
    QVERIFY(!p.query()->next()); // the last row stays
    QCOMPARE(grid->currentIndex().row(), 199);

    // A click in the list moves the query.
    p.query()->first();
    p.clickRow(3);
    QCOMPARE(p.query()->currentRow(), 3);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("d196.com"));

    // So do the keys.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(p.query()->currentRow(), 4);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("d195.com"));
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(p.query()->currentRow(), 199);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("d0.com"));
}

void TestPortfolioPanel::addressLinkFollowsTheAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("linkShown");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks count as present") << QStringLiteral("  ") << true;
    QTest::newRow("address") << QStringLiteral("http://reg.example/") << true;
    QTest::newRow("without scheme") << QStringLiteral("reg.example") << true;
}

void TestPortfolioPanel::addressLinkFollowsTheAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, linkShown);
    Panel p({{QStringLiteral("with.com"), {}, {}, QStringLiteral("http://a.example")},
             {QStringLiteral("tested.com"), {}, {}, address}});
    auto* link = p.find("linkVisitAddress");
    QCOMPARE(link->isVisibleTo(&p.panel), linkShown);
    p.query()->next();
    QVERIFY(link->isVisibleTo(&p.panel));
    p.query()->prior();
    QCOMPARE(link->isVisibleTo(&p.panel), linkShown);
    QVERIFY(p.find("linkVisitDomain")->isVisibleTo(&p.panel));
}

void TestPortfolioPanel::emptyListNotice_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("emptyTable"); // else a search that finds nothing
    for (const char* name : {"btnEdit", "btnDelete", "btnImport", "btnExport", "btnPrint"}) {
        QTest::addRow("%s, empty table", name) << QString::fromLatin1(name) << true;
        QTest::addRow("%s, nothing found", name) << QString::fromLatin1(name) << false;
    }
}

void TestPortfolioPanel::emptyListNotice()
{
    QFETCH(QString, button);
    QFETCH(bool, emptyTable);
    Panel p(emptyTable ? QList<QStringList>{} : names({QStringLiteral("a.com"), QStringLiteral("b.com")}));
    if (!emptyTable)
        p.panel.searchBox()->setText(QStringLiteral("zzz"));
    QCOMPARE(p.query()->recordCount(), 0);
    QSignalSpy edit(&p.panel, &TFr_guanli::editRequested);
    QSignalSpy import(&p.panel, &TFr_guanli::importRequested);
    MessageBox::clearShown();
    p.find(button.toLatin1().constData())->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, kNotice);
    QCOMPARE(shown[0].caption, QStringLiteral("Information"));
    QCOMPARE(shown[0].icon, MessageBox::Information);
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok));
    QCOMPARE(edit.size(), 0);
    QCOMPARE(import.size(), 0);
    QCOMPARE(p.db.countRows(), emptyTable ? 0 : 2);
}

void TestPortfolioPanel::toolbarActionsWithRows()
{
    Panel p(names({QStringLiteral("a.com")}));
    QSignalSpy add(&p.panel, &TFr_guanli::addRequested);
    QSignalSpy edit(&p.panel, &TFr_guanli::editRequested);
    QSignalSpy import(&p.panel, &TFr_guanli::importRequested);
    QSignalSpy help(&p.panel, &TFr_guanli::helpRequested);
    // "打 印" with rows runs the report project: see tst_print.
    for (const char* name : {"btnAdd", "btnEdit", "btnImport", "btnHelp"})
        p.find(name)->click();
    QCOMPARE(add.size(), 1);
    QCOMPARE(edit.size(), 1);
    QCOMPARE(import.size(), 1);
    QCOMPARE(help.size(), 1);
    QVERIFY(MessageBox::shown().isEmpty());

    // "添 加" and "帮 助" need no rows.
    Panel empty;
    QSignalSpy add2(&empty.panel, &TFr_guanli::addRequested);
    QSignalSpy help2(&empty.panel, &TFr_guanli::helpRequested);
    empty.find("btnAdd")->click();
    empty.find("btnHelp")->click();
    QCOMPARE(add2.size(), 1);
    QCOMPARE(help2.size(), 1);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestPortfolioPanel::typingSearchesAtEveryChange()
{
    Panel p(names({QStringLiteral("abc.com"), QStringLiteral("xyz.net"), QStringLiteral("cab.cn"),
                   QStringLiteral("Alpha.org"), QStringLiteral("AB-test.com")}));
    QLineEdit* box = p.panel.searchBox();
    QTest::keyClick(box, Qt::Key_A);
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("AB-test.com"), QStringLiteral("Alpha.org"),
                                      QStringLiteral("cab.cn"), QStringLiteral("abc.com")}));
    QCOMPARE(p.query()->currentRow(), 0);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("AB-test.com"));
    QTest::keyClick(box, Qt::Key_B);
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("AB-test.com"), QStringLiteral("cab.cn"),
                                      QStringLiteral("abc.com")}));
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("AB-test.com"), QStringLiteral("Alpha.org"),
                          QStringLiteral("cab.cn"), QStringLiteral("xyz.net"), QStringLiteral("abc.com")}));
    QVERIFY(MessageBox::shown().isEmpty());
}

namespace {
// Fills the panel's database with count domains "n<i>.com" (with prices) and opens the list in steps of
// at most stepRows rows, the first 10 at once, as at the start of a large portfolio.
void openLargeInSteps(Panel& p, int count, int stepRows = -1)
{
    QCOMPARE(p.db.exec(QStringLiteral("insert into tt_a (a1,a9) with recursive n(i) as (select 1 union all "
                                      "select i+1 from n where i < %1) select 'n' || i || '.com', i from n")
                           .arg(count)),
             QString());
    Dataset* q = p.query();
    q->setSql(sql::kDefaultList);
    QCOMPARE(q->openInSteps(10, stepRows).error(), QString());
    QVERIFY(q->isFilling());
}

// What the status bar shows first: the count of the domains listed, or that they are still being read.
QString countShown(const TFr_guanli& panel)
{
    return panel.statusStrip()->findChild<QLabel*>(QStringLiteral("lblDomainCount"))->text();
}
const QString kReading = QStringLiteral("正在读取域名……");

QList<int> overrideCursors;
void noteOverrideCursor()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    overrideCursors << (c ? int(c->shape()) : -1);
}
} // namespace

// Typing in the first moment after the start of a large portfolio: the list answers at once with the
// domains found among the rows read so far, without reading on and without the busy cursor; those found
// among the rows read later join at the end, and the status bar counts what is listed.
void TestPortfolioPanel::searchWhileTheRowsComeInAnswersAtOnce()
{
    Panel p;
    openLargeInSteps(p, 3000, 100);
    Dataset* q = p.query();
    overrideCursors.clear();
    connect(q, &Dataset::rowsAdded, this, &noteOverrideCursor);
    const int read = q->storedRowCount();
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral("995"));
    QVERIFY(q->isFilling());
    QCOMPARE(q->storedRowCount(), read);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(p.listed(), QStringList{QStringLiteral("n2995.com")}); // of n3000.com ... n2991.com
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("n2995.com"));
    QCOMPARE(countShown(p.panel), kReading); // one found so far: not yet a count to show
    QTRY_VERIFY(!q->isFilling());
    const QStringList found{QStringLiteral("n2995.com"), QStringLiteral("n1995.com"),
                            QStringLiteral("n995.com")};
    QCOMPARE(p.listed(), found);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("n2995.com"));
    QVERIFY(!overrideCursors.isEmpty());
    QCOMPARE(overrideCursors, QList<int>(overrideCursors.size(), -1));
    // Priced at their numbers (2995 + 1995 + 995 元), no expiry dates.
    QCOMPARE(p.panel.statusStrip()->totals(), (ListTotals{.count = 3, .priced = 3, .priceCents = 598500}));
    // 清除 shows every domain again.
    p.find<QPushButton>("btnClear")->click();
    QCOMPARE(p.panel.statusStrip()->totals().count, 3000);
    QVERIFY(MessageBox::shown().isEmpty());
}

// A heading sort while the rows come in still waits for the rest (the busy cursor meanwhile), sorts all of
// them, and the cursor is back afterwards.
void TestPortfolioPanel::sortWhileTheRowsComeInWaitsWithABusyCursor()
{
    Panel p;
    openLargeInSteps(p, 3000);
    Dataset* q = p.query();
    overrideCursors.clear();
    connect(q, &Dataset::rowsAdded, this, &noteOverrideCursor);
    p.clickHeading(0);
    QVERIFY(!q->isFilling());
    QCOMPARE(overrideCursors, QList<int>{int(Qt::BusyCursor)});
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(p.listed().value(0), QStringLiteral("n1.com"));
    QCOMPARE(p.listed().size(), 3000);
    QVERIFY(MessageBox::shown().isEmpty());
}

// The status bar while the rows come in after the start of a large portfolio: "正在读取域名……" instead of
// counts of the rows read so far, the counts of every row once they are all read.
void TestPortfolioPanel::totalsWaitForTheWholeList()
{
    Panel p;
    openLargeInSteps(p, 3000, 100);
    const PortfolioStatus* strip = p.panel.statusStrip();
    auto* price = strip->findChild<QLabel*>(QStringLiteral("lblPriceSum"));
    QCOMPARE(countShown(p.panel), kReading);
    QVERIFY(price->isHidden());
    QTRY_VERIFY(!p.query()->isFilling());
    // n1.com .. n3000.com, priced 1 .. 3000 元: 3000 × 3001 / 2 = 4,501,500 元.
    QCOMPARE(strip->totals(), (ListTotals{.count = 3000, .priced = 3000, .priceCents = 450150000}));
    QCOMPARE(countShown(p.panel), QStringLiteral("域名 3000 个"));
    QVERIFY(!price->isHidden());
    QCOMPARE(price->text(), QStringLiteral("报价合计 4,501,500 元"));
    QVERIFY(MessageBox::shown().isEmpty());
}

// A later step of the start-up read that the engine refuses (here interrupted, as a damaged or vanished
// file would): the list is left empty and the error is shown, not swallowed.
void TestPortfolioPanel::failedLaterReadIsShown()
{
    Panel p;
    openLargeInSteps(p, 3000, 100);
    QVERIFY(p.query()->recordCount() > 0);
    p.db.interruptRunningStatements();
    QTRY_VERIFY(!MessageBox::shown().isEmpty());
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QVERIFY2(shown[0].text.contains(QLatin1String("interrupt")), qPrintable(shown[0].text));
    QVERIFY(!p.query()->isFilling());
    QVERIFY(p.listed().isEmpty());
    QCOMPARE(p.shown("lblDomain"), QString());
    QCOMPARE(countShown(p.panel), QStringLiteral("域名 0 个"));
}

void TestPortfolioPanel::typingUpperCaseFindsLowerCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found"); // newest first
    QTest::addColumn<bool>("whileReading"); // typed while the rows still come in after the start
    // Stored, oldest first: abc.com, xyz.net, Cab.cn, ABCD.org, ab-c.com, and (while reading) n1.com ...
    const QStringList abc{QStringLiteral("ABCD.org"), QStringLiteral("abc.com")};
    QTest::newRow("all read") << QStringLiteral("ABC") << abc << false;
    QTest::newRow("mixed case") << QStringLiteral("aB")
                                << QStringList{QStringLiteral("ab-c.com"), QStringLiteral("ABCD.org"),
                                               QStringLiteral("Cab.cn"), QStringLiteral("abc.com")}
                                << false;
    QTest::newRow("to the dot") << QStringLiteral("CAB.") << QStringList{QStringLiteral("Cab.cn")} << false;
    QTest::newRow("while reading") << QStringLiteral("ABC") << abc << true;
}

// Typed into the search box key by key, capitals find the names in any case (each key narrows the list
// found for the keys before it), also among the rows still coming in.
void TestPortfolioPanel::typingUpperCaseFindsLowerCase()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    QFETCH(bool, whileReading);
    Panel p(names({QStringLiteral("abc.com"), QStringLiteral("xyz.net"), QStringLiteral("Cab.cn"),
                   QStringLiteral("ABCD.org"), QStringLiteral("ab-c.com")}));
    if (whileReading) {
        // The five first, then 3000 more, read 10 at once and 100 a step: the five come last (oldest).
        QCOMPARE(
            p.db.exec(QStringLiteral("insert into tt_a (a1) with recursive n(i) as (select 1 union all "
                                     "select i+1 from n where i < 3000) select 'n' || i || '.com' from n")),
            QString());
        p.query()->setSql(sql::kDefaultList);
        QCOMPARE(p.query()->openInSteps(10, 100).error(), QString());
    }
    QTest::keyClicks(p.panel.searchBox(), typed);
    QCOMPARE(p.panel.searchBox()->text(), typed);
    QTRY_VERIFY(!p.query()->isFilling());
    QCOMPARE(p.listed(), found);
    QCOMPARE(p.shown("lblDomain"), found.first());
    QCOMPARE(p.panel.statusStrip()->totals().count, found.size());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestPortfolioPanel::searchText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found"); // newest first
    // Stored, oldest first: see the panel below.
    QTest::newRow("percent lists everything")
        << QStringLiteral("%") << QStringList{QStringLiteral("😀smile.com"),      QStringLiteral("中文网.cn"),
                                              QStringLiteral("back\\slash.com"), QStringLiteral("o'neil.com"),
                                              QStringLiteral("100%.com"),        QStringLiteral("a-c.net"),
                                              QStringLiteral("abc.com")};
    QTest::newRow("underscore is one character")
        << QStringLiteral("a_c") << QStringList{QStringLiteral("a-c.net"), QStringLiteral("abc.com")};
    QTest::newRow("percent inside") << QStringLiteral("a%m")
                                    << QStringList{QStringLiteral("back\\slash.com"),
                                                   QStringLiteral("abc.com")};
    QTest::newRow("quote") << QStringLiteral("o'n") << QStringList{QStringLiteral("o'neil.com")};
    QTest::newRow("lone quote") << QStringLiteral("'") << QStringList{QStringLiteral("o'neil.com")};
    QTest::newRow("statement text") << QStringLiteral("'; drop table tt_a; --") << QStringList{};
    QTest::newRow("backslash") << QStringLiteral("\\") << QStringList{QStringLiteral("back\\slash.com")};
    QTest::newRow("upper case") << QStringLiteral("ABC") << QStringList{QStringLiteral("abc.com")};
    QTest::newRow("chinese") << QStringLiteral("中文") << QStringList{QStringLiteral("中文网.cn")};
    QTest::newRow("emoji") << QStringLiteral("😀") << QStringList{QStringLiteral("😀smile.com")};
    QTest::newRow("no match") << QStringLiteral("qqq") << QStringList{};
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('a')) << QStringList{};
    QTest::newRow("10000 emoji") << QString(QStringLiteral("😀")).repeated(10000) << QStringList{};
    QTest::newRow("too long for the pattern matcher")
        << QString(QStringLiteral("中")).repeated(20000) << QStringList{};
    QTest::newRow("blank") << QStringLiteral(" ") << QStringList{};
}

void TestPortfolioPanel::searchText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    Panel p(names({QStringLiteral("abc.com"), QStringLiteral("a-c.net"), QStringLiteral("100%.com"),
                   QStringLiteral("o'neil.com"), QStringLiteral("back\\slash.com"),
                   QStringLiteral("中文网.cn"), QStringLiteral("😀smile.com")}));
    p.panel.searchBox()->setText(text); // a paste
    QCOMPARE(p.panel.searchBox()->text(), text);
    QCOMPARE(p.listed(), found);
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(p.db.countRows(), 7);
    QCOMPARE(p.shown("lblDomain"), found.value(0));
}

void TestPortfolioPanel::searchStaysForAReopen()
{
    Panel p(names({QStringLiteral("abc.com"), QStringLiteral("xyz.com")}));
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral("ab"));
    QCOMPARE(p.query()->sql(), sql::kSearch);
    QCOMPARE(p.query()->params().value(QStringLiteral("q")), QStringLiteral("ab"));
    // A later save reopens the query: the search stays and the new row is found.
    p.db.insert({QStringLiteral("newab.cn")});
    p.db.insert({QStringLiteral("other.cn")});
    QCOMPARE(p.query()->open().error(), QString());
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("newab.cn"), QStringLiteral("abc.com")}));
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("newab.cn"));
}

void TestPortfolioPanel::searchInEveryFieldAndSayWhenNothingIsFound()
{
    // a1 name, a2 description, a3 registrar, a4 address, a5, a6, a7 notes, a8 password, a9 price.
    Panel p({{QStringLiteral("haoming.com"),
              {},
              QStringLiteral("阿里云"),
              {},
              {},
              {},
              {},
              {},
              QStringLiteral("100")},
             {QStringLiteral("tianxia.cn"),
              QStringLiteral("双拼"),
              QStringLiteral("新网"),
              {},
              {},
              {},
              {},
              {},
              QStringLiteral("200")},
             {QStringLiteral("xinwen.net"),
              {},
              {},
              {},
              {},
              {},
              QStringLiteral("从阿里云转出"),
              QStringLiteral("阿里云pw")}});
    auto* scope = p.find<QComboBox>("cmbSearchScope");
    QVERIFY(scope);
    QCOMPARE(scope->currentText(), QStringLiteral("只查域名")); // the name only, as always
    QCOMPARE(p.panel.searchScope(), SearchScope::Name);

    // Found nowhere in the names: the list says so, and the detail pane is empty, without a visit link or
    // "元".
    // Typed one character at a time (an input method hands over whole characters).
    auto type = [&p](const QString& text) {
        for (const QChar c : text)
            p.panel.searchBox()->insert(QString(c));
    };
    type(QStringLiteral("阿里云"));
    QCOMPARE(p.listed(), QStringList());
    QCOMPARE(p.panel.notFoundText(), QStringLiteral("没有找到包含“阿里云”的域名"));
    for (const char* value : {"lblDomain", "lblDescription", "lblPrice", "lblRegistrar", "lblAddress"})
        QCOMPARE(p.shown(value), QString());
    QVERIFY(!p.find("linkVisitDomain")->isVisible());
    QVERIFY(!p.find<QLabel>("lblPriceUnit")->isVisible());
    QVERIFY(!p.find("linkVisitAddress")->isVisible());

    // 全部字段: the registrar and the notes find it (the password is not searched).
    scope->setCurrentIndex(scope->findText(QStringLiteral("全部字段")));
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("xinwen.net"), QStringLiteral("haoming.com")}));
    QCOMPARE(p.panel.notFoundText(), QString());
    QVERIFY(p.find("linkVisitDomain")->isVisible());
    QVERIFY(p.find<QLabel>("lblPriceUnit")->isVisible());
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("xinwen.net"));
    type(QStringLiteral("转"));
    QCOMPARE(p.listed(), QStringList{QStringLiteral("xinwen.net")});
    QTest::keyClick(p.panel.searchBox(), Qt::Key_Backspace);
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral("x"));
    QCOMPARE(p.listed(), QStringList());
    QCOMPARE(p.panel.notFoundText(), QStringLiteral("没有找到包含“阿里云x”的域名"));
    p.panel.searchBox()->setText(QStringLiteral("双"));
    QCOMPARE(p.listed(), QStringList{QStringLiteral("tianxia.cn")});

    // "清除" empties the box: every domain, nothing said; the scope stays as chosen.
    p.panel.searchBox()->setText(QStringLiteral("zzz"));
    QVERIFY(!p.panel.notFoundText().isEmpty());
    p.find<QPushButton>("btnClear")->click();
    QCOMPARE(p.listed().size(), 3);
    QCOMPARE(p.panel.notFoundText(), QString());
    QCOMPARE(p.panel.searchScope(), SearchScope::AllFields);

    // An empty portfolio says nothing: there was nothing to find.
    Panel none;
    QCOMPARE(none.listed(), QStringList());
    QCOMPARE(none.panel.notFoundText(), QString());
    QVERIFY(none.find<QLabel>("lblPriceUnit")->isVisible());
}

void TestPortfolioPanel::searchErrorEmptiesTheListUntilTheNextGoodSearch()
{
    Panel p(names({QStringLiteral("abc.com"), QStringLiteral("xyz.com")}));
    QCOMPARE(p.db.exec(QStringLiteral("alter table tt_a rename to tt_gone")), QString());
    QTest::keyClick(p.panel.searchBox(), Qt::Key_A);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QVERIFY2(shown[0].text.contains(QLatin1String("tt_a")), qPrintable(shown[0].text));
    QVERIFY(p.listed().isEmpty());
    QCOMPARE(p.shown("lblDomain"), QString());
    p.clickHeading(0); // nothing happens while the query is closed
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名"));
    QCOMPARE(p.db.exec(QStringLiteral("alter table tt_gone rename to tt_a")), QString());
    QVERIFY(p.listed().isEmpty()); // until the next change of the box
    QTest::keyClick(p.panel.searchBox(), Qt::Key_B);
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("abc.com")}));
    QVERIFY(MessageBox::shown().isEmpty());
    // The heading click works again, and it is the first one: ascending.
    p.clickHeading(0);
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∧"));
}

void TestPortfolioPanel::headingClicksSortAndMark()
{
    Panel p({{QStringLiteral("b10.com"),
              QStringLiteral("乙"),
              {},
              {},
              {},
              QStringLiteral("2030-01-01"),
              {},
              {},
              QStringLiteral("9")},
             {QStringLiteral("B2.com"),
              QStringLiteral("甲"),
              {},
              {},
              {},
              QStringLiteral("2025-06-30"),
              {},
              {},
              QStringLiteral("100")},
             {QStringLiteral("a.com"),
              QStringLiteral("丙"),
              {},
              {},
              {},
              QStringLiteral("2027-12-01"),
              {},
              {},
              QStringLiteral("10")}});
    p.clickHeading(0);
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("a.com"), QStringLiteral("B2.com"), QStringLiteral("b10.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∧"));
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("a.com"));
    QCOMPARE(p.db.countRows(), 3);
    p.clickHeading(0);
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("b10.com"), QStringLiteral("B2.com"), QStringLiteral("a.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∨"));
    p.clickHeading(0);
    p.clickHeading(1); // after an ascending click: descending, by value
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("B2.com"), QStringLiteral("a.com"), QStringLiteral("b10.com")}));
    QCOMPARE(p.headings(),
             (QStringList{QStringLiteral("域名 ∧"), QStringLiteral("报价 ∨"), QStringLiteral("说明"),
                          QStringLiteral("注册商"), QStringLiteral("到期")}));
    p.clickHeading(4);
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("B2.com"), QStringLiteral("a.com"), QStringLiteral("b10.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(4), QStringLiteral("到期 ∧"));
    p.clickHeading(2); // Chinese by its usual order: 丙 bing, 甲 jia, 乙 yi, descending
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("b10.com"), QStringLiteral("B2.com"), QStringLiteral("a.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(2), QStringLiteral("说明 ∨"));
    // The heading reset restores the texts only.
    p.panel.bsSkinDBGrid1()->resetHeadings();
    QCOMPARE(p.headings(), DomainListModel::defaultHeadings());
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("b10.com"), QStringLiteral("B2.com"), QStringLiteral("a.com")}));
}

void TestPortfolioPanel::sortKeepsTiesInTheirOrder()
{
    // Registrars with repeats, and two that differ only in letter case (equal for the sort).
    Panel p({{QStringLiteral("x.com"), {}, QStringLiteral("华夏")},
             {QStringLiteral("y.com"), {}, QStringLiteral("华夏")},
             {QStringLiteral("gone.com"), {}, QStringLiteral("ABC")},
             {QStringLiteral("z.com"), {}, QStringLiteral("ABC")},
             {QStringLiteral("w.com"), {}, QStringLiteral("abc")},
             {QStringLiteral("v.com"), {}, QStringLiteral("华夏")}});
    p.query()->setCurrentRow(3);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("gone.com"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    p.find("btnDelete")->click(); // a row the query no longer holds must not come back with a sort
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("v.com"), QStringLiteral("w.com"), QStringLiteral("z.com"),
                          QStringLiteral("y.com"), QStringLiteral("x.com")}));
    p.clickHeading(3); // ascending: Chinese comes before Latin letters
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("v.com"), QStringLiteral("y.com"), QStringLiteral("x.com"),
                          QStringLiteral("w.com"), QStringLiteral("z.com")}));
    p.clickHeading(3);
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("w.com"), QStringLiteral("z.com"), QStringLiteral("v.com"),
                          QStringLiteral("y.com"), QStringLiteral("x.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(3), QStringLiteral("注册商 ∨"));
}

void TestPortfolioPanel::sortAfterSearchAndSearchAfterSort()
{
    Panel p(names({QStringLiteral("zeta.com"), QStringLiteral("beta.com"), QStringLiteral("alpha.net"),
                   QStringLiteral("gamma.com")}));
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral(".com"));
    p.clickHeading(0);
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("beta.com"), QStringLiteral("gamma.com"),
                                      QStringLiteral("zeta.com")}));
    QTest::keyClick(p.panel.searchBox(), Qt::Key_Backspace);
    // Rows come back newest first; the mark stays.
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("gamma.com"), QStringLiteral("beta.com"),
                                      QStringLiteral("zeta.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∧"));
}

void TestPortfolioPanel::resetToDefaultList_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("刷 新") << QStringLiteral("btnRefresh");
    QTest::newRow("清除") << QStringLiteral("btnClear");
}

void TestPortfolioPanel::resetToDefaultList()
{
    QFETCH(QString, button);
    const QStringList all = {QStringLiteral("c.com"), QStringLiteral("a.com"), QStringLiteral("b.net")};
    Panel p(names(all));
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral(".com"));
    p.clickHeading(0); // ascending; the next click will be descending
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("a.com"), QStringLiteral("c.com")}));
    p.query()->next();
    p.find<QAbstractButton>(button.toLatin1().constData())->click();
    QCOMPARE(p.panel.searchBox()->text(), QString());
    QCOMPARE(p.listed(), reversed(all));
    QCOMPARE(p.headings(), DomainListModel::defaultHeadings());
    QCOMPARE(p.query()->currentRow(), 0);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("b.net"));
    p.clickHeading(0); // the direction flag went on alternating
    QCOMPARE(p.listed(),
             (QStringList{QStringLiteral("c.com"), QStringLiteral("b.net"), QStringLiteral("a.com")}));
    QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∨"));

    // With an empty box: the default list, once more.
    p.find<QAbstractButton>(button.toLatin1().constData())->click();
    QCOMPARE(p.query()->sql(), sql::kDefaultList);
    QCOMPARE(p.listed(), reversed(all));
    QCOMPARE(p.headings(), DomainListModel::defaultHeadings());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestPortfolioPanel::refreshErrorShowsTheBoxAndLeavesTheListEmpty()
{
    Panel p(names({QStringLiteral("a.com")}));
    QCOMPARE(p.db.exec(QStringLiteral("alter table tt_a rename to tt_gone")), QString());
    p.find("btnRefresh")->click();
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QVERIFY(p.listed().isEmpty());
    QCOMPARE(p.shown("lblDomain"), QString());
    QCOMPARE(p.db.exec(QStringLiteral("alter table tt_gone rename to tt_a")), QString());
    p.find("btnRefresh")->click();
    QCOMPARE(p.listed(), QStringList{QStringLiteral("a.com")});
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestPortfolioPanel::deleteAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("OK") << int(MessageBox::Ok) << true;
    QTest::newRow("Cancel") << int(MessageBox::Cancel) << false;
    QTest::newRow("closed") << int(MessageBox::NoButton) << false;
}

void TestPortfolioPanel::deleteAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, deleted);
    Panel p(names({QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com"),
                   QStringLiteral("d.com")}));
    p.clickHeading(0); // a sort in effect stays in effect
    p.query()->setCurrentRow(1);
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("b.com"));
    const qint64 bAid = p.aids[1];
    MessageBox::setNextAnswer(MessageBox::Button(answer));
    p.find("btnDelete")->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("您确定要删除此域名吗?此操作不可恢复"));
    QCOMPARE(shown[0].caption, QStringLiteral("删除确认"));
    QCOMPARE(shown[0].icon, MessageBox::Question);
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok | MessageBox::Cancel));
    if (deleted) {
        QCOMPARE(p.db.row(bAid), QStringList());
        QCOMPARE(p.db.countRows(), 3);
        QCOMPARE(p.listed(),
                 (QStringList{QStringLiteral("a.com"), QStringLiteral("c.com"), QStringLiteral("d.com")}));
        QCOMPARE(p.query()->currentRow(), 1);
        QCOMPARE(p.shown("lblDomain"), QStringLiteral("c.com"));
        QCOMPARE(p.panel.bsSkinDBGrid1()->currentIndex().row(), 1);
        QCOMPARE(p.panel.bsSkinDBGrid1()->heading(0), QStringLiteral("域名 ∧"));
    } else {
        QCOMPARE(p.db.countRows(), 4);
        QCOMPARE(p.listed(), (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com"),
                                          QStringLiteral("c.com"), QStringLiteral("d.com")}));
        QCOMPARE(p.shown("lblDomain"), QStringLiteral("b.com"));
    }
}

void TestPortfolioPanel::deleteTheLastRowAndTheOnlyRow()
{
    Panel p(names({QStringLiteral("a.com"), QStringLiteral("b.com")}));
    p.query()->last();
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("a.com"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    p.find("btnDelete")->click();
    QCOMPARE(p.listed(), QStringList{QStringLiteral("b.com")});
    QCOMPARE(p.query()->currentRow(), 0); // the new last row
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("b.com"));
    MessageBox::setNextAnswer(MessageBox::Ok);
    p.find("btnDelete")->click();
    QVERIFY(p.listed().isEmpty());
    QCOMPARE(p.db.countRows(), 0);
    QCOMPARE(p.panel.detailPane()->record(), DomainRecord());
    QVERIFY(!p.find("linkVisitAddress")->isVisibleTo(&p.panel));
    MessageBox::clearShown();
    p.find("btnDelete")->click(); // nothing is asked any more
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, kNotice);
}

// Another program deleted the domain first: the delete changes no row, which is told, not done.
void TestPortfolioPanel::deleteOfADomainAlreadyGone()
{
    Panel p(names({QStringLiteral("a.com"), QStringLiteral("b.com")}));
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("b.com"));
    QCOMPARE(p.db.exec(QStringLiteral("delete from tt_a where aid=%1").arg(p.aids[1])), QString());
    MessageBox::setNextAnswer(MessageBox::Ok);
    p.find("btnDelete")->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 2); // the question, then the error
    QCOMPARE(shown[1].icon, MessageBox::Critical);
    QVERIFY2(shown[1].text.contains(QStringLiteral("已经不在数据库中")), qPrintable(shown[1].text));
    QCOMPARE(p.db.countRows(), 1);
}

void TestPortfolioPanel::deleteDuringSearchKeepsTheSearch()
{
    Panel p(names({QStringLiteral("ab1.com"), QStringLiteral("zz.com"), QStringLiteral("ab2.com"),
                   QStringLiteral("ab3.com")}));
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral("ab"));
    QSignalSpy resets(p.query(), &Dataset::rowsReset);
    p.query()->setCurrentRow(1);
    MessageBox::setNextAnswer(MessageBox::Ok);
    p.find("btnDelete")->click();
    QCOMPARE(resets.size(), 0); // no reload
    QCOMPARE(p.listed(), (QStringList{QStringLiteral("ab3.com"), QStringLiteral("ab1.com")}));
    QCOMPARE(p.panel.searchBox()->text(), QStringLiteral("ab"));
    QCOMPARE(p.shown("lblDomain"), QStringLiteral("ab1.com"));
    QCOMPARE(p.db.countRows(), 3);
}

void TestPortfolioPanel::keyboardShortcuts()
{
    Panel p(names({QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.net")}));
    p.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.panel));
    QTableView* grid = p.panel.bsSkinDBGrid1();
    grid->setFocus();
    // Delete in the list asks first, exactly as "删 除".
    MessageBox::setNextAnswer(MessageBox::Cancel);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(MessageBox::takeShown().value(0).caption, QStringLiteral("删除确认"));
    QCOMPARE(p.db.countRows(), 3);
    // Ctrl+F goes to the search box; F5 there resets to the default list.
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(p.panel.searchBox()->hasFocus());
    QTest::keyClicks(p.panel.searchBox(), QStringLiteral(".com"));
    QCOMPARE(p.listed().size(), 2);
    QTest::keyClick(p.panel.searchBox(), Qt::Key_Delete); // in the box it edits the text, nothing else
    QVERIFY(MessageBox::shown().isEmpty());
    QTest::keyClick(p.panel.searchBox(), Qt::Key_F5);
    QCOMPARE(p.panel.searchBox()->text(), QString());
    QCOMPARE(p.listed().size(), 3);
}

void TestPortfolioPanel::detailPaneShowsLongTextsWhole()
{
    const QString address = QStringLiteral("https://dcp.example-registrar.com/console/domain/manage?") +
                            QStringLiteral("id=123456789&section=dns&tab=records&").repeated(6);
    const QString notes = QStringLiteral("客户 A 意向购买，报价已发邮件；").repeated(12);
    Panel p({{QStringLiteral("a.com"), {}, {}, address, {}, {}, notes}});
    QVERIFY(QTest::qWaitForWindowExposed(&p.panel));
    auto* shown = p.find<QLabel>("lblAddress");
    // Cut off within the pane, the visit link beside it still in view; the tip holds the whole address.
    QTRY_VERIFY(shown->width() < shown->fontMetrics().horizontalAdvance(address));
    QWidget* pane = p.panel.findChild<QWidget*>(QStringLiteral("detailPane"));
    QWidget* link = p.find("linkVisitAddress");
    QVERIFY(link->isVisible());
    QVERIFY(link->mapTo(pane, QPoint(link->width(), 0)).x() <= pane->width());
    QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), shown->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(shown, &tip);
    QTRY_COMPARE(QToolTip::text(), address);
    QToolTip::hideText();
    // A click on the address opens it, as its link does.
    QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(5, shown->height() / 2));
    QCOMPARE(m_opened, QStringList{address});
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(m_opened, (QStringList{address, address}));
    // The notes wrap at the box's width: no line runs off to the side.
    auto* box = p.panel.findChild<QPlainTextEdit*>(QStringLiteral("bsSkinMemo1"));
    QCOMPARE(box->toPlainText(), notes);
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QVERIFY(!box->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(box->document()->lineCount() > 1); // one paragraph, laid out on several lines
}

void TestPortfolioPanel::priceSumTellsWhatItLeftOut()
{
    // a9 of each: two numbers, a word, nothing, a number with groups.
    Panel p({{QStringLiteral("a.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("100")},
             {QStringLiteral("b.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("面议")},
             {QStringLiteral("c.com"), {}, {}, {}, {}, {}, {}, {}, QString()},
             {QStringLiteral("d.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("1,200.5")},
             {QStringLiteral("e.com"), {}, {}, {}, {}, {}, {}, {}, QStringLiteral("8")}});
    auto* price = p.panel.statusStrip()->findChild<QLabel*>(QStringLiteral("lblPriceSum"));
    QTRY_COMPARE(price->text(), QStringLiteral("报价合计 1,308.50 元"));
    QCOMPARE(price->toolTip(),
             QStringLiteral("合计 3 个域名的报价；另有 2 个域名的报价不是数字（如“面议”或未填），未计入"));
    // Within a search, of what the search found.
    p.panel.searchBox()->setText(QStringLiteral("a"));
    QTRY_COMPARE(price->toolTip(), QStringLiteral("合计 1 个域名的报价"));
}

void TestPortfolioPanel::linksHandTheirAddressToTheBrowser_data()
{
    QTest::addColumn<QStringList>("record"); // empty: an empty list
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("address");
    const QStringList plain = {QStringLiteral("example.com"), {}, {}, QStringLiteral(" reg.example/login ")};
    // A bare name opens the web site: "http://" goes before an address that names no scheme.
    QTest::newRow("visit domain") << plain << "linkVisitDomain" << QStringLiteral("http://example.com");
    QTest::newRow("visit address, no scheme")
        << plain << "linkVisitAddress" << QStringLiteral("http://reg.example/login");
    QTest::newRow("whois") << plain << "linkWhois"
                           << QStringLiteral("http://%1/www.example.com").arg(lookups::kWhoisHost);
    QTest::newRow("seo") << plain << "linkSeo"
                         << QStringLiteral("http://%1/?q=www.example.com").arg(lookups::kSeoHost);
    QTest::newRow("icp") << plain << "linkIcp"
                         << QStringLiteral("http://%1/search/example.com").arg(lookups::kIcpHost);
    const QStringList www = {QStringLiteral("www.abc.cn")};
    QTest::newRow("whois, www twice")
        << www << "linkWhois" << QStringLiteral("http://%1/www.www.abc.cn").arg(lookups::kWhoisHost);
    QTest::newRow("seo, www twice") << www << "linkSeo"
                                    << QStringLiteral("http://%1/?q=www.www.abc.cn").arg(lookups::kSeoHost);
    const QStringList chinese = {QStringLiteral("中文 网.中国")};
    QTest::newRow("chinese, not encoded")
        << chinese << "linkIcp" << QStringLiteral("http://%1/search/中文 网.中国").arg(lookups::kIcpHost);
    QTest::newRow("chinese visit") << chinese << "linkVisitDomain" << QStringLiteral("http://中文 网.中国");
    QTest::newRow("empty list, whois")
        << QStringList() << "linkWhois" << QStringLiteral("http://%1/www.").arg(lookups::kWhoisHost);
    // Nothing that looks like an option ever reaches the browser's command line.
    QTest::newRow("domain like an option")
        << QStringList{QStringLiteral("-x.com")} << "linkVisitDomain" << QStringLiteral("http://-x.com");
    QTest::newRow("address like an option")
        << QStringList{QStringLiteral("a.com"), {}, {}, QStringLiteral("--gpu-launcher=/bin/sh")}
        << "linkVisitAddress" << QStringLiteral("http://--gpu-launcher=/bin/sh");
    QTest::newRow("https kept") << QStringList{QStringLiteral("a.com"),
                                               {},
                                               {},
                                               QStringLiteral("HTTPS://Reg.example/x")}
                                << "linkVisitAddress" << QStringLiteral("HTTPS://Reg.example/x");
    QTest::newRow("host and port") << QStringList{QStringLiteral("a.com"),
                                                  {},
                                                  {},
                                                  QStringLiteral("reg.example:8080/m")}
                                   << "linkVisitAddress" << QStringLiteral("http://reg.example:8080/m");
}

void TestPortfolioPanel::linksHandTheirAddressToTheBrowser()
{
    QFETCH(QStringList, record);
    QFETCH(QString, link);
    QFETCH(QString, address);
    Panel p(record.isEmpty() ? QList<QStringList>{} : QList<QStringList>{record});
    const int before = p.query()->currentRow();
    QTest::mouseClick(p.find(link.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(m_opened, QStringList{address});
    QCOMPARE(p.query()->currentRow(), before);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestPortfolioPanel::otherSchemesRefused_data()
{
    QTest::addColumn<QList<QStringList>>("records");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("expected");
    const QString onlyWeb = QStringLiteral("只能打开以 http:// 或 https:// 开头");
    const auto address = [](const QString& a) {
        return QList<QStringList>{{QStringLiteral("a.com"), {}, {}, a}};
    };
    QTest::newRow("file") << address(QStringLiteral("file:///etc/shadow")) << "linkVisitAddress" << onlyWeb;
    QTest::newRow("file, upper case")
        << address(QStringLiteral(" FILE:/etc/passwd")) << "linkVisitAddress" << onlyWeb;
    QTest::newRow("javascript") << address(QStringLiteral("javascript:alert(1)")) << "linkVisitAddress"
                                << onlyWeb;
    QTest::newRow("ftp") << address(QStringLiteral("ftp://files.example/")) << "linkVisitAddress" << onlyWeb;
    QTest::newRow("domain with a scheme")
        << QList<QStringList>{{QStringLiteral("file:/etc/shadow")}} << "linkVisitDomain" << onlyWeb;
    QTest::newRow("empty list, visit")
        << QList<QStringList>{} << "linkVisitDomain" << QStringLiteral("没有可以打开的网址");
}

// Only web pages are opened: any other kind of address is refused with a message, and nothing starts.
void TestPortfolioPanel::otherSchemesRefused()
{
    QFETCH(QList<QStringList>, records);
    QFETCH(QString, link);
    QFETCH(QString, expected);
    Panel p(records);
    QTest::mouseClick(p.find(link.toLatin1().constData()), Qt::LeftButton);
    QVERIFY(m_opened.isEmpty());
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("提示"));
    QVERIFY2(shown[0].text.contains(expected), qPrintable(shown[0].text));
}

QTEST_MAIN(TestPortfolioPanel)
#include "tst_panel.moc"
