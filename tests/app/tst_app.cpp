#include "TestDb.h"
#include "app/Mian.h"
#include "app/NavigationBar.h"
#include "app/RestoreBackup.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "db/UndoHistory.h"
#include "entry/Daoru.h"
#include "entry/Edit_yuming.h"
#include "entry/EntryEdits.h"
#include "entry/ImportPreviewDialog.h"
#include "entry/New_yuming.h"
#include "lock/Fr_wel.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "platform/Site.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/PortfolioStatus.h"
#include "web/Fr_gongju.h"
#include "web/Fr_jiaoyi.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// The test build of the program (message boxes answered and reported, a report once the window is shown);
// the shipped program has none of that.
const QString kProgram = QStringLiteral(LANSHU_SCRIPTED_PROGRAM);
const QString kShipped = QStringLiteral(LANSHU_BUILD_DIR "/dist/lanshu");

QStringList visiblePanels(Tmian& w)
{
    QStringList names;
    for (QWidget* p : {static_cast<QWidget*>(w.Fr_wel1()), static_cast<QWidget*>(w.Fr_guanli1()),
                       static_cast<QWidget*>(w.Fr_jiaoyi1()), static_cast<QWidget*>(w.Fr_gongju1())}) {
        if (!p->isHidden())
            names << p->objectName();
    }
    return names;
}

void wheel(QWidget* target, int deltaY)
{
    const QPointF pos(10, 10);
    QWheelEvent e(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}
#ifndef Q_OS_WIN
// The permission bits of a file or folder.
int modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}
#endif
} // namespace

class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { MessageBox::setTestMode(true); }
    void errorTextRule_data();
    void errorTextRule();
    void showStepAppliesTheLockRule_data();
    void showStepAppliesTheLockRule();
    void navigationSwitchesPanels();
    void showPortfolioResetsListButKeepsSearchText();
    void failedReloadShowsErrorAndStaysPut();
    void padlockReturnsToWelcome();
    void wheelMovesExactlyOneRow();
    void webLinkOpensHomePage();
    void editButtonOpensTheCurrentRecord();
    void singleEditsAndAddsAreUndoneInOrder();
    void undoKeyOnThePortfolioTakesTheLastImportBack();
    void restoreFromABackupWithTheKeyboard();
    void statusBarCountsShowWithThePortfolioOnly();
    void layoutComesBackAtTheNextStart();
    void layoutComesBackAcrossTwoRealStarts();
    void lockedStartKeepsTheWelcomePanel();
    void secondProcessIsRefused();
    void missingDatabaseEndsStartup();
    void startsAndShowsMainWindow();
    void captionsAsTheWindowManagerReceivesThem();
    void shippedProgramHasNoTestHooks();
    void firstStartOfADayKeepsABackup();
    void failedBackupIsToldOnceAndStopsNothing_data();
    void failedBackupIsToldOnceAndStopsNothing();
    void lockLivesInAPrivateFolder();

private:
    QProcessEnvironment childEnvironment(const QString& runtimeDir) const;
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    // Starts the program in folder with --startup-probe and waits for its end.
    // The test build of the program, started in folder with --startup-probe (and more switches).
    Run probe(const QString& runtimeDir, const QString& folder, const QStringList& more = {}) const;
    QTemporaryDir m_config; // the per-user settings of every window made here
};

void TestApp::initTestCase()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    QVERIFY(LayoutSettings::filePath().startsWith(m_config.path()));
}

void TestApp::errorTextRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "no such table: tt_a"
                            << "no such table: tt_a.";
    QTest::newRow("chinese") << "无法打开"
                             << "无法打开.";
    QTest::newRow("already a dot") << "Done."
                                   << "Done.";
    QTest::newRow("exclamation sorts before the dot") << "Oops!"
                                                      << "Oops!";
    QTest::newRow("closing bracket sorts before the dot") << "(x)"
                                                          << "(x)";
    QTest::newRow("slash sorts after the dot") << "a/"
                                               << "a/.";
    QTest::newRow("digit") << "code 7"
                           << "code 7.";
    QTest::newRow("empty") << ""
                           << "";
}

void TestApp::errorTextRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    MessageBox::appError(nullptr, text);
    const auto boxes = MessageBox::takeShown();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, shown);
    QCOMPARE(boxes[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(boxes[0].icon, MessageBox::Critical);
    QCOMPARE(boxes[0].buttons, int(MessageBox::Ok));
}

void TestApp::showStepAppliesTheLockRule_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("lockShown");
    QTest::addColumn<bool>("navEnabled");
    QTest::newRow("lock off") << "update jz_ub set ub2='0'" << false << true;
    QTest::newRow("lock on") << "update jz_ub set ub2='1'" << true << false;
    QTest::newRow("other text changes nothing") << "update jz_ub set ub2='01'" << true << true;
    QTest::newRow("no settings row changes nothing") << "delete from jz_ub" << true << true;
}

void TestApp::showStepAppliesTheLockRule()
{
    QFETCH(QString, setup);
    QFETCH(bool, lockShown);
    QFETCH(bool, navEnabled);
    TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(db.exec(setup), QString());
    QCOMPARE(db.module()->Query_jz_ub()->open().error(), QString());
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_wel1")});
    QCOMPARE(!w.Fr_wel1()->lockGroup()->isHidden(), lockShown);
    QCOMPARE(w.bsSkinButtonsBar1()->isEnabled(), navEnabled);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestApp::navigationSwitchesPanels()
{
    TestDb db;
    QVERIFY(db.ok());
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    auto click = [&](const char* name) {
        auto* b = w.findChild<QToolButton*>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        b->click();
    };
    click("navGuanli");
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_guanli1")});
    click("navJiaoyi");
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_jiaoyi1")});
    QCOMPARE(w.Fr_jiaoyi1()->Label1()->text(), QStringLiteral("1"));
    click("navGongju");
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_gongju1")});
    QCOMPARE(w.Fr_gongju1()->Label1()->text(), QStringLiteral("1"));
    // The settings header only opens its section.
    auto* settings = w.bsSkinButtonsBar1()->header(1);
    settings->click();
    QCOMPARE(w.bsSkinButtonsBar1()->openSectionIndex(), 1);
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_gongju1")});
    // The functions header shows the portfolio, as "域名管理" does.
    w.bsSkinButtonsBar1()->header(0)->click();
    QCOMPARE(w.bsSkinButtonsBar1()->openSectionIndex(), 0);
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_guanli1")});
}

void TestApp::showPortfolioResetsListButKeepsSearchText()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"b.com", "a.net", "c.com"})
        db.insert({QString::fromUtf8(name)});
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    Dataset* q = db.queryA();
    QSignalBlocker block(w.Fr_guanli1()->searchBox());
    w.Fr_guanli1()->searchBox()->setText(QStringLiteral("com"));
    QCOMPARE(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("com")}}).error(),
             QString());
    QCOMPARE(q->setSort(QStringLiteral("a1 ASC")).error(), QString());
    w.Fr_guanli1()->bsSkinDBGrid1()->setHeading(0, QStringLiteral("域名 ∧"));
    w.showPortfolio();
    QCOMPARE(q->sql(), sql::kDefaultList);
    QCOMPARE(q->recordCount(), 3);
    QCOMPARE(q->fieldText(QStringLiteral("a1")), QStringLiteral("c.com"));
    auto* grid = w.Fr_guanli1()->bsSkinDBGrid1();
    QStringList headings;
    for (int c = 0; c < 5; ++c)
        headings << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headings, (QStringList{u"域名"_s, u"报价"_s, u"说明"_s, u"注册商"_s, u"到期"_s}));
    QCOMPARE(w.Fr_guanli1()->searchBox()->text(), QStringLiteral("com"));
}

void TestApp::failedReloadShowsErrorAndStaysPut()
{
    TestDb db;
    QVERIFY(db.ok());
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    QCOMPARE(db.exec(QStringLiteral("drop table tt_a")), QString());
    w.showPortfolio();
    const auto boxes = MessageBox::takeShown();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(boxes[0].text, QStringLiteral("no such table: tt_a."));
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_wel1")});
    QVERIFY(!db.queryA()->isOpen());
}

void TestApp::padlockReturnsToWelcome()
{
    TestDb db;
    QVERIFY(db.ok());
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    w.showPortfolio();
    auto* padlock = w.findChild<QToolButton*>(QStringLiteral("bsSkinSpeedButton3"));
    QVERIFY(padlock);
    padlock->click();
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_wel1")});
    QVERIFY(w.bsSkinButtonsBar1()->isEnabled());
    QVERIFY(w.Fr_wel1()->lockGroup()->isHidden());

    // With the lock on (as loaded), the padlock locks at once.
    QCOMPARE(db.exec(QStringLiteral("update jz_ub set ub2='1'")), QString());
    QCOMPARE(db.module()->Query_jz_ub()->open().error(), QString());
    w.showPortfolio();
    padlock->click();
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_wel1")});
    QVERIFY(!w.bsSkinButtonsBar1()->isEnabled());
    QVERIFY(!w.Fr_wel1()->lockGroup()->isHidden());
    QVERIFY(padlock->isEnabled());
}

void TestApp::wheelMovesExactlyOneRow()
{
    TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 5; ++i)
        db.insert({QStringLiteral("d%1.com").arg(i)});
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    w.showPortfolio();
    Dataset* q = db.queryA();
    QWidget* viewport = w.Fr_guanli1()->bsSkinDBGrid1()->viewport();
    QCOMPARE(q->currentRow(), 0);
    wheel(viewport, 120); // away from the user on the first row: stays
    QCOMPARE(q->currentRow(), 0);
    wheel(viewport, -120); // towards the user: next row
    QCOMPARE(q->currentRow(), 1);
    wheel(viewport, -960); // a large distance is still one row
    QCOMPARE(q->currentRow(), 2);
    wheel(viewport, 15); // a fine-grained wheel step is one row as well
    QCOMPARE(q->currentRow(), 1);
    for (int i = 0; i < 10; ++i)
        wheel(viewport, -120);
    QCOMPARE(q->currentRow(), 4);
    // Over the scroll bars the wheel moves the current row just the same, one row at a time.
    QTableView* grid = w.Fr_guanli1()->bsSkinDBGrid1();
    wheel(grid->verticalScrollBar(), 120);
    QCOMPARE(q->currentRow(), 3);
    wheel(grid->verticalScrollBar(), 120);
    QCOMPARE(q->currentRow(), 2);
    wheel(grid->horizontalScrollBar(), -120);
    QCOMPARE(q->currentRow(), 3);
}

void TestApp::webLinkOpensHomePage()
{
    TestDb db;
    QVERIFY(db.ok());
    Tmian w;
    w.bindData(db.module());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QStringList opened;
    Platform::setBrowserHook([&](const QString& address) { opened << address; });
    auto* link = w.statusBar()->findChild<QLabel*>(QStringLiteral("bsSkinLinkImage1"));
    QVERIFY(link);
    QTest::mouseClick(link, Qt::LeftButton);
    Platform::setBrowserHook({});
    QCOMPARE(opened, QStringList{site::kHomePage});
}

void TestApp::editButtonOpensTheCurrentRecord()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("first.com")});
    const qint64 aid = db.insert({QStringLiteral("a&b.com"),
                                  QStringLiteral("说明"),
                                  QStringLiteral("reg"),
                                  {},
                                  QStringLiteral("2024-01-01"),
                                  {},
                                  QStringLiteral("n1\nn2"),
                                  QStringLiteral("pw"),
                                  QStringLiteral("88")});
    db.insert({QStringLiteral("last.com")});
    Tmian w;
    auto* edit = new Tedit_yuming(&w);
    edit->bindData(db.module());
    w.bindData(db.module());
    w.setDialogs(nullptr, nullptr, nullptr, edit, nullptr, nullptr);
    w.FormShow();
    w.showPortfolio();
    db.queryA()->next(); // the middle row
    QStringList seen;
    QTimer::singleShot(0, edit, [&] {
        seen = edit->record().values();
        seen.prepend(edit->bsSkinStdLabel8()->text());
        edit->reject();
    });
    auto* button = w.findChild<QAbstractButton*>(QStringLiteral("btnEdit"));
    QVERIFY(button);
    button->click();
    QCOMPARE(seen, db.row(aid));
}

void TestApp::singleEditsAndAddsAreUndoneInOrder()
{
    TestDb db;
    QVERIFY(db.ok());
    const qint64 aid = db.insert({QStringLiteral("old.com"), QStringLiteral("旧说明")});
    Tmian w;
    auto* edit = new Tedit_yuming(&w);
    edit->bindData(db.module());
    auto* add = new Tnew_yuming(&w);
    add->bindData(db.module());
    w.bindData(db.module());
    w.setDialogs(nullptr, nullptr, nullptr, edit, add, nullptr);
    w.FormShow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showPortfolio();

    // Edit the description, then add a domain, each through its dialog.
    QTimer::singleShot(0, edit, [edit] {
        edit->bsSkinEdit2()->setText(QStringLiteral("新说明"));
        edit->bsSkinButton1()->click();
    });
    w.findChild<QAbstractButton*>(QStringLiteral("btnEdit"))->click();
    QCOMPARE(db.row(aid).value(2), QStringLiteral("新说明"));
    QTimer::singleShot(0, add, [add] {
        add->bsSkinEdit1()->setText(QStringLiteral("new.com"));
        add->bsSkinButton1()->click();
    });
    w.findChild<QAbstractButton*>(QStringLiteral("btnAdd"))->click();
    QCOMPARE(db.countRows(), 2);
    QAction* undoAction = w.Fr_guanli1()->undoAction();
    QCOMPARE(undoAction->text(), QStringLiteral("撤销：添加域名 new.com\tCtrl+Z"));

    // The list's 撤销 and 重做 items (Ctrl+Z, Ctrl+Shift+Z), one step each, the last first.
    undoAction->trigger(); // the add
    QCOMPARE(db.countRows(), 1);
    QCOMPARE(undoAction->text(), QStringLiteral("撤销：修改域名 old.com\tCtrl+Z"));
    undoAction->trigger(); // the edit
    QCOMPARE(db.row(aid).value(2), QStringLiteral("旧说明"));
    QCOMPARE(w.Fr_guanli1()->detailPane()->record().description, QStringLiteral("旧说明"));
    w.Fr_guanli1()->redoAction()->trigger(); // the edit again
    QCOMPARE(db.row(aid).value(2), QStringLiteral("新说明"));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestApp::statusBarCountsShowWithThePortfolioOnly()
{
    TestDb db;
    QVERIFY(db.ok());
    Platform::setTodayHook([] { return QDate(2026, 3, 1); });
    db.insert({QStringLiteral("gone.com"),
               {},
               {},
               {},
               {},
               QStringLiteral("2026-02-01"),
               {},
               {},
               QStringLiteral("500")});
    db.insert({QStringLiteral("fine.com"),
               {},
               {},
               {},
               {},
               QStringLiteral("2027-02-01"),
               {},
               {},
               QStringLiteral("1500")});
    db.insert({QStringLiteral("gone.cn"), {}, {}, {}, {}, QStringLiteral("2025/12/1"), {}, {}, {}});
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* counts = w.statusBar()->findChild<PortfolioStatus*>();
    QVERIFY(counts);
    // On the welcome panel (and so behind the lock) the portfolio's figures are not shown.
    QVERIFY(!counts->isVisible());
    w.showPortfolio();
    QVERIFY(counts->isVisible());
    QCOMPARE(counts->totals().count, 3);
    QCOMPARE(counts->totals().expired, 2);
    QCOMPARE(counts->totals().priceCents, qint64(200000));

    // A click on "已过期 2 个" lists the two, the oldest date first.
    auto* expired = counts->findChild<QLabel*>(QStringLiteral("lnkExpired"));
    QTest::mouseClick(expired, Qt::LeftButton, {},
                      QPoint(expired->contentsRect().left() + 4, expired->height() / 2));
    QTRY_COMPARE(db.queryA()->recordCount(), 2);
    QCOMPARE(db.queryA()->value(0, QStringLiteral("a1")), QStringLiteral("gone.cn"));
    QCOMPARE(db.queryA()->value(1, QStringLiteral("a1")), QStringLiteral("gone.com"));

    w.bsSkinSpeedButton3Click();
    QVERIFY(!counts->isVisible());
    Platform::setTodayHook({});
}

// After an import by headings, Ctrl+Z on the portfolio (the list has the focus) takes it back; in the
// search box Ctrl+Z stays the box's own.
void TestApp::undoKeyOnThePortfolioTakesTheLastImportBack()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("abc.cn"), QStringLiteral("旧说明")});
    Tmian w;
    auto* import = new Tdaoru(&w);
    import->bindData(db.module());
    w.bindData(db.module());
    w.setDialogs(nullptr, nullptr, nullptr, nullptr, nullptr, import);
    w.FormShow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showPortfolio();
    QCOMPARE(db.queryA()->recordCount(), 1);

    // The sheet: a registrar's export with a heading row, two new domains and abc.cn again (skipped).
    import->show();
    FileDialog::setNextOpenFileName(QStringLiteral(LANSHU_TEST_DATA "/mapped_cn_registrar.xlsx"));
    import->bsSkinButton1Click();
    auto* preview = import->findChild<ImportPreviewDialog*>(QStringLiteral("importPreview"));
    QVERIFY(preview);
    QTRY_VERIFY(preview->isVisible());
    QTest::keyClick(preview, Qt::Key_Return);
    auto* result = import->findChild<ImportResultDialog*>(QStringLiteral("importResult"));
    QTRY_VERIFY(result);
    result->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    QTRY_VERIFY(!import->isVisible());
    QCOMPARE(db.countRows(), 3);
    (void)MessageBox::takeShown();

    // Ctrl+Z in the search box is the box's own: the import stays.
    QLineEdit* search = w.Fr_guanli1()->searchBox();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("x"));
    QTest::keyClick(search, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(search->text(), QString());
    QCOMPARE(db.countRows(), 3);

    // On the list it takes the import back, told as the dialog's button tells it.
    w.Fr_guanli1()->bsSkinDBGrid1()->setFocus();
    QTest::keyClick(w.Fr_guanli1()->bsSkinDBGrid1(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(db.countRows(), 1);
    QTRY_COMPARE(db.queryA()->recordCount(), 1);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("已撤销上次导入：删除新增的 2 个域名，恢复更新过的 0 个域名。"));
    // Once taken back there is nothing more to take back.
    QTest::keyClick(w.Fr_guanli1()->bsSkinDBGrid1(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestApp::restoreFromABackupWithTheKeyboard()
{
    TestDb db;
    QVERIFY(db.ok());
    MessageBox::setTestMode(true);
    db.insert({QStringLiteral("old.com"), QStringLiteral("昨天的")});
    const QDateTime yesterday(QDate(2026, 12, 9), QTime(8, 15));
    QCOMPARE(backup::make(db.module()->Conn_service(), Connection::kFileName, yesterday).error(), QString());
    QCOMPARE(
        backup::make(db.module()->Conn_service(), Connection::kFileName, yesterday.addSecs(3600)).error(),
        QString());
    db.insert({QStringLiteral("new1.com")});
    db.insert({QStringLiteral("new2.com")});
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showPortfolio();
    QTRY_COMPARE(db.queryA()->recordCount(), 3);
    (void)MessageBox::takeShown();

    // The dialog lists the copies newest first with their domains; Down and Return choose the older one.
    QString listed;
    QTimer::singleShot(0, &w, [&] {
        auto* dialog = w.findChild<TRestoreBackup*>(QStringLiteral("restoreBackup"));
        if (!dialog)
            return;
        QTRY_VERIFY(dialog->counted());
        for (int row = 0; row < dialog->table()->rowCount(); ++row)
            listed += dialog->table()->item(row, 0)->text() + QLatin1Char('|') +
                      dialog->table()->item(row, 2)->text() + QLatin1Char(';');
        QTest::keyClick(dialog->table(), Qt::Key_Down);
        QTest::keyClick(dialog->table(), Qt::Key_Return);
    });
    MessageBox::setNextAnswer(MessageBox::Yes);
    auto* item = w.bsSkinButtonsBar1()->findChild<QToolButton*>(QStringLiteral("navRestore"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("从备份恢复"));
    item->click();
    QCOMPARE(listed, QStringLiteral("2026-12-09 09:15:00|1;2026-12-09 08:15:00|1;"));
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text,
             QStringLiteral("确定用 2026-12-09 08:15:00 的备份替换现在的全部域名吗？\n现在的数据库会先"
                            "另存为一份新的备份，需要时可以再恢复回来。"));
    QCOMPARE(shown[1].text, QStringLiteral("已从 2026-12-09 08:15:00 的备份恢复，现有 1 个域名。"));
    // The list follows at once; today's file is the newest copy.
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), QStringList{QStringLiteral("old.com")});
    QCOMPARE(db.countRows(), 1);
    QCOMPARE(backup::copies(Connection::kFileName).size(), 3);

    // Answered No: nothing changes.
    db.insert({QStringLiteral("again.com")});
    QTimer::singleShot(0, &w, [&] {
        if (auto* dialog = w.findChild<TRestoreBackup*>(QStringLiteral("restoreBackup")))
            QTest::keyClick(dialog->table(), Qt::Key_Return);
    });
    MessageBox::setNextAnswer(MessageBox::No);
    item->click();
    QCOMPARE(db.countRows(), 2);
    QCOMPARE(backup::copies(Connection::kFileName).size(), 3);
    MessageBox::setTestMode(false);
}

void TestApp::layoutComesBackAtTheNextStart()
{
    QFile::remove(LayoutSettings::filePath());
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("a.com"), {}, {}, {}, {}, QStringLiteral("2026-01-05")});
    QRect geometry;
    QList<int> splitter, widths;
    {
        Tmian w;
        w.bindData(db.module());
        w.FormShow();
        QVERIFY(!w.restoreLayout()); // nothing remembered yet
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showPortfolio();
        w.setGeometry(60, 70, 1100, 720);
        QTRY_COMPARE(w.geometry(), QRect(60, 70, 1100, 720));
        TFr_guanli* panel = w.Fr_guanli1();
        panel->splitter()->setSizes({640, 400});
        QTableView* grid = panel->bsSkinDBGrid1();
        grid->setColumnWidth(0, 170);
        grid->setColumnWidth(2, 90);
        geometry = w.geometry();
        splitter = panel->splitter()->sizes();
        widths = panel->bsSkinDBGrid1()->columnWidths();
        QVERIFY(w.close());
    }
    QVERIFY(QFile::exists(LayoutSettings::filePath()));

    Tmian again;
    again.bindData(db.module());
    again.FormShow();
    QVERIFY(again.restoreLayout());
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_COMPARE(again.geometry(), geometry);
    // The window closed on the portfolio; the next start still begins on the welcome panel.
    QCOMPARE(visiblePanels(again), QStringList{QStringLiteral("Fr_wel1")});
    again.showPortfolio();
    QTRY_COMPARE(again.Fr_guanli1()->splitter()->sizes(), splitter);
    QCOMPARE(again.Fr_guanli1()->bsSkinDBGrid1()->columnWidths().mid(0, 4), widths.mid(0, 4));
    QVERIFY(again.Fr_guanli1()->bsSkinDBGrid1()->columnWidth(4) >= 65);
    QCOMPARE(db.queryA()->recordCount(), 1); // reached as "域名管理" reaches it
}

namespace {
// The probe's "layout: ..." line, without the prefix; empty when it printed none.
QString layoutLine(const QString& out)
{
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("layout: ")))
            return line.mid(8);
    }
    return {};
}
} // namespace

// Two starts of the program itself, each its own process, with a scratch program folder and per-user
// settings folder: the first changes the layout and closes; the second shows it again.
void TestApp::layoutComesBackAcrossTwoRealStarts()
{
    QTemporaryDir runtime, folder;
    QCOMPARE(schema::createShippedDatabase(folder.filePath(QStringLiteral("service.dll"))).error(),
             QString());
    const QString layoutFile = runtime.filePath(QStringLiteral("config/lanshu/layout.ini"));
    QVERIFY(!QFile::exists(layoutFile));

    const Run first = probe(runtime.path(), folder.path(), {QStringLiteral("--change-layout")});
    QCOMPARE(first.exitCode, 0);
    const QString changed = layoutLine(first.out);
    // The splitter takes the sizes asked for as far as the window's width allows.
    const QRegularExpression expected(QStringLiteral("^geometry 60,70,1100,720 \\| panel Fr_guanli1 \\| "
                                                     "splitter \\d+,\\d+ \\| columns 170,60,90,\\d+,\\d+$"));
    QVERIFY2(expected.match(changed).hasMatch(), qPrintable(first.out + first.err));
    QVERIFY(QFile::exists(layoutFile));

    const Run second = probe(runtime.path(), folder.path());
    QCOMPARE(second.exitCode, 0);
    // Everything comes back but the panel: a start begins on the welcome panel.
    QString expectedAgain = changed;
    expectedAgain.replace(QStringLiteral("| panel Fr_guanli1 |"), QStringLiteral("| panel Fr_wel1 |"));
    QCOMPARE(layoutLine(second.out), expectedAgain);
    QVERIFY(!second.err.contains(QStringLiteral("message:")));
}

void TestApp::lockedStartKeepsTheWelcomePanel()
{
    TestDb db;
    QVERIFY(db.ok());
    WindowLayout remembered;
    remembered.columnWidths = {1, 2, 3}; // damaged: ignored
    QCOMPARE(LayoutSettings::save(remembered), QString());
    {
        // An earlier version remembered the panel; it is not followed.
        QSettings old(LayoutSettings::filePath(), QSettings::IniFormat);
        old.setValue(QStringLiteral("window/panel"), QStringLiteral("Fr_guanli1"));
    }
    QCOMPARE(db.exec(QStringLiteral("update jz_ub set ub2='1'")), QString());
    QCOMPARE(db.module()->Query_jz_ub()->open().error(), QString());
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    QVERIFY(!w.restoreLayout());
    QCOMPARE(visiblePanels(w), QStringList{QStringLiteral("Fr_wel1")});
    QVERIFY(!w.Fr_wel1()->lockGroup()->isHidden());
    QCOMPARE(w.Fr_guanli1()->bsSkinDBGrid1()->columnWidth(0), 113);
}

QProcessEnvironment TestApp::childEnvironment(const QString& runtimeDir) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtimeDir + QStringLiteral("/config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANSHU_SCRIPTED_MESSAGES"), QStringLiteral("1"));
    return env;
}

TestApp::Run TestApp::probe(const QString& runtimeDir, const QString& folder, const QStringList& more) const
{
    QProcess p;
    p.setProcessEnvironment(childEnvironment(runtimeDir));
    p.setWorkingDirectory(folder);
    p.start(kProgram, QStringList{QStringLiteral("--startup-probe")} + more);
    Run run;
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
        run.exitCode = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

void TestApp::secondProcessIsRefused()
{
    QVERIFY(QFile::exists(kProgram));
    QTemporaryDir runtime, first, second;
    QCOMPARE(schema::createShippedDatabase(first.filePath(QStringLiteral("service.dll"))).error(), QString());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());

    QProcess one;
    one.setProcessEnvironment(childEnvironment(runtime.path()));
    one.setWorkingDirectory(first.path());
    one.start(kProgram, {});
    QVERIFY(one.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(Platform::SingleInstance(QStringLiteral("lanshu_tovex")).alreadyRunning(),
                             20000);

    // A copy started from another folder (even one without a database) ends at once, quietly, with 0.
    QProcess two;
    two.setProcessEnvironment(childEnvironment(runtime.path()));
    two.setWorkingDirectory(second.path());
    two.start(kProgram, {});
    QVERIFY(two.waitForFinished(20000));
    QCOMPARE(two.exitStatus(), QProcess::NormalExit);
    QCOMPARE(two.exitCode(), 0);
    QVERIFY2(!two.readAllStandardError().contains("message:"), "a refused start shows nothing");
    QCOMPARE(one.state(), QProcess::Running);

    // Killed, the first copy leaves no lock behind.
    ::kill(pid_t(one.processId()), SIGKILL);
    QVERIFY(one.waitForFinished(20000));
    QTRY_VERIFY_WITH_TIMEOUT(!Platform::SingleInstance(QStringLiteral("lanshu_tovex")).alreadyRunning(),
                             10000);
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestApp::missingDatabaseEndsStartup()
{
    QTemporaryDir runtime, empty;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QProcess p;
        p.setProcessEnvironment(childEnvironment(runtime.path()));
        p.setWorkingDirectory(empty.path());
        p.start(kProgram, {});
        QVERIFY(p.waitForFinished(20000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral(
                     "message: 岚枢 | 找不到数据库文件“service.dll”：unable to open database file.")),
                 qPrintable(err));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("service.dll"))));
    }
}

void TestApp::startsAndShowsMainWindow()
{
    QTemporaryDir runtime, folder;
    QCOMPARE(schema::createShippedDatabase(folder.filePath(QStringLiteral("service.dll"))).error(),
             QString());
    const Run p = probe(runtime.path(), folder.path());
    QCOMPARE(p.exitCode, 0);
    const QString& out = p.out;
    QVERIFY2(out.contains(QStringLiteral("main window shown")), qPrintable(out));
    QVERIFY(!p.err.contains(QStringLiteral("message:")));
    // The desktop knows the program by its menu entry (named 岚枢), not by a name added to every title;
    // no core dump with the user's data; private files.
    QVERIFY2(out.contains(QStringLiteral("desktop entry: io.github.lanshu.lanshu\n")), qPrintable(out));
#ifdef Q_OS_LINUX
    QVERIFY2(out.contains(QStringLiteral("dumpable: 0\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("umask: 077\n")), qPrintable(out));
#endif
}

// The titles as the X server holds them for the window manager (_NET_WM_NAME), read by the program on a
// display of its own: exactly the windows' own texts, nothing appended; the window class that the menu
// entry's StartupWMClass names.
void TestApp::captionsAsTheWindowManagerReceivesThem()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty())
        QSKIP("xvfb-run is not installed");
    QTemporaryDir runtime, folder;
    QCOMPARE(schema::createShippedDatabase(folder.filePath(QStringLiteral("service.dll"))).error(),
             QString());
    QProcessEnvironment env = childEnvironment(runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder.path());
    p.start(xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                   kProgram, QStringLiteral("--startup-probe"), QStringLiteral("--caption-probe")});
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QStringList captions;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("caption: ")))
            captions << line.mid(9);
    }
    // The class is the one the menu entry names; the instance is the program file's name.
    const QString wmClass = QStringLiteral(" | class: %1,lanshu").arg(QFileInfo(kProgram).fileName());
    const QStringList expected = {
        QStringLiteral("岚枢 V1.0") + wmClass,
        QStringLiteral("关于") + wmClass,
        QStringLiteral("岚枢入门") + wmClass,
        QStringLiteral("Information") + wmClass,
    };
    QVERIFY2(captions == expected, qPrintable(out + QString::fromUtf8(p.readAllStandardError())));
}

// The switches that only tests use are not in the program that ships.
void TestApp::shippedProgramHasNoTestHooks()
{
    const auto bytesOf = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray shipped = bytesOf(kShipped);
    const QByteArray scripted = bytesOf(kProgram);
    QVERIFY(!shipped.isEmpty() && !scripted.isEmpty());
    for (const QByteArray& hook :
         {QByteArrayLiteral("LANSHU_SCRIPTED_MESSAGES"), QByteArrayLiteral("--startup-probe"),
          QByteArrayLiteral("--change-layout"), QByteArrayLiteral("--caption-probe")}) {
        QVERIFY2(scripted.contains(hook), hook.constData()); // the search would see it
        QVERIFY2(!shipped.contains(hook), hook.constData());
    }
}

void TestApp::firstStartOfADayKeepsABackup()
{
    QTemporaryDir runtime, folder;
    const QString db = folder.filePath(QStringLiteral("service.dll"));
    QCOMPARE(schema::createShippedDatabase(db).error(), QString());
    for (int start = 0; start < 2; ++start) {
        const Run p = probe(runtime.path(), folder.path());
        QCOMPARE(p.exitCode, 0);
        QVERIFY(!p.err.contains(QStringLiteral("message:")));
        // One copy, made at the first start of the day; the second start of the day adds none.
        const QStringList copies = backup::copies(db);
        QCOMPARE(copies.size(), 1);
        const QString copy = backup::folderFor(db) + QLatin1Char('/') + copies.first();
        QVERIFY(copies.first().startsWith(
            QStringLiteral("service-%1_").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
        QCOMPARE(QFileInfo(copy).size(), QFileInfo(db).size());
#ifndef Q_OS_WIN
        QCOMPARE(modeOf(copy), 0600);
#endif
    }
}

void TestApp::failedBackupIsToldOnceAndStopsNothing_data()
{
    QTest::addColumn<bool>("linked");
    QTest::newRow("a file in the folder's place") << false;
    QTest::newRow("a link to another folder") << true;
}

void TestApp::failedBackupIsToldOnceAndStopsNothing()
{
    QFETCH(bool, linked);
    QTemporaryDir runtime, folder, other;
    QCOMPARE(schema::createShippedDatabase(folder.filePath(QStringLiteral("service.dll"))).error(),
             QString());
    if (linked) {
        // The folder of the copies points elsewhere: nothing is put there.
        QVERIFY(QFile::link(other.path(), folder.filePath(QStringLiteral("backups"))));
    } else {
        // A file where the folder of the copies should be: no copy can be made.
        QFile blocker(folder.filePath(QStringLiteral("backups")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
    }
    const Run p = probe(runtime.path(), folder.path());
    QCOMPARE(p.exitCode, 0);
    QVERIFY(p.out.contains(QStringLiteral("main window shown")));
    const QString& err = p.err;
    QCOMPARE(err.count(QStringLiteral("message:")), 1);
    QVERIFY2(err.contains(QStringLiteral("message: 提示 | 无法备份数据库文件")), qPrintable(err));
    QVERIFY(
        QDir(other.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

// The single-instance lock is a file named with the user id in a folder only the user can write.
void TestApp::lockLivesInAPrivateFolder()
{
#ifdef Q_OS_WIN
    QSKIP("a system-wide mutex on Windows");
#else
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray oldTmp = qgetenv("TMPDIR");
    QTemporaryDir tmp, runtime;
    qputenv("TMPDIR", tmp.path().toUtf8());
    const QString name = QStringLiteral("lanshu_tovex");
    const QString file = QStringLiteral("/lanshu_tovex-%1.lock").arg(::getuid());

    // A private runtime folder holds it.
    QVERIFY(QFile::setPermissions(runtime.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QCOMPARE(Platform::SingleInstance::lockPath(name), runtime.path() + file);

    // A runtime folder that others can write is not used: our own folder in the temporary folder is.
    QVERIFY(QFile::setPermissions(runtime.path(), QFileDevice::Permissions(0x7777)));
    const QString own = tmp.path() + QStringLiteral("/lanshu-%1").arg(::getuid());
    QCOMPARE(Platform::SingleInstance::lockPath(name), own + file);
    QCOMPARE(modeOf(own), 0700);
    {
        Platform::SingleInstance lock(name);
        QVERIFY(lock.held());
        QVERIFY(!lock.alreadyRunning());
        QVERIFY(Platform::SingleInstance(name).alreadyRunning());
    }

    // Our folder replaced by a link elsewhere (another user's doing): no lock rather than theirs.
    qunsetenv("XDG_RUNTIME_DIR");
    QVERIFY(QDir(own).removeRecursively());
    QVERIFY(QFile::link(runtime.path(), own));
    QCOMPARE(Platform::SingleInstance::lockPath(name), QString());
    QVERIFY(!Platform::SingleInstance(name).held());

    qputenv("XDG_RUNTIME_DIR", oldRuntime);
    qputenv("TMPDIR", oldTmp);
    if (oldRuntime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    if (oldTmp.isEmpty())
        qunsetenv("TMPDIR");
#endif
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
