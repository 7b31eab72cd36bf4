#include "WebPages.h"

#include "platform/Site.h"

#include <QUrl>

namespace {
QString g_hostOverride;

const QString kAbout = QStringLiteral("about:");
} // namespace

const WebPage& webpages::news()
{
    static const WebPage page{
        QStringLiteral("/appin/zixun.htm"),
        QStringLiteral(
            "about:<body  scroll=\"no\" style=\"font-size:12px; color:#999; padding:20px 0 0 12px; "
            "background-color:#E3EEFD;\">读取资讯失败，网络已断开</body>"),
        QStringLiteral("读取资讯失败")};
    return page;
}

namespace {
// The trading and the tools panel share one offline page, centred.
const QString& contentOfflinePage()
{
    static const QString page =
        QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; padding:20px 0 0 0; "
                       "text-align:center; background-color:#E3EEFD;\">读取内容失败，网络已断开</body>");
    return page;
}

const QString& contentFailureHeading()
{
    static const QString heading = QStringLiteral("读取内容失败");
    return heading;
}
} // namespace

const WebPage& webpages::trading()
{
    static const WebPage page{QStringLiteral("/appin/jiaoyi.htm"), contentOfflinePage(),
                              contentFailureHeading()};
    return page;
}

const WebPage& webpages::tools()
{
    static const WebPage page{QStringLiteral("/appin/gongju.htm"), contentOfflinePage(),
                              contentFailureHeading()};
    return page;
}

QString webpages::requestAddress(const WebPage& page, bool connected)
{
    return connected ? pagesHost() + page.path : page.offlinePage;
}

QString webpages::offlineBody(const QString& address)
{
    if (!address.startsWith(kAbout) || !address.mid(kAbout.size()).startsWith(QLatin1Char('<')))
        return {};
    return address.mid(kAbout.size());
}

QString webpages::failureBody(const WebPage& page, const QString& reason)
{
    // The offline page's opening tag carries the style.
    const QString offline = offlineBody(page.offlinePage);
    const QString openingTag = offline.left(offline.indexOf(QLatin1Char('>')) + 1);
    return openingTag + page.failureHeading + QStringLiteral("<br>") + reason.toHtmlEscaped() +
           QStringLiteral("</body>");
}

namespace {
int usualPort(const QUrl& address)
{
    return address.scheme() == QLatin1String("https") ? 443 : 80;
}

// The port named in the address, or -1 for the scheme's usual port.
int namedPort(const QUrl& address)
{
    return address.port() == usualPort(address) ? -1 : address.port();
}
} // namespace

QUrl webpages::onSite(const QUrl& address)
{
    const QUrl site(pagesHost());
    const QString scheme = address.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        address.host().compare(site.host(), Qt::CaseInsensitive) != 0 ||
        namedPort(address) != namedPort(site))
        return {};
    // The other scheme (on the same port, or on each scheme's usual port): an http site may be read by
    // https; an https site is never left for http.
    if (scheme == site.scheme() || scheme == QLatin1String("https"))
        return address;
    QUrl secure(address);
    secure.setScheme(QStringLiteral("https"));
    secure.setPort(site.port());
    return secure;
}

QString webpages::pagesHost()
{
    return g_hostOverride.isEmpty() ? site::kPagesHost : g_hostOverride;
}

void webpages::setPagesHostForTest(const QString& host)
{
    g_hostOverride = host;
}
