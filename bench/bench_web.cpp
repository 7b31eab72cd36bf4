// Memory of the program with all three web views loaded, and how long the engine's first view takes
// to appear after the main window. The pages are the offline pages, so that no network is needed.
#include "app/Mian.h"
#include "db/DataModule.h"
#include "db/Schema.h"
#include "lock/Fr_wel.h"
#include "platform/Platform.h"
#include "web/Fr_gongju.h"
#include "web/Fr_jiaoyi.h"
#include "web/WebBrowser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEngineView>
#include <cstdio>

namespace {
// Proportional set size of a process and all its descendants, in kB (Linux).
qint64 treePss(qint64 pid)
{
    qint64 total = 0;
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (rollup.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : rollup.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                total += line.simplified().split(' ').value(1).toLongLong();
    }
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task) + QStringLiteral("/children"));
        if (children.open(QIODevice::ReadOnly))
            for (const QByteArray& child : children.readAll().simplified().split(' '))
                if (!child.isEmpty())
                    total += treePss(child.toLongLong());
    }
    return total;
}

// Counts the finished loads of a browser's view, once the view exists.
void countLoads(WebBrowser* browser, int* finished)
{
    QObject::connect(browser->view(), &QWebEngineView::loadFinished, browser, [finished] { ++*finished; });
}
} // namespace

int main(int argc, char** argv)
{
    Platform::prepareEmbeddedBrowser();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    Platform::setNetworkHook([] { return false; });

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    const QString made = schema::createShippedDatabase(path).error();
    QString error;
    std::unique_ptr<TDataModule2> data;
    if (made.isEmpty()) {
        auto opened = TDataModule2::create(path);
        error = opened.error();
        data = opened.take();
    }
    if (!data) {
        std::fprintf(stderr, "%s\n", qPrintable(made.isEmpty() ? error : made));
        return 1;
    }
    const qint64 before = treePss(QCoreApplication::applicationPid());
    QElapsedTimer clock;
    clock.start();
    Tmian window;
    window.bindData(data.get());
    window.FormShow();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the main window did not appear\n");
        return 1;
    }
    const qint64 shown = clock.elapsed();
    const qint64 withoutViews = treePss(QCoreApplication::applicationPid());
    WebBrowser* news = window.Fr_wel1()->WebBrowser1();
    if (!QTest::qWaitFor([&] { return news->view() != nullptr; }, 30000))
        return 1;
    const qint64 viewMade = clock.elapsed();
    int finished = 0;
    countLoads(news, &finished);
    window.findChild<QToolButton*>(QStringLiteral("navJiaoyi"))->click();
    countLoads(window.Fr_jiaoyi1()->WebBrowser1(), &finished);
    window.findChild<QToolButton*>(QStringLiteral("navGongju"))->click();
    countLoads(window.Fr_gongju1()->WebBrowser1(), &finished);
    const bool all = QTest::qWaitFor([&] { return finished >= 3; }, 60000);
    QTest::qWait(2000); // let the renderers settle
    const qint64 after = treePss(QCoreApplication::applicationPid());
    std::printf("main window on screen %lld ms after its creation; news view made at %lld ms\n",
                static_cast<long long>(shown), static_cast<long long>(viewMade));
    std::printf(
        "memory (PSS, process and its children): before the window %.1f MB, window without views %.1f "
        "MB, all three views loaded%s %.1f MB\n",
        before / 1024.0, withoutViews / 1024.0, all ? "" : " (NOT all loaded)", after / 1024.0);
    return all ? 0 : 1;
}
