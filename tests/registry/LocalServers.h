#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>

// Registry servers for the tests, on 127.0.0.1 (the given address, any of 127.x.y.z) at a free port.
// Both note when each request came, on one clock shared by all of them.
namespace localservers {

// A registry answer kept in tests/data/registry.
QByteArray fixture(const char* name);
// The ascii form of a name as the IDNA rules give it (Qt's own conversion).
QString ace(const QString& name);

// Milliseconds on the shared clock.
qint64 now();

// A tiny HTTP/1.1 server: an answer per path, or answers given in turn; every answer closes the connection.
class Http : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool silent = false; // never answers
    };
    explicit Http(const QString& address = QStringLiteral("127.0.0.1"));
    quint16 port() const { return m_server.serverPort(); }
    QString base() const; // http://address:port/
    // The answers to a path in turn; the last one stays. A path without answers gets 404.
    void serve(const QByteArray& path, QList<Reply> replies);
    QList<qint64> arrivals() const { return m_arrivals; }
    QList<QByteArray> paths() const { return m_paths; }

private:
    void answer(class QTcpSocket* socket, const QByteArray& path);
    QTcpServer m_server;
    QString m_address;
    QHash<QByteArray, QList<Reply>> m_replies;
    QList<qint64> m_arrivals;
    QList<QByteArray> m_paths;
};

// A WHOIS server (RFC 3912): reads one line, writes the answer for it, closes.
class Whois : public QObject
{
    Q_OBJECT
public:
    explicit Whois(const QString& address = QStringLiteral("127.0.0.1"));
    quint16 port() const { return m_server.serverPort(); }
    QString server() const; // address:port
    // The answers to a name in turn; the last one stays. An empty answer list: never answers.
    void serve(const QByteArray& name, QList<QByteArray> answers);
    QByteArray fallback = "No matching record.\r\n";
    QList<qint64> arrivals() const { return m_arrivals; }
    QList<QByteArray> names() const { return m_names; }

private:
    QTcpServer m_server;
    QString m_address;
    QHash<QByteArray, QList<QByteArray>> m_answers;
    QList<qint64> m_arrivals;
    QList<QByteArray> m_names;
};

} // namespace localservers
