#pragma once

#include <QString>

// One of the three pages of the maker's web site shown inside the program.
struct WebPage
{
    QString path;        // on the site, e.g. "/appin/zixun.htm"
    QString offlinePage; // shown instead when there is no network connection
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

// The site that serves the pages: the build setting, unless a test points the pages elsewhere
// (an empty text restores the build setting).
QString pagesHost();
void setPagesHostForTest(const QString& host);
} // namespace webpages
