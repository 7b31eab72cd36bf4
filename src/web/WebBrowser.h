#pragma once

#include <QWidget>

#include "WebPages.h"

class QWebEngineView;

// The embedded web browser of a panel (WebBrowser1). The engine's view inside it is made on the first
// navigation; a navigation before the main window is on screen makes it only once the browser has
// been drawn, so that the window appears without waiting for the engine. Right clicks inside the
// browser are dropped at all times, whichever panel is on screen.
//
// The browser stays on the site's own host: an address elsewhere, whether a link, a script or a new
// window asks for it, goes to the user's web browser instead. Downloads, permission requests, file
// choosers and the pages' alert, confirm and prompt boxes are refused without a word. A requested
// page that cannot be loaded is replaced by the program's own failure page.
class WebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    // Starts loading an address and returns at once; the browser shows the page by itself. An "about:"
    // address followed by an HTML body shows that body.
    void Navigate(const QString& address);
    // Asks the network question and navigates to the page on the site, or to its offline page.
    void requestPage(const WebPage& page);

    // The address of the last navigation; empty before the first.
    QString address() const { return m_address; }
    // The engine's view; null until the first navigation.
    QWebEngineView* view() const { return m_view; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class RightClickFilter;
    class Page;
    void load();
    void showBody(const QString& body);
    void showFailure(const QString& reason);

    QWebEngineView* m_view = nullptr;
    QWidget* m_placeholder = nullptr;     // holds the window's texture-based drawing until the view exists
    RightClickFilter* m_filter = nullptr; // ApplicationEvents1
    QString m_address;
    WebPage m_page;         // the page last requested, for its failure page
    bool m_waiting = false; // a navigation waits for the first drawing
    bool m_loadQueued = false;
    bool m_userInput = false; // a click or key press inside the browser not yet followed by a hand-off
};
