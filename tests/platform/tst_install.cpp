// The installation: cmake --install of this build into a scratch prefix, the layout it makes, the desktop's
// own validators over the menu entry and its description, and the installed program's first start for two
// new users, each of whom gets a data folder of their own. Then the Debian package made from the build,
// checked by Debian's own package checker.
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kAppId = QStringLiteral("io.github.lanshu.lanshu");

// Runs a program to its end; returns its exit code (-1 when it could not start) and its output.
int run(const QString& program, const QStringList& args, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted() || !process.waitForFinished(300000))
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void layout();
    void icons_data();
    void icons();
    void validators_data();
    void validators();
    void firstStartOfEachUser();
    void debianPackage();

private:
    QString prefix(const QString& path) const { return m_prefix.filePath(path); }

    QTemporaryDir m_prefix;
};

void TestInstall::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the installed layout and the menu entry are those of a Linux desktop");
#endif
    QVERIFY(m_prefix.isValid());
    QByteArray output;
    const int rc = run(QStringLiteral(LANSHU_CMAKE),
                       {QStringLiteral("--install"), QStringLiteral(LANSHU_BUILD_DIR),
                        QStringLiteral("--prefix"), m_prefix.path()},
                       &output);
    QVERIFY2(rc == 0, output.constData());
}

void TestInstall::layout()
{
    const QString program = prefix(QStringLiteral("lib/lanshu/lanshu"));
    QVERIFY(QFileInfo(program).isExecutable());
    // The command is a link to the program, so that the program finds its own folder through it.
    const QFileInfo command(prefix(QStringLiteral("bin/lanshu")));
    QVERIFY(command.isSymLink());
    QCOMPARE(QFileInfo(command.canonicalFilePath()), QFileInfo(program));

    // The installed copy knows itself as one, and has every file a user's data folder starts with.
    const QString folder = prefix(QStringLiteral("lib/lanshu/"));
    QVERIFY(Platform::isInstalledCopy(folder));
    for (const QString& name : Platform::shippedFiles())
        QVERIFY2(QFileInfo(folder + name).isFile() && QFileInfo(folder + name).size() > 0, qPrintable(name));
    // The database file is the shipped, encrypted one: no plain database header.
    QFile database(folder + QStringLiteral("service.dll"));
    QVERIFY(database.open(QIODevice::ReadOnly));
    QVERIFY(!database.read(16).startsWith("SQLite format 3"));
    // The build's ready folder is a copy run from its own folder.
    QVERIFY(!Platform::isInstalledCopy(QStringLiteral(LANSHU_BUILD_DIR "/dist/")));
}

void TestInstall::icons_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::icons()
{
    QFETCH(int, size);
    const QImage icon(prefix(QStringLiteral("share/icons/hicolor/%1x%1/apps/lanshu.png").arg(size)));
    QCOMPARE(icon.size(), QSize(size, size));
    // Drawn, not empty: the tile covers the middle, the corners stay clear.
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QVERIFY(QFileInfo(prefix(QStringLiteral("share/icons/hicolor/scalable/apps/lanshu.svg"))).size() > 0);
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("menu entry") << QStringLiteral("desktop-file-validate")
                                << QStringList{
                                       prefix(QStringLiteral("share/applications/%1.desktop").arg(kAppId))};
    QTest::newRow("description") << QStringLiteral("appstreamcli")
                                 << QStringList{
                                        QStringLiteral("validate"), QStringLiteral("--no-net"),
                                        prefix(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId))};
    // The description, the menu entry it launches and the icon, found together under the prefix.
    QTest::newRow("installed tree") << QStringLiteral("appstreamcli")
                                    << QStringList{QStringLiteral("validate-tree"),
                                                   QStringLiteral("--no-net"), m_prefix.path()};
}

void TestInstall::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    const QString found = QStandardPaths::findExecutable(program);
    QVERIFY2(!found.isEmpty(),
             qPrintable(program + QStringLiteral(" is not installed: run scripts/setup.sh")));
    QByteArray output;
    const int rc = run(found, args, &output);
    QVERIFY2(rc == 0, output.constData());
    // No warning either: a file that passes with remarks is not what ships.
    QVERIFY2(!output.contains("W:") && !output.contains("warning"), output.constData());
}

void TestInstall::firstStartOfEachUser()
{
    // Two new users, started from a folder that is neither the program's nor their data folder.
    QTemporaryDir users;
    QVERIFY(users.isValid());
    const QString elsewhere = users.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    for (const QString& user : {QStringLiteral("first"), QStringLiteral("second")}) {
        const QString home = users.filePath(user);
        const QString runtime = home + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        // Its own runtime folder, so that no other copy of the program running now refuses this start.
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

        QProcess lanshu;
        lanshu.setProcessEnvironment(env);
        lanshu.setWorkingDirectory(elsewhere);
        lanshu.setProcessChannelMode(QProcess::ForwardedChannels);
        lanshu.start(prefix(QStringLiteral("bin/lanshu")), {});
        QVERIFY(lanshu.waitForStarted());
        // The first start makes the data folder, fills it and opens the database there: the day's first
        // backup of the database appears beside it.
        const QString data = home + QStringLiteral("/.local/share/lanshu/");
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(data + QStringLiteral("backups")).isEmpty(QDir::Files) ||
                                     lanshu.state() == QProcess::NotRunning,
                                 120000);
        const bool stillRunning = lanshu.state() == QProcess::Running;
        lanshu.kill();
        lanshu.waitForFinished();
        QVERIFY2(stillRunning, qPrintable(user + QStringLiteral(": the program ended at its first start")));
        for (const QString& name : Platform::shippedFiles())
            QVERIFY2(QFileInfo(data + name).isFile(), qPrintable(data + name));
        QCOMPARE(QFileInfo(data).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        // Nothing was written beside the installed program or in the folder it was started from.
        QVERIFY(QDir(elsewhere).isEmpty());
        QCOMPARE(QDir(prefix(QStringLiteral("lib/lanshu"))).entryList(QDir::Files).size(),
                 Platform::shippedFiles().size() + 2);
    }
}

void TestInstall::debianPackage()
{
#ifdef Q_OS_WIN
    QSKIP("the Debian package is made on Linux");
#endif
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    QVERIFY2(!lintian.isEmpty(), "lintian is not installed: run scripts/setup.sh");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QByteArray output;
    int rc = run(QStringLiteral(LANSHU_CPACK),
                 {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                  QStringLiteral(LANSHU_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out.path()},
                 &output);
    QVERIFY2(rc == 0, output.constData());
    const QStringList packages = QDir(out.path()).entryList({QStringLiteral("lanshu_*.deb")}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    const QString deb = QDir(out.path()).filePath(packages.first());

    // No error and no warning; informational remarks are allowed.
    rc = run(lintian, {deb}, &output);
    QVERIFY2(rc == 0, output.constData());
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray& line : lines)
        QVERIFY2(!line.startsWith("E:") && !line.startsWith("W:"), output.constData());

    // What the system must bring along that the linker cannot see: Qt's Chinese translations for the
    // standard dialogs, and the input-method module for Chinese input with fcitx5.
    const struct
    {
        const char* field;
        const char* package;
    } relations[] = {{"Depends", "qt6-translations-l10n"}, {"Recommends", "fcitx5-frontend-qt6"}};
    for (const auto& relation : relations) {
        rc = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QString::fromLatin1(relation.field)},
                 &output);
        QVERIFY2(rc == 0, output.constData());
        const QStringList names = QString::fromUtf8(output).split(QRegularExpression(QStringLiteral("[,|]")));
        bool found = false;
        for (const QString& name : names)
            found =
                found || name.trimmed().section(QLatin1Char(' '), 0, 0) == QLatin1String(relation.package);
        QVERIFY2(found, qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(relation.field),
                                                                QString::fromUtf8(output))));
    }
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
