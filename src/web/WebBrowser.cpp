#include "WebBrowser.h"

#include "WebPages.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QQuickWidget>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
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

// The engine's error numbers that name the reason best; the rest read as "no connection".
enum EngineError
{
    Aborted = -3, // the navigation was stopped, refused or became a download: nothing failed
    TimedOut = -7,
    InternetDisconnected = -106,
    NameNotResolved = -105,
    ConnectionTimedOut = -118,
    NameResolutionFailed = -137,
    EmptyResponse = -324,
};

// The one-line reason of the failure page, in the user's words.
QString failureReason(const QWebEngineLoadingInfo& info)
{
    switch (info.errorDomain()) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
        return QStringLiteral("网站返回错误 %1").arg(info.errorCode());
    case QWebEngineLoadingInfo::DnsErrorDomain:
        return QStringLiteral("找不到网站");
    case QWebEngineLoadingInfo::CertificateErrorDomain:
        return QStringLiteral("网站的安全证书无效");
    default:
        break;
    }
    switch (info.errorCode()) {
    case NameNotResolved:
    case NameResolutionFailed:
        return QStringLiteral("找不到网站");
    case TimedOut:
    case ConnectionTimedOut:
    case EmptyResponse:
        return QStringLiteral("网站没有回应");
    case InternetDisconnected:
        return QStringLiteral("网络已断开");
    default:
        return QStringLiteral("无法连接到网站");
    }
}
} // namespace

// The engine's page of a browser: keeps it on the site and says no to everything a page may ask of
// the program.
class WebBrowser::Page : public QWebEnginePage
{
public:
    Page(WebBrowser* browser, QObject* parent) : QWebEnginePage(parent), m_browser(browser)
    {
        // A failure shows the program's own page; the engine's would flash first.
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        // No other program is started for an address the engine does not know (mailto: and the like).
        settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl& origin, Feature feature) {
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
                });
        connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
                [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
                [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::fullScreenRequested, this,
                [](QWebEngineFullScreenRequest request) { request.reject(); });
        connect(profile(), &QWebEngineProfile::downloadRequested, this,
                [this](QWebEngineDownloadRequest* download) {
                    if (download->page() == this)
                        download->cancel();
                });
        // A new window is never made: its address goes to the user's web browser.
        connect(this, &QWebEnginePage::newWindowRequested, this,
                [this](QWebEngineNewWindowRequest& request) { handOff(request.requestedUrl()); });
        connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
            if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.errorCode() != Aborted)
                QMetaObject::invokeMethod(
                    m_browser,
                    [browser = m_browser, reason = failureReason(info)] { browser->showFailure(reason); },
                    Qt::QueuedConnection);
        });
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        const QString scheme = url.scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
            if (!isMainFrame)
                return true;
            const QUrl onSite = webpages::onSite(url);
            if (onSite == url)
                return true;
            if (onSite.isEmpty())
                handOff(url);
            else
                QMetaObject::invokeMethod(
                    this, [this, onSite] { load(onSite); }, Qt::QueuedConnection);
            return false;
        }
        // The program's own pages; anything else (a mail address, another program's scheme) is dropped.
        return scheme == QLatin1String("data") || scheme == QLatin1String("about");
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }

private:
    // Gives an address elsewhere to the user's web browser. Each click or key press inside the browser
    // lets one address through; a page may send one more by itself (a site that has moved on), so that
    // no page can flood the user's browser with windows.
    void handOff(const QUrl& url)
    {
        if (m_browser->m_userInput) {
            m_browser->m_userInput = false;
        } else {
            if (m_handedOffUnasked)
                return;
            m_handedOffUnasked = true;
        }
        Platform::openInBrowser(url.toString(QUrl::FullyEncoded));
    }

    WebBrowser* m_browser;
    bool m_handedOffUnasked = false;
};

// ApplicationEvents1: sees every event of the program before it is delivered, and drops right-button
// presses, releases, double clicks and context-menu requests addressed to its own browser or to
// anything inside it. Everything else, and everything outside the browser, passes untouched; a
// press of another button or of a key inside the browser is noted as the user's own doing.
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
        bool drop = false;
        switch (event->type()) {
        case QEvent::ContextMenu:
            drop = true;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            drop = static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
            if (!drop && event->type() != QEvent::MouseButtonPress)
                return false;
            break;
        case QEvent::KeyPress:
            break;
        default:
            return false;
        }
        if (!watched->isWidgetType())
            return false;
        auto* target = static_cast<QWidget*>(watched);
        if (target != m_browser && !m_browser->isAncestorOf(target))
            return false;
        if (!drop)
            m_browser->m_userInput = true;
        return drop;
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
        m_view->setPage(new Page(this, m_view));
        delete m_placeholder;
        m_placeholder = nullptr;
        m_view->setContextMenuPolicy(Qt::NoContextMenu);
        layout()->addWidget(m_view);
    }
    const QString body = webpages::offlineBody(m_address);
    if (!body.isEmpty())
        showBody(body);
    else
        m_view->setUrl(QUrl(m_address));
}

void WebBrowser::showBody(const QString& body)
{
    m_view->setHtml(offlineDocument(body));
}

void WebBrowser::showFailure(const QString& reason)
{
    if (!m_page.failureHeading.isEmpty())
        showBody(webpages::failureBody(m_page, reason));
}

void WebBrowser::requestPage(const WebPage& page)
{
    m_page = page;
    Navigate(webpages::requestAddress(page, Platform::isNetworkConnected()));
}
