#pragma once

#include <QWidget>

#include "WebPages.h"

class QLabel;
class WebBrowser;

// A panel that shows one page of the maker's web site: the header strip bsSkinPanel1 with the panel's
// title at the left and the product name at the right, and the browser WebBrowser1 below it. The page
// is requested on the panel's first showing only.
class WebPanel : public QWidget
{
    Q_OBJECT
public:
    // objectName: the panel's name on the main window; titlePicture: the left banner under :/pictures;
    // title: what that banner shows, for screen readers.
    WebPanel(const QString& objectName, const QString& titlePicture, const QString& title, WebPage page,
             QWidget* parent);

    // Called by the main window after it has made the panel visible: requests the page while the flag
    // Label1 reads "0", turning it to "1" first; does nothing for any other caption.
    void firstShow();

    QLabel* Label1() const { return m_label1; } // page-requested flag, "0" until requested
    WebBrowser* WebBrowser1() const { return m_browser; }

private:
    WebPage m_page;
    QLabel* m_label1 = nullptr;
    WebBrowser* m_browser = nullptr;
};
