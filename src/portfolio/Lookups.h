#pragma once

#include <QString>

// The three look-up web sites of the detail pane. Only the hosts live here; the paths are fixed.
// Each address is the front part followed by the domain name text exactly as stored: not trimmed,
// not encoded.
namespace lookups {
inline const QString kWhoisHost = QStringLiteral("whois.yumingcha.com"); // 查询WHOIS
inline const QString kSeoHost = QStringLiteral("seo.yumingcha.com");     // SEO综合查询
inline const QString kIcpHost = QStringLiteral("beian.yumingcha.com");   // 查询ICP备案

inline QString whois(const QString& name)
{
    return QStringLiteral("http://") + kWhoisHost + QStringLiteral("/www.") + name;
}
inline QString seo(const QString& name)
{
    return QStringLiteral("http://") + kSeoHost + QStringLiteral("/?q=www.") + name;
}
inline QString icp(const QString& name)
{
    return QStringLiteral("http://") + kIcpHost + QStringLiteral("/search/") + name;
}
} // namespace lookups
