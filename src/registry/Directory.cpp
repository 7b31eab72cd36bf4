#include "Directory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace registry {

namespace {
// The suffixes of an ascii name, longest first, without the name itself: "a.com.cn" gives "com.cn", "cn".
QStringList suffixes(const QString& ascii)
{
    QStringList list;
    const QStringList labels = ascii.split(QLatin1Char('.'));
    for (qsizetype i = 1; i < labels.size(); ++i)
        list << labels.mid(i).join(QLatin1Char('.'));
    return list;
}

QString readResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

QString asciiName(const QString& domain)
{
    QString name = domain.trimmed();
    // The full stops of Chinese and full-width input separate labels too.
    name.replace(QChar(0x3002), QLatin1Char('.')).replace(QChar(0xFF0E), QLatin1Char('.'));
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    const QString ascii = QString::fromLatin1(QUrl::toAce(name.toLower())).toLower();
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    const QStringList labels = ascii.split(QLatin1Char('.'));
    if (labels.size() < 2 || ascii.size() > 253)
        return {};
    for (const QString& l : labels) {
        if (!label.match(l).hasMatch())
            return {};
    }
    return ascii;
}

bool RdapBootstrap::parse(const QByteArray& json, QString* error)
{
    m_bases.clear();
    m_publication.clear();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    const QJsonArray services = doc.object().value(QLatin1String("services")).toArray();
    if (doc.isNull() || !doc.isObject() || services.isEmpty()) {
        if (error)
            *error = QStringLiteral("RDAP 引导文件无法读取");
        return false;
    }
    m_publication = doc.object().value(QLatin1String("publication")).toString();
    for (const QJsonValue& service : services) {
        const QJsonArray pair = service.toArray();
        const QJsonArray labels = pair.at(0).toArray();
        const QJsonArray urls = pair.at(1).toArray();
        QString chosen;
        for (const QJsonValue& url : urls) {
            const QString text = url.toString();
            if (text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
                chosen = text;
                break;
            }
            if (chosen.isEmpty() && text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
                chosen = text;
        }
        if (chosen.isEmpty())
            continue;
        if (!chosen.endsWith(QLatin1Char('/')))
            chosen += QLatin1Char('/');
        for (const QJsonValue& label : labels) {
            const QString suffix = label.toString().trimmed().toLower();
            if (!suffix.isEmpty())
                m_bases.insert(suffix, chosen);
        }
    }
    if (m_bases.isEmpty() && error)
        *error = QStringLiteral("RDAP 引导文件中没有可用的地址");
    return !m_bases.isEmpty();
}

QString RdapBootstrap::baseFor(const QString& ascii) const
{
    for (const QString& suffix : suffixes(ascii)) {
        if (const auto it = m_bases.constFind(suffix); it != m_bases.cend())
            return it.value();
    }
    return {};
}

void WhoisServers::parse(const QString& text)
{
    m_servers.clear();
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.section(QLatin1Char('#'), 0, 0).simplified();
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() >= 2)
            m_servers.insert(parts[0].toLower(), parts[1]);
    }
}

QString WhoisServers::serverFor(const QString& ascii) const
{
    for (const QString& suffix : suffixes(ascii)) {
        if (const auto it = m_servers.constFind(suffix); it != m_servers.cend())
            return it.value();
    }
    return {};
}

Directory Directory::shipped()
{
    RdapBootstrap rdap;
    (void)rdap.parse(readResource(QStringLiteral(":/registry/dns.json")).toUtf8());
    WhoisServers whois;
    whois.parse(readResource(QStringLiteral(":/registry/whois-servers.txt")));
    return Directory(std::move(rdap), std::move(whois));
}

const QString Directory::kBootstrapFile = QStringLiteral("rdap-dns.json");
const QString Directory::kBootstrapAddress = QStringLiteral("https://data.iana.org/rdap/dns.json");

Directory Directory::load(const QString& folder)
{
    Directory directory = shipped();
    QFile file(QDir(folder).filePath(kBootstrapFile));
    RdapBootstrap fetched;
    // Publication times are ISO texts in UTC: they compare as texts.
    if (file.open(QIODevice::ReadOnly) && fetched.parse(file.readAll()) &&
        fetched.publication() >= directory.m_rdap.publication())
        directory.m_rdap = std::move(fetched);
    return directory;
}

bool Directory::bootstrapDue(const QString& folder, const QDateTime& now)
{
    const QFileInfo info(QDir(folder).filePath(kBootstrapFile));
    return !info.exists() || info.lastModified().secsTo(now) >= 24 * 3600 || info.lastModified() > now;
}

Route Directory::route(const QString& domain) const
{
    Route route;
    route.ascii = asciiName(domain);
    if (route.ascii.isEmpty())
        return route;
    if (const QString base = m_rdap.baseFor(route.ascii); !base.isEmpty()) {
        route.kind = Route::Kind::Rdap;
        route.url = QUrl(base + QStringLiteral("domain/") + route.ascii);
        route.hostKey = QStringLiteral("%1:%2").arg(route.url.host()).arg(route.url.port(443));
        route.source = QStringLiteral("RDAP ") + base;
        return route;
    }
    if (const QString server = m_whois.serverFor(route.ascii); !server.isEmpty()) {
        route.kind = Route::Kind::Whois;
        route.host = server.section(QLatin1Char(':'), 0, 0);
        const int port = server.section(QLatin1Char(':'), 1, 1).toInt();
        route.port = port > 0 && port < 65536 ? quint16(port) : quint16(43);
        route.hostKey = QStringLiteral("whois:%1:%2").arg(route.host).arg(route.port);
        route.source = QStringLiteral("WHOIS ") + route.host;
    }
    return route;
}

} // namespace registry
