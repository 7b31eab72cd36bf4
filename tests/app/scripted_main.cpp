// The program as the tests of whole processes start it: the same start-up as the shipped program, plus
// answers to message boxes (LANSHU_SCRIPTED_MESSAGES: each box answered with its default and reported on
// stderr) and a report once the main window is shown (--startup-probe), with the window's layout; with
// --change-layout the probe first changes the layout as a user would and closes the window, which
// remembers it; with --caption-probe (on an X display) the probe shows the main window, 关于, the guide
// and an information box and prints each window's title and class as the X server holds them for the
// window manager. Built with the tests only, never shipped.
#include "app/Mian.h"
#include "app/Startup.h"
#include "guide/About.h"
#include "guide/Help.h"
#include "platform/Dialogs.h"
#include "portfolio/Fr_guanli.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSplitter>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/stat.h>
#endif
#ifdef LANSHU_PROBE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace {
QString joined(const QList<int>& numbers)
{
    QStringList texts;
    for (const int n : numbers)
        texts << QString::number(n);
    return texts.join(QLatin1Char(','));
}

// The layout as the window shows it now, one line.
void printLayout(Tmian* w)
{
    const QRect g = w->geometry();
    QString panel;
    for (const char* name : {"Fr_wel1", "Fr_guanli1", "Fr_jiaoyi1", "Fr_gongju1"}) {
        const auto* p = w->findChild<QWidget*>(QLatin1String(name));
        if (p && !p->isHidden())
            panel = p->objectName();
    }
    // The portfolio's splitter and columns as they are once it is shown (a start shows the welcome panel).
    if (panel != QLatin1String("Fr_guanli1")) {
        w->showPortfolio();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    std::printf("layout: geometry %d,%d,%d,%d | panel %s | splitter %s | columns %s\n", g.x(), g.y(),
                g.width(), g.height(), panel.toUtf8().constData(),
                joined(w->Fr_guanli1()->splitter()->sizes()).toUtf8().constData(),
                joined(w->Fr_guanli1()->bsSkinDBGrid1()->columnWidths()).toUtf8().constData());
    std::fflush(stdout);
}

#ifdef LANSHU_PROBE_XCB
// One text property of a window as the X server holds it ("" when it is not set).
QByteArray xProperty(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type)
{
    const xcb_intern_atom_cookie_t ac = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, ac, nullptr);
    if (!atom)
        return {};
    const xcb_get_property_cookie_t pc = xcb_get_property(c, 0, window, atom->atom, type, 0, 1024);
    std::free(atom);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, pc, nullptr);
    if (!reply)
        return {};
    QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                     xcb_get_property_value_length(reply));
    std::free(reply);
    return value;
}

xcb_atom_t atomOf(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    return a;
}

// "caption: <_NET_WM_NAME> | class: <WM_CLASS instance>,<WM_CLASS class>" of a shown top-level window.
void printCaption(QWidget* window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        std::printf("caption: no X display\n");
        return;
    }
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const QByteArray name = xProperty(c, id, "_NET_WM_NAME", atomOf(c, "UTF8_STRING"));
    const QList<QByteArray> wmClass = xProperty(c, id, "WM_CLASS", XCB_ATOM_STRING).split('\0');
    std::printf("caption: %s | class: %s,%s\n", name.constData(), wmClass.value(0).constData(),
                wmClass.value(1).constData());
    std::fflush(stdout);
}
#else
void printCaption(QWidget*)
{
    std::printf("caption: probe built without X\n");
}
#endif

// Shows the windows whose titles the window manager shows, one after the other, and prints each.
void printCaptions(Tmian* w)
{
    printCaption(w);
    Tabout about(w);
    about.show();
    printCaption(&about);
    about.close();
    Thelp guide(w);
    guide.show();
    printCaption(&guide);
    guide.close();
    QMessageBox box(w);
    MessageBox::prepare(box, MessageBox::Information, QStringLiteral("Information"), QStringLiteral("..."),
                        MessageBox::Ok, MessageBox::Ok);
    box.show();
    printCaption(&box);
    box.close();
}

// Calls done() once ready() holds, looking again after the events of each pass have been handled.
void whenReady(QObject* context, std::function<bool()> ready, std::function<void()> done, int triesLeft = 500)
{
    if (ready() || triesLeft == 0) {
        done();
        return;
    }
    QTimer::singleShot(10, context, [=] { whenReady(context, ready, done, triesLeft - 1); });
}

// What a user does before closing: the portfolio shown, the window moved and resized, the splitter
// dragged, two columns widened. Then the window closes (and remembers), and the program ends.
void changeLayoutAndClose(Tmian* w, QApplication& app)
{
    w->showPortfolio();
    const QRect target(60, 70, 1100, 720);
    w->setGeometry(target);
    whenReady(
        w, [w, target] { return w->geometry() == target; },
        [w, &app] {
            TFr_guanli* panel = w->Fr_guanli1();
            panel->splitter()->setSizes({640, 400});
            panel->bsSkinDBGrid1()->setColumnWidth(0, 170);
            panel->bsSkinDBGrid1()->setColumnWidth(2, 90);
            QTimer::singleShot(0, w, [w, &app] {
                printLayout(w);
                w->close();
                app.quit();
            });
        });
}
} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    Startup::Options options;
    if (qEnvironmentVariableIsSet("LANSHU_SCRIPTED_MESSAGES")) {
        options.prepared = [] {
            MessageBox::setTestMode(true);
            MessageBox::setShownHook([](const MessageBox::Shown& box) {
                std::fprintf(stderr, "message: %s | %s\n", box.caption.toUtf8().constData(),
                             box.text.toUtf8().constData());
            });
        };
    }
    bool changeLayout = false;
    bool captions = false;
    for (int i = 1; i < argc; ++i) {
        changeLayout = changeLayout || std::strcmp(argv[i], "--change-layout") == 0;
        captions = captions || std::strcmp(argv[i], "--caption-probe") == 0;
    }
    static Tmian* mian = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--startup-probe") != 0)
            continue;
        // A guide that the show step opens is reported and closed, so that the probe goes on.
        options.windowsCreated = [](QWidget* mainWindow, QDialog* guide) {
            mian = qobject_cast<Tmian*>(mainWindow);
            QTimer::singleShot(0, guide, [guide, mainWindow] {
                if (guide->isVisible()) {
                    std::printf("guide shown, main window visible: %s\n",
                                mainWindow->isVisible() ? "yes" : "no");
                    std::fflush(stdout);
                    guide->reject();
                }
            });
        };
        options.shown = [clock, changeLayout, captions](QApplication& app) {
            std::printf("main window shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
            std::printf("desktop entry: %s\n", QGuiApplication::desktopFileName().toUtf8().constData());
#ifdef Q_OS_LINUX
            const mode_t mask = ::umask(0);
            ::umask(mask);
            std::printf("dumpable: %d\n", ::prctl(PR_GET_DUMPABLE));
            std::printf("umask: %03o\n", unsigned(mask));
#endif
            std::fflush(stdout);
            if (changeLayout) {
                changeLayoutAndClose(mian, app);
                return;
            }
            if (captions) {
                QTimer::singleShot(0, mian, [&app] {
                    printCaptions(mian);
                    app.quit();
                });
                return;
            }
            // The layout once the window has laid itself out.
            QTimer::singleShot(0, mian, [&app] {
                printLayout(mian);
                app.quit();
            });
        };
    }
    return Startup::run(argc, argv, options);
}
