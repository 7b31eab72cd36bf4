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
#include <QHostAddress>
#include <QLabel>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

namespace {
// How long a wait on the browser engine may last. The engine's pages, scripts and input take their own
// time, many times longer under a sanitizer or on a busy machine; every wait ends as soon as its
// condition holds, so the bound only matters when something is really wrong.
constexpr int kEngineTimeout = 120000;

// A small web site on 127.0.0.1 that serves any path with a page naming that path, and counts the
// requests per path. Each page records the mouse buttons and context-menu requests that reach it in
// its title, so that a test can see what the engine received.
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
};

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

private:
    // The main window over a fresh database, after its show step, on screen.
    void startWindow();

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

QTEST_MAIN(TestWeb)
#include "tst_web.moc"
