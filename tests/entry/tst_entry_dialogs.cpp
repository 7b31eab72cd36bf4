#include "TestDb.h"
#include "db/Sql.h"
#include "entry/Edit_yuming.h"
#include "entry/EntryEdits.h"
#include "entry/InputRules.h"
#include "entry/New_yuming.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBoundaryFinder>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QDate kToday(2024, 3, 5);

// Types text as the keyboard would: one key event per character as the user sees it (an emoji with
// its surrogates is one key), Enter for a line break.
void typeText(QWidget* widget, const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int start = 0;
    for (int end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
        const QString one = text.mid(start, end - start);
        start = end;
        int key = 0;
        QString keyText = one;
        if (one == QLatin1String("\n")) {
            key = Qt::Key_Return;
            keyText = QStringLiteral("\r");
        } else if (one == QLatin1String(" ")) {
            key = Qt::Key_Space;
        } else if (one.size() == 1 && one.front().unicode() < 128) {
            key = one.front().toUpper().unicode();
        }
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, keyText);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, keyText);
        QApplication::sendEvent(widget, &release);
    }
}

void paste(QWidget* widget, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keySequence(widget, QKeySequence::Paste);
}

QString boxText(QWidget* box)
{
    if (auto* notes = qobject_cast<NotesEdit*>(box))
        return notes->notes();
    return qobject_cast<QLineEdit*>(box)->text();
}

void clearBox(QWidget* box)
{
    if (auto* notes = qobject_cast<NotesEdit*>(box))
        notes->setNotes(QString());
    else
        qobject_cast<QLineEdit*>(box)->clear();
}

// One row for each dialog.
void bothDialogs()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("add") << QStringLiteral("add");
    QTest::newRow("edit") << QStringLiteral("edit");
}

QString repeated(const QString& piece, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}
} // namespace

class TestEntryDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowsAreFixedModalAndNamed();
    void addShowsTheDefaultsOnEveryShowing();
    void addWithOnlyTheDomainStoresTheDefaults();
    void emptyDomainIsRefusedAndInputKept_data();
    void emptyDomainIsRefusedAndInputKept();
    void pastedBlanksAreADomain();
    void controlCharactersNeverReachTheDomain_data();
    void controlCharactersNeverReachTheDomain();
    void keyFiltersActOnTypedCharactersOnly_data();
    void keyFiltersActOnTypedCharactersOnly();
    void inputMethodCommitsAreTyped();
    void limitsHoldForTypingAndCutPastes_data();
    void limitsHoldForTypingAndCutPastes();
    void pasteInTheMiddleIsCutAtTheLimit();
    void openerTextIsNeitherLimitedNorFiltered();
    void valuesLandInTheirColumnsExactly_data();
    void valuesLandInTheirColumnsExactly();
    void editWritesOnlyItsRowAndListStandsOnFirst();
    void editUnchangedRewritesTheSameTexts();
    void searchStaysInForceAcrossASave_data();
    void searchStaysInForceAcrossASave();
    void rejectedStatementKeepsTheDialogOpen_data();
    void rejectedStatementKeepsTheDialogOpen();
    void editOfADeletedDomainKeepsTheDialogOpen();
    void focusOrderAndDefaultButton_data();
    void focusOrderAndDefaultButton();

private:
    // Shows a dialog of the kind named ("add" or "edit") on the test database; the edit dialog is loaded
    // with the row `aid` first, as the opener does.
    std::unique_ptr<DomainDialog> open(const QString& kind, qint64 aid = -1);
    QWidget* box(DomainDialog* dialog, const QString& name) const
    {
        return dialog->findChild<QWidget*>(name);
    }

    std::unique_ptr<TestDb> m_db;
};

void TestEntryDialogs::init()
{
    MessageBox::setTestMode(true);
    Platform::setTodayHook([] { return kToday; });
    m_db = std::make_unique<TestDb>();
    QVERIFY2(m_db->ok(), qPrintable(m_db->error()));
}

void TestEntryDialogs::cleanup()
{
    m_db.reset();
    Platform::setTodayHook({});
    MessageBox::setTestMode(false);
}

std::unique_ptr<DomainDialog> TestEntryDialogs::open(const QString& kind, qint64 aid)
{
    std::unique_ptr<DomainDialog> dialog;
    if (kind == QLatin1String("add")) {
        auto add = std::make_unique<Tnew_yuming>();
        add->bindData(m_db->module());
        dialog = std::move(add);
    } else {
        auto edit = std::make_unique<Tedit_yuming>();
        edit->bindData(m_db->module());
        if (aid < 0)
            aid = m_db->insert({QStringLiteral("old.com")});
        edit->loadRecord(DomainRecord::fromRow(m_db->row(aid)));
        dialog = std::move(edit);
    }
    dialog->show();
    return dialog;
}

void TestEntryDialogs::windowsAreFixedModalAndNamed()
{
    const QList<std::pair<QString, QString>> kinds = {{QStringLiteral("add"), QStringLiteral("添加新域名")},
                                                      {QStringLiteral("edit"), QStringLiteral("修改域名")}};
    for (const auto& [kind, caption] : kinds) {
        auto dialog = open(kind);
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(dialog->size(), QSize(425, 289));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(dialog->isModal());
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(dialog->bsSkinButton1()->text(), QStringLiteral("保  存"));
        QCOMPARE(dialog->bsSkinButton2()->text(), QStringLiteral("取  消"));
        QVERIFY(dialog->bsSkinButton1()->isDefault());
        for (const char* name : {"bsSkinEdit1", "bsSkinEdit2", "bsSkinEdit3", "bsSkinEdit4", "bsSkinEdit5",
                                 "bsSkinEdit6", "bsSkinDateEdit1", "bsSkinDateEdit2", "bsSkinRichEdit1"})
            QVERIFY2(box(dialog.get(), QLatin1String(name)), name);
        // The notes box is drawn like every other field: a light ground with no yellow cast.
        const QColor notes = dialog->bsSkinRichEdit1()->viewport()->grab().toImage().pixelColor(5, 5);
        QVERIFY2(notes.lightness() > 240 && notes.blue() >= notes.red(), qPrintable(notes.name()));
    }
    Tedit_yuming edit;
    QLabel* aid = edit.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel8"));
    QVERIFY(aid);
    edit.show();
    QVERIFY(!aid->isVisible());
}

void TestEntryDialogs::addShowsTheDefaultsOnEveryShowing()
{
    auto dialog = open(QStringLiteral("add"));
    const QStringList defaults = {u""_s,           u""_s, u""_s, u""_s, u"2024-03-05"_s,
                                  u"2024-03-05"_s, u""_s, u""_s, u"0"_s};
    QCOMPARE(dialog->record().values(), defaults);

    // Type into every box, then leave once by 取  消 and once by the close button: nothing is stored
    // and the next showing starts afresh, with the day of that showing.
    for (int round = 0; round < 2; ++round) {
        for (const char* name : {"bsSkinEdit1", "bsSkinEdit2", "bsSkinEdit3", "bsSkinEdit4", "bsSkinEdit5",
                                 "bsSkinEdit6", "bsSkinDateEdit1", "bsSkinDateEdit2", "bsSkinRichEdit1"})
            typeText(box(dialog.get(), QLatin1String(name)), QStringLiteral("X9"));
        QVERIFY(dialog->record().values() != defaults);
        if (round == 0)
            dialog->bsSkinButton2Click();
        else
            dialog->close();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(m_db->countRows(), 0);

        Platform::setTodayHook([] { return QDate(2025, 12, 31); });
        dialog->show();
        const QStringList later = {u""_s,           u""_s, u""_s, u""_s, u"2025-12-31"_s,
                                   u"2025-12-31"_s, u""_s, u""_s, u"0"_s};
        QCOMPARE(dialog->record().values(), later);
        Platform::setTodayHook([] { return kToday; });
    }
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestEntryDialogs::addWithOnlyTheDomainStoresTheDefaults()
{
    const qint64 older = m_db->insert({QStringLiteral("older.com")});
    auto dialog = open(QStringLiteral("add"));
    typeText(dialog->bsSkinEdit1(), QStringLiteral("new.com"));
    dialog->bsSkinButton1Click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(MessageBox::takeShown().isEmpty());

    Dataset* list = m_db->queryA();
    QCOMPARE(list->recordCount(), 2);
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(list->fieldText(QStringLiteral("a1")), QStringLiteral("new.com"));
    const qint64 aid = list->fieldText(QStringLiteral("aid")).toLongLong();
    QVERIFY(aid > older);
    const QStringList expected = {QString::number(aid), u"new.com"_s,    u""_s, u""_s, u""_s,
                                  u"2024-03-05"_s,      u"2024-03-05"_s, u""_s, u""_s, u"0"_s};
    QCOMPARE(m_db->row(aid), expected);
}

void TestEntryDialogs::emptyDomainIsRefusedAndInputKept_data()
{
    bothDialogs();
}

void TestEntryDialogs::emptyDomainIsRefusedAndInputKept()
{
    QFETCH(QString, kind);
    const qint64 aid = m_db->insert({QStringLiteral("keep.com"), QStringLiteral("说明")});
    auto dialog = open(kind, aid);
    clearBox(dialog->bsSkinEdit1());
    typeText(dialog->bsSkinEdit2(), QStringLiteral("typed"));
    typeText(dialog->bsSkinRichEdit1(), QStringLiteral("line1\nline2"));
    const QStringList before = dialog->record().values();
    QSignalSpy reloads(m_db->queryA(), &Dataset::rowsReset);

    dialog->bsSkinButton1Click();

    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("域名为必填项"));
    QCOMPARE(shown[0].caption, QStringLiteral("Information"));
    QCOMPARE(shown[0].icon, MessageBox::Information);
    QCOMPARE(shown[0].buttons, int(MessageBox::Ok));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->record().values(), before);
    QCOMPARE(m_db->countRows(), 1);
    QCOMPARE(m_db->row(aid).value(1), QStringLiteral("keep.com"));
    QCOMPARE(reloads.count(), 0);
}

void TestEntryDialogs::pastedBlanksAreADomain()
{
    auto dialog = open(QStringLiteral("add"));
    typeText(dialog->bsSkinEdit1(), QStringLiteral("   "));
    QCOMPARE(dialog->bsSkinEdit1()->text(), QString());
    paste(dialog->bsSkinEdit1(), QStringLiteral("   "));
    QCOMPARE(dialog->bsSkinEdit1()->text(), QStringLiteral("   "));
    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_db->queryA()->fieldText(QStringLiteral("a1")), QStringLiteral("   "));
}

void TestEntryDialogs::controlCharactersNeverReachTheDomain_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("text"); // put between "x" and ".com"
    QTest::addColumn<QString>("expected");
    const QString dirty = QStringLiteral("ab") + QChar(0) + QStringLiteral("c\x1b\td\r\ne\u2028f\x7f\x85");
    QTest::newRow("paste") << "paste" << dirty << "xabcdef.com";
    QTest::newRow("input method") << "ime" << dirty << "xabcdef.com";
    QTest::newRow("paste of controls only") << "paste" << QStringLiteral("\t\n") << "x.com";
    QTest::newRow("clean paste kept") << "paste" << QStringLiteral("例子") << "x例子.com";
}

// A NUL, Esc, Tab or line break in a domain makes it impossible to find: they never get in, however the
// text comes; the notes keep their line breaks.
void TestEntryDialogs::controlCharactersNeverReachTheDomain()
{
    QFETCH(QString, how);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    auto dialog = open(QStringLiteral("add"));
    QLineEdit* domain = dialog->bsSkinEdit1();
    typeText(domain, QStringLiteral("x.com"));
    domain->setCursorPosition(1);
    if (how == QLatin1String("paste")) {
        paste(domain, text);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(domain, &commit);
    }
    QCOMPARE(domain->text(), expected);
    // Backspace still deletes.
    QTest::keyClick(domain, Qt::Key_Backspace);
    QCOMPARE(domain->text().size(), expected.size() - 1);
    typeText(dialog->bsSkinRichEdit1(), QStringLiteral("第一行\n第二行"));
    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_db->queryA()->fieldText(QStringLiteral("a7")), QStringLiteral("第一行\n第二行"));
}

void TestEntryDialogs::keyFiltersActOnTypedCharactersOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    for (const QString& kind : {QStringLiteral("add"), QStringLiteral("edit")}) {
        auto row = [&](const char* name, const char* box, const QString& typed, const QString& expected) {
            QTest::addRow("%s %s", qPrintable(kind), name)
                << kind << QString::fromLatin1(box) << typed << expected;
        };
        row("domain blank", "bsSkinEdit1", QStringLiteral(" my domain.com "), QStringLiteral("mydomain.com"));
        row("domain keeps the rest", "bsSkinEdit1", QStringLiteral("中文.CN-1_x!😀"),
            QStringLiteral("中文.CN-1_x!😀"));
        row("date slashes", "bsSkinDateEdit1", QStringLiteral("2012/10/10"), QStringLiteral("20121010"));
        row("date hyphens", "bsSkinDateEdit2", QStringLiteral("2012-10-10"), QStringLiteral("2012-10-10"));
        row("date dots blanks lower case", "bsSkinDateEdit1", QStringLiteral("2012.1 .1 abcz"),
            QStringLiteral("201211"));
        row("date upper case and others", "bsSkinDateEdit2", QStringLiteral("ABZ:_,年月日é"),
            QStringLiteral("ABZ:_,年月日é"));
        row("no filter elsewhere", "bsSkinEdit2", QStringLiteral("a b./c"), QStringLiteral("a b./c"));
        row("no filter on the price", "bsSkinEdit3", QStringLiteral("1 000.5/m"),
            QStringLiteral("1 000.5/m"));
    }
}

void TestEntryDialogs::keyFiltersActOnTypedCharactersOnly()
{
    QFETCH(QString, kind);
    QFETCH(QString, boxName);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    auto dialog = open(kind);
    auto* edit = qobject_cast<QLineEdit*>(box(dialog.get(), boxName));
    edit->clear();
    typeText(edit, typed);
    QCOMPARE(edit->text(), expected);
    // Backspace is a control key and passes.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), expected.chopped(expected.endsWith(QStringLiteral("😀")) ? 2 : 1));
    // Pasted text is not filtered.
    edit->clear();
    paste(edit, typed);
    QCOMPARE(edit->text(), typed);
}

void TestEntryDialogs::inputMethodCommitsAreTyped()
{
    auto dialog = open(QStringLiteral("add"));
    dialog->bsSkinDateEdit1()->clear();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("2012/10 x"));
    QApplication::sendEvent(dialog->bsSkinDateEdit1(), &commit);
    QCOMPARE(dialog->bsSkinDateEdit1()->text(), QStringLiteral("201210"));

    QInputMethodEvent chinese;
    chinese.setCommitString(QStringLiteral("中 文"));
    QApplication::sendEvent(dialog->bsSkinEdit1(), &chinese);
    QCOMPARE(dialog->bsSkinEdit1()->text(), QStringLiteral("中文"));
}

void TestEntryDialogs::limitsHoldForTypingAndCutPastes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<int>("limit"); // 0: none

    const QList<std::pair<const char*, std::pair<int, int>>> boxes = {
        {"bsSkinEdit1", {70, 0}},      {"bsSkinEdit3", {30, 0}},      {"bsSkinEdit2", {70, 0}},
        {"bsSkinEdit6", {70, 70}},     {"bsSkinEdit4", {70, 0}},      {"bsSkinEdit5", {70, 0}},
        {"bsSkinDateEdit1", {50, 50}}, {"bsSkinDateEdit2", {50, 50}}, {"bsSkinRichEdit1", {180, 180}}};
    for (const auto& [name, limits] : boxes) {
        QTest::addRow("add %s", name) << QStringLiteral("add") << QString::fromLatin1(name) << limits.first;
        QTest::addRow("edit %s", name)
            << QStringLiteral("edit") << QString::fromLatin1(name) << limits.second;
    }
}

void TestEntryDialogs::limitsHoldForTypingAndCutPastes()
{
    QFETCH(QString, kind);
    QFETCH(QString, boxName);
    QFETCH(int, limit);
    auto dialog = open(kind);
    QWidget* edit = box(dialog.get(), boxName);
    const bool notes = boxName == QLatin1String("bsSkinRichEdit1");
    // Characters as the user sees them: Chinese, an emoji of two UTF-16 units, a flag of four, a letter
    // with a combining accent; in the notes a line break too. All pass the key filters.
    const QString piece = notes ? QStringLiteral("😀\n🇨🇳E\u0301") : QStringLiteral("中🇨🇳😀E\u0301");
    const int pieceCount = inputrules::characterCount(piece);
    QCOMPARE(pieceCount, 4);

    clearBox(edit);
    if (limit == 0) {
        // No limit: far more than the add dialog allows is typed and pasted.
        const QString many = repeated(piece, 40);
        typeText(edit, many);
        paste(edit, many);
        QCOMPARE(boxText(edit), many + many);
        return;
    }

    // Typing stops at the limit.
    // It ends in a plain digit, which Backspace takes away whole.
    const int pieces = (limit - 1) / pieceCount;
    const QString full = repeated(piece, pieces) + repeated(QStringLiteral("9"), limit - pieces * pieceCount);
    typeText(edit, full + QStringLiteral("5"));
    QCOMPARE(boxText(edit), full);
    typeText(edit, QStringLiteral("😀"));
    QCOMPARE(boxText(edit), full);
    if (notes) {
        typeText(edit, QStringLiteral("\n"));
        QCOMPARE(boxText(edit), full);
    }
    // Deleting still works.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(inputrules::characterCount(boxText(edit)), limit - 1);

    // A paste is cut at the limit: what fits goes in.
    clearBox(edit);
    const QString start = repeated(QStringLiteral("1"), limit - 3);
    typeText(edit, start);
    paste(edit, QStringLiteral("🇨🇳😀中X"));
    QCOMPARE(boxText(edit), start + QStringLiteral("🇨🇳😀中"));
    paste(edit, QStringLiteral("Y"));
    QCOMPARE(boxText(edit), start + QStringLiteral("🇨🇳😀中"));
}

void TestEntryDialogs::pasteInTheMiddleIsCutAtTheLimit()
{
    auto dialog = open(QStringLiteral("add"));
    EntryLineEdit* price = dialog->bsSkinEdit3(); // 30
    price->setText(QString());
    typeText(price, repeated(QStringLiteral("a"), 10) + repeated(QStringLiteral("b"), 10));
    price->setCursorPosition(10);
    paste(price, repeated(QStringLiteral("中"), 15));
    QCOMPARE(price->text(), repeated(QStringLiteral("a"), 10) + repeated(QStringLiteral("中"), 10) +
                                repeated(QStringLiteral("b"), 10));
    QCOMPARE(price->cursorPosition(), 20);
    // Replacing a selection makes room for what replaces it.
    price->setSelection(0, 10);
    paste(price, repeated(QStringLiteral("c"), 12));
    QCOMPARE(price->text(), repeated(QStringLiteral("c"), 10) + repeated(QStringLiteral("中"), 10) +
                                repeated(QStringLiteral("b"), 10));
}

void TestEntryDialogs::openerTextIsNeitherLimitedNorFiltered()
{
    // A registrar longer than the edit dialog's 70, dates with slashes and blanks, as an import may leave
    // them: the opener's texts stand whole and are saved whole.
    const QString registrar = repeated(QStringLiteral("注册商"), 40);
    const QString notes = repeated(QStringLiteral("备注\n"), 100);
    const qint64 aid = m_db->insert({QStringLiteral("a b.com"), QString(), registrar, QString(),
                                     QStringLiteral("2012/10/10 abc"), QStringLiteral("x.y"), notes});
    auto dialog = open(QStringLiteral("edit"), aid);
    QCOMPARE(dialog->bsSkinEdit6()->text(), registrar);
    QCOMPARE(dialog->bsSkinEdit1()->text(), QStringLiteral("a b.com"));
    QCOMPARE(dialog->bsSkinDateEdit1()->text(), QStringLiteral("2012/10/10 abc"));
    QCOMPARE(dialog->bsSkinRichEdit1()->notes(), notes);
    // Nothing more can be typed into the over-long registrar, but it can be shortened.
    dialog->bsSkinEdit6()->end(false);
    typeText(dialog->bsSkinEdit6(), QStringLiteral("X"));
    QCOMPARE(dialog->bsSkinEdit6()->text(), registrar);
    QTest::keyClick(dialog->bsSkinEdit6(), Qt::Key_Backspace);
    QCOMPARE(dialog->bsSkinEdit6()->text(), registrar.chopped(1));
    dialog->bsSkinEdit6()->setText(registrar);

    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    const QStringList stored = m_db->row(aid);
    QCOMPARE(stored.value(1), QStringLiteral("a b.com"));
    QCOMPARE(stored.value(3), registrar);
    QCOMPARE(stored.value(5), QStringLiteral("2012/10/10 abc"));
    QCOMPARE(stored.value(7), notes);
}

void TestEntryDialogs::valuesLandInTheirColumnsExactly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("values"); // a1..a9

    const QStringList plain = {u"d1.com"_s,     u"说明2"_s,      u"注册商3"_s, u"http://m4.example/"_s,
                               u"2001-05-05"_s, u"2006-06-06"_s, u"备注7"_s,   u"pw8"_s,
                               u"999"_s};
    const QStringList hostile = {u"x'); delete from tt_a; --"_s,
                                 u"引号 \" ' ` \\ %_ :a :h"_s,
                                 u"😀🇨🇳👨‍👩‍👧 é"_s,
                                 u"' or '1'='1"_s,
                                 u"  leading and trailing  "_s,
                                 u"2012-10-10'"_s,
                                 u"第一行\n第二行\r\n第三行\n\n  缩进\t制表 & <b>不是粗体</b>\u00a0"_s,
                                 u"\"; drop table jz_ub; --"_s,
                                 u"1e3 ¥ 元"_s};
    for (const QString& kind : {QStringLiteral("add"), QStringLiteral("edit")}) {
        QTest::addRow("%s plain", qPrintable(kind)) << kind << plain;
        QTest::addRow("%s hostile", qPrintable(kind)) << kind << hostile;
    }
}

void TestEntryDialogs::valuesLandInTheirColumnsExactly()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, values);
    const qint64 bystander =
        m_db->insert({u"other.com"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"h"_s, u"i"_s});
    const QStringList bystanderRow = m_db->row(bystander);
    const qint64 target = m_db->insert({QStringLiteral("target.com")});
    auto dialog = open(kind, target);

    // The boxes in the order a1..a9; the notes are typed, with Enter for each line break.
    const QStringList names = {u"bsSkinEdit1"_s,     u"bsSkinEdit2"_s,     u"bsSkinEdit6"_s,
                               u"bsSkinEdit4"_s,     u"bsSkinDateEdit1"_s, u"bsSkinDateEdit2"_s,
                               u"bsSkinRichEdit1"_s, u"bsSkinEdit5"_s,     u"bsSkinEdit3"_s};
    for (int i = 0; i < 9; ++i) {
        QWidget* w = box(dialog.get(), names[i]);
        clearBox(w);
        if (i == 6) {
            QString typed = values[i];
            typed.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            typeText(w, typed);
            values[i] = typed; // a typed line break is one "\n"
        } else {
            // Pasted, so that the key filters leave the texts whole.
            paste(w, values[i]);
        }
        QCOMPARE(boxText(w), values[i]);
    }
    QCOMPARE(dialog->record().values(), values);

    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!dialog->isVisible());

    const qint64 aid = kind == QLatin1String("add") ? target + 1 : target;
    QCOMPARE(m_db->countRows(), kind == QLatin1String("add") ? 3 : 2);
    QCOMPARE(m_db->row(aid), QStringList{QString::number(aid)} + values);
    QCOMPARE(m_db->row(bystander), bystanderRow);
    QCOMPARE(m_db->setting(QStringLiteral("ub3")), QStringLiteral("8"));
    // The list was reloaded and shows the texts back as they were typed.
    QCOMPARE(m_db->queryA()->rowValues(0), QStringList{QString::number(aid)} + values);
}

void TestEntryDialogs::editWritesOnlyItsRowAndListStandsOnFirst()
{
    const qint64 first = m_db->insert({u"one.com"_s, u"1"_s});
    const qint64 second = m_db->insert({u"two.com"_s, u"2"_s});
    const qint64 third = m_db->insert({u"three.com"_s, u"3"_s});
    Dataset* list = m_db->queryA();
    QVERIFY(list->open().ok());
    list->setCurrentRow(1); // two.com, as the user selected it
    QStringList shown = list->rowValues(1);
    auto dialog = open(QStringLiteral("edit"), second);
    QCOMPARE(dialog->record().values(), shown.mid(1));
    clearBox(dialog->bsSkinEdit1());
    typeText(dialog->bsSkinEdit1(), QStringLiteral("二.com"));
    dialog->bsSkinButton1Click();

    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(list->fieldText(QStringLiteral("a1")), QStringLiteral("three.com"));
    QCOMPARE(m_db->row(second).value(1), QStringLiteral("二.com"));
    QCOMPARE(m_db->row(first).value(1), QStringLiteral("one.com"));
    QCOMPARE(m_db->row(third).value(1), QStringLiteral("three.com"));

    // Cancelling after changes stores nothing; a new opening shows the stored values.
    auto again = open(QStringLiteral("edit"), second);
    typeText(again->bsSkinEdit2(), QStringLiteral("changed"));
    again->bsSkinButton2Click();
    QCOMPARE(m_db->row(second).value(2), QStringLiteral("2"));
    static_cast<Tedit_yuming*>(again.get())->loadRecord(DomainRecord::fromRow(m_db->row(second)));
    QCOMPARE(again->bsSkinEdit2()->text(), QStringLiteral("2"));
}

void TestEntryDialogs::editUnchangedRewritesTheSameTexts()
{
    // Texts the dialogs could not produce by typing (a CR LF, a lone CR, separators, no-break spaces
    // in the notes) come back unchanged when the user saves without touching them.
    const QStringList values = {u"a.com"_s,
                                u"b"_s,
                                u"c"_s,
                                u"d"_s,
                                u"e"_s,
                                u"f"_s,
                                u"第一行\r\n第二行\r孤立\u2028分隔\u2029段\u00a0空格\n"_s,
                                u"h"_s,
                                u"i"_s};
    const qint64 aid = m_db->insert(values);
    auto dialog = open(QStringLiteral("edit"), aid);
    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(m_db->row(aid), QStringList{QString::number(aid)} + values);
}

void TestEntryDialogs::searchStaysInForceAcrossASave_data()
{
    bothDialogs();
}

void TestEntryDialogs::searchStaysInForceAcrossASave()
{
    QFETCH(QString, kind);
    const qint64 alpha = m_db->insert({QStringLiteral("alpha.com")});
    m_db->insert({QStringLiteral("beta.net")});
    m_db->insert({QStringLiteral("alphabet.org")});
    Dataset* list = m_db->queryA();
    QVERIFY(list->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("alpha")}}).ok());
    QVERIFY(list->setSort(QStringLiteral("a1 ASC")).ok());
    QCOMPARE(list->recordCount(), 2);

    // A matching save shows up; the heading sort is gone; the list stands on its first row.
    auto dialog = open(kind, alpha);
    clearBox(dialog->bsSkinEdit1());
    typeText(dialog->bsSkinEdit1(), QStringLiteral("alpha-new.com"));
    dialog->bsSkinButton1Click();
    QStringList domains;
    for (int r = 0; r < list->recordCount(); ++r)
        domains << list->value(r, QStringLiteral("a1"));
    const QStringList expected = kind == QLatin1String("add")
                                     ? QStringList{u"alpha-new.com"_s, u"alphabet.org"_s, u"alpha.com"_s}
                                     : QStringList{u"alphabet.org"_s, u"alpha-new.com"_s};
    QCOMPARE(domains, expected);
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(list->sort(), QString());

    // A save that the search does not match is stored but not listed.
    auto other = open(kind, alpha);
    clearBox(other->bsSkinEdit1());
    typeText(other->bsSkinEdit1(), QStringLiteral("gamma.cn"));
    other->bsSkinButton1Click();
    QVERIFY(!other->isVisible());
    QCOMPARE(list->recordCount(), kind == QLatin1String("add") ? 3 : 1);
    QCOMPARE(m_db->countRows(), kind == QLatin1String("add") ? 5 : 3);
    QCOMPARE(list->params().value(QStringLiteral("q")), QStringLiteral("alpha"));
}

void TestEntryDialogs::rejectedStatementKeepsTheDialogOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("add refused by a trigger")
        << QStringLiteral("add")
        << QStringLiteral(
               "create trigger refuse before insert on tt_a begin select raise(abort, '域名已冻结'); end");
    QTest::newRow("edit refused by a trigger")
        << QStringLiteral("edit")
        << QStringLiteral(
               "create trigger refuse before update on tt_a begin select raise(abort, '域名已冻结'); end");
}

void TestEntryDialogs::rejectedStatementKeepsTheDialogOpen()
{
    QFETCH(QString, kind);
    QFETCH(QString, trigger);
    const qint64 aid = m_db->insert({QStringLiteral("kept.com"), QStringLiteral("old")});
    const QStringList before = m_db->row(aid);
    auto dialog = open(kind, aid);
    QVERIFY(m_db->exec(trigger).isEmpty());
    QVERIFY(m_db->queryA()->setSort(QStringLiteral("a1 DESC")).ok());
    clearBox(dialog->bsSkinEdit1());
    typeText(dialog->bsSkinEdit1(), QStringLiteral("changed.com"));
    typeText(dialog->bsSkinRichEdit1(), QStringLiteral("备注\n第二行"));
    const QStringList typed = dialog->record().values();
    QSignalSpy reloads(m_db->queryA(), &Dataset::rowsReset);

    dialog->bsSkinButton1Click();

    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QCOMPARE(shown[0].caption, QStringLiteral("岚枢"));
    QVERIFY2(shown[0].text.contains(QStringLiteral("域名已冻结")), qPrintable(shown[0].text));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->record().values(), typed);
    QCOMPARE(m_db->countRows(), 1);
    QCOMPARE(m_db->row(aid), before);
    QCOMPARE(reloads.count(), 0);
    QCOMPARE(m_db->queryA()->sort(), QStringLiteral("a1 DESC"));

    // Once the database takes it again, the same input is saved.
    QVERIFY(m_db->exec(QStringLiteral("drop trigger refuse")).isEmpty());
    dialog->bsSkinButton1Click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_db->queryA()->fieldText(QStringLiteral("a1")), QStringLiteral("changed.com"));
}

// Another program deleted the domain while it was being edited: the update changes no row, which is an
// error, not a save.
void TestEntryDialogs::editOfADeletedDomainKeepsTheDialogOpen()
{
    const qint64 aid = m_db->insert({QStringLiteral("gone.com"), QStringLiteral("old")});
    m_db->insert({QStringLiteral("other.com")});
    auto dialog = open(QStringLiteral("edit"), aid);
    QVERIFY(m_db->exec(QStringLiteral("delete from tt_a where aid=%1").arg(aid)).isEmpty());
    clearBox(dialog->bsSkinEdit1());
    typeText(dialog->bsSkinEdit1(), QStringLiteral("changed.com"));
    const QStringList typed = dialog->record().values();

    dialog->bsSkinButton1Click();

    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Critical);
    QVERIFY2(shown[0].text.contains(QStringLiteral("已经不在数据库中")), qPrintable(shown[0].text));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->record().values(), typed);
    QCOMPARE(m_db->countRows(), 1);
    QVERIFY(m_db->row(aid).isEmpty());
}

void TestEntryDialogs::focusOrderAndDefaultButton_data()
{
    bothDialogs();
}

void TestEntryDialogs::focusOrderAndDefaultButton()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("focus needs a window system");
    QFETCH(QString, kind);
    auto dialog = open(kind);
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->bsSkinEdit1()));

    const QStringList expected = {u"bsSkinEdit3"_s,     u"bsSkinEdit2"_s,   u"bsSkinEdit6"_s,
                                  u"bsSkinEdit4"_s,     u"bsSkinEdit5"_s,   u"bsSkinRichEdit1"_s,
                                  u"bsSkinButton1"_s,   u"bsSkinButton2"_s, u"bsSkinDateEdit1"_s,
                                  u"bsSkinDateEdit2"_s, u"bsSkinEdit1"_s};
    QStringList order;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, expected);

    // Enter in a box presses 保  存: with the domain emptied it asks for one and the dialog stays.
    dialog->bsSkinEdit1()->clear();
    QTest::keyClick(dialog->bsSkinEdit1(), Qt::Key_Return);
    const auto shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("域名为必填项"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->bsSkinEdit1()));
}

QTEST_MAIN(TestEntryDialogs)
#include "tst_entry_dialogs.moc"
