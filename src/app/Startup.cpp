#include "Startup.h"

#include "Mian.h"
#include "Skin.h"
#include "db/Backup.h"
#include "db/Connection.h"
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
#include <QScreen>
#include <QTimer>
#include <memory>

int Startup::run(int& argc, char** argv, const Options& options)
{
    // Before anything holds the user's data: no core dump, and files readable by the user alone.
    Platform::protectUserData();
    Platform::tuneMemory();

    // One running copy per user: a refused start shows nothing and ends quietly.
    Platform::SingleInstance lock(QStringLiteral("lanshu_tovex"));
    if (lock.alreadyRunning())
        return 0;

    Platform::prepareEmbeddedBrowser();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanshu"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    // No application display name: the platform would append it to every window title. The desktop knows
    // the program by its menu entry (named 岚枢, its icon, the window class "lanshu" it names).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.lanshu.lanshu"));
    Skin::apply(app);
    if (options.prepared)
        options.prepared();

    // An installed copy works in the user's own data folder, made ready here before any file is opened.
    if (const QString folderError = Platform::prepareDataFolder(); !folderError.isEmpty()) {
        MessageBox::appError(nullptr, folderError);
        return 1;
    }

    // The data module is declared first so that it is destroyed last, after every window that shows it.
    std::unique_ptr<TDataModule2> data;
    auto mian = std::make_unique<Tmian>();
    QString error;
    auto made = TDataModule2::create();
    error = made.error();
    data = made.take();
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

    // The first start of a day keeps a copy of the database; a failure is told once and changes nothing else.
    const Result backedUp = backup::makeDaily(data->Conn_service(), Connection::kFileName,
                                              QDateTime(Platform::today(), QTime::currentTime()));

    if (options.windowsCreated)
        options.windowsCreated(mian.get(), help);
    mian->FormShow();
    if (!mian->restoreLayout())
        centreOnDesktop(mian.get());
    mian->show();
    if (!backedUp.ok() && backup::reportFailureOnce())
        MessageBox::show(mian.get(), MessageBox::Warning, QStringLiteral("提示"), backedUp.error(),
                         MessageBox::Ok);
    if (options.shown)
        QTimer::singleShot(0, &app, [&] { options.shown(app); });
    const int rc = app.exec();
    mian.reset();
    data.reset();
    return rc;
}
