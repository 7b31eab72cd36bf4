#include "app/Mian.h"
#include "db/DataModule.h"
#include "db/Schema.h"
#include "lock/Fr_wel.h"
#include "lock/PasswordEdit.h"
#include "lock/Set_mima.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
// One run of the program on the database file in the current folder: data module, main window,
// password dialog, the show step.
struct Run
{
    std::unique_ptr<TDataModule2> data;
    std::unique_ptr<Tmian> mian;
    Tset_mima* mima = nullptr;
    QString error;

    Run()
    {
        mian = std::make_unique<Tmian>();
        auto made = TDataModule2::create();
        error = made.error();
        data = made.take();
        if (!data)
            return;
        mima = new Tset_mima(mian.get());
        mima->bindData(data.get());
        mian->bindData(data.get());
        mian->setDialogs(nullptr, nullptr, mima, nullptr, nullptr, nullptr);
        mian->FormShow();
        mian->show();
    }
    ~Run()
    {
        mian.reset(); // the windows go before the data module they show
        data.reset();
    }

    bool lockGroupShown() const { return !mian->Fr_wel1()->lockGroup()->isHidden(); }
    bool locked() const
    {
        return !mian->Fr_wel1()->isHidden() && lockGroupShown() && !mian->isNavigationEnabled();
    }
    bool unlocked() const { return mian->isNavigationEnabled(); }
    void unlock(const QString& password)
    {
        mian->Fr_wel1()->Pass_edit()->setText(password);
        mian->Fr_wel1()->unlockButton()->click();
    }
};
} // namespace

class TestLockRestart : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Platform::setNetworkHook([] { return false; });
    }
    void acrossRestarts();
};

void TestLockRestart::acrossRestarts()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString oldCwd = QDir::currentPath();
    QCOMPARE(schema::createShippedDatabase(dir.filePath(QStringLiteral("service.dll"))).error(), QString());
    QDir::setCurrent(dir.path());
    auto restoreCwd = qScopeGuard([&] { QDir::setCurrent(oldCwd); });

    { // first start: unlocked; set the password 0042 through the dialog
        Run run;
        QVERIFY2(run.data, qPrintable(run.error));
        QVERIFY(run.unlocked());
        QVERIFY(!run.lockGroupShown());
        run.mima->show();
        QVERIFY(run.mima->bsSkinButton1()->isVisible()); // first-time mode
        run.mima->bsSkinCheckRadioBox1()->setChecked(true);
        run.mima->bsSkinEdit4()->setText(QStringLiteral("0042"));
        run.mima->bsSkinEdit2()->setText(QStringLiteral("0042"));
        run.mima->bsSkinButton1()->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(run.locked());
    }
    { // restart: locked; 42 is wrong, 0042 unlocks; then switch it off
        Run run;
        QVERIFY2(run.data, qPrintable(run.error));
        QVERIFY(run.locked());
        run.unlock(QStringLiteral("42"));
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("您输入的密码错误"));
        QVERIFY(run.locked());
        run.unlock(QStringLiteral("0042"));
        QVERIFY(run.unlocked());
        QVERIFY(!run.mian->Fr_guanli1()->isHidden());
        run.mima->show();
        QVERIFY(run.mima->bsSkinButton3()->isVisible()); // change mode
        QVERIFY(run.mima->bsSkinCheckRadioBox1()->isChecked());
        run.mima->bsSkinCheckRadioBox1()->setChecked(false);
        run.mima->bsSkinButton3()->click();
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("已经关闭了软件登录密码"));
        QVERIFY(run.unlocked());
        QVERIFY(!run.lockGroupShown());
    }
    { // restart: unlocked, lock group hidden; the dialog is back in first-time mode
        Run run;
        QVERIFY2(run.data, qPrintable(run.error));
        QVERIFY(run.unlocked());
        QVERIFY(!run.lockGroupShown());
        QCOMPARE(run.data->settings()->password(), QStringLiteral("0042")); // left in place
        run.mima->show();
        QVERIFY(run.mima->bsSkinButton1()->isVisible());
        QVERIFY(!run.mima->bsSkinPanel2()->isVisible());
        run.mima->reject();
        QVERIFY(run.unlocked());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
}

QTEST_MAIN(TestLockRestart)
#include "tst_lock_restart.moc"
