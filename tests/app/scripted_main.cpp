// The program as the tests of whole processes start it: the same start-up as the shipped program, plus
// answers to message boxes (LANSHU_SCRIPTED_MESSAGES: each box answered with its default and reported on
// stderr) and a report once the main window is shown (--startup-probe). Built with the tests only, never
// shipped.
#include "app/Startup.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstring>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/stat.h>
#endif

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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--startup-probe") != 0)
            continue;
        // A guide that the show step opens is reported and closed, so that the probe goes on.
        options.windowsCreated = [](QWidget* mainWindow, QDialog* guide) {
            QTimer::singleShot(0, guide, [guide, mainWindow] {
                if (guide->isVisible()) {
                    std::printf("guide shown, main window visible: %s\n",
                                mainWindow->isVisible() ? "yes" : "no");
                    std::fflush(stdout);
                    guide->reject();
                }
            });
        };
        options.shown = [clock](QApplication& app) {
            std::printf("main window shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
            std::printf("display name: %s\n", QApplication::applicationDisplayName().toUtf8().constData());
#ifdef Q_OS_LINUX
            const mode_t mask = ::umask(0);
            ::umask(mask);
            std::printf("dumpable: %d\n", ::prctl(PR_GET_DUMPABLE));
            std::printf("umask: %03o\n", unsigned(mask));
#endif
            std::fflush(stdout);
            app.quit();
        };
    }
    return Startup::run(argc, argv, options);
}
