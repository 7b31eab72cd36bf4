#include "TestDb.h"
#include "app/Mian.h"
#include "db/Schema.h"
#include "guide/About.h"
#include "guide/DemoAnimation.h"
#include "guide/GuideWidgets.h"
#include "guide/Help.h"
#include "guide/IniFile.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/Site.h"
#include "portfolio/Fr_guanli.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// While it lives, writes into the folder are refused: the folder and the file are made read-only,
// and, since the superuser writes regardless, the process may write no byte into any file.
class RefusedWrites
{
public:
    explicit RefusedWrites(const QString& folder) : m_folder(folder)
    {
        QFile::setPermissions(m_folder + QStringLiteral("/iset.ini"), QFile::ReadOwner | QFile::ReadGroup);
        QFile::setPermissions(m_folder,
                              QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
#ifndef Q_OS_WIN
        if (::geteuid() == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &m_old);
            rlimit none = m_old;
            none.rlim_cur = 0;
            ::setrlimit(RLIMIT_FSIZE, &none);
        }
#endif
    }
    ~RefusedWrites()
    {
#ifndef Q_OS_WIN
        if (::geteuid() == 0)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
#endif
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(m_folder + QStringLiteral("/iset.ini"), QFile::ReadOwner | QFile::WriteOwner);
    }

private:
    QString m_folder;
#ifndef Q_OS_WIN
    rlimit m_old{};
#endif
};

const QByteArray kMissing = "<missing>";
} // namespace

class TestGuide : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readValue_data();
    void readValue();
    void missingReadsAsTheDefault();
    void writeKeepsOtherLines_data();
    void writeKeepsOtherLines();
    void refusedWrite_data();
    void refusedWrite();
    void shippedFileIsNeverOverwritten();

    void showingSetsTheBox_data();
    void showingSetsTheBox();
    void boxWritesTheChoice();
    void refusedWriteWhileShowingReportsFirst();
    void startupOpensGuideOnlyForOne_data();
    void startupOpensGuideOnlyForOne();
    void programStartsWithGuideFirst_data();
    void programStartsWithGuideFirst();

    void pagesStepForwardAndLastCloses();
    void reopeningStartsAtPageOne();
    void linkPicturesAreButtons();
    void animationIsDrawnFromTheWindow();
    void animationLoopsEveryTwoSeconds();
    void captionLeavesTheAreaInView_data();
    void captionLeavesTheAreaInView();
    void lockedWindowHidesTheDomains();

    void aboutLinkOpensSiteAndStaysOpen();
    void aboutWarningCannotBeTouched();
    void versionIsSharedWithMainWindow();

private:
    QString file() const { return m_dir->filePath(QStringLiteral("iset.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestGuide::init()
{
    MessageBox::setTestMode(true);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    IniFile::setFolderForTests(m_dir->path() + QLatin1Char('/'));
}

void TestGuide::cleanup()
{
    IniFile::setFolderForTests({});
    Platform::setBrowserHook({});
    m_dir.reset();
}

// ---------- the settings file ----------

void TestGuide::readValue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("value");
    QTest::newRow("one") << QByteArray("[pro_set]\nrun=1\n") << "1";
    QTest::newRow("zero") << QByteArray("[pro_set]\nrun=0\n") << "0";
    QTest::newRow("missing file") << kMissing << "";
    QTest::newRow("empty file") << QByteArray("") << "";
    QTest::newRow("missing section") << QByteArray("[other]\nrun=1\n") << "";
    QTest::newRow("missing key") << QByteArray("[pro_set]\nrunx=1\nrrun=1\n") << "";
    QTest::newRow("key of a later section") << QByteArray("[pro_set]\nx=1\n[other]\nrun=1\n") << "";
    QTest::newRow("names in any case") << QByteArray("[PRO_Set]\nRun=1\n") << "1";
    QTest::newRow("blanks around") << QByteArray("  [ pro_set ]  \n  run  =   1  \n") << "1";
    QTest::newRow("tab and blanks") << QByteArray("[pro_set]\nrun=\t 1 \t\n") << "1";
    QTest::newRow("double quotes") << QByteArray("[pro_set]\nrun=\"1\"\n") << "1";
    QTest::newRow("single quotes") << QByteArray("[pro_set]\nrun='0'\n") << "0";
    QTest::newRow("blanks inside quotes stay") << QByteArray("[pro_set]\nrun=\" 1 \"\n") << " 1 ";
    QTest::newRow("only one pair of quotes") << QByteArray("[pro_set]\nrun=\"\"1\"\"\n") << "\"1\"";
    QTest::newRow("unmatched quote") << QByteArray("[pro_set]\nrun=\"1\n") << "\"1";
    QTest::newRow("leading zero") << QByteArray("[pro_set]\nrun=01\n") << "01";
    QTest::newRow("empty value") << QByteArray("[pro_set]\nrun=\n") << "";
    QTest::newRow("windows line ends") << QByteArray("[other]\r\nrun=0\r\n[pro_set]\r\nrun=1\r\n") << "1";
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[pro_set]\nrun=1") << "1";
    QTest::newRow("first of two keys") << QByteArray("[pro_set]\nrun=0\nrun=1\n") << "0";
    QTest::newRow("first of two sections") << QByteArray("[pro_set]\nx=1\n[pro_set]\nrun=1\n") << "";
    QTest::newRow("comment and blank lines")
        << QByteArray("; settings\n\n[pro_set]\n; run=0\n\nrun=1\n") << "1";
}

void TestGuide::readValue()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, value);
    if (content != kMissing)
        QVERIFY(writeAll(file(), content));
    QCOMPARE(IniFile::readRun(), value);
    QCOMPARE(readAll(file()), content); // reading changes nothing
}

void TestGuide::missingReadsAsTheDefault()
{
    const QString section = QStringLiteral("pro_set"), key = QStringLiteral("run"),
                  fallback = QStringLiteral("d");
    QCOMPARE(IniFile::readString(file(), section, key, fallback), fallback);
    QVERIFY(writeAll(file(), "[other]\nrun=1\n[pro_set]\nx=1\n"));
    QCOMPARE(IniFile::readString(file(), section, key, fallback), fallback);
    QVERIFY(writeAll(file(), "[pro_set]\nrun=\n"));
    QCOMPARE(IniFile::readString(file(), section, key, fallback), QString());
}

void TestGuide::writeKeepsOtherLines_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("creates the file") << kMissing << "0" << QByteArray("[pro_set]\nrun=0\n");
    QTest::newRow("replaces the value")
        << QByteArray("[pro_set]\nrun=1\n") << "0" << QByteArray("[pro_set]\nrun=0\n");
    QTest::newRow("keeps every other line as it was")
        << QByteArray(
               "; mine\r\n[Other]\r\n  run = 7 \r\n\r\n[PRO_SET]\r\nx = \"a b\"\r\n  Run = \"1\" \r\nz=9")
        << "0"
        << QByteArray("; mine\r\n[Other]\r\n  run = 7 \r\n\r\n[PRO_SET]\r\nx = \"a b\"\r\n  Run =0\r\nz=9");
    QTest::newRow("adds the key at the end of its section")
        << QByteArray("[pro_set]\nx=1\n\n[b]\nk=v\n") << "1"
        << QByteArray("[pro_set]\nx=1\nrun=1\n\n[b]\nk=v\n");
    QTest::newRow("adds the section after a last line without an end")
        << QByteArray("[b]\r\nk=v") << "1" << QByteArray("[b]\r\nk=v\r\n[pro_set]\r\nrun=1\r\n");
    QTest::newRow("section as last line")
        << QByteArray("[pro_set]") << "0" << QByteArray("[pro_set]\nrun=0\n");
    QTest::newRow("only the first of two keys")
        << QByteArray("[pro_set]\nrun=01\nrun=1\n") << "1" << QByteArray("[pro_set]\nrun=1\nrun=1\n");
    QTest::newRow("line breaks in a value stay on one line")
        << QByteArray("[pro_set]\nrun=0\n") << "1\n[x]" << QByteArray("[pro_set]\nrun=1 [x]\n");
}

void TestGuide::writeKeepsOtherLines()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (before != kMissing)
        QVERIFY(writeAll(file(), before));
    QCOMPARE(IniFile::writeRun(value), QString());
    QCOMPARE(readAll(file()), after);
}

void TestGuide::refusedWrite_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only folder") << "folder";
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("a folder in the file's place") << "directory";
    QTest::newRow("a link to a file elsewhere") << "link";
    QTest::newRow("a link to a device") << "device";
}

void TestGuide::refusedWrite()
{
    QFETCH(QString, kind);
    QString path = file();
    QString error;
    const QTemporaryDir otherDir;
    const QString elsewhere = otherDir.filePath(QStringLiteral("settings.conf"));
    QVERIFY(writeAll(elsewhere, "[pro_set]\nrun=1\n# someone else's file\n"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(writeAll(path, "[pro_set]\nrun=1\n"));
        RefusedWrites refused(m_dir->path());
        error = IniFile::writeRun(QStringLiteral("0"));
    } else if (kind == QLatin1String("missing")) {
        path = m_dir->filePath(QStringLiteral("gone/iset.ini"));
        error =
            IniFile::writeString(path, QStringLiteral("pro_set"), QStringLiteral("run"), QStringLiteral("0"));
    } else if (kind == QLatin1String("link") || kind == QLatin1String("device")) {
        // Saving would replace the file the link points to, or read a device without end.
        QVERIFY(QFile::link(kind == QLatin1String("link") ? elsewhere : QStringLiteral("/dev/zero"), path));
        error = IniFile::writeRun(QStringLiteral("0"));
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(IniFile::readRun(), kind == QLatin1String("link") ? QStringLiteral("1") : QString());
    } else {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("iset.ini")));
        error = IniFile::writeRun(QStringLiteral("0"));
    }
    QCOMPARE(error, QStringLiteral("Unable to write to ") + path);
    QCOMPARE(readAll(elsewhere), QByteArray("[pro_set]\nrun=1\n# someone else's file\n"));
    if (kind == QLatin1String("folder"))
        QCOMPARE(readAll(path), QByteArray("[pro_set]\nrun=1\n"));
    else if (kind == QLatin1String("missing"))
        QVERIFY(!QFileInfo::exists(path));
    const QStringList left = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(left.size() <= 1, qPrintable(left.join(QLatin1Char(' ')))); // no half-written file left behind
}

void TestGuide::shippedFileIsNeverOverwritten()
{
    // The build puts the settings file beside the program ...
    QVERIFY(QFileInfo::exists(QStringLiteral(LANSHU_BUILD_DIR "/dist/iset.ini")));
    const QString shipped = QStringLiteral(LANSHU_SOURCE_DIR "/resources/shipped/iset.ini");
    QCOMPARE(IniFile::readString(shipped, QStringLiteral("pro_set"), QStringLiteral("run")),
             QStringLiteral("1"));
    // ... and the step that puts it there keeps a file that is already there.
    auto place = [&] {
        return QProcess::execute(QStringLiteral(LANSHU_CMAKE),
                                 {QStringLiteral("-DFROM=") + shipped, QStringLiteral("-DTO=") + file(),
                                  QStringLiteral("-P"),
                                  QStringLiteral(LANSHU_SOURCE_DIR "/cmake/CopyIfMissing.cmake")});
    };
    QCOMPARE(place(), 0);
    QCOMPARE(IniFile::readRun(), QStringLiteral("1"));
    QCOMPARE(IniFile::writeRun(QStringLiteral("0")), QString());
    QCOMPARE(place(), 0);
    QCOMPARE(IniFile::readRun(), QStringLiteral("0"));
}

// ---------- the guide and the settings file ----------

void TestGuide::showingSetsTheBox_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("tickedBefore");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("1 ticks and is written back")
        << QByteArray("[pro_set]\nrun = 1\n") << false << true << QByteArray("[pro_set]\nrun =1\n");
    QTest::newRow("0 unticks and is written back")
        << QByteArray("[pro_set]\nrun=\"0\"\n") << true << false << QByteArray("[pro_set]\nrun=0\n");
    QTest::newRow("blanks around 1") << QByteArray("[pro_set]\nrun= 1 \n") << false << true
                                     << QByteArray("[pro_set]\nrun=1\n");
    QTest::newRow("missing file keeps the tick") << kMissing << true << true << kMissing;
    QTest::newRow("missing file keeps no tick") << kMissing << false << false << kMissing;
    QTest::newRow("01 keeps the box")
        << QByteArray("[pro_set]\nrun=01\n") << false << false << QByteArray("[pro_set]\nrun=01\n");
    QTest::newRow("other text keeps the box")
        << QByteArray("[pro_set]\nrun=yes\n") << true << true << QByteArray("[pro_set]\nrun=yes\n");
}

void TestGuide::showingSetsTheBox()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, tickedBefore);
    QFETCH(bool, ticked);
    QFETCH(QByteArray, after);
    Thelp help;
    QVERIFY(help.bsSkinCheckRadioBox1()->isChecked()); // ticked before the first showing
    help.bsSkinCheckRadioBox1()->setChecked(tickedBefore);
    if (before != kMissing)
        QVERIFY(writeAll(file(), before));
    help.show();
    QCOMPARE(help.bsSkinCheckRadioBox1()->isChecked(), ticked);
    QCOMPARE(readAll(file()), after);
    QCOMPARE(help.currentPage(), 1);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestGuide::boxWritesTheChoice()
{
    Thelp help;
    help.show();
    QCheckBox* box = help.bsSkinCheckRadioBox1();
    QVERIFY(box->isChecked());
    QCOMPARE(readAll(file()), kMissing); // nothing is written until the box changes
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QCOMPARE(readAll(file()), QByteArray("[pro_set]\nrun=0\n"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QVERIFY(box->isChecked());
    QCOMPARE(IniFile::readRun(), QStringLiteral("1"));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestGuide::refusedWriteWhileShowingReportsFirst()
{
    QVERIFY(writeAll(file(), "[pro_set]\nrun=1\n"));
    Tmian w;
    auto* help = new Thelp(&w);
    w.setDialogs(help, nullptr, nullptr, nullptr, nullptr, nullptr);
    QList<MessageBox::Shown> reportedBeforeGuide;
    bool guideShown = false;
    bool ticked = false;
    QString fileWhileShown;
    {
        RefusedWrites refused(m_dir->path());
        QTimer::singleShot(0, help, [&] {
            guideShown = help->isVisible();
            reportedBeforeGuide = MessageBox::shown();
            // The user's change is refused too: the box keeps its new tick, the file its old value.
            help->bsSkinCheckRadioBox1()->click();
            ticked = help->bsSkinCheckRadioBox1()->isChecked();
            help->reject();
        });
        w.FormShow();
    }
    QVERIFY(guideShown);
    QCOMPARE(reportedBeforeGuide.size(), 1);
    QCOMPARE(reportedBeforeGuide[0].text, QStringLiteral("Unable to write to %1.").arg(file()));
    QCOMPARE(reportedBeforeGuide[0].caption, QStringLiteral("岚枢"));
    QCOMPARE(reportedBeforeGuide[0].icon, MessageBox::Critical);
    QCOMPARE(MessageBox::takeShown().size(), 2);
    QVERIFY(!ticked);
    QCOMPARE(readAll(file()), QByteArray("[pro_set]\nrun=1\n"));
}

void TestGuide::startupOpensGuideOnlyForOne_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("opens");
    QTest::newRow("1") << QByteArray("[pro_set]\nrun=1\n") << true;
    QTest::newRow("0") << QByteArray("[pro_set]\nrun=0\n") << false;
    QTest::newRow("missing file") << kMissing << false;
    QTest::newRow("missing key") << QByteArray("[pro_set]\n") << false;
    QTest::newRow("blanks around 1") << QByteArray("[pro_set]\nrun= 1 \n") << true;
    QTest::newRow("01") << QByteArray("[pro_set]\nrun=01\n") << false;
    QTest::newRow("quoted 1") << QByteArray("[pro_set]\nrun=\"1\"\n") << true;
    QTest::newRow("1 with more") << QByteArray("[pro_set]\nrun=1a\n") << false;
}

void TestGuide::startupOpensGuideOnlyForOne()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    if (content != kMissing)
        QVERIFY(writeAll(file(), content));
    Tmian w;
    auto* help = new Thelp(&w);
    w.setDialogs(help, nullptr, nullptr, nullptr, nullptr, nullptr);
    help->linkImage(1)->click(); // a page other than the first, from an earlier showing
    bool opened = false, mainVisible = true, ticked = false;
    int page = 0;
    QTimer::singleShot(0, help, [&] {
        opened = help->isVisible();
        mainVisible = w.isVisible();
        page = help->currentPage();
        ticked = help->bsSkinCheckRadioBox1()->isChecked();
        help->reject();
    });
    w.FormShow();
    QCoreApplication::processEvents(); // the check runs now if no guide ran it
    QCOMPARE(opened, opens);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel1"))->text(), IniFile::readRun());
    if (opens) {
        QVERIFY(!mainVisible);
        QCOMPARE(page, 1);
        QVERIFY(ticked);
        QCOMPARE(IniFile::readRun(), QStringLiteral("1"));
    }
}

void TestGuide::programStartsWithGuideFirst_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("guide");
    QTest::newRow("run=1") << QByteArray("[pro_set]\r\nrun=1\r\n") << true;
    QTest::newRow("run=0") << QByteArray("[pro_set]\r\nrun=0\r\n") << false;
}

void TestGuide::programStartsWithGuideFirst()
{
    // The program (its test build, which reports the start) copied into a folder of its own, with its
    // settings file beside it; the database in the current folder.
    QFETCH(QByteArray, content);
    QFETCH(bool, guide);
    QTemporaryDir runtime, work;
    const QString program = m_dir->filePath(QStringLiteral("lanshu"));
    QVERIFY(QFile::copy(QStringLiteral(LANSHU_SCRIPTED_PROGRAM), program));
    QVERIFY(writeAll(file(), content));
    QCOMPARE(schema::createShippedDatabase(work.filePath(QStringLiteral("service.dll"))).error(), QString());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config"))); // its layout
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LANSHU_SCRIPTED_MESSAGES"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work.path());
    p.start(program, {QStringLiteral("--startup-probe")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray out = p.readAllStandardOutput();
    const qsizetype guideAt = out.indexOf("guide shown, main window visible: no");
    const qsizetype mainAt = out.indexOf("main window shown");
    QVERIFY2(mainAt >= 0, out.constData());
    QCOMPARE(guideAt >= 0, guide);
    if (guide)
        QVERIFY(guideAt < mainAt);
    QVERIFY(!p.readAllStandardError().contains("message:"));
    QCOMPARE(readAll(file()), content); // the value found is written back as it was
}

// ---------- pages ----------

void TestGuide::pagesStepForwardAndLastCloses()
{
    Thelp help;
    help.show();
    QVERIFY(help.isModal());
    QCOMPARE(help.size(), QSize(634, 389));
    QCOMPARE(help.windowTitle(), QStringLiteral("岚枢入门"));
    for (int n = 1; n <= 5; ++n) {
        QCOMPARE(help.currentPage(), n);
        for (int other = 1; other <= 5; ++other)
            QCOMPARE(help.page(other)->isVisible(), other == n);
        QCOMPARE(help.page(n)->objectName(), QStringLiteral("p%1").arg(n));
        QVERIFY(help.isVisible());
        help.linkImage(n)->click();
    }
    QVERIFY(!help.isVisible());
    QCOMPARE(help.result(), int(QDialog::Accepted));
}

void TestGuide::reopeningStartsAtPageOne()
{
    Thelp help;
    help.show();
    help.linkImage(1)->click();
    help.linkImage(2)->click();
    QCOMPARE(help.currentPage(), 3);
    help.reject(); // the title bar's close button
    QVERIFY(!help.isVisible());
    help.show();
    QCOMPARE(help.currentPage(), 1);
    QVERIFY(help.page(1)->isVisible());
}

void TestGuide::linkPicturesAreButtons()
{
    Thelp help;
    help.show();
    help.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    const QStringList names = {QStringLiteral("bsSkinLinkImage7"), QStringLiteral("bsSkinLinkImage8"),
                               QStringLiteral("bsSkinLinkImage9"), QStringLiteral("bsSkinLinkImage10"),
                               QStringLiteral("bsSkinLinkImage6")};
    const QStringList words = {QStringLiteral("开 始"), QStringLiteral("继 续"), QStringLiteral("继 续"),
                               QStringLiteral("继 续"), QStringLiteral("开始使用！")};
    for (int n = 1; n <= 5; ++n) {
        auto* link = help.findChild<GreenButton*>(names[n - 1]);
        QVERIFY(link);
        QCOMPARE(link, help.linkImage(n));
        QCOMPARE(link->accessibleName(), words[n - 1]);
        QCOMPARE(link->size(), n == 5 ? QSize(194, 44) : QSize(111, 35));
        QVERIFY(link->focusPolicy() & Qt::TabFocus);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(help.page(n)->isAncestorOf(link));
    }
    // The keyboard alone steps through: Enter and the space bar press the focused link picture.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(help.linkImage(1)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(help.currentPage(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(help.linkImage(2)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(help.currentPage(), 3);
    QTest::keyClick(help.linkImage(3), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(help.currentPage(), 4);
    // The page pictures do not react to the mouse.
    QTest::mouseClick(help.page(4), Qt::LeftButton, {}, QPoint(300, 200));
    QCOMPARE(help.currentPage(), 4);
}

// ---------- page 2's animation ----------

void TestGuide::animationIsDrawnFromTheWindow()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("guide-demo.com"), QStringLiteral("说明")});
    Tmian w;
    w.bindData(db.module());
    auto* help = new Thelp(&w);
    w.setDialogs(help, nullptr, nullptr, nullptr, nullptr, nullptr);
    w.FormShow(); // the main window not yet on screen, as at start-up
    QVERIFY(!w.isVisible());
    DemoAnimation* demo = help->animation();
    QCOMPARE(demo->size(), QSize(484, 328));
    demo->refresh();
    const QImage picture = demo->picture();
    QCOMPARE(picture.size() / picture.devicePixelRatio(), w.size());
    const QList<QRect> areas = demo->areas();
    QCOMPARE(areas.size(), DemoAnimation::kFrames);
    const QRect window(QPoint(), w.size());
    for (const QRect& area : areas) {
        QVERIFY(!area.isEmpty());
        QVERIFY(window.contains(area));
    }
    // The navigation bar on the left, the toolbar above the list, the search strip under it, the detail
    // pane right of it.
    QCOMPARE(areas[0].left(), 0);
    QVERIFY(areas[1].bottom() < areas[2].top());
    QVERIFY(areas[2].bottom() < areas[3].top());
    QVERIFY(areas[4].left() > areas[2].right());
    // The framed areas show the widgets as they are: the navigation bar, pixel for pixel.
    const qreal dpr = picture.devicePixelRatio();
    const QImage nav = w.grab(areas[0]).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage part = picture.copy(QRect(areas[0].topLeft() * dpr, areas[0].size() * dpr))
                            .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(part.size(), nav.size());
    QCOMPARE(part, nav);
    // The list shows the domain in the file: the portfolio panel is drawn though the welcome panel is shown.
    QVERIFY(w.Fr_guanli1()->isHidden());
    const QImage list =
        w.Fr_guanli1()->bsSkinDBGrid1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.copy(QRect(areas[2].topLeft() * dpr, areas[2].size() * dpr))
                 .convertToFormat(QImage::Format_RGB32),
             list);
}

void TestGuide::animationLoopsEveryTwoSeconds()
{
    Thelp help;
    help.show();
    DemoAnimation* demo = help.animation();
    QVERIFY(!demo->isRunning());
    help.linkImage(1)->click();
    QVERIFY(demo->isRunning());
    QCOMPARE(demo->frame(), 0);
    const QStringList titles = {QStringLiteral("功能切换条"), QStringLiteral("按钮栏"),
                                QStringLiteral("域名列表"), QStringLiteral("速查"),
                                QStringLiteral("域名详情")};
    const QStringList lines = {QStringLiteral("用来切换主要的功能"),
                               QStringLiteral("最主要的功能都排列在这里"),
                               QStringLiteral("这里列出了所有的域名，点标题可以排序"),
                               QStringLiteral("根据您的搜索内容即时搜索，在域名列表里马上显示出来。"),
                               QStringLiteral("此处显示您在域名列表中，选中的域名详细情况")};
    for (int round = 0; round < 2; ++round) {
        for (int f = 0; f < DemoAnimation::kFrames; ++f) {
            QCOMPARE(demo->frame(), f);
            QCOMPARE(DemoAnimation::title(f), titles[f]);
            QCOMPARE(DemoAnimation::line(f), lines[f]);
            QCOMPARE(demo->accessibleDescription(), titles[f] + QLatin1Char('\n') + lines[f]);
            demo->advance();
        }
    }
    QCOMPARE(demo->frame(), 0);
    // Two seconds a frame, counted by the animation's timer.
    auto* timer = demo->findChild<QTimer*>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2000);
    QCOMPARE(DemoAnimation::kFrameMs, 2000);
    // Off the page, the animation rests; back on it, it starts at the first frame.
    help.linkImage(2)->click();
    QVERIFY(!demo->isRunning());
    help.reject();
    demo->advance();
    help.show();
    help.linkImage(1)->click();
    QCOMPARE(demo->frame(), 0);
    QVERIFY(demo->isRunning());
}

void TestGuide::captionLeavesTheAreaInView_data()
{
    // Areas of a 480 × 314 picture as the main window's parts lie in it.
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<bool>("beside");
    QTest::newRow("strip along the left") << QRectF(0, 0, 45, 300) << true;
    QTest::newRow("strip along the top") << QRectF(45, 20, 435, 16) << true;
    QTest::newRow("strip at the bottom left") << QRectF(45, 290, 250, 12) << true;
    QTest::newRow("pane at the right") << QRectF(300, 36, 180, 270) << true;
    QTest::newRow("area filling the picture") << QRectF(2, 2, 476, 310) << false;
}

void TestGuide::captionLeavesTheAreaInView()
{
    QFETCH(QRectF, area);
    QFETCH(bool, beside);
    const QRectF picture(0, 0, 480, 314);
    const QSizeF size(250, 48);
    const QRectF place = DemoAnimation::captionPlace(area, size, picture);
    QCOMPARE(place.size(), size);
    QVERIFY(picture.contains(place) || !beside);
    QCOMPARE(!place.intersects(area), beside);
}

void TestGuide::lockedWindowHidesTheDomains()
{
    TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 20; ++i)
        db.insert({QStringLiteral("secret%1.com").arg(i), QStringLiteral("8888")});
    QCOMPARE(db.exec(QStringLiteral("update jz_ub set ub2='1'")), QString());
    QCOMPARE(db.module()->Query_jz_ub()->open().error(), QString());
    Tmian w;
    w.bindData(db.module());
    auto* help = new Thelp(&w);
    w.setDialogs(help, nullptr, nullptr, nullptr, nullptr, nullptr);
    w.FormShow();
    QVERIFY(!w.isNavigationEnabled()); // locked
    help->animation()->refresh();
    const QImage picture = help->animation()->picture();
    const QRect area = help->animation()->areas()[2];
    const qreal dpr = picture.devicePixelRatio();
    const QImage list =
        w.Fr_guanli1()->bsSkinDBGrid1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(
        picture.copy(QRect(area.topLeft() * dpr, area.size() * dpr)).convertToFormat(QImage::Format_RGB32) !=
        list);
}

// ---------- About ----------

void TestGuide::aboutLinkOpensSiteAndStaysOpen()
{
    QStringList opened;
    Platform::setBrowserHook([&](const QString& address) { opened << address; });
    Tabout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QVERIFY(about.isModal());
    QCOMPARE(about.size(), QSize(497, 267));
    QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
    LinkLabel* link = about.findChild<LinkLabel*>(QStringLiteral("bsSkinLinkLabel1"));
    QVERIFY(link);
    QCOMPARE(link->text(), QUrl(site::kHomePage).host());
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(link->geometry().right() < link->parentWidget()->width());
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, link->height() / 2));
    QCOMPARE(opened, QStringList{site::kHomePage});
    QVERIFY(about.isVisible());
    QCOMPARE(about.result(), 0);
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Return);
    QCOMPARE(opened.size(), 2);
    QVERIFY(about.isVisible());
    // Blue under the pointer.
    QVERIFY(!link->isHovered());
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), link->mapToGlobal(QPointF(3, 3)));
    QApplication::sendEvent(link, &enter);
    QVERIFY(link->isHovered());
    QImage shown = link->grab().toImage();
    bool blue = false;
    for (int y = 0; y < shown.height() && !blue; ++y)
        for (int x = 0; x < shown.width() && !blue; ++x)
            blue = shown.pixelColor(x, y) == LinkLabel::hoverColor();
    QVERIFY(blue);
    QCOMPARE(MessageBox::takeShown().size(), 0);
}

void TestGuide::aboutWarningCannotBeTouched()
{
    Tabout about;
    about.show();
    QTextEdit* warning = about.findChild<QTextEdit*>(QStringLiteral("bsSkinRichEdit1"));
    QVERIFY(warning);
    QCOMPARE(warning->size(), QSize(313, 105));
    const QStringList lines = warning->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.first(), QStringLiteral("警告！"));
    QVERIFY(!warning->isEnabled());
    QVERIFY(warning->isReadOnly());
    QCOMPARE(warning->focusPolicy(), Qt::NoFocus);
    QCOMPARE(warning->textInteractionFlags(), Qt::NoTextInteraction);
    QCOMPARE(warning->verticalScrollBar()->maximum(), 0); // the six lines fit: nothing to scroll
    QCOMPARE(warning->horizontalScrollBar()->maximum(), 0);
    const QString before = warning->toPlainText();
    QTest::mouseDClick(warning->viewport(), Qt::LeftButton, {}, QPoint(40, 30));
    QTest::keyClicks(warning, QStringLiteral("x"));
    QTest::keyClick(warning, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(warning->toPlainText(), before);
    QVERIFY(!warning->textCursor().hasSelection());
    // Tab never lands on the warning; the link is the one stop.
    QVERIFY(about.focusWidget() != warning);
}

void TestGuide::versionIsSharedWithMainWindow()
{
    Tabout about;
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel4"))->text(), QStringLiteral("V1.0"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel1"))->text(), QStringLiteral("版 本:"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel2"))->text(), QStringLiteral("官 网:"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("bsSkinStdLabel6"))->text(), QStringLiteral("岚 枢"));
    QCOMPARE(about.findChild<QGroupBox*>(QStringLiteral("bsSkinGroupBox1"))->title(),
             QStringLiteral("版本及相关信息"));
    Tmian w;
    QCOMPARE(w.windowTitle(), QStringLiteral("岚枢 V1.0"));
}

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
