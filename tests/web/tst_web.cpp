#include "TestDb.h"
#include "app/Mian.h"
#include "lock/Fr_wel.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "web/Fr_gongju.h"
#include "web/Fr_jiaoyi.h"
#include "web/WebBrowser.h"
#include "web/WebPages.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHostAddress>
#include <QLabel>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

namespace {
// How long a wait on the browser engine may last. The engine's pages, scripts and input take their own
// time, many times longer under a sanitizer or on a busy machine; every wait ends as soon as its
// condition holds, so the bound only matters when something is really wrong.
constexpr int kEngineTimeout = 120000;

// A small web site on 127.0.0.1 that serves any path with a page naming that path, and counts the
// requests per path. Each page records the mouse buttons and context-menu requests that reach it in
// its title, so that a test can see what the engine received. A test may give a path its own answer
// instead: a whole HTTP response, or nothing at all (the connection is closed unanswered).
class LoopbackSite : public QObject
{
public:
    LoopbackSite()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int requests(const QString& path) const { return m_requests.value(path); }
    void answer(const QString& path, const QByteArray& response) { m_answers.insert(path, response); }
    int total() const
    {
        int n = 0;
        for (int count : m_requests)
            n += count;
        return n;
    }

private:
    void serve(QTcpSocket* socket)
    {
        auto* buffer = new QByteArray;
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QObject::destroyed, socket, [buffer] { delete buffer; });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QString path = QString::fromLatin1(buffer->split(' ').value(1));
            buffer->clear();
            if (path == QLatin1String("/favicon.ico")) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            ++m_requests[path];
            if (m_answers.contains(path)) {
                socket->write(m_answers.value(path));
                socket->disconnectFromHost();
                return;
            }
            const QByteArray body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                                    path.toLatin1() + "</title></head><body style=\"height:2000px\">page " +
                                    path.toLatin1() +
                                    "<script>"
                                    "function note(text) { document.title += ' ' + text; }"
                                    "document.addEventListener('mousedown', e => note('down' + e.button));"
                                    "document.addEventListener('mouseup', e => note('up' + e.button));"
                                    "document.addEventListener('contextmenu', e => note('menu'));"
                                    "</script></body></html>";
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                "Connection: close\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QHash<QString, int> m_requests;
    QHash<QString, QByteArray> m_answers;
};

QByteArray response(const QByteArray& status, const QByteArray& body,
                    const QByteArray& headers = "Content-Type: text/html; charset=utf-8\r\n")
{
    return "HTTP/1.1 " + status + "\r\n" + headers + "Cache-Control: no-store\r\nConnection: close\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// A page of the site: a full-window link (clicked in its middle) and a script, both optional.
QByteArray sitePage(const QByteArray& link, const QByteArray& script, const QByteArray& target = {})
{
    const QByteArray anchor = link.isEmpty() ? QByteArray()
                                             : "<a href=\"" + link + "\" target=\"" + target +
                                                   "\" style=\"display:block; height:100%\">link</a>";
    return response("200 OK", "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>site</title></head>"
                              "<body style=\"margin:0; height:100vh\">" +
                                  anchor + "<script>" + script + "</script></body></html>");
}

// Runs a script in the page and waits for its result, as text.
QString evaluate(QWebEngineView* view, const QString& script)
{
    QString result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value.toString();
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kEngineTimeout))
        return QStringLiteral("<no answer>");
    return result;
}

// Counts how many times a view started to load, from the moment it is watched.
struct LoadCounter
{
    int started = 0;
    int finished = 0;
    void watch(QWebEngineView* view)
    {
        QObject::connect(view, &QWebEngineView::loadStarted, view, [this] { ++started; });
        QObject::connect(view, &QWebEngineView::loadFinished, view, [this] { ++finished; });
    }
};

// Catches the right-button and context-menu events that reach one widget.
class RightClickSpy : public QObject
{
public:
    int seen = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const auto type = event->type();
        if (type == QEvent::ContextMenu)
            ++seen;
        else if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            ++seen;
        return false;
    }
};

void rightClick(QWidget* target, QPoint pos)
{
    QTest::mousePress(target, Qt::RightButton, Qt::NoModifier, pos);
    QTest::mouseRelease(target, Qt::RightButton, Qt::NoModifier, pos);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &menu);
}

QToolButton* navItem(Tmian& w, const char* name)
{
    return w.findChild<QToolButton*>(QString::fromLatin1(name));
}
} // namespace

class TestWeb : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pagesAreRequestedOnceEach();
    void offlinePages_data();
    void offlinePages();
    void rightClicksInsideViewsAreDropped_data();
    void rightClicksInsideViewsAreDropped();
    void rightClicksElsewhereStillWork();
    void onSite_data();
    void onSite();
    void loadFailurePages_data();
    void loadFailurePages();
    void navigationStaysOnSite_data();
    void navigationStaysOnSite();
    void downloadsAreRefused();
    void pageRequestsAreRefused_data();
    void pageRequestsAreRefused();

private:
    // The main window over a fresh database, after its show step, on screen.
    void startWindow();
    // Shows the panel of a navigation item (the welcome panel for an empty name) and returns its
    // browser once the engine's view exists.
    WebBrowser* showPanel(const QString& item);

    std::unique_ptr<LoopbackSite> m_site;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Tmian> m_window;
    WId m_windowId = 0; // the main window's native window when first shown
};

void TestWeb::init()
{
    MessageBox::setTestMode(true);
    m_site = std::make_unique<LoopbackSite>();
    webpages::setPagesHostForTest(m_site->address());
}

void TestWeb::cleanup()
{
    m_window.reset();
    m_db.reset();
    webpages::setPagesHostForTest({});
    Platform::setNetworkHook({});
    Platform::setBrowserHook({});
    m_site.reset();
}

void TestWeb::startWindow()
{
    m_db = std::make_unique<TestDb>();
    QVERIFY2(m_db->ok(), qPrintable(m_db->error()));
    QVERIFY(m_db->exec(QStringLiteral("update jz_ub set ub2='0'")).isEmpty());
    m_window = std::make_unique<Tmian>();
    m_window->bindData(m_db->module());
    m_window->FormShow();
    m_window->show();
    m_windowId = m_window->winId();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), kEngineTimeout));
}

WebBrowser* TestWeb::showPanel(const QString& item)
{
    Tmian& w = *m_window;
    QWidget* panel = w.Fr_wel1();
    if (!item.isEmpty()) {
        w.findChild<QToolButton*>(item)->click();
        panel = item == QLatin1String("navJiaoyi") ? static_cast<QWidget*>(w.Fr_jiaoyi1())
                                                   : static_cast<QWidget*>(w.Fr_gongju1());
    }
    auto* browser = panel->findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
    if (browser && !QTest::qWaitFor([browser] { return browser->view() != nullptr; }, kEngineTimeout))
        return nullptr;
    return browser;
}

void TestWeb::pagesAreRequestedOnceEach()
{
    Platform::setNetworkHook([] { return true; });
    startWindow();
    Tmian& w = *m_window;
    WebBrowser* news = w.Fr_wel1()->WebBrowser1();
    WebBrowser* trading = w.Fr_jiaoyi1()->WebBrowser1();
    WebBrowser* tools = w.Fr_gongju1()->WebBrowser1();

    // The news page at start; the panels' pages not yet.
    QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(QStringLiteral("/appin/zixun.htm")), 1, kEngineTimeout);
    QVERIFY(news->view());
    QTRY_VERIFY_WITH_TIMEOUT(news->view()->title().startsWith(QStringLiteral("/appin/zixun.htm")),
                             kEngineTimeout);
    QCOMPARE(news->view()->url().toString(), m_site->address() + QStringLiteral("/appin/zixun.htm"));
    QCOMPARE(w.Fr_jiaoyi1()->Label1()->text(), QStringLiteral("0"));
    QCOMPARE(w.Fr_gongju1()->Label1()->text(), QStringLiteral("0"));
    QVERIFY(!trading->view());
    QVERIFY(!tools->view());

    // The trading page on the first showing of its panel.
    navItem(w, "navJiaoyi")->click();
    QVERIFY(w.Fr_jiaoyi1()->isVisible());
    QCOMPARE(w.Fr_jiaoyi1()->Label1()->text(), QStringLiteral("1"));
    QVERIFY(trading->view());
    LoadCounter tradingLoads;
    tradingLoads.watch(trading->view());
    QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(QStringLiteral("/appin/jiaoyi.htm")), 1, kEngineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(trading->view()->title().startsWith(QStringLiteral("/appin/jiaoyi.htm")),
                             kEngineTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(tradingLoads.finished, 1, kEngineTimeout);

    // Away and back: the panel is shown as it was left, without a new request.
    navItem(w, "navGuanli")->click();
    navItem(w, "navJiaoyi")->click();
    QVERIFY(w.Fr_jiaoyi1()->isVisible());
    QCOMPARE(w.Fr_jiaoyi1()->Label1()->text(), QStringLiteral("1"));

    // The tools page on its own first showing; by the time it has arrived, a reload of the trading
    // page would have reached the site too.
    navItem(w, "navGongju")->click();
    QVERIFY(w.Fr_gongju1()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(QStringLiteral("/appin/gongju.htm")), 1, kEngineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(tools->view()->title().startsWith(QStringLiteral("/appin/gongju.htm")),
                             kEngineTimeout);
    navItem(w, "navGongju")->click();
    navItem(w, "navJiaoyi")->click();
    QCOMPARE(evaluate(trading->view(), QStringLiteral("document.title")),
             QStringLiteral("/appin/jiaoyi.htm"));
    QCOMPARE(m_site->requests(QStringLiteral("/appin/jiaoyi.htm")), 1);
    QCOMPARE(tradingLoads.started, 1);
    QCOMPARE(m_site->requests(QStringLiteral("/appin/zixun.htm")), 1);
    QCOMPARE(m_site->requests(QStringLiteral("/appin/gongju.htm")), 1);
    QCOMPARE(m_site->total(), 3);
    // The views' arrival never made the main window anew (that flickers and drops the keyboard focus).
    QCOMPARE(w.winId(), m_windowId);
}

void TestWeb::offlinePages_data()
{
    QTest::addColumn<QString>("item"); // navigation item that shows the panel; empty for the news box
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("paddingLeft");
    QTest::addColumn<QString>("textAlign");
    QTest::newRow("news") << QString() << QStringLiteral("读取资讯失败，网络已断开")
                          << QStringLiteral("font-size:12px; color:#999; padding:20px 0 0 12px; "
                                            "background-color:#E3EEFD;")
                          << QStringLiteral("12px") << QStringLiteral("start");
    const QString content =
        QStringLiteral("font-size:12px; color:#999; padding:20px 0 0 0; text-align:center; "
                       "background-color:#E3EEFD;");
    QTest::newRow("trading") << QStringLiteral("navJiaoyi") << QStringLiteral("读取内容失败，网络已断开")
                             << content << QStringLiteral("0px") << QStringLiteral("center");
    QTest::newRow("tools") << QStringLiteral("navGongju") << QStringLiteral("读取内容失败，网络已断开")
                           << content << QStringLiteral("0px") << QStringLiteral("center");
}

void TestWeb::offlinePages()
{
    QFETCH(QString, item);
    QFETCH(QString, text);
    QFETCH(QString, style);
    QFETCH(QString, paddingLeft);
    QFETCH(QString, textAlign);

    bool connected = false;
    Platform::setNetworkHook([&connected] { return connected; });
    startWindow();
    Tmian& w = *m_window;
    auto* button = item.isEmpty() ? nullptr : w.findChild<QToolButton*>(item);
    if (button)
        button->click();
    QWidget* panel = button ? static_cast<QWidget*>(button == navItem(w, "navJiaoyi")
                                                        ? static_cast<QWidget*>(w.Fr_jiaoyi1())
                                                        : static_cast<QWidget*>(w.Fr_gongju1()))
                            : static_cast<QWidget*>(w.Fr_wel1());
    auto* browser = panel->findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
    QVERIFY(browser);
    QTRY_VERIFY_WITH_TIMEOUT(browser->view(), kEngineTimeout);
    QWebEngineView* view = browser->view();
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, QStringLiteral("document.body ? document.body.innerText : ''")),
                              text, kEngineTimeout);
    QCOMPARE(evaluate(view, QStringLiteral("document.body.getAttribute('style')")), style);
    QCOMPARE(evaluate(view, QStringLiteral("document.body.getAttribute('scroll')")), QStringLiteral("no"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).paddingLeft")), paddingLeft);
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).textAlign")), textAlign);
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).fontSize")),
             QStringLiteral("12px"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).color")),
             QStringLiteral("rgb(153, 153, 153)"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).backgroundColor")),
             QStringLiteral("rgb(227, 238, 253)"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.documentElement).overflow")),
             QStringLiteral("hidden"));
    QCOMPARE(evaluate(view, QStringLiteral("String(document.body.getBoundingClientRect().left)")),
             QStringLiteral("0"));

    // The connection returns: the page stays offline, whatever is clicked.
    connected = true;
    navItem(w, "navGuanli")->click();
    if (button)
        button->click();
    else
        w.bsSkinSpeedButton3Click(); // back to the welcome panel
    QVERIFY(panel->isVisible());
    QCOMPARE(evaluate(view, QStringLiteral("document.body.innerText")), text);
    QCOMPARE(m_site->total(), 0);
}

void TestWeb::rightClicksInsideViewsAreDropped_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("path");
    QTest::newRow("news") << QString() << QStringLiteral("/appin/zixun.htm");
    QTest::newRow("trading") << QStringLiteral("navJiaoyi") << QStringLiteral("/appin/jiaoyi.htm");
    QTest::newRow("tools") << QStringLiteral("navGongju") << QStringLiteral("/appin/gongju.htm");
}

void TestWeb::rightClicksInsideViewsAreDropped()
{
    QFETCH(QString, item);
    QFETCH(QString, path);
    Platform::setNetworkHook([] { return true; });
    startWindow();
    Tmian& w = *m_window;
    // Load all three pages, then come back to the one under test: the filters act whichever
    // panel is visible, and each only for its own browser.
    navItem(w, "navJiaoyi")->click();
    navItem(w, "navGongju")->click();
    if (item.isEmpty())
        w.bsSkinSpeedButton3Click();
    else
        w.findChild<QToolButton*>(item)->click();
    WebBrowser* browser = nullptr;
    for (WebBrowser* b : w.findChildren<WebBrowser*>(QStringLiteral("WebBrowser1")))
        if (b->isVisible())
            browser = b;
    QVERIFY(browser);
    QTRY_VERIFY_WITH_TIMEOUT(browser->view(), kEngineTimeout);
    QWebEngineView* view = browser->view();
    QTRY_VERIFY_WITH_TIMEOUT(view->title().startsWith(path), kEngineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy(), kEngineTimeout);
    // The page is ready for the clicks once its own script has run (it notes the buttons in the title)
    // and the engine has drawn it (input goes to what is drawn): two frames after this request.
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, QStringLiteral("document.readyState + ' ' + typeof note")),
                              QStringLiteral("complete function"), kEngineTimeout);
    evaluate(view,
             QStringLiteral("requestAnimationFrame(() => requestAnimationFrame(() => window.drawn = true))"));
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, QStringLiteral("String(window.drawn === true)")),
                              QStringLiteral("true"), kEngineTimeout);
    QCOMPARE(view->title(), path);
    QWidget* surface = view->focusProxy();
    RightClickSpy spy;
    surface->installEventFilter(&spy);
    browser->installEventFilter(&spy);
    view->installEventFilter(&spy);

    const QPoint inside(30, 30);
    rightClick(surface, inside);
    rightClick(view, inside);
    rightClick(browser, inside);
    // A left click afterwards goes through: once the page has seen it, it would have seen the
    // right clicks before it.
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, inside);
    QTRY_VERIFY_WITH_TIMEOUT(view->title().contains(QStringLiteral("up0")), kEngineTimeout);
    QCOMPARE(view->title(), path + QStringLiteral(" down0 up0"));
    QCOMPARE(spy.seen, 0);
}

void TestWeb::rightClicksElsewhereStillWork()
{
    Platform::setNetworkHook([] { return false; });
    startWindow();
    Tmian& w = *m_window;
    navItem(w, "navJiaoyi")->click();
    navItem(w, "navGongju")->click();
    navItem(w, "navGuanli")->click();
    QVERIFY(w.Fr_guanli1()->isVisible());
    // The list's own context menu opens at the right click there: closed again.
    QTimer menus;
    menus.callOnTimeout([] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    menus.start(20);
    for (QWidget* target : {static_cast<QWidget*>(w.Fr_guanli1()->bsSkinDBGrid1()->viewport()),
                            static_cast<QWidget*>(navItem(w, "navJiaoyi"))}) {
        RightClickSpy spy;
        target->installEventFilter(&spy);
        rightClick(target, QPoint(5, 5));
        QCOMPARE(spy.seen, 3);
        target->removeEventFilter(&spy);
    }
}

namespace {
// The path each place requests from the site.
QString pathOf(const QString& item)
{
    if (item == QLatin1String("navJiaoyi"))
        return QStringLiteral("/appin/jiaoyi.htm");
    if (item == QLatin1String("navGongju"))
        return QStringLiteral("/appin/gongju.htm");
    return QStringLiteral("/appin/zixun.htm");
}

// Waits until a page of sitePage() has been read, its scripts have run and the engine has drawn it, so
// that input reaches it. (The empty document before it is complete at once.)
bool waitUntilDrawn(QWebEngineView* view)
{
    if (!QTest::qWaitFor(
            [view] {
                return evaluate(view, QStringLiteral("document.title + ' ' + document.readyState")) ==
                       QLatin1String("site complete");
            },
            kEngineTimeout))
        return false;
    evaluate(view,
             QStringLiteral("requestAnimationFrame(() => requestAnimationFrame(() => window.drawn = true))"));
    return QTest::qWaitFor(
        [view] {
            return evaluate(view, QStringLiteral("String(window.drawn === true)")) == QLatin1String("true");
        },
        kEngineTimeout);
}

// Stands in for the system's mail program.
class MailHandler : public QObject
{
    Q_OBJECT
public:
    int opened = 0;
public slots:
    void open(const QUrl&) { ++opened; }
};

// Closes every modal window that opens (a page's own message box) and counts them.
struct ModalWatcher
{
    int closed = 0;
    QTimer timer;
    ModalWatcher()
    {
        timer.callOnTimeout([this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++closed;
                modal->close();
            }
        });
        timer.start(20);
    }
};
} // namespace

void TestWeb::onSite_data()
{
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("loaded"); // empty: elsewhere

    const QString plain = QStringLiteral("http://www.lanshu.example");
    const QString secure = QStringLiteral("https://www.lanshu.example");
    const QString local = QStringLiteral("http://127.0.0.1:8000");
    const struct
    {
        const char* name;
        const QString& site;
        const char* address;
        const char* loaded;
    } rows[] = {
        {"page", plain, "http://www.lanshu.example/appin/a.htm?x=1",
         "http://www.lanshu.example/appin/a.htm?x=1"},
        {"upper-case host", plain, "http://WWW.Lanshu.Example/a", "http://www.lanshu.example/a"},
        {"usual port named", plain, "http://www.lanshu.example:80/a", "http://www.lanshu.example:80/a"},
        {"https of an http site", plain, "https://www.lanshu.example/a", "https://www.lanshu.example/a"},
        {"other port", plain, "http://www.lanshu.example:8080/a", ""},
        {"https on another port", plain, "https://www.lanshu.example:8443/a", ""},
        {"parent domain", plain, "http://lanshu.example/a", ""},
        {"longer name", plain, "http://www.lanshu.example.net/a", ""},
        {"user part that looks like the host", plain, "http://www.lanshu.example@other.example/a", ""},
        {"other scheme", plain, "ftp://www.lanshu.example/a", ""},
        {"http of an https site", secure, "http://www.lanshu.example/a?x=1#y",
         "https://www.lanshu.example/a?x=1#y"},
        {"http on its usual port of an https site", secure, "http://www.lanshu.example:80/a",
         "https://www.lanshu.example/a"},
        {"https site", secure, "https://www.lanshu.example/a", "https://www.lanshu.example/a"},
        {"http on another port of an https site", secure, "http://www.lanshu.example:8080/a", ""},
        {"local site", local, "http://127.0.0.1:8000/a", "http://127.0.0.1:8000/a"},
        {"local site by another name", local, "http://localhost:8000/a", ""},
        {"local site on another port", local, "http://127.0.0.1:8001/a", ""},
        {"other loopback address", local, "http://127.0.0.2:8000/a", ""},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.site << QString::fromLatin1(row.address)
                                << QString::fromLatin1(row.loaded);
}

void TestWeb::onSite()
{
    QFETCH(QString, site);
    QFETCH(QString, address);
    QFETCH(QString, loaded);
    webpages::setPagesHostForTest(site);
    QCOMPARE(webpages::onSite(QUrl(address)).toString(), loaded);
}

void TestWeb::loadFailurePages_data()
{
    QTest::addColumn<QString>("item");      // navigation item that shows the panel; empty for the news box
    QTest::addColumn<QString>("host");      // "refused" or empty for the test's site
    QTest::addColumn<QByteArray>("answer"); // the site's answer to the page's path; empty: closed unanswered
    QTest::addColumn<QString>("text");

    const QByteArray errorPage = "<html><body>Internal Server Error</body></html>";
    QTest::newRow("news, nobody listening") << QString() << QStringLiteral("refused") << QByteArray()
                                            << QStringLiteral("读取资讯失败\n无法连接到网站");
    QTest::newRow("news, 503 without a body")
        << QString() << QString() << response("503 Service Unavailable", {})
        << QStringLiteral("读取资讯失败\n网站返回错误 503");
    QTest::newRow("trading, 500 with a page")
        << QStringLiteral("navJiaoyi") << QString() << response("500 Internal Server Error", errorPage)
        << QStringLiteral("读取内容失败\n网站返回错误 500");
    QTest::newRow("trading, closed unanswered") << QStringLiteral("navJiaoyi") << QString() << QByteArray()
                                                << QStringLiteral("读取内容失败\n网站没有回应");
    QTest::newRow("tools, 404 with a page") << QStringLiteral("navGongju") << QString()
                                            << response("404 Not Found", "<html><body>gone</body></html>")
                                            << QStringLiteral("读取内容失败\n网站返回错误 404");
    QTest::newRow("tools, nobody listening")
        << QStringLiteral("navGongju") << QStringLiteral("refused") << QByteArray()
        << QStringLiteral("读取内容失败\n无法连接到网站");
}

void TestWeb::loadFailurePages()
{
    QFETCH(QString, item);
    QFETCH(QString, host);
    QFETCH(QByteArray, answer);
    QFETCH(QString, text);

    if (host == QLatin1String("refused")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        webpages::setPagesHostForTest(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    }
    m_site->answer(pathOf(item), answer);
    MessageBox::clearShown();
    Platform::setNetworkHook([] { return true; });
    startWindow();
    WebBrowser* browser = showPanel(item);
    QVERIFY(browser);
    QWebEngineView* view = browser->view();
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, QStringLiteral("document.body ? document.body.innerText : ''")),
                              text, kEngineTimeout);
    // The offline page's style: grey 12 pixels on the light blue, no scroll bars, placed as it is.
    QCOMPARE(evaluate(view, QStringLiteral("document.body.getAttribute('style')")),
             item.isEmpty()
                 ? QStringLiteral("font-size:12px; color:#999; padding:20px 0 0 12px; "
                                  "background-color:#E3EEFD;")
                 : QStringLiteral("font-size:12px; color:#999; padding:20px 0 0 0; text-align:center; "
                                  "background-color:#E3EEFD;"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).fontSize")),
             QStringLiteral("12px"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).color")),
             QStringLiteral("rgb(153, 153, 153)"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).backgroundColor")),
             QStringLiteral("rgb(227, 238, 253)"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.body).textAlign")),
             item.isEmpty() ? QStringLiteral("start") : QStringLiteral("center"));
    QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.documentElement).overflow")),
             QStringLiteral("hidden"));
    QCOMPARE(MessageBox::shown().size(), 0);
}

void TestWeb::navigationStaysOnSite_data()
{
    // The panel's page: a full-window link, a script, or a server redirect, to {elsewhere} (an address on
    // another host) or elsewhere on the site.
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("redirect");
    QTest::addColumn<bool>("click");     // the page is clicked in its middle
    QTest::addColumn<QString>("opened"); // what the user's web browser is asked to open

    const QString jiaoyi = QStringLiteral("navJiaoyi");
    const QString gongju = QStringLiteral("navGongju");
    const QByteArray to = "{elsewhere}";
    const QString elsewhere = QString::fromLatin1(to);
    QTest::newRow("script redirect") << jiaoyi << QByteArray() << QByteArray()
                                     << QByteArray("location.href = '{elsewhere}';") << false << false
                                     << elsewhere;
    // A page may send the user's browser one address by itself, not a flood of them.
    QTest::newRow("repeated script redirects")
        << jiaoyi << QByteArray() << QByteArray()
        << QByteArray("let n = 0; const t = setInterval(() => { location.href = '{elsewhere}?' + n;"
                      " if (++n == 20) { clearInterval(t); setTimeout(() => document.title = 'done', 200); } "
                      "}, 10);")
        << false << false << QStringLiteral("{elsewhere}?0");
    QTest::newRow("server redirect") << gongju << QByteArray() << QByteArray() << QByteArray() << true
                                     << false << elsewhere;
    QTest::newRow("link") << jiaoyi << to << QByteArray() << QByteArray() << false << true << elsewhere;
    QTest::newRow("link to a new window")
        << gongju << to << QByteArray("_blank") << QByteArray() << false << true << elsewhere;
    QTest::newRow("window.open on a click")
        << jiaoyi << QByteArray() << QByteArray()
        << QByteArray("document.addEventListener('click', () => window.open('{elsewhere}'));") << false
        << true << elsewhere;
    QTest::newRow("news box link") << QString() << to << QByteArray() << QByteArray() << false << true
                                   << elsewhere;
    QTest::newRow("link on the site") << jiaoyi << QByteArray("/appin/next.htm") << QByteArray()
                                      << QByteArray() << false << true << QString();
    QTest::newRow("mail link") << jiaoyi << QByteArray("mailto:someone@example.com") << QByteArray()
                               << QByteArray() << false << true << QString();
}

void TestWeb::navigationStaysOnSite()
{
    QFETCH(QString, item);
    QFETCH(QByteArray, link);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, script);
    QFETCH(bool, redirect);
    QFETCH(bool, click);
    QFETCH(QString, opened);

    // The same server under another name is another host.
    const QString other =
        m_site->address().replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")) +
        QStringLiteral("/elsewhere");
    const QByteArray to = other.toUtf8();
    opened.replace(QStringLiteral("{elsewhere}"), other);
    link.replace("{elsewhere}", to);
    script.replace("{elsewhere}", to);
    m_site->answer(pathOf(item), redirect ? response("302 Found", {}, "Location: " + to + "\r\n")
                                          : sitePage(link, script, target));
    QStringList browserOpened;
    Platform::setBrowserHook([&browserOpened](const QString& address) { browserOpened << address; });
    // Another program the system would start for the address.
    MailHandler mail;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "open");
    auto unregister = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); });
    Platform::setNetworkHook([] { return true; });
    startWindow();
    WebBrowser* browser = showPanel(item);
    QVERIFY(browser);
    QWebEngineView* view = browser->view();
    const QString panelAddress = m_site->address() + pathOf(item);
    QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(pathOf(item)), 1, kEngineTimeout);
    if (click) {
        QVERIFY(waitUntilDrawn(view));
        QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy(), kEngineTimeout);
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, Qt::NoModifier, view->rect().center());
    }
    if (link.startsWith('/')) {
        // A page on the site opens in the panel.
        QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(QString::fromLatin1(link)), 1, kEngineTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(), m_site->address() + QString::fromLatin1(link),
                                  kEngineTimeout);
        QCOMPARE(browserOpened, QStringList());
    } else if (opened.isEmpty()) {
        // Once a script run after the click has answered, the click's navigation has been decided.
        QCOMPARE(evaluate(view, QStringLiteral("document.title")), QStringLiteral("site"));
        QCOMPARE(view->url().toString(), panelAddress);
        QCOMPARE(browserOpened, QStringList());
        QCOMPARE(mail.opened, 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(browserOpened, QStringList{opened}, kEngineTimeout);
        if (script.contains("setInterval")) {
            QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("done"), kEngineTimeout);
            QCOMPARE(browserOpened, QStringList{opened});
        } else if (!redirect) {
            QCOMPARE(evaluate(view, QStringLiteral("document.title")), QStringLiteral("site"));
            QCOMPARE(view->url().toString(), panelAddress);
        }
    }
    QCOMPARE(m_site->requests(QStringLiteral("/elsewhere")), 0);
}

void TestWeb::downloadsAreRefused()
{
    m_site->answer(QStringLiteral("/appin/jiaoyi.htm"), sitePage({}, "location.href = '/appin/file.bin';"));
    m_site->answer(QStringLiteral("/appin/file.bin"),
                   response("200 OK", QByteArray(4096, 'x'),
                            "Content-Type: application/octet-stream\r\n"
                            "Content-Disposition: attachment; filename=\"file.bin\"\r\n"));
    Platform::setNetworkHook([] { return true; });
    startWindow();
    WebBrowser* browser = showPanel(QStringLiteral("navJiaoyi"));
    QVERIFY(browser);
    QWebEngineView* view = browser->view();
    QList<QWebEngineDownloadRequest::DownloadState> states;
    connect(view->page()->profile(), &QWebEngineProfile::downloadRequested, this,
            [&states](QWebEngineDownloadRequest* download) { states << download->state(); });
    QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(QStringLiteral("/appin/file.bin")), 1, kEngineTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, kEngineTimeout);
    QCOMPARE(states.first(), QWebEngineDownloadRequest::DownloadCancelled);
    QCOMPARE(evaluate(view, QStringLiteral("document.title")), QStringLiteral("site"));
    QCOMPARE(view->url().toString(), m_site->address() + QStringLiteral("/appin/jiaoyi.htm"));
}

void TestWeb::pageRequestsAreRefused_data()
{
    QTest::addColumn<QByteArray>("script"); // ends by putting its result into the title
    QTest::addColumn<QString>("title");
    QTest::newRow("alert, confirm and prompt")
        << QByteArray(
               "alert('a'); const c = confirm('b'); document.title = 'done ' + c + ' ' + prompt('c', 'd');")
        << QStringLiteral("done false null");
    QTest::newRow("notifications")
        << QByteArray("Notification.requestPermission().then(answer => document.title = 'done ' + answer);")
        << QStringLiteral("done denied");
    QTest::newRow("geolocation") << QByteArray("navigator.geolocation.getCurrentPosition("
                                               "() => document.title = 'done granted',"
                                               "e => document.title = 'done ' + e.code);")
                                 << QStringLiteral("done 1");
}

void TestWeb::pageRequestsAreRefused()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, title);
    m_site->answer(QStringLiteral("/appin/gongju.htm"), sitePage({}, script));
    Platform::setNetworkHook([] { return true; });
    startWindow();
    ModalWatcher boxes;
    WebBrowser* browser = showPanel(QStringLiteral("navGongju"));
    QVERIFY(browser);
    QTRY_COMPARE_WITH_TIMEOUT(browser->view()->title(), title, kEngineTimeout);
    QCOMPARE(boxes.closed, 0);
}

QTEST_MAIN(TestWeb)
#include "tst_web.moc"
