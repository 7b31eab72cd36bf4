#pragma once

#include "sheet/TableReader.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// Reads a workbook on a worker thread, so that the window keeps drawing and answering while a large
// file is read. Reports progress in thousandths and can be cancelled; knows nothing of widgets.
class WorkbookLoader : public QObject
{
    Q_OBJECT
public:
    explicit WorkbookLoader(QObject* parent = nullptr);
    // A read still running is cancelled and waited for.
    ~WorkbookLoader() override;

    // Starts reading the first worksheet of path (any format readTable knows), keeping the given number of
    // columns (0: all). Ignored while a read runs.
    void start(const QString& path, int columns = 0, qint64 maxFileSize = sheet::ReadOptions().maxFileSize);
    // Asks the running read to stop; it then finishes with a cancelled result. Also marks a read that
    // has already finished but whose result was not taken yet as cancelled.
    void cancel();
    bool isRunning() const;
    bool wasCancelled() const { return m_cancel.load(); }

    // The result of the finished read (moved out).
    Expected<sheet::Sheet> takeResult();

Q_SIGNALS:
    // The work done so far, 0 to 1000; emitted on the loader's thread.
    void progressChanged(int permille);
    void finished();

private:
    void onThreadFinished();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_permille{-1};
    Expected<sheet::Sheet> m_result = noResult();
    // What there is before a read has finished, or once its result was taken.
    static Expected<sheet::Sheet> noResult() { return Result::failure(QString()); }
};
