#include "WorkbookLoader.h"

#include <QThread>

WorkbookLoader::WorkbookLoader(QObject* parent) : QObject(parent) {}

WorkbookLoader::~WorkbookLoader()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void WorkbookLoader::start(const QString& path, int columns, qint64 maxFileSize)
{
    if (isRunning())
        return;
    delete m_thread;
    m_thread = nullptr;
    m_cancel = false;
    m_permille = -1;
    m_result = noResult();

    sheet::ReadOptions options;
    options.columns = columns;
    options.maxFileSize = maxFileSize;
    // Runs on the worker: passes a change of a thousandth on to this object's thread.
    options.progress = [this](qint64 done, qint64 total) {
        const int permille = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
        if (m_permille.exchange(permille) != permille)
            QMetaObject::invokeMethod(
                this, [this, permille] { Q_EMIT progressChanged(permille); }, Qt::QueuedConnection);
        return !m_cancel.load();
    };
    m_thread = QThread::create([this, path, options] { m_result = sheet::readTable(path, options); });
    m_thread->setObjectName(QStringLiteral("workbook reader"));
    connect(m_thread, &QThread::finished, this, &WorkbookLoader::onThreadFinished);
    m_thread->start(QThread::LowPriority);
}

void WorkbookLoader::cancel()
{
    m_cancel = true;
}

bool WorkbookLoader::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void WorkbookLoader::onThreadFinished()
{
    Q_EMIT finished();
}

Expected<sheet::Sheet> WorkbookLoader::takeResult()
{
    if (isRunning())
        return noResult();
    Expected<sheet::Sheet> result = std::exchange(m_result, noResult());
    if (m_cancel.load() && !result.wasCancelled()) {
        // Cancelled after the last look at the flag: the user's word holds, the rows are not used.
        return Result::cancelled(sheet::cancelledText());
    }
    return result;
}
