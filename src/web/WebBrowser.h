#pragma once

#include <QWidget>

class QWebEngineView;
struct WebPage;

// The embedded web browser of a panel (WebBrowser1). The engine's view inside it is made on the first
// navigation; a navigation before the main window is on screen makes it only once the browser has
// been drawn, so that the window appears without waiting for the engine. Right clicks inside the
// browser are dropped at all times, whichever panel is on screen.
class WebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    // Starts loading an address and returns at once; the browser shows the page, or its own error
    // page, by itself. An "about:" address followed by an HTML body shows that body.
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
    void load();

    QWebEngineView* m_view = nullptr;
    QWidget* m_placeholder = nullptr;     // holds the window's texture-based drawing until the view exists
    RightClickFilter* m_filter = nullptr; // ApplicationEvents1
    QString m_address;
    bool m_waiting = false; // a navigation waits for the first drawing
    bool m_loadQueued = false;
};
