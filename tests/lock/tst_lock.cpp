#include "LockWindow.h"
#include "db/Sql.h"
#include "lock/LockHost.h"
#include "lock/LockRule.h"
#include "platform/Platform.h"
#include "portfolio/DomainListModel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLayout>
#include <QMenu>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
// Records what the lock asks of the main window.
class SpyHost : public LockHost
{
public:
    void setNavigationEnabled(bool enabled) override { nav = enabled; }
    bool isNavigationEnabled() const override { return nav; }
    void showWelcomePanel() override { ++welcomeShown; }
    void showPortfolioPanel() override {}
    bool nav = true;
    int welcomeShown = 0;
};

// One typed character, as the keyboard delivers it.
void typeChar(QWidget* w, const QString& ch)
{
    const QChar c = ch.front();
    Qt::Key key = Qt::Key_unknown;
    if (c.unicode() < 128 && c.isLetterOrNumber())
        key = Qt::Key(c.toUpper().unicode());
    else if (c == QLatin1Char(' '))
        key = Qt::Key_Space;
    QTest::sendKeyEvent(QTest::Click, w, key, ch, Qt::NoModifier);
}

void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text)
        typeChar(w, QString(c));
}

// The shown OK button's message list and the settings row afterwards.
QStringList settingsRow(TestDb& db)
{
    return {db.setting(QStringLiteral("ub1")), db.setting(QStringLiteral("ub2")),
            db.setting(QStringLiteral("ub4"))};
}
} // namespace

class TestLock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Platform::setNetworkHook([] { return false; });
        Platform::setBrowserHook([](const QString&) {});
    }
    void init() { MessageBox::clearShown(); }

    // --- the lock rule ---
    void applyLockRule_data();
    void applyLockRule();
    void startState_data();
    void startState();
    void padlock_data();
    void padlock();

    // --- unlock ---
    void unlock_data();
    void unlock();
    void unlockReloadsDefaultList();
    void unlockReloadFails();

    // --- password input ---
    void keyFilter_data();
    void keyFilter();
    void caretAndSelection();
    void paste_data();
    void paste();
    void pasteFromMenuAndMouse();
    void inputMethodCommit_data();
    void inputMethodCommit();
    void enterUnlocks_data();
    void enterUnlocks();
    void enterNeverUnlocksWhileHidden();

    // --- password dialog ---
    void dialogShow_data();
    void dialogShow();
    void dialogShowClearsEdits();
    void dialogCheckBox();
    void dialogOk_data();
    void dialogOk();
    void dialogDatabaseError_data();
    void dialogDatabaseError();
    void dialogNoSettingsRow();
    void dialogClosesOnce_data();
    void dialogClosesOnce();
    void dialogCancelWhileLockOn();
    void dialogOffThenOnIsFirstTime();
    void dialogEnterPressesShownOk_data();
    void dialogEnterPressesShownOk();
};

// ApplyLockRule from every starting state: "0" and "1" set it, anything else leaves it.
void TestLock::applyLockRule_data()
{
    QTest::addColumn<QString>("ub2");
    QTest::addColumn<bool>("groupBefore");
    QTest::addColumn<bool>("navBefore");
    QTest::addColumn<bool>("groupAfter");
    QTest::addColumn<bool>("navAfter");
    QTest::newRow("0 from locked") << "0" << true << false << false << true;
    QTest::newRow("0 from unlocked") << "0" << false << true << false << true;
    QTest::newRow("1 from hidden") << "1" << false << true << true << false;
    QTest::newRow("1 from locked") << "1" << true << false << true << false;
    QTest::newRow("empty keeps locked") << "" << true << false << true << false;
    QTest::newRow("empty keeps unlocked") << "" << false << true << false << true;
    QTest::newRow("2 keeps shown+enabled") << "2" << true << true << true << true;
    QTest::newRow("blank before 1 keeps") << " 1" << false << true << false << true;
    QTest::newRow("10 keeps") << "10" << false << false << false << false;
}

void TestLock::applyLockRule()
{
    QFETCH(QString, ub2);
    QFETCH(bool, groupBefore);
    QFETCH(bool, navBefore);
    QWidget panel; // never shown: the group's own flag is what the rule sets
    auto* group = new QWidget(&panel);
    group->setVisible(groupBefore);
    SpyHost host;
    host.nav = navBefore;
    ApplyLockRule(ub2, group, &host);
    QTEST(!group->isHidden(), "groupAfter");
    QTEST(host.nav, "navAfter");
    QCOMPARE(host.welcomeShown, 0); // the rule never switches panels
}

// The main window's show step: welcome panel, then the rule with ub2 as stored.
void TestLock::startState_data()
{
    QTest::addColumn<QString>("ub2");
    QTest::addColumn<bool>("deleteRow");
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("nav");
    QTest::newRow("lock on") << "1" << false << true << false;
    QTest::newRow("lock off") << "0" << false << false << true;
    QTest::newRow("other text") << "yes" << false << true << true;
    QTest::newRow("no settings row") << "" << true << true << true;
}

void TestLock::startState()
{
    QFETCH(QString, ub2);
    QFETCH(bool, deleteRow);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("5"), ub2, ub2));
    if (deleteRow) {
        QCOMPARE(w.db.exec(QStringLiteral("delete from jz_ub")), QString());
        QCOMPARE(w.db.module()->Query_jz_ub()->open().error(), QString());
    }
    QVERIFY(w.start());
    QVERIFY(w.welcomeShown());
    QTEST(w.lockGroupShown(), "group");
    QTEST(w.navEnabled(), "nav");
    QVERIFY(w.messages().isEmpty());
}

// The padlock button from another panel: rule with ub2 as currently loaded, then the welcome panel.
void TestLock::padlock_data()
{
    QTest::addColumn<QString>("ub2");
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("nav");
    QTest::newRow("lock on") << "1" << true << false;
    QTest::newRow("lock off") << "0" << false << true;
    QTest::newRow("other text keeps the state") << "?" << false << true;
}

void TestLock::padlock()
{
    QFETCH(QString, ub2);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")));
    QVERIFY(w.start()); // unlocked, lock group hidden
    w.mian->showTrading();
    QVERIFY(w.setSettings(QStringLiteral("1"), ub2, QStringLiteral("0")));
    auto* padlock = w.mian->findChild<QToolButton*>(QStringLiteral("bsSkinSpeedButton3"));
    QVERIFY(padlock);
    padlock->click();
    QVERIFY(w.welcomeShown());
    QTEST(w.lockGroupShown(), "group");
    QTEST(w.navEnabled(), "nav");
}

// Exact comparison with ub1: case, blanks and leading zeros count.
void TestLock::unlock_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("right");
    QTest::newRow("same digits") << "4711"
                                 << "4711" << true;
    QTest::newRow("leading zero missing") << "0123"
                                          << "123" << false;
    QTest::newRow("leading zero typed") << "0123"
                                        << "0123" << true;
    QTest::newRow("extra leading zero") << "123"
                                        << "0123" << false;
    QTest::newRow("empty typed") << "99"
                                 << "" << false;
    QTest::newRow("letter case") << "abC"
                                 << "abc" << false;
    QTest::newRow("pasted letters") << "abC"
                                    << "abC" << true;
    QTest::newRow("trailing blank") << "12"
                                    << "12 " << false;
    QTest::newRow("prefix") << "123456"
                            << "12345" << false;
}

void TestLock::unlock()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, right);
    LockWindow w;
    QVERIFY(w.setSettings(stored, QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    QVERIFY(w.locked());
    w.unlockWith(typed);
    if (right) {
        QVERIFY(w.messages().isEmpty());
        QVERIFY(w.navEnabled());
        QVERIFY(w.portfolioShown());
    } else {
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("您输入的密码错误"));
        QCOMPARE(shown[0].caption, QStringLiteral("Information"));
        QCOMPARE(shown[0].icon, MessageBox::Information);
        QCOMPARE(shown[0].buttons, int(MessageBox::Ok));
        QVERIFY(w.locked());
        // The user may try again at once.
        w.unlockWith(stored);
        QVERIFY(w.portfolioShown());
        QVERIFY(w.navEnabled());
    }
    QCOMPARE(w.passEdit()->text(), QString()); // cleared last, in both cases
    // Nothing was written.
    QCOMPARE(settingsRow(w.db), (QStringList{stored, QStringLiteral("1"), QStringLiteral("1")}));
}

// After an unlock the list shows all domains in the default order with the first two headings back,
// whatever search or sort was in force when the padlock locked the program.
void TestLock::unlockReloadsDefaultList()
{
    LockWindow w;
    for (const char* name : {"b.com", "a.com", "c.net"})
        QVERIFY(w.db.insert({QString::fromLatin1(name)}) > 0);
    QVERIFY(w.setSettings(QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.unlockWith(QStringLiteral("7"));
    QVERIFY(w.portfolioShown());

    Dataset* a = w.db.queryA();
    QCOMPARE(a->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral(".com")}}).error(),
             QString());
    QCOMPARE(a->setSort(QStringLiteral("a1 ASC")).error(), QString());
    DomainListModel* model = w.mian->Fr_guanli1()->bsSkinDBGrid1()->listModel();
    model->setHeading(0, QStringLiteral("域名 ∧"));
    model->setHeading(1, QStringLiteral("报价 ∨"));
    model->setHeading(2, QStringLiteral("说明 ∧"));
    w.mian->Fr_guanli1()->searchBox()->setText(QStringLiteral(".com"));

    w.mian->bsSkinSpeedButton3Click();
    QVERIFY(w.locked());
    w.unlockWith(QStringLiteral("7"));
    QVERIFY(w.portfolioShown());
    QCOMPARE(a->sql(), sql::kDefaultList);
    QCOMPARE(a->sort(), QString());
    QCOMPARE(a->recordCount(), 3);
    QCOMPARE(a->value(0, QStringLiteral("a1")), QStringLiteral("c.net"));
    QCOMPARE(a->value(2, QStringLiteral("a1")), QStringLiteral("b.com"));
    QCOMPARE(a->currentRow(), 0);
    QCOMPARE(model->heading(0), QStringLiteral("域名"));
    QCOMPARE(model->heading(1), QStringLiteral("报价"));
    QCOMPARE(model->heading(2), QStringLiteral("说明 ∧")); // the other headings stay
    QCOMPARE(w.mian->Fr_guanli1()->searchBox()->text(), QStringLiteral(".com"));
}

// A failed reload of the domain list: error box, navigation already enabled, no panel switch, edit kept.
void TestLock::unlockReloadFails()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    QCOMPARE(w.db.exec(QStringLiteral("alter table tt_a rename to tt_gone")), QString());
    w.unlockWith(QStringLiteral("7"));
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QVERIFY(w.navEnabled());
    QVERIFY(w.welcomeShown());
    QCOMPARE(w.passEdit()->text(), QStringLiteral("7"));
}

// Typed characters: Backspace, Enter and 0-9 pass; everything else is discarded; at most 10.
void TestLock::keyFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("digits") << "0123456789"
                            << "0123456789";
    QTest::newRow("eleventh digit refused") << "12345678901"
                                            << "1234567890";
    QTest::newRow("letters and blanks discarded") << "1a2 B3"
                                                  << "123";
    QTest::newRow("punctuation discarded") << "4.5-6,7!+"
                                           << "4567";
    QTest::newRow("backspace passes") << "12\b3"
                                      << "13";
    QTest::newRow("other digits discarded") << QStringLiteral("1١２３") << "1";
    QTest::newRow("chinese discarded") << QStringLiteral("密1码") << "1";
    QTest::newRow("format character discarded") << QStringLiteral("1\u200d2") << "12";
}

void TestLock::keyFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.mima->show();
    const QList<PasswordEdit*> edits = {w.passEdit(), w.mima->bsSkinEdit1(), w.mima->bsSkinEdit4(),
                                        w.mima->bsSkinEdit2()};
    for (PasswordEdit* edit : edits) {
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        for (const QChar c : typed) {
            if (c == QLatin1Char('\b'))
                QTest::keyClick(edit, Qt::Key_Backspace);
            else
                typeChar(edit, QString(c));
        }
        QCOMPARE(edit->text(), expected);
    }
    QVERIFY(w.messages().isEmpty());
    w.mima->reject();
}

// Digits replace a selection; Delete, caret moves and Shift selection work as in any edit.
void TestLock::caretAndSelection()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    PasswordEdit* e = w.passEdit();
    typeText(e, QStringLiteral("12345"));
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    typeChar(e, QStringLiteral("9"));
    QCOMPARE(e->text(), QStringLiteral("92345"));
    QTest::keyClick(e, Qt::Key_Delete);
    QCOMPARE(e->text(), QStringLiteral("9345"));
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClick(e, Qt::Key_Left);
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(e->text(), QStringLiteral("935"));
    // At ten characters a digit still replaces a selection.
    e->setText(QStringLiteral("1234567890"));
    e->setSelection(2, 3);
    typeChar(e, QStringLiteral("0"));
    QCOMPARE(e->text(), QStringLiteral("12067890"));
    e->selectAll();
    typeChar(e, QStringLiteral("x"));
    QCOMPARE(e->text(), QStringLiteral("12067890")); // a discarded character leaves the selection alone
}

// Paste is not filtered, but is refused whole when the text would exceed ten characters.
void TestLock::paste_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters pass") << "" << 0 << 0 << "ab c!"
                                  << "ab c!";
    QTest::newRow("at the caret") << "1256" << 2 << 0 << "34"
                                  << "123456";
    QTest::newRow("exactly ten") << "12345" << 5 << 0 << "67890"
                                 << "1234567890";
    QTest::newRow("eleven refused whole") << "12345" << 5 << 0 << "678901"
                                          << "12345";
    QTest::newRow("too long alone") << "" << 0 << 0 << "abcdefghijk"
                                    << "";
    QTest::newRow("selection makes room") << "123456789" << 1 << 3 << "abcd"
                                          << "1abcd56789";
    QTest::newRow("selection too small") << "123456789" << 1 << 1 << "abc"
                                         << "123456789";
}

void TestLock::paste()
{
    QFETCH(QString, before);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, clip);
    QFETCH(QString, expected);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.mima->show();
    QApplication::clipboard()->setText(clip);
    QTRY_COMPARE(QApplication::clipboard()->text(), clip);
    const QList<QKeySequence> keys = {QKeySequence(Qt::CTRL | Qt::Key_V),
                                      QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
    for (PasswordEdit* edit :
         {w.passEdit(), w.mima->bsSkinEdit1(), w.mima->bsSkinEdit4(), w.mima->bsSkinEdit2()}) {
        for (const QKeySequence& key : keys) {
            edit->setText(before);
            if (selLength > 0)
                edit->setSelection(selStart, selLength);
            else
                edit->setCursorPosition(selStart);
            QTest::keySequence(edit, key);
            QCOMPARE(edit->text(), expected);
        }
    }
    w.mima->reject();
}

// The paste item of the context menu and the middle button follow the same rule.
void TestLock::pasteFromMenuAndMouse()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    PasswordEdit* e = w.passEdit();
    const QList<std::pair<QString, QString>> cases = {{QStringLiteral("12345678901"), QStringLiteral("9")},
                                                      {QStringLiteral("x1"), QStringLiteral("9x1")}};
    for (const auto& [clip, expected] : cases) {
        QApplication::clipboard()->setText(clip);
        QTRY_COMPARE(QApplication::clipboard()->text(), clip);
        e->setText(QStringLiteral("9"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), e->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(e, &event);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr);
        QAction* pasteAction = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text().startsWith(QLatin1String("&Paste")))
                pasteAction = a;
        }
        QVERIFY(pasteAction);
        pasteAction->trigger();
        menu->close();
        QCOMPARE(e->text(), expected);

        if (QApplication::clipboard()->supportsSelection()) {
            QApplication::clipboard()->setText(clip, QClipboard::Selection);
            QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection), clip);
            e->setText(QStringLiteral("9"));
            QTest::mouseClick(e, Qt::MiddleButton, {}, QPoint(e->width() - 4, e->height() / 2));
            QCOMPARE(e->text(), expected);
        }
    }
}

// Characters committed by an input method pass the same filter and limit.
void TestLock::inputMethodCommit_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("expected");
    QTest::newRow("digits") << "1"
                            << "23"
                            << "123";
    QTest::newRow("others discarded") << "" << QStringLiteral("密1a２3") << "13";
    QTest::newRow("too long refused") << "123456789"
                                      << "12"
                                      << "123456789";
}

void TestLock::inputMethodCommit()
{
    QFETCH(QString, before);
    QFETCH(QString, commit);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.passEdit()->setText(before);
    QInputMethodEvent event;
    event.setCommitString(commit);
    QApplication::sendEvent(w.passEdit(), &event);
    QTEST(w.passEdit()->text(), "expected");
}

// Enter in the password edit, or on the unlock button, unlocks.
void TestLock::enterUnlocks_data()
{
    QTest::addColumn<bool>("onButton");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("right");
    QTest::newRow("edit, Return, right") << false << int(Qt::Key_Return) << true;
    QTest::newRow("edit, keypad Enter, right") << false << int(Qt::Key_Enter) << true;
    QTest::newRow("edit, Return, wrong") << false << int(Qt::Key_Return) << false;
    QTest::newRow("button, Return, right") << true << int(Qt::Key_Return) << true;
    QTest::newRow("button, Return, wrong") << true << int(Qt::Key_Return) << false;
}

void TestLock::enterUnlocks()
{
    QFETCH(bool, onButton);
    QFETCH(int, key);
    QFETCH(bool, right);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("0815"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.mian->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.mian.get()));
    // The password can be typed at once.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.passEdit()));
    typeText(QApplication::focusWidget(), right ? QStringLiteral("0815") : QStringLiteral("815"));
    if (onButton) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.wel()->unlockButton()));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    if (right) {
        QVERIFY(w.messages().isEmpty());
        QVERIFY(w.portfolioShown());
        QVERIFY(w.navEnabled());
    } else {
        QCOMPARE(w.messages(), QStringList{QStringLiteral("您输入的密码错误")});
        QVERIFY(w.locked());
    }
    QCOMPARE(w.passEdit()->text(), QString());
}

// With the lock off the lock group is hidden, and Enter starts no unlock wherever it is pressed.
void TestLock::enterNeverUnlocksWhileHidden()
{
    LockWindow w;
    QVERIFY(w.setSettings(QString(), QStringLiteral("0"), QStringLiteral("0")));
    QVERIFY(w.start());
    QVERIFY(!w.lockGroupShown());
    w.mian->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.mian.get()));
    QList<QWidget*> targets = {
        w.mian.get(),        w.wel(), w.wel()->newsBox(), w.passEdit(), w.wel()->unlockButton(),
        w.wel()->lockGroup()};
    if (QApplication::focusWidget())
        targets.append(QApplication::focusWidget());
    for (QWidget* target : targets) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            QVERIFY2(w.welcomeShown(), qPrintable(target->objectName()));
            QVERIFY(w.messages().isEmpty());
        }
    }
    QVERIFY(w.navEnabled());
}

// Each showing: ub2 decides the box and the group, ub4 the mode; other texts leave them as they stand
// (before the first showing: change mode, box unticked, group shown).
void TestLock::dialogShow_data()
{
    QTest::addColumn<QString>("ub2");
    QTest::addColumn<QString>("ub4");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("group");
    QTest::addColumn<bool>("changeMode");
    QTest::newRow("no password yet") << "0"
                                     << "0" << false << false << false;
    QTest::newRow("password on") << "1"
                                 << "1" << true << true << true;
    QTest::newRow("on, first-time mode") << "1"
                                         << "0" << true << true << false;
    QTest::newRow("off, change mode") << "0"
                                      << "1" << false << false << true;
    QTest::newRow("other texts: as built") << "x"
                                           << "" << false << true << true;
    QTest::newRow("other ub4: as built") << "1"
                                         << "2" << true << true << true;
}

void TestLock::dialogShow()
{
    QFETCH(QString, ub2);
    QFETCH(QString, ub4);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), ub2, ub4));
    QVERIFY(w.start());
    w.mima->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.mima));
    QCOMPARE(w.mima->windowTitle(), QStringLiteral("设置密码"));
    QCOMPARE(w.mima->size(), QSize(345, 233));
    QCOMPARE(w.db.module()->Query_jz_ub()->sql(), sql::kSettingsAll);
    QTEST(w.mima->bsSkinCheckRadioBox1()->isChecked(), "ticked");
    QTEST(w.mima->bsSkinGroupBox1()->isVisible(), "group");
    QFETCH(bool, changeMode);
    QFETCH(bool, group);
    QCOMPARE(w.mima->bsSkinButton3()->isVisible(), changeMode);
    QCOMPARE(w.mima->bsSkinButton1()->isVisible(), !changeMode);
    QCOMPARE(!w.mima->bsSkinPanel2()->isHidden(), changeMode);
    QVERIFY(!w.mima->bsSkinPanel1()->isHidden());
    QVERIFY(w.mima->bsSkinButton2()->isVisible());
    if (group) { // without the old-password row the new-password rows move up to the top of the group
        const int top = w.mima->bsSkinGroupBox1()->layout()->contentsRect().top();
        QTRY_COMPARE(w.mima->bsSkinPanel1()->y() == top, !changeMode);
    }
    w.mima->reject();
}

// Every showing starts with the three password edits empty.
void TestLock::dialogShowClearsEdits()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.unlockWith(QStringLiteral("1"));
    w.mima->show();
    for (PasswordEdit* e : {w.mima->bsSkinEdit1(), w.mima->bsSkinEdit4(), w.mima->bsSkinEdit2()})
        e->setText(QStringLiteral("55"));
    w.mima->reject();
    w.mima->show();
    for (PasswordEdit* e : {w.mima->bsSkinEdit1(), w.mima->bsSkinEdit4(), w.mima->bsSkinEdit2()})
        QCOMPARE(e->text(), QString());
    w.mima->reject();
}

// The check box shows and hides the group and writes nothing.
void TestLock::dialogCheckBox()
{
    LockWindow w;
    QVERIFY(w.start());
    w.mima->show();
    QVERIFY(!w.mima->bsSkinGroupBox1()->isVisible());
    w.mima->bsSkinCheckRadioBox1()->click();
    QVERIFY(w.mima->bsSkinGroupBox1()->isVisible());
    w.mima->bsSkinCheckRadioBox1()->click();
    QVERIFY(!w.mima->bsSkinGroupBox1()->isVisible());
    QCOMPARE(settingsRow(w.db), (QStringList{QString(), QStringLiteral("0"), QStringLiteral("0")}));
    w.mima->reject();
}

// OK in both modes with the box ticked and unticked: messages in order, what is written, and the lock
// state after the dialog closes.
void TestLock::dialogOk_data()
{
    QTest::addColumn<QString>("stored");  // ub1 before
    QTest::addColumn<bool>("changeMode"); // ub2 = ub4 = "1" when true, "0" otherwise
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("oldPw");
    QTest::addColumn<QString>("newPw");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QStringList>("after"); // ub1, ub2, ub4

    const QStringList off0 = {QStringLiteral("0123"), QStringLiteral("0"), QStringLiteral("0")};
    const QStringList on1 = {QStringLiteral("0123"), QStringLiteral("1"), QStringLiteral("1")};
    QTest::newRow("first: set") << "0123" << false << true << ""
                                << "4567"
                                << "4567"
                                << "密码已经设置" << true << QStringList{u"4567"_s, u"1"_s, u"1"_s};
    QTest::newRow("first: set with leading zero")
        << "" << false << true << ""
        << "007"
        << "007"
        << "密码已经设置" << true << QStringList{u"007"_s, u"1"_s, u"1"_s};
    QTest::newRow("first: empty new") << "0123" << false << true << ""
                                      << ""
                                      << "9"
                                      << "请填写密码" << false << off0;
    QTest::newRow("first: empty repeat") << "0123" << false << true << ""
                                         << "9"
                                         << ""
                                         << "请再次输入密码" << false << off0;
    QTest::newRow("first: mismatch") << "0123" << false << true << ""
                                     << "12"
                                     << "13"
                                     << "您两次输入的密码不正确" << false << off0;
    QTest::newRow("first: zeros differ") << "0123" << false << true << ""
                                         << "012"
                                         << "12"
                                         << "您两次输入的密码不正确" << false << off0;
    QTest::newRow("first: off with text in the edits") << "0123" << false << false << ""
                                                       << "55"
                                                       << "55"
                                                       << "已经关闭了软件登录密码" << true << off0;
    QTest::newRow("change: set") << "0123" << true << true << "0123"
                                 << "88"
                                 << "88"
                                 << "密码已经设置" << true << QStringList{u"88"_s, u"1"_s, u"1"_s};
    QTest::newRow("change: same again") << "0123" << true << true << "0123"
                                        << "0123"
                                        << "0123"
                                        << "密码已经设置" << true << on1;
    QTest::newRow("change: wrong old before empty new") << "0123" << true << true << "123"
                                                        << ""
                                                        << ""
                                                        << "旧密码输入错误，请您重试。" << false << on1;
    QTest::newRow("change: empty old") << "0123" << true << true << ""
                                       << "5"
                                       << "5"
                                       << "旧密码输入错误，请您重试。" << false << on1;
    QTest::newRow("change: right old, empty new") << "0123" << true << true << "0123"
                                                  << ""
                                                  << ""
                                                  << "请填写密码" << false << on1;
    QTest::newRow("change: right old, mismatch") << "0123" << true << true << "0123"
                                                 << "1"
                                                 << "2"
                                                 << "您两次输入的密码不正确" << false << on1;
    QTest::newRow("change: off asks nothing") << "0123" << true << false << ""
                                              << ""
                                              << ""
                                              << "已经关闭了软件登录密码" << true << off0;
    QTest::newRow("change: off with wrong old") << "0123" << true << false << "999"
                                                << "1"
                                                << "2"
                                                << "已经关闭了软件登录密码" << true << off0;
}

void TestLock::dialogOk()
{
    QFETCH(QString, stored);
    QFETCH(bool, changeMode);
    QFETCH(bool, tick);
    QFETCH(QString, oldPw);
    QFETCH(QString, newPw);
    QFETCH(QString, repeat);
    QFETCH(QString, message);
    QFETCH(bool, closed);
    QFETCH(QStringList, after);
    const QString flag = changeMode ? QStringLiteral("1") : QStringLiteral("0");
    LockWindow w;
    QVERIFY(w.setSettings(stored, flag, flag));
    QVERIFY(w.start());
    if (changeMode)
        w.unlockWith(stored);
    w.mian->showPortfolio();
    QVERIFY(w.navEnabled());

    w.mima->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.mima));
    QCOMPARE(w.mima->bsSkinButton3()->isVisible(), changeMode);
    if (w.mima->bsSkinCheckRadioBox1()->isChecked() != tick)
        w.mima->bsSkinCheckRadioBox1()->click();
    w.mima->bsSkinEdit1()->setText(oldPw);
    w.mima->bsSkinEdit4()->setText(newPw);
    w.mima->bsSkinEdit2()->setText(repeat);
    (changeMode ? w.mima->bsSkinButton3() : w.mima->bsSkinButton1())->click();

    QCOMPARE(w.messages(), QStringList{message});
    QCOMPARE(settingsRow(w.db), after);
    QCOMPARE(!w.mima->isVisible(), closed);
    if (!closed) {
        // The dialog stays open with its input; the main window is untouched.
        QCOMPARE(w.mima->bsSkinEdit1()->text(), oldPw);
        QCOMPARE(w.mima->bsSkinEdit4()->text(), newPw);
        QCOMPARE(w.mima->bsSkinEdit2()->text(), repeat);
        QVERIFY(w.portfolioShown());
        w.mima->reject();
    }
    // Closed in any way: settings reloaded, rule applied, welcome panel shown.
    QCOMPARE(w.db.module()->Query_jz_ub()->sql(), sql::kSettingsAll);
    QVERIFY(w.welcomeShown());
    const bool lockOn = after[1] == QLatin1String("1");
    QCOMPARE(w.locked(), lockOn);
    QCOMPARE(w.lockGroupShown(), lockOn);
    QCOMPARE(w.navEnabled(), !lockOn);
    if (lockOn) { // the password now stored unlocks
        w.unlockWith(after[0]);
        QVERIFY(w.portfolioShown());
    }
}

// A statement the database rejects: error box, nothing written, no success message, dialog open.
void TestLock::dialogDatabaseError_data()
{
    QTest::addColumn<bool>("tick");
    QTest::newRow("set") << true;
    QTest::newRow("switch off") << false;
}

void TestLock::dialogDatabaseError()
{
    QFETCH(bool, tick);
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("31"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.unlockWith(QStringLiteral("31"));
    QCOMPARE(w.db.exec(QStringLiteral("create trigger refuse before update on jz_ub begin "
                                      "select raise(abort, 'database is read only'); end")),
             QString());
    w.mima->show();
    if (!tick)
        w.mima->bsSkinCheckRadioBox1()->click();
    w.mima->bsSkinEdit1()->setText(QStringLiteral("31"));
    w.mima->bsSkinEdit4()->setText(QStringLiteral("42"));
    w.mima->bsSkinEdit2()->setText(QStringLiteral("42"));
    w.mima->bsSkinButton3()->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(shown[0].text, QStringLiteral("database is read only."));
    QVERIFY(w.mima->isVisible());
    QCOMPARE(w.mima->bsSkinEdit4()->text(), QStringLiteral("42"));
    QCOMPARE(settingsRow(w.db),
             (QStringList{QStringLiteral("31"), QStringLiteral("1"), QStringLiteral("1")}));
    QVERIFY(w.portfolioShown());
    w.mima->reject();
    QVERIFY(w.locked());
}

// Without a settings row the update changes nothing, success is still reported and the rule changes nothing.
void TestLock::dialogNoSettingsRow()
{
    LockWindow w;
    QCOMPARE(w.db.exec(QStringLiteral("delete from jz_ub")), QString());
    QCOMPARE(w.db.module()->Query_jz_ub()->open().error(), QString());
    QVERIFY(w.start());
    w.mian->showPortfolio();
    w.mima->show();
    w.mima->bsSkinCheckRadioBox1()->setChecked(true);
    w.mima->bsSkinEdit1()->setText(QString());
    w.mima->bsSkinEdit4()->setText(QStringLiteral("1"));
    w.mima->bsSkinEdit2()->setText(QStringLiteral("1"));
    w.mima->bsSkinButton3()->click(); // the built layout: change mode, old password "" matches no row
    // Without its row the password would be gone at the next start: an error, not "密码已经设置"; the
    // dialog stays open with what was typed.
    const QStringList shown = w.messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(QStringLiteral("密码设置没有保存")), qPrintable(shown[0]));
    QVERIFY(w.mima->isVisible());
    QCOMPARE(w.mima->bsSkinEdit4()->text(), QStringLiteral("1"));
    QCOMPARE(w.mima->bsSkinEdit2()->text(), QStringLiteral("1"));
    QCOMPARE(w.db.setting(QStringLiteral("ub2")), QString());
    // Turning the password off changes no row either, and says so.
    w.mima->bsSkinCheckRadioBox1()->setChecked(false);
    w.mima->bsSkinButton3()->click();
    const QStringList off = w.messages();
    QCOMPARE(off.size(), 1);
    QVERIFY2(off[0].contains(QStringLiteral("密码设置没有保存")), qPrintable(off[0]));
    QVERIFY(w.mima->isVisible());
}

// The closing steps run exactly once for each way of closing.
void TestLock::dialogClosesOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel") << "cancel";
    QTest::newRow("escape") << "escape";
    QTest::newRow("title bar") << "close";
    QTest::newRow("ok") << "ok";
}

void TestLock::dialogClosesOnce()
{
    QFETCH(QString, how);
    TestDb db;
    QWidget lockGroup;
    SpyHost host;
    Tset_mima mima;
    mima.bindData(db.module());
    mima.setHost(&host, &lockGroup);
    QCOMPARE(db.exec(QStringLiteral("update jz_ub set ub2='1', ub4='1', ub1='3'")), QString());
    mima.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mima));
    db.module()->Query_jz_ub()->close(); // closing reloads it
    if (how == QLatin1String("cancel")) {
        mima.bsSkinButton2()->click();
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(&mima, Qt::Key_Escape);
    } else if (how == QLatin1String("close")) {
        mima.close();
    } else {
        mima.bsSkinCheckRadioBox1()->setChecked(false);
        mima.bsSkinButton3()->click();
    }
    QVERIFY(!mima.isVisible());
    QCOMPARE(host.welcomeShown, 1);
    QVERIFY(db.module()->Query_jz_ub()->isOpen());
    const bool on = how != QLatin1String("ok");
    QCOMPARE(!lockGroup.isHidden(), on);
    QCOMPARE(host.nav, !on);
    mima.close(); // already closed: nothing runs again
    QCOMPARE(host.welcomeShown, 1);
}

// Cancel while the lock is on writes nothing and locks the program at once.
void TestLock::dialogCancelWhileLockOn()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("246"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.unlockWith(QStringLiteral("246"));
    w.mian->showTools();
    w.mima->show();
    w.mima->bsSkinEdit1()->setText(QStringLiteral("246"));
    w.mima->bsSkinEdit4()->setText(QStringLiteral("1"));
    w.mima->bsSkinEdit2()->setText(QStringLiteral("1"));
    w.mima->bsSkinButton2()->click();
    QVERIFY(!w.mima->isVisible());
    QVERIFY(w.messages().isEmpty());
    QVERIFY(w.locked());
    QCOMPARE(settingsRow(w.db),
             (QStringList{QStringLiteral("246"), QStringLiteral("1"), QStringLiteral("1")}));
    w.unlockWith(QStringLiteral("1"));
    QVERIFY(w.locked());
    QCOMPARE(w.messages(), QStringList{QStringLiteral("您输入的密码错误")});
}

// After switching the lock off and on again, the dialog is in first-time mode and asks no old password.
void TestLock::dialogOffThenOnIsFirstTime()
{
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("11"), QStringLiteral("1"), QStringLiteral("1")));
    QVERIFY(w.start());
    w.unlockWith(QStringLiteral("11"));

    w.mima->show(); // change mode: switch off
    QVERIFY(w.mima->bsSkinButton3()->isVisible());
    w.mima->bsSkinCheckRadioBox1()->click();
    w.mima->bsSkinButton3()->click();
    QCOMPARE(w.messages(), QStringList{QStringLiteral("已经关闭了软件登录密码")});
    QVERIFY(!w.lockGroupShown() && w.navEnabled());

    w.mima->show(); // first-time mode: switch on without the old password
    QVERIFY(w.mima->bsSkinButton1()->isVisible());
    QVERIFY(!w.mima->bsSkinButton3()->isVisible());
    QVERIFY(!w.mima->bsSkinPanel2()->isVisible());
    QVERIFY(!w.mima->bsSkinCheckRadioBox1()->isChecked());
    w.mima->bsSkinCheckRadioBox1()->click();
    w.mima->bsSkinEdit4()->setText(QStringLiteral("22"));
    w.mima->bsSkinEdit2()->setText(QStringLiteral("22"));
    w.mima->bsSkinButton1()->click();
    QCOMPARE(w.messages(), QStringList{QStringLiteral("密码已经设置")});
    QCOMPARE(settingsRow(w.db),
             (QStringList{QStringLiteral("22"), QStringLiteral("1"), QStringLiteral("1")}));
    QVERIFY(w.locked());
    w.unlockWith(QStringLiteral("11"));
    QVERIFY(w.locked());
    w.unlockWith(QStringLiteral("22"));
    QVERIFY(w.portfolioShown());

    w.mima->show(); // and change mode again
    QVERIFY(w.mima->bsSkinButton3()->isVisible());
    QVERIFY(w.mima->bsSkinPanel2()->isVisible());
    w.mima->reject();
    w.messages();
}

// Enter in a password edit presses the OK button that is shown.
void TestLock::dialogEnterPressesShownOk_data()
{
    QTest::addColumn<bool>("changeMode");
    QTest::newRow("first-time mode") << false;
    QTest::newRow("change mode") << true;
}

void TestLock::dialogEnterPressesShownOk()
{
    QFETCH(bool, changeMode);
    const QString flag = changeMode ? QStringLiteral("1") : QStringLiteral("0");
    LockWindow w;
    QVERIFY(w.setSettings(QStringLiteral("5"), flag, flag));
    QVERIFY(w.start());
    if (changeMode)
        w.unlockWith(QStringLiteral("5"));
    w.mima->show();
    w.mima->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.mima));
    if (!changeMode)
        QTest::keyClick(w.mima->bsSkinCheckRadioBox1(), Qt::Key_Space);
    QVERIFY(w.mima->bsSkinGroupBox1()->isVisible());
    PasswordEdit* first = changeMode ? w.mima->bsSkinEdit1() : w.mima->bsSkinEdit4();
    first->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(first));
    if (changeMode) { // the wrong old password proves that the change-mode OK ran
        typeText(first, QStringLiteral("6"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w.messages(), QStringList{QStringLiteral("旧密码输入错误，请您重试。")});
        QVERIFY(w.mima->isVisible());
        QCOMPARE(first->text(), QStringLiteral("6")); // Enter inserted nothing
        first->clear();
        typeText(first, QStringLiteral("5"));
        QTest::keyClick(first, Qt::Key_Tab);
    }
    typeText(QApplication::focusWidget(), QStringLiteral("77"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.mima->bsSkinEdit2()));
    typeText(QApplication::focusWidget(), QStringLiteral("77"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w.messages(), QStringList{QStringLiteral("密码已经设置")});
    QVERIFY(!w.mima->isVisible());
    QCOMPARE(w.db.setting(QStringLiteral("ub1")), QStringLiteral("77"));
    QVERIFY(w.locked());
}

QTEST_MAIN(TestLock)
#include "tst_lock.moc"
