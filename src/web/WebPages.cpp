#include "WebPages.h"

#include "platform/Site.h"

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
            "background-color:#E3EEFD;\">读取资讯失败，网络已断开</body>")};
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
} // namespace

const WebPage& webpages::trading()
{
    static const WebPage page{QStringLiteral("/appin/jiaoyi.htm"), contentOfflinePage()};
    return page;
}

const WebPage& webpages::tools()
{
    static const WebPage page{QStringLiteral("/appin/gongju.htm"), contentOfflinePage()};
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

QString webpages::pagesHost()
{
    return g_hostOverride.isEmpty() ? site::kPagesHost : g_hostOverride;
}

void webpages::setPagesHostForTest(const QString& host)
{
    g_hostOverride = host;
}
