#include "WebBrowser.h"

#include "WebPages.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QQuickWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {
// An offline page is a bare body. The style stands in for the body's scroll="no", which the engine
// does not know, and starts the body at the view's edge so that its padding alone places the text.
QString offlineDocument(const QString& body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                          "<style>html, body { margin: 0; overflow: hidden; }</style></head>") +
           body + QStringLiteral("</html>");
}
} // namespace

// ApplicationEvents1: sees every event of the program before it is delivered, and drops right-button
// presses, releases, double clicks and context-menu requests addressed to its own browser or to
// anything inside it. Everything else, and everything outside the browser, passes untouched.
class WebBrowser::RightClickFilter : public QObject
{
public:
    explicit RightClickFilter(WebBrowser* browser) : QObject(browser), m_browser(browser)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ContextMenu:
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton)
                return false;
            break;
        default:
            return false;
        }
        if (!watched->isWidgetType())
            return false;
        auto* target = static_cast<QWidget*>(watched);
        return target == m_browser || m_browser->isAncestorOf(target);
    }

private:
    WebBrowser* m_browser;
};

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent), m_filter(new RightClickFilter(this))
{
    setObjectName(QStringLiteral("WebBrowser1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The engine's view draws through textures. A window that is already on screen when the first such
    // child arrives is destroyed and made again (it flickers and loses the keyboard focus), so a
    // hidden, empty widget of that kind stands in for the view until it is made.
    m_placeholder = new QQuickWidget(this);
    m_placeholder->hide();
}

WebBrowser::~WebBrowser() = default;

void WebBrowser::Navigate(const QString& address)
{
    m_address = address;
    if (!m_view && !window()->isVisible()) {
        m_waiting = true;
        update();
        return;
    }
    load();
}

void WebBrowser::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // The window has been drawn: the engine starts from the event loop, after this frame is on screen.
    if (m_waiting && !m_loadQueued) {
        m_loadQueued = true;
        QMetaObject::invokeMethod(this, &WebBrowser::load, Qt::QueuedConnection);
    }
}

void WebBrowser::load()
{
    m_waiting = false;
    if (!m_view) {
        m_view = new QWebEngineView(this);
        delete m_placeholder;
        m_placeholder = nullptr;
        m_view->setContextMenuPolicy(Qt::NoContextMenu);
        layout()->addWidget(m_view);
    }
    const QString body = webpages::offlineBody(m_address);
    if (!body.isEmpty())
        m_view->setHtml(offlineDocument(body));
    else
        m_view->setUrl(QUrl(m_address));
}

void WebBrowser::requestPage(const WebPage& page)
{
    Navigate(webpages::requestAddress(page, Platform::isNetworkConnected()));
}
