#pragma once

#include "Answer.h"
#include "Directory.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>

namespace registry {

// How politely and how long the look-up asks.
struct LookupOptions
{
    int intervalMs = 1000;     // between the end of one answer and the next request to the same server
    int timeoutMs = 20000;     // for the whole of one answer
    qint64 maxBytes = 1 << 20; // of one answer
    int maxRedirects = 3;
    int attempts = 4;            // per domain, counting the retries after a server asked to slow down
    int longestWaitMs = 120000;  // the longest pause a server can ask for within one run
    bool allowPlainHttp = false; // tests only: plain http addresses (the local servers)
};

// One domain to ask for.
struct LookupItem
{
    QString aid;
    QString domain;
};

class LookupWorker;

// Asks the registries for many domains, off the window thread: one request at a time per server, each
// server at least intervalMs after its last answer (longer when it asks for it), the servers in
// parallel. A domain whose answer fails gets the reason; nothing else is retried but a request the
// server asked to repeat later. Knows nothing of widgets.
class LookupJob : public QObject
{
    Q_OBJECT
public:
    LookupJob(Directory directory, QList<LookupItem> items, LookupOptions options = {},
              QObject* parent = nullptr);
    ~LookupJob() override;

    // Starts the work in its own thread and returns at once.
    void start();
    // Stops at once: requests under way are dropped, finished() comes right away with the answers so far.
    void cancel();
    bool isRunning() const { return m_running; }
    bool wasCancelled() const { return m_cancelled; }
    int total() const { return int(m_items.size()); }
    // Every answer so far, in the order they came.
    const QList<Answer>& answers() const { return m_answers; }

signals:
    void progress(int done, int total);
    void finished();

private:
    void take(const registry::Answer& answer);
    void workDone();
    void stopThread();

    Directory m_directory;
    QList<LookupItem> m_items;
    LookupOptions m_options;
    QList<Answer> m_answers;
    QThread m_thread;
    LookupWorker* m_worker = nullptr;
    bool m_started = false;
    bool m_running = false;
    bool m_cancelled = false;
};

} // namespace registry
