#include "LookupJob.h"

#include "Parsers.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace registry {

// The work itself, living in the job's thread with its network objects.
class LookupWorker : public QObject
{
    Q_OBJECT
public:
    LookupWorker(Directory directory, QList<LookupItem> items, LookupOptions options)
        : m_directory(std::move(directory)), m_options(options)
    {
        for (const LookupItem& item : items)
            m_work.append(Work{item, {}, {}, 0, 0});
    }

    ~LookupWorker() override
    {
        // Requests under way are dropped without telling anyone: their ends must not reach a worker
        // that is going.
        for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
            socket->disconnect();
            socket->abort();
        }
        for (QNetworkReply* reply : findChildren<QNetworkReply*>()) {
            reply->disconnect();
            reply->abort();
        }
    }

    void run();

signals:
    void answered(const registry::Answer& answer);
    void done();

private:
    struct Work
    {
        LookupItem item;
        Route route;
        QUrl url; // RDAP: the address asked now (after redirects)
        int attempts = 0;
        int hops = 0;
    };
    struct Host
    {
        QList<int> queue;
        bool busy = false;
        qint64 nextAt = 0; // on m_clock, in ms
        int backoffMs = 0;
        QTimer* timer = nullptr;
    };

    static QString hostKeyOf(const QUrl& url)
    {
        return QStringLiteral("%1:%2")
            .arg(url.host())
            .arg(url.port(url.scheme() == QLatin1String("http") ? 80 : 443));
    }
    bool schemeAllowed(const QUrl& url) const
    {
        return url.scheme() == QLatin1String("https") ||
               (m_options.allowPlainHttp && url.scheme() == QLatin1String("http"));
    }
    void enqueue(const QString& key, int index, bool front = false);
    void schedule(const QString& key);
    void startRdap(const QString& key, int index);
    void startWhois(const QString& key, int index);
    // The request of `index` at `key` has ended: the server may be asked again after the interval.
    void release(const QString& key, int extraWaitMs = 0);
    void conclude(int index, const Parsed& parsed);
    void fail(int index, const QString& reason);
    void emitAnswer(Answer answer);

    Directory m_directory;
    LookupOptions m_options;
    QList<Work> m_work;
    QHash<QString, Host> m_hosts;
    QElapsedTimer m_clock;
    QNetworkAccessManager* m_network = nullptr;
    int m_open = 0; // domains not yet answered
};

void LookupWorker::run()
{
    m_clock.start();
    m_network = new QNetworkAccessManager(this);
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_open = int(m_work.size());
    for (int i = 0; i < m_work.size(); ++i) {
        Work& w = m_work[i];
        w.route = m_directory.route(w.item.domain);
        if (w.route.ascii.isEmpty()) {
            fail(i, QStringLiteral("不是有效的域名"));
            continue;
        }
        if (w.route.kind == Route::Kind::None) {
            fail(i, QStringLiteral("不知道这个后缀由哪个注册局管理"));
            continue;
        }
        if (w.route.kind == Route::Kind::Rdap) {
            w.url = w.route.url;
            if (!schemeAllowed(w.url)) {
                fail(i, QStringLiteral("注册局地址不是 https，没有查询"));
                continue;
            }
            enqueue(hostKeyOf(w.url), i);
        } else {
            enqueue(w.route.hostKey, i);
        }
    }
    if (m_open == 0)
        emit done();
}

void LookupWorker::enqueue(const QString& key, int index, bool front)
{
    Host& host = m_hosts[key];
    if (!host.timer) {
        host.timer = new QTimer(this);
        host.timer->setSingleShot(true);
        host.timer->setTimerType(Qt::PreciseTimer); // never earlier than the server allows
        connect(host.timer, &QTimer::timeout, this, [this, key] { schedule(key); });
    }
    if (front)
        host.queue.prepend(index);
    else
        host.queue.append(index);
    schedule(key);
}

void LookupWorker::schedule(const QString& key)
{
    Host& host = m_hosts[key];
    if (host.busy || host.queue.isEmpty())
        return;
    const qint64 now = m_clock.elapsed();
    if (now < host.nextAt) {
        if (!host.timer->isActive())
            host.timer->start(int(host.nextAt - now));
        return;
    }
    host.busy = true;
    const int index = host.queue.takeFirst();
    if (m_work[index].route.kind == Route::Kind::Rdap)
        startRdap(key, index);
    else
        startWhois(key, index);
}

void LookupWorker::release(const QString& key, int extraWaitMs)
{
    Host& host = m_hosts[key];
    host.busy = false;
    host.nextAt = m_clock.elapsed() + std::max(m_options.intervalMs, extraWaitMs);
    schedule(key);
}

void LookupWorker::startRdap(const QString& key, int index)
{
    QNetworkRequest request(m_work[index].url);
    request.setRawHeader("Accept", "application/rdap+json, application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    auto reason = std::make_shared<QString>(); // set when the answer is given up before it ends
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [reply, reason, this] {
        *reason = QStringLiteral("%1 秒内没有完整的答复").arg(m_options.timeoutMs / 1000.0);
        reply->abort();
    });
    timer->start(m_options.timeoutMs);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, reason, this](qint64 received, qint64 total) {
                if (reason->isEmpty() && (received > m_options.maxBytes || total > m_options.maxBytes)) {
                    *reason =
                        QStringLiteral("答复超过 %1 MB，没有读取").arg(m_options.maxBytes / double(1 << 20));
                    reply->abort();
                }
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, reason, key, index] {
        reply->deleteLater();
        Work& w = m_work[index];
        if (!reason->isEmpty()) {
            release(key);
            fail(index, *reason);
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const int retryAfter =
            parseRetryAfter(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc());
        if (status == 0) {
            release(key);
            fail(index, QStringLiteral("无法连接注册局服务器：%1").arg(reply->errorString()));
            return;
        }
        if (status == 429 || status == 403 || status == 422 || (status == 503 && retryAfter >= 0)) {
            Parsed slow;
            slow.kind = Parsed::Kind::SlowDown;
            slow.reason = QStringLiteral("注册局要求放慢查询（HTTP %1）").arg(status);
            slow.retryAfterSeconds = retryAfter;
            conclude(index, slow);
            return; // conclude() released the server with the pause it asked for
        }
        if (status >= 300 && status < 400) {
            release(key);
            const QUrl target = w.url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
            if (!target.isValid() || target.host().isEmpty())
                fail(index, QStringLiteral("注册局转向了无效的地址"));
            else if (!schemeAllowed(target))
                fail(index, QStringLiteral("注册局转向了不是 https 的地址，没有跟随"));
            else if (++w.hops > m_options.maxRedirects)
                fail(index, QStringLiteral("注册局转向超过 %1 次").arg(m_options.maxRedirects));
            else {
                w.url = target;
                enqueue(hostKeyOf(target), index, true);
            }
            return;
        }
        if (status == 404) {
            release(key);
            Parsed free;
            free.kind = Parsed::Kind::Free;
            conclude(index, free);
            return;
        }
        if (status != 200) {
            release(key);
            fail(index, QStringLiteral("注册局答复 HTTP %1").arg(status));
            return;
        }
        const QByteArray body = reply->readAll();
        release(key);
        if (body.size() > m_options.maxBytes)
            fail(index, QStringLiteral("答复超过 %1 MB，没有读取").arg(m_options.maxBytes / double(1 << 20)));
        else
            conclude(index, parseRdap(body));
    });
}

void LookupWorker::startWhois(const QString& key, int index)
{
    const Route& route = m_work[index].route;
    auto* socket = new QTcpSocket(this);
    auto buffer = std::make_shared<QByteArray>();
    auto ended = std::make_shared<bool>(false);
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    // Ends the request once: with the answer read (reason empty) or with a failure.
    auto end = [this, socket, buffer, ended, key, index](const QString& reason) {
        if (*ended)
            return;
        *ended = true;
        socket->abort();
        socket->deleteLater();
        if (!reason.isEmpty()) {
            release(key);
            fail(index, reason);
            return;
        }
        const Parsed parsed = parseWhois(*buffer);
        if (parsed.kind != Parsed::Kind::SlowDown)
            release(key);
        conclude(index, parsed);
    };
    connect(timer, &QTimer::timeout, socket,
            [end, this] { end(QStringLiteral("%1 秒内没有完整的答复").arg(m_options.timeoutMs / 1000.0)); });
    connect(socket, &QTcpSocket::connected, socket,
            [socket, ascii = route.ascii] { socket->write(ascii.toLatin1() + "\r\n"); });
    connect(socket, &QTcpSocket::readyRead, socket, [socket, buffer, end, this] {
        buffer->append(socket->readAll());
        if (buffer->size() > m_options.maxBytes)
            end(QStringLiteral("答复超过 %1 MB，没有读取").arg(m_options.maxBytes / double(1 << 20)));
    });
    connect(socket, &QTcpSocket::disconnected, socket, [end] { end({}); });
    connect(socket, &QTcpSocket::errorOccurred, socket,
            [socket, buffer, end](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError) {
                    buffer->append(socket->readAll());
                    end({});
                } else {
                    end(QStringLiteral("无法连接 WHOIS 服务器：%1").arg(socket->errorString()));
                }
            });
    timer->start(m_options.timeoutMs);
    socket->connectToHost(route.host, route.port);
}

void LookupWorker::conclude(int index, const Parsed& parsed)
{
    Work& w = m_work[index];
    switch (parsed.kind) {
    case Parsed::Kind::SlowDown: {
        // Back off: as long as the server says, else twice as long as the last time; then retry.
        const QString key = w.route.kind == Route::Kind::Rdap ? hostKeyOf(w.url) : w.route.hostKey;
        Host& host = m_hosts[key];
        host.backoffMs = parsed.retryAfterSeconds >= 0
                             ? parsed.retryAfterSeconds * 1000
                             : std::max(2 * m_options.intervalMs, 2 * host.backoffMs);
        host.backoffMs = std::min(host.backoffMs, m_options.longestWaitMs);
        if (++w.attempts >= m_options.attempts) {
            release(key, host.backoffMs);
            fail(index, parsed.reason + QStringLiteral("，重试 %1 次后仍未查到").arg(m_options.attempts - 1));
            return;
        }
        host.queue.append(index);
        release(key, host.backoffMs);
        return;
    }
    case Parsed::Kind::Unreadable:
        fail(index, parsed.reason);
        return;
    case Parsed::Kind::Free:
    case Parsed::Kind::Found: {
        Answer answer;
        answer.aid = w.item.aid;
        answer.domain = w.item.domain;
        answer.queried = w.route.ascii;
        answer.source = w.route.source;
        answer.outcome =
            parsed.kind == Parsed::Kind::Free ? Answer::Outcome::Unregistered : Answer::Outcome::Found;
        answer.registered = parsed.registered;
        answer.expires = parsed.expires;
        answer.registrar = parsed.registrar;
        answer.statuses = parsed.statuses;
        emitAnswer(answer);
        return;
    }
    }
}

void LookupWorker::fail(int index, const QString& reason)
{
    const Work& w = m_work[index];
    Answer answer;
    answer.aid = w.item.aid;
    answer.domain = w.item.domain;
    answer.queried = w.route.ascii;
    answer.source = w.route.source;
    answer.outcome = Answer::Outcome::Failed;
    answer.reason = reason;
    emitAnswer(answer);
}

void LookupWorker::emitAnswer(Answer answer)
{
    answer.time = QDateTime::currentDateTime();
    emit answered(answer);
    if (--m_open == 0)
        emit done();
}

LookupJob::LookupJob(Directory directory, QList<LookupItem> items, LookupOptions options, QObject* parent)
    : QObject(parent), m_directory(std::move(directory)), m_items(std::move(items)), m_options(options)
{
    m_thread.setObjectName(QStringLiteral("registry look-up"));
}

LookupJob::~LookupJob()
{
    stopThread();
}

void LookupJob::start()
{
    if (m_started)
        return; // a job runs once
    m_started = true;
    qRegisterMetaType<registry::Answer>();
    m_running = true;
    m_worker = new LookupWorker(m_directory, m_items, m_options);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &LookupWorker::answered, this, &LookupJob::take);
    connect(m_worker, &LookupWorker::done, this, &LookupJob::workDone);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &LookupWorker::run, Qt::QueuedConnection);
}

void LookupJob::take(const Answer& answer)
{
    if (!m_running)
        return;
    m_answers.append(answer);
    emit progress(int(m_answers.size()), total());
}

void LookupJob::workDone()
{
    if (!m_running)
        return;
    m_running = false;
    stopThread();
    emit finished();
}

void LookupJob::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    m_cancelled = true;
    if (m_worker)
        disconnect(m_worker, nullptr, this, nullptr);
    // The thread ends at once; the worker, with its requests under way, goes with it.
    m_worker = nullptr;
    m_thread.quit();
    emit finished();
}

void LookupJob::stopThread()
{
    if (m_worker)
        disconnect(m_worker, nullptr, this, nullptr);
    m_worker = nullptr; // deleted in its thread when the thread ends
    m_thread.quit();
    m_thread.wait();
}

} // namespace registry

#include "LookupJob.moc"
