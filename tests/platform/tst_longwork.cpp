#include "platform/LongWork.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// A job that works elsewhere: it runs until cancel() (or finish()), then signals finished later, as a
// worker thread's or a network request's end comes in through the event loop.
class FakeJob : public QObject
{
    Q_OBJECT
public:
    void start() { m_running = true; }
    bool isRunning() const { return m_running; }
    void cancel()
    {
        cancelCalls++;
        finish();
    }
    void finish()
    {
        QTimer::singleShot(0, this, [this] {
            m_running = false;
            Q_EMIT finished();
        });
    }
    int cancelCalls = 0;

Q_SIGNALS:
    void finished();

private:
    bool m_running = false;
};

QPushButton* cancelButton(const LongWork& work)
{
    for (QPushButton* button : work.window()->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("取消"))
            return button;
    return nullptr;
}

} // namespace

class TestLongWork : public QObject
{
    Q_OBJECT
private slots:
    void steppedWorkShowsAfterTheDelayAndStopsOnCancel();
    void quickWorkShowsNothing();
    void jobIsCancelledThroughTheWindow();
    void jobThatFinishesRunsToTheEnd();
    void workThatCannotStopHasNoCancel();
};

void TestLongWork::steppedWorkShowsAfterTheDelayAndStopsOnCancel()
{
    QWidget owner;
    owner.show();
    QElapsedTimer clock;
    clock.start();
    LongWork work(&owner, QStringLiteral("批量导出"), QStringLiteral("正在导出域名……"), 1000,
                  LongWork::Cancel::Allowed, QStringLiteral("stepProgress"));
    QCOMPARE(owner.findChild<QProgressDialog*>(QStringLiteral("stepProgress")), work.window());
    QCOMPARE(work.window()->labelText(), QStringLiteral("正在导出域名……"));
    // Steps until the window shows, then 取消 as the user presses it; the next step says stop.
    qint64 shownAt = -1;
    int steps = 0;
    const QDeadlineTimer deadline(20000);
    while (work.step(steps % 1000, 1000)) {
        ++steps;
        if (work.window()->isVisible() && shownAt < 0) {
            shownAt = clock.elapsed();
            QPushButton* cancel = cancelButton(work);
            QVERIFY(cancel);
            cancel->click();
        }
        QVERIFY(!deadline.hasExpired());
    }
    // Not before the delay (give or take the clocks' rounding).
    QVERIFY2(shownAt >= LongWork::kDelayMs - 10, qPrintable(QString::number(shownAt)));
    QVERIFY(work.wasCancelled());
    QVERIFY(!work.step(steps, 1000)); // stays stopped
    QCOMPARE(work.window()->maximum(), 1000);
}

void TestLongWork::quickWorkShowsNothing()
{
    QWidget owner;
    owner.show();
    QElapsedTimer clock;
    clock.start();
    {
        LongWork work(&owner, QStringLiteral("t"), QStringLiteral("x"), 10);
        for (int i = 0; i <= 10; ++i)
            QVERIFY(work.step(i, 10));
        if (clock.elapsed() < LongWork::kDelayMs)
            QVERIFY(!work.window()->isVisible());
        QVERIFY(!work.wasCancelled());
    }
    QVERIFY(owner.findChildren<QProgressDialog*>().isEmpty()); // gone with the work
}

void TestLongWork::jobIsCancelledThroughTheWindow()
{
    QWidget owner;
    owner.show();
    FakeJob job;
    LongWork work(&owner, QStringLiteral("从注册局更新"), QStringLiteral("正在查询 …"), 0);
    QSignalSpy cancelled(&work, &LongWork::cancelled);
    // 取消 pressed once the window shows, as the user would.
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = -1;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!work.window()->isVisible())
            return;
        shownAt = clock.elapsed();
        poll.stop();
        cancelButton(work)->click();
    });
    poll.start(5);
    work.run(&job, &FakeJob::finished, [&] { job.start(); });
    QVERIFY(!job.isRunning());
    QCOMPARE(job.cancelCalls, 1);
    QVERIFY(work.wasCancelled());
    QCOMPARE(cancelled.size(), 1);
    QVERIFY2(shownAt >= LongWork::kDelayMs - 10, qPrintable(QString::number(shownAt)));
}

void TestLongWork::jobThatFinishesRunsToTheEnd()
{
    QWidget owner;
    FakeJob job;
    LongWork work(&owner, QStringLiteral("t"), QStringLiteral("x"), 3);
    work.run(&job, &FakeJob::finished, [&] {
        job.start();
        work.setProgress(3);
        job.finish();
    });
    QVERIFY(!job.isRunning());
    QCOMPARE(job.cancelCalls, 0);
    QVERIFY(!work.wasCancelled());
    QCOMPARE(work.window()->value(), 3);
}

void TestLongWork::workThatCannotStopHasNoCancel()
{
    QWidget owner;
    LongWork work(&owner, QStringLiteral("t"), QStringLiteral("正在导入域名……"), 5,
                  LongWork::Cancel::Refused);
    QVERIFY(!cancelButton(work));
    QVERIFY(work.window()->findChildren<QPushButton*>().isEmpty());
}

QTEST_MAIN(TestLongWork)
#include "tst_longwork.moc"
