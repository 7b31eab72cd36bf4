#include "LocalServers.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <memory>

namespace localservers {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(LANSHU_TEST_DATA "/registry/%1").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

QString ace(const QString& name)
{
    return QString::fromLatin1(QUrl::toAce(name));
}

qint64 now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

namespace {
// Listens on address at a free port; each request, read up to its terminator, goes to onRequest.
void listen(QTcpServer& server, const QString& address, QObject* context, const QByteArray& terminator,
            const std::function<void(QTcpSocket*, const QByteArray&)>& onRequest)
{
    now();
    server.listen(QHostAddress(address), 0);
    QObject::connect(&server, &QTcpServer::newConnection, context, [&server, context, terminator, onRequest] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, context,
                             [socket, buffer, terminator, onRequest] {
                                 buffer->append(socket->readAll());
                                 if (!buffer->contains(terminator))
                                     return;
                                 const QByteArray request = *buffer;
                                 buffer->clear();
                                 onRequest(socket, request);
                             });
        }
    });
}
} // namespace

Http::Http(const QString& address) : m_address(address)
{
    listen(m_server, address, this, "\r\n\r\n", [this](QTcpSocket* socket, const QByteArray& request) {
        const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
        m_arrivals << now();
        m_paths << path;
        answer(socket, path);
    });
}

QString Http::base() const
{
    return QStringLiteral("http://%1:%2/").arg(m_address).arg(port());
}

void Http::serve(const QByteArray& path, QList<Reply> replies)
{
    m_replies.insert(path, replies);
}

void Http::answer(QTcpSocket* socket, const QByteArray& path)
{
    Reply reply;
    auto it = m_replies.find(path);
    if (it == m_replies.end() || it->isEmpty()) {
        reply.status = 404;
        reply.body = R"({"errorCode":404,"title":"Not Found"})";
    } else {
        reply = it->size() > 1 ? it->takeFirst() : it->first();
    }
    if (reply.silent)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n";
    out += "Content-Type: application/rdap+json\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
           "\r\nConnection: close\r\n";
    for (const auto& header : reply.headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "\r\n" + reply.body;
    socket->write(out);
    socket->disconnectFromHost();
}

Whois::Whois(const QString& address) : m_address(address)
{
    listen(m_server, address, this, "\r\n", [this](QTcpSocket* socket, const QByteArray& request) {
        const QByteArray name = request.left(request.indexOf("\r\n"));
        m_arrivals << now();
        m_names << name;
        QByteArray text = fallback;
        if (auto it = m_answers.find(name); it != m_answers.end()) {
            if (it->isEmpty())
                return; // never answers
            text = it->size() > 1 ? it->takeFirst() : it->first();
        }
        socket->write(text);
        socket->disconnectFromHost();
    });
}

QString Whois::server() const
{
    return QStringLiteral("%1:%2").arg(m_address).arg(port());
}

void Whois::serve(const QByteArray& name, QList<QByteArray> answers)
{
    m_answers.insert(name, answers);
}

} // namespace localservers
