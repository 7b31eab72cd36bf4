#pragma once

#include <QString>

class QUrl;

// One of the three pages of the maker's web site shown inside the program.
struct WebPage
{
    QString path;           // on the site, e.g. "/appin/zixun.htm"
    QString offlinePage;    // shown instead when there is no network connection
    QString failureHeading; // first line of the page shown when the site cannot be reached
};

namespace webpages {
// The news box of the welcome panel.
const WebPage& news();
// The trading panel ("域名买卖").
const WebPage& trading();
// The tools panel ("岚枢工具").
const WebPage& tools();

// The address a request for the page navigates to: the page on the site when connected, else its
// offline page ("about:" followed by the HTML body to show).
QString requestAddress(const WebPage& page, bool connected);

// The HTML body of an offline page's "about:" address; empty for any other address.
QString offlineBody(const QString& address);

// The HTML body shown when the page cannot be loaded although there is a network connection: the
// page's failure heading and, on a second line, the reason, in the style of its offline page.
QString failureBody(const WebPage& page, const QString& reason);

// Where a browser showing the site's pages may go by itself: an http or https address on the site's own
// host and port. Returns the address to load, which for a site that is served by https is the https form
// of an http address on it; an empty address for anything elsewhere.
QUrl onSite(const QUrl& address);

// The site that serves the pages: the build setting, unless a test points the pages elsewhere
// (an empty text restores the build setting).
QString pagesHost();
void setPagesHostForTest(const QString& host);
} // namespace webpages
