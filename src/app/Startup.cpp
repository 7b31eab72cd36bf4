#include "Startup.h"

#include "Mian.h"
#include "Skin.h"
#include "db/DataModule.h"
#include "entry/Daoru.h"
#include "entry/Edit_yuming.h"
#include "entry/New_yuming.h"
#include "guide/About.h"
#include "guide/Help.h"
#include "lock/Set_mima.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

int Startup::run(int& argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();

    // One running copy per user: a refused start shows nothing and ends quietly.
    Platform::SingleInstance lock(QStringLiteral("lanshu_tovex"));
    if (lock.alreadyRunning())
        return 0;

    Platform::prepareEmbeddedBrowser();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanshu"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    Skin::apply(app);
    const bool probe = QCoreApplication::arguments().contains(QStringLiteral("--startup-probe"));
    // Scripted runs (tests of whole processes): message boxes are answered at once and reported on stderr.
    if (qEnvironmentVariableIsSet("LANSHU_SCRIPTED_MESSAGES")) {
        MessageBox::setTestMode(true);
        MessageBox::setShownHook([](const MessageBox::Shown& box) {
            std::fprintf(stderr, "message: %s | %s\n", box.caption.toUtf8().constData(),
                         box.text.toUtf8().constData());
        });
    }

    // The data module is declared first so that it is destroyed last, after every window that shows it.
    std::unique_ptr<TDataModule2> data;
    auto mian = std::make_unique<Tmian>();
    QString error;
    data = TDataModule2::create(&error);
    if (!data) {
        MessageBox::appError(nullptr, error);
        return 1;
    }
    auto* help = new Thelp(mian.get());
    auto* about = new Tabout(mian.get());
    auto* setMima = new Tset_mima(mian.get());
    auto* edit = new Tedit_yuming(mian.get());
    auto* add = new Tnew_yuming(mian.get());
    auto* import = new Tdaoru(mian.get());
    setMima->bindData(data.get());
    edit->bindData(data.get());
    add->bindData(data.get());
    import->bindData(data.get());
    mian->bindData(data.get());
    mian->setDialogs(help, about, setMima, edit, add, import);

    if (probe) {
        // A guide that the show step opens is reported and closed, so that the probe goes on.
        QTimer::singleShot(0, help, [help, shown = mian.get()] {
            if (help->isVisible()) {
                std::printf("guide shown, main window visible: %s\n", shown->isVisible() ? "yes" : "no");
                std::fflush(stdout);
                help->reject();
            }
        });
    }
    mian->FormShow();
    centreOnDesktop(mian.get());
    mian->show();
    if (probe) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("main window shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
            std::fflush(stdout);
            app.quit();
        });
    }
    const int rc = app.exec();
    mian.reset();
    data.reset();
    return rc;
}
