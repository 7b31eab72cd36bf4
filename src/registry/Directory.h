#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace registry {

// The name as a registry is asked for it: blanks and a final dot removed, lower case, every label in
// its xn-- form. Empty when it is no usable domain name.
QString asciiName(const QString& domain);

// The RDAP bootstrap file of the domain registries (the dns.json form): pairs of suffix lists and base
// addresses.
class RdapBootstrap
{
public:
    // Reads the file; false with *error (in Chinese) when it is not one.
    bool parse(const QByteArray& json, QString* error = nullptr);
    // The base address for an ascii name: the longest suffix of whole labels that an entry lists wins;
    // among its addresses an https one is preferred. Empty when no entry covers the name.
    QString baseFor(const QString& ascii) const;
    QString publication() const { return m_publication; }
    bool isEmpty() const { return m_bases.isEmpty(); }

private:
    QHash<QString, QString> m_bases; // suffix -> base address
    QString m_publication;
};

// The table of WHOIS servers per suffix ("suffix server" lines, "#" starts a comment; a server may carry
// ":port").
class WhoisServers
{
public:
    void parse(const QString& text);
    // The server for an ascii name: the longest suffix wins. Empty when none is known.
    QString serverFor(const QString& ascii) const;
    bool isEmpty() const { return m_servers.isEmpty(); }

private:
    QHash<QString, QString> m_servers;
};

// Where one domain is asked.
struct Route
{
    enum class Kind
    {
        None, // no known server for the suffix
        Rdap,
        Whois,
    };
    Kind kind = Kind::None;
    QString ascii; // the name as sent
    QUrl url;      // RDAP: <base>domain/<name>
    QString host;  // WHOIS: the server
    quint16 port = 43;
    QString hostKey; // the server the politeness is kept for
    QString source;  // "RDAP <base>" or "WHOIS <server>"
};

// The shipped address data: RDAP where the bootstrap file knows the suffix, else WHOIS.
class Directory
{
public:
    // The snapshot and the table shipped inside the program.
    static Directory shipped();
    // As shipped(), but with the RDAP bootstrap file fetched into folder (kBootstrapFile) when it reads
    // and is not older than the snapshot.
    static Directory load(const QString& folder);
    // Whether the copy in folder is missing or was fetched more than a day before now.
    static bool bootstrapDue(const QString& folder, const QDateTime& now);
    // The file in the data folder and where it is fetched from.
    static const QString kBootstrapFile;
    static const QString kBootstrapAddress;
    Directory() = default;
    Directory(RdapBootstrap rdap, WhoisServers whois) : m_rdap(std::move(rdap)), m_whois(std::move(whois)) {}

    Route route(const QString& domain) const;
    const RdapBootstrap& rdap() const { return m_rdap; }

private:
    RdapBootstrap m_rdap;
    WhoisServers m_whois;
};

} // namespace registry
