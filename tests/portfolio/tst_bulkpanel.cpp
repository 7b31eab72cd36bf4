#include "TestDb.h"
#include "db/UndoHistory.h"
#include "platform/Dialogs.h"
#include "portfolio/BulkEditDialog.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/PortfolioStatus.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

// The domain list with many rows selected: choosing them with mouse and keyboard, deleting and editing
// them at once, and taking that back.
class TestBulkPanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void selectWithMouse();
    void selectWithKeyboard();
    void selectAllWhileTheRowsComeIn();
    void oneRowAsBefore();
    void selectionSurvivesSortAndSearchClearsIt();
    void deleteSelectionAndUndo();
    void bulkEditThroughItsDialog();
    void undoRefusedNamesTheDomain();
};

namespace {
// A fresh database with d1.com .. d<count>.com (d1 the oldest, expiring 2024-02-29, priced 10 each) and the
// panel shown on it, with its status strip.
struct Panel
{
    explicit Panel(int count)
    {
        for (int i = 1; i <= count; ++i)
            aids << db.insert(
                row({u"d%1.com"_s.arg(i), {}, u"老注册商"_s, {}, {}, u"2024-02-29"_s, {}, {}, u"10"_s}));
        [&] { QVERIFY(db.queryA()->open().ok()); }();
        panel.resize(852, 593);
        panel.bindData(db.module());
        panel.show();
        panel.statusStrip()->show();
        panel.activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&panel)); }();
        grid()->setFocus();
    }
    QTableView* grid() const { return panel.bsSkinDBGrid1(); }
    void click(int row, Qt::KeyboardModifiers keys = {}) const
    {
        const QRect cell = grid()->visualRect(grid()->model()->index(row, 0));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, keys, cell.center());
    }
    QLabel* selectedLabel() const { return panel.statusStrip()->findChild<QLabel*>(u"lblSelected"_s); }
    QString pane() const { return panel.findChild<QLabel*>(u"lblDomain"_s)->text(); }
    QStringList listed() const { return modelColumn(grid()->model()); }
    QAction* action(const QString& name) const { return grid()->findChild<QAction*>(name); }
    QStringList selectedNames() const
    {
        QStringList names;
        for (const QModelIndex& index : grid()->selectionModel()->selectedRows())
            names << index.data().toString();
        names.sort();
        return names;
    }

    TestDb db;
    TFr_guanli panel;
    QList<qint64> aids;
};
} // namespace

void TestBulkPanel::initTestCase()
{
    MessageBox::setTestMode(true);
}

void TestBulkPanel::init()
{
    MessageBox::clearShown();
    BulkEditDialog::setTestAnswer({});
}

void TestBulkPanel::selectWithMouse()
{
    Panel p(8); // listed d8 .. d1
    p.click(1);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 1);
    QVERIFY(!p.selectedLabel()->isVisible());
    p.click(4, Qt::ShiftModifier);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 4);
    QVERIFY(p.selectedLabel()->isVisible());
    QCOMPARE(p.selectedLabel()->text(), u"已选 4 个"_s);
    p.click(6, Qt::ControlModifier);
    QCOMPARE(p.selectedNames(),
             (QStringList{u"d2.com"_s, u"d4.com"_s, u"d5.com"_s, u"d6.com"_s, u"d7.com"_s}));
    QCOMPARE(p.pane(), u"d2.com"_s); // the detail pane follows the row clicked last
    p.click(2, Qt::ControlModifier); // off again
    QCOMPARE(p.selectedLabel()->text(), u"已选 4 个"_s);
    p.click(0); // a plain click chooses one row again
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 1);
    QVERIFY(!p.selectedLabel()->isVisible());
}

void TestBulkPanel::selectWithKeyboard()
{
    Panel p(6);
    p.click(0);
    QTest::keyClick(p.grid(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(p.grid(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(p.selectedNames(), (QStringList{u"d4.com"_s, u"d5.com"_s, u"d6.com"_s}));
    QCOMPARE(p.pane(), u"d4.com"_s);
    QTest::keyClick(p.grid(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 6);
    QCOMPARE(p.selectedLabel()->text(), u"已选 6 个"_s);
    QTest::keyClick(p.grid(), Qt::Key_Down);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 1);
}

// Ctrl+A in the first second after the start selects every domain of the file, not only those read so far.
void TestBulkPanel::selectAllWhileTheRowsComeIn()
{
    Panel p(300);
    QCOMPARE(p.db.queryA()->openInSteps(10, 10).error(),
             QString()); // the first rows at once, as at the start
    QVERIFY(p.db.queryA()->isFilling());
    p.grid()->setFocus();
    QTest::keyClick(p.grid(), Qt::Key_A, Qt::ControlModifier);
    QVERIFY(!p.db.queryA()->isFilling());
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 300);
    QCOMPARE(p.selectedLabel()->text(), u"已选 300 个"_s);
}

void TestBulkPanel::oneRowAsBefore()
{
    Panel p(3);
    p.click(1);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    QTest::keyClick(p.grid(), Qt::Key_Delete);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, u"您确定要删除此域名吗?此操作不可恢复"_s);
    QCOMPARE(p.db.countRows(), 3);
}

void TestBulkPanel::selectionSurvivesSortAndSearchClearsIt()
{
    Panel p(5);
    p.click(0);
    p.click(2, Qt::ShiftModifier); // d5, d4, d3
    QHeaderView* header = p.grid()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(p.listed(), (QStringList{u"d1.com"_s, u"d2.com"_s, u"d3.com"_s, u"d4.com"_s, u"d5.com"_s}));
    QCOMPARE(p.selectedNames(), (QStringList{u"d3.com"_s, u"d4.com"_s, u"d5.com"_s}));
    QCOMPARE(p.selectedLabel()->text(), u"已选 3 个"_s);
    p.panel.searchBox()->setText(u"d"_s);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 1);
    QVERIFY(!p.selectedLabel()->isVisible());
}

void TestBulkPanel::deleteSelectionAndUndo()
{
    Panel p(6);
    p.click(1);
    p.click(3, Qt::ShiftModifier); // d5, d4, d3
    MessageBox::setNextAnswer(MessageBox::Ok);
    QTest::keyClick(p.grid(), Qt::Key_Delete);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, u"确定要删除选中的 3 个域名吗？"_s);
    QCOMPARE(shown[0].caption, u"删除确认"_s);
    QCOMPARE(p.db.countRows(), 3);
    QCOMPARE(p.listed(), (QStringList{u"d6.com"_s, u"d2.com"_s, u"d1.com"_s}));
    QCOMPARE(p.panel.statusStrip()->totals().count, 3);
    QCOMPARE(p.action(u"actUndo"_s)->text(), u"撤销：删除 3 个域名\tCtrl+Z"_s);

    QTest::keyClick(p.grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(p.db.countRows(), 6);
    QCOMPARE(p.db.row(p.aids[3]).value(1), u"d4.com"_s); // back with its own aid
    QCOMPARE(p.listed().size(), 6);
    QCOMPARE(p.panel.statusStrip()->totals().count, 6);
    QVERIFY(!p.action(u"actUndo"_s)->isEnabled());
    QCOMPARE(p.action(u"actRedo"_s)->text(), u"重做：删除 3 个域名\tCtrl+Shift+Z"_s);

    QTest::keyClick(p.grid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(p.db.countRows(), 3);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestBulkPanel::bulkEditThroughItsDialog()
{
    Panel p(4);
    p.db.exec(u"update tt_a set a6='不详' where a1='d2.com'"_s);
    QVERIFY(p.db.queryA()->open().ok());
    QString preview;
    BulkEditDialog::setTestAnswer([&](BulkEditDialog& dialog) {
        dialog.field("Price")->setText(u"88"_s);
        dialog.tick("Price")->setChecked(true);
        dialog.findChild<QCheckBox*>(u"chkExtend"_s)->setChecked(true);
        dialog.years()->setValue(1);
        preview = dialog.previewText();
        return true;
    });
    QTest::keyClick(p.grid(), Qt::Key_A, Qt::ControlModifier);
    p.action(u"actBulkEdit"_s)->trigger();
    QCOMPARE(preview, u"将修改 4 个域名（其中 1 个的到期日期无法识别，不顺延）"_s);
    for (int i = 0; i < 4; ++i) {
        const QStringList stored = p.db.row(p.aids[i]);
        QCOMPARE(stored.value(9), u"88"_s);
        QCOMPARE(stored.value(6), i == 1 ? u"不详"_s : u"2025-02-28"_s);
    }
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1); // the date that could not be moved on
    QVERIFY(shown[0].text.contains(u"d2.com"_s));
    QCOMPARE(p.panel.statusStrip()->totals().priceCents, 4 * 8800);
    QCOMPARE(p.panel.bsSkinDBGrid1()->selectedCount(), 4); // still selected
    QCOMPARE(p.action(u"actUndo"_s)->text(), u"撤销：批量修改 4 个域名\tCtrl+Z"_s);
    p.action(u"actUndo"_s)->trigger();
    QCOMPARE(p.db.row(p.aids[0]).value(9), u"10"_s);
    QCOMPARE(p.db.row(p.aids[0]).value(6), u"2024-02-29"_s);
}

void TestBulkPanel::undoRefusedNamesTheDomain()
{
    Panel p(3);
    QTest::keyClick(p.grid(), Qt::Key_A, Qt::ControlModifier);
    BulkEditDialog::setTestAnswer([](BulkEditDialog& dialog) {
        dialog.field("Registrar")->setText(u"新"_s);
        dialog.tick("Registrar")->setChecked(true);
        return true;
    });
    p.action(u"actBulkEdit"_s)->trigger();
    {
        Connection other; // another program
        QCOMPARE(other.open(p.db.path()).error(), QString());
        QCOMPARE(other.execute(u"update tt_a set a3='别人' where a1='d2.com'"_s).error(), QString());
    }
    MessageBox::clearShown();
    QTest::keyClick(p.grid(), Qt::Key_Z, Qt::ControlModifier);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.contains(u"d2.com"_s), qPrintable(shown[0].text));
    QCOMPARE(p.db.row(p.aids[1]).value(3), u"别人"_s);
    QCOMPARE(p.db.row(p.aids[0]).value(3), u"新"_s); // nothing taken back
}

QTEST_MAIN(TestBulkPanel)
#include "tst_bulkpanel.moc"
