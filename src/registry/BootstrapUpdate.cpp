#include "BootstrapUpdate.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>

namespace registry {

BootstrapUpdate::BootstrapUpdate(const QUrl& address, const QString& folder, const LookupOptions& options,
                                 QObject* parent)
    : QObject(parent), m_address(address), m_folder(folder), m_options(options),
      m_network(new QNetworkAccessManager(this))
{
}

BootstrapUpdate::~BootstrapUpdate()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void BootstrapUpdate::start()
{
    const bool allowed = m_address.scheme() == QLatin1String("https") ||
                         (m_options.allowPlainHttp && m_address.scheme() == QLatin1String("http"));
    if (!allowed) {
        done(QStringLiteral("注册局地址表的地址不是 https"));
        return;
    }
    QNetworkRequest request(m_address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_options.maxRedirects);
    request.setTransferTimeout(m_options.timeoutMs);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] { done(QStringLiteral("没有及时答复")); });
    timer->start(m_options.timeoutMs);
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (received > m_options.maxBytes || total > m_options.maxBytes)
            done(QStringLiteral("答复过大"));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply != m_reply)
            return;
        if (reply->error() != QNetworkReply::NoError) {
            done(reply->errorString());
            return;
        }
        const QByteArray body = reply->readAll();
        RdapBootstrap check;
        QString error;
        if (body.size() > m_options.maxBytes || !check.parse(body, &error)) {
            done(error.isEmpty() ? QStringLiteral("答复过大") : error);
            return;
        }
        QSaveFile file(QDir(m_folder).filePath(Directory::kBootstrapFile));
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
            done(file.errorString());
            return;
        }
        done({});
    });
}

void BootstrapUpdate::cancel()
{
    done(QStringLiteral("已取消"));
}

void BootstrapUpdate::done(const QString& error)
{
    if (m_finished)
        return;
    m_finished = true;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_error = error;
    emit finished();
}

} // namespace registry
