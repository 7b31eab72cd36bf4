#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class QTimer;
class QWidget;

// The window of work that may take long (reading a workbook, storing rows, exporting, printing, asking
// the registries): a text, a bar and 取消, shown only once the work has taken kDelayMs, so that quick work
// shows nothing. The window is made at once, hidden, and stays until the LongWork is destroyed.
//
// Work goes one of two ways:
// - in steps on the window thread: call step() between steps; it draws the window and takes the events
//   in, and says whether to go on;
// - off the window thread (or on the network): run() starts a job and waits in an event loop until the
//   job says it has finished; 取消 asks the job to stop.
class LongWork : public QObject
{
    Q_OBJECT
public:
    // How long work runs before its window shows, in milliseconds.
    static constexpr int kDelayMs = 500;

    enum class Cancel
    {
        Allowed, // the window has 取消
        Refused, // work that cannot stop half way: no 取消
    };

    // total is the work to be done in the units step() and setProgress() count (0: not known, the bar
    // then only shows that something is going on). objectName names the window (for finding it).
    LongWork(QWidget* parent, const QString& title, const QString& text, int total,
             Cancel cancel = Cancel::Allowed, const QString& objectName = QString());
    ~LongWork() override;

    void setText(const QString& text);
    // The work done so far and the whole (total < 0 keeps the whole as it is).
    void setProgress(int done, int total = -1);

    // For work in steps on the window thread: records the progress, shows the window once the delay has
    // passed, and takes the events in (user input only while a window with 取消 shows, and then only it
    // takes any, as it is modal). False once 取消 was pressed: the work should stop.
    bool step(int done, int total);
    // As step(), for work going on that cannot be counted: the bar only shows that something goes on.
    bool stepUncounted();

    // For a job that works off the window thread: connects 取消 to job->cancel(), calls start(), and
    // unless the job has finished already waits until it signals finished.
    template <typename Job, typename Finished, typename Start>
    void run(Job* job, Finished finished, Start&& start)
    {
        QEventLoop loop;
        const QMetaObject::Connection done = connect(job, finished, &loop, &QEventLoop::quit);
        const QMetaObject::Connection stop = connect(this, &LongWork::cancelled, job, &Job::cancel);
        if (m_cancelled) // 取消 pressed before the job was started
            job->cancel();
        start();
        if (job->isRunning())
            loop.exec();
        disconnect(done);
        disconnect(stop);
    }

    bool wasCancelled() const { return m_cancelled; }
    // The window (hidden until the delay has passed).
    QProgressDialog* window() const { return m_dialog; }

Q_SIGNALS:
    // 取消 was pressed.
    void cancelled();

private:
    void showWindow();
    bool takeEvents(); // the rest of a step, once the progress is set

    QPointer<QProgressDialog> m_dialog;
    QTimer* m_delay = nullptr;
    QElapsedTimer m_clock;
    bool m_takesInput = true; // the window has 取消
    bool m_cancelled = false;
};
