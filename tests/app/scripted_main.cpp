// The program as the tests of whole processes start it: the same start-up as the shipped program, plus
// answers to message boxes (LANSHU_SCRIPTED_MESSAGES: each box answered with its default and reported on
// stderr) and a report once the main window is shown (--startup-probe), with the window's layout; with
// --change-layout the probe first changes the layout as a user would and closes the window, which
// remembers it. Built with the tests only, never shipped.
#include "app/Mian.h"
#include "app/Startup.h"
#include "platform/Dialogs.h"
#include "portfolio/Fr_guanli.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QSplitter>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/stat.h>
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
    std::printf("layout: geometry %d,%d,%d,%d | panel %s | splitter %s | columns %s\n", g.x(), g.y(),
                g.width(), g.height(), panel.toUtf8().constData(),
                joined(w->Fr_guanli1()->splitter()->sizes()).toUtf8().constData(),
                joined(w->Fr_guanli1()->columnWidths()).toUtf8().constData());
    std::fflush(stdout);
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
    for (int i = 1; i < argc; ++i)
        changeLayout = changeLayout || std::strcmp(argv[i], "--change-layout") == 0;
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
        options.shown = [clock, changeLayout](QApplication& app) {
            std::printf("main window shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
            std::printf("display name: %s\n", QApplication::applicationDisplayName().toUtf8().constData());
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
            // The layout once the window has laid itself out.
            QTimer::singleShot(0, mian, [&app] {
                printLayout(mian);
                app.quit();
            });
        };
    }
    return Startup::run(argc, argv, options);
}
