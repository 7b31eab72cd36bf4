// Where the user's files live: a copy run from its own folder keeps them there, an installed copy in the
// user's data folder, which its first start makes (private) and fills with the shipped files, never
// replacing a file that is already there.
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The permission bits of a file or folder, as the system keeps them.
int modeOf(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return 0;
#else
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
#endif
}

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value, bool set = true)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (set)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void folderDecision_data();
    void folderDecision();
    void userDataFolder_data();
    void userDataFolder();

    void firstStartSeedsPrivateFolder();
    void seedingNeverOverwrites_data();
    void seedingNeverOverwrites();
    void seedingFailures_data();
    void seedingFailures();

    void filesFromTheCurrentDirectory();
    void filesFromTheDataFolder();

private:
    // A program folder with the shipped files, each holding "shipped <name>", readable by everyone as
    // installed files are.
    QString makeShipped();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPlatform::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestPlatform::makeShipped()
{
    const QString from = m_dir->filePath(QStringLiteral("program/"));
    QDir().mkpath(from);
    for (const QString& name : Platform::shippedFiles()) {
        writeFile(from + name, "shipped " + name.toUtf8());
        QFile::setPermissions(from + name,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return from;
}

void TestPlatform::folderDecision_data()
{
    QTest::addColumn<QString>("marker"); // what lies beside the program under the marker's name
    QTest::addColumn<bool>("installed");
    QTest::newRow("run from its own folder") << QString() << false;
    QTest::newRow("installed") << QStringLiteral("file") << true;
    QTest::newRow("empty marker file") << QStringLiteral("empty") << true;
    QTest::newRow("a folder under the marker's name") << QStringLiteral("folder") << false;
}

void TestPlatform::folderDecision()
{
    QFETCH(QString, marker);
    QFETCH(bool, installed);
    const QString program = m_dir->filePath(QStringLiteral("lib/lanshu/"));
    QVERIFY(QDir().mkpath(program));
    const QString markerPath = program + Platform::kInstalledMarker;
    if (marker == QLatin1String("file"))
        writeFile(markerPath, "installed\n");
    else if (marker == QLatin1String("empty"))
        writeFile(markerPath, {});
    else if (marker == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(markerPath));
    const ScopedEnv home("HOME", m_dir->filePath(QStringLiteral("home")).toLocal8Bit());
    const ScopedEnv xdg("XDG_DATA_HOME", {}, false);

    QCOMPARE(Platform::isInstalledCopy(program), installed);
    const QString expected =
        installed ? m_dir->filePath(QStringLiteral("home/.local/share/lanshu/")) : program;
    QCOMPARE(Platform::dataFolderFor(program), expected);
    // The copy these tests run from is not an installed one: its files stay beside it.
    QCOMPARE(Platform::dataFolder(), Platform::programFolder());
}

void TestPlatform::userDataFolder_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected"); // "~" stands for the home folder
    QTest::newRow("unset") << false << QString() << QStringLiteral("~/.local/share/lanshu/");
    QTest::newRow("empty") << true << QString() << QStringLiteral("~/.local/share/lanshu/");
    QTest::newRow("absolute") << true << QStringLiteral("/srv/data") << QStringLiteral("/srv/data/lanshu/");
    QTest::newRow("trailing slash") << true << QStringLiteral("/srv/data/")
                                    << QStringLiteral("/srv/data/lanshu/");
    QTest::newRow("relative is ignored")
        << true << QStringLiteral("data") << QStringLiteral("~/.local/share/lanshu/");
}

void TestPlatform::userDataFolder()
{
#ifdef Q_OS_WIN
    QSKIP("the user's data folder on Windows is the roaming application data");
#endif
    QFETCH(bool, set);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    const QString homeFolder = m_dir->filePath(QStringLiteral("home"));
    const ScopedEnv home("HOME", homeFolder.toLocal8Bit());
    const ScopedEnv xdg("XDG_DATA_HOME", xdgDataHome.toLocal8Bit(), set);
    expected.replace(QLatin1Char('~'), homeFolder);
    QCOMPARE(Platform::userDataFolder(), expected);
}

void TestPlatform::firstStartSeedsPrivateFolder()
{
    const QString from = makeShipped();
    // The data folder's parents are missing too, as in a new account without ~/.local/share.
    const QString to = m_dir->filePath(QStringLiteral("home/.local/share/lanshu/"));
    QCOMPARE(Platform::seedDataFolder(from, to), QString());
    QVERIFY(QFileInfo(to).isDir());
#ifndef Q_OS_WIN
    QCOMPARE(modeOf(to), 0700);
#endif
    for (const QString& name : Platform::shippedFiles()) {
        QCOMPARE(readFile(to + name), "shipped " + name.toUtf8());
#ifndef Q_OS_WIN
        QCOMPARE(modeOf(to + name), 0600);
#endif
    }
    // Only the shipped files, no temporary file left from the copying.
    QDir folder(to);
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
             Platform::shippedFiles().size());
}

void TestPlatform::seedingNeverOverwrites_data()
{
    QTest::addColumn<QString>("kept"); // the file the user has already
    QTest::addColumn<int>("folderMode");
    QTest::newRow("portfolio") << QStringLiteral("service.dll") << 0700;
    QTest::newRow("settings, folder open to others") << QStringLiteral("iset.ini") << 0755;
    QTest::newRow("report project") << QStringLiteral("yuming.rav") << 0750;
}

void TestPlatform::seedingNeverOverwrites()
{
    QFETCH(QString, kept);
    QFETCH(int, folderMode);
    const QString from = makeShipped();
    const QString to = m_dir->filePath(QStringLiteral("data/"));
    QVERIFY(QDir().mkpath(to));
#ifndef Q_OS_WIN
    QCOMPARE(::chmod(QFile::encodeName(to).constData(), mode_t(folderMode)), 0);
#endif
    writeFile(to + kept, "the user's own");

    QCOMPARE(Platform::seedDataFolder(from, to), QString());
    for (const QString& name : Platform::shippedFiles())
        QCOMPARE(readFile(to + name),
                 name == kept ? QByteArray("the user's own") : "shipped " + name.toUtf8());
#ifndef Q_OS_WIN
    QCOMPARE(modeOf(to), 0700);
#else
    Q_UNUSED(folderMode);
#endif

    // A later start, after an update changed the shipped files, keeps every file the user has; one the
    // user removed comes back as shipped.
    for (const QString& name : Platform::shippedFiles()) {
        QFile::setPermissions(from + name, QFile::ReadOwner | QFile::WriteOwner);
        writeFile(from + name, "updated " + name.toUtf8());
    }
    const QString removed = Platform::shippedFiles().constFirst() == kept
                                ? Platform::shippedFiles().constLast()
                                : Platform::shippedFiles().constFirst();
    QVERIFY(QFile::remove(to + removed));
    QCOMPARE(Platform::seedDataFolder(from, to), QString());
    for (const QString& name : Platform::shippedFiles()) {
        const QByteArray expected = name == kept      ? QByteArray("the user's own")
                                    : name == removed ? "updated " + name.toUtf8()
                                                      : "shipped " + name.toUtf8();
        QCOMPARE(readFile(to + name), expected);
    }
}

void TestPlatform::seedingFailures_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("reason");
    QTest::newRow("data folder is a file") << QStringLiteral("file") << QStringLiteral("无法建立数据文件夹");
    QTest::newRow("shipped file missing") << QStringLiteral("missing") << QStringLiteral("无法把");
    QTest::newRow("data folder is a link to another folder")
        << QStringLiteral("folder link") << QStringLiteral("无法建立数据文件夹");
    QTest::newRow("a link of the user's, even broken, is kept") << QStringLiteral("link") << QString();
}

void TestPlatform::seedingFailures()
{
    QFETCH(QString, what);
    QFETCH(QString, reason);
    const QString from = makeShipped();
    const QString to = m_dir->filePath(QStringLiteral("data/"));
    const QString first = Platform::shippedFiles().constFirst();
    // The folder a link named like the data folder points to: someone else's, open to others.
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
    constexpr QFileDevice::Permissions kOpenFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                     QFileDevice::ExeOther;
    if (what == QLatin1String("file")) {
        writeFile(m_dir->filePath(QStringLiteral("data")), "not a folder");
    } else if (what == QLatin1String("missing")) {
        QVERIFY(QFile::remove(from + first));
    } else if (what == QLatin1String("folder link")) {
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::setPermissions(elsewhere, kOpenFolder));
        QVERIFY(QFile::link(elsewhere, m_dir->filePath(QStringLiteral("data"))));
    } else {
        QVERIFY(QDir().mkpath(to));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("elsewhere.dll")), to + first));
    }

    const QString error = Platform::seedDataFolder(from, to);
    if (reason.isEmpty()) {
        QCOMPARE(error, QString());
        QVERIFY(QFileInfo(to + first).isSymLink());
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("elsewhere.dll"))));
    } else {
        QVERIFY2(error.startsWith(reason), qPrintable(error));
        // The path is named, and nothing half-made is left in its place.
        QVERIFY2(error.contains(QDir::toNativeSeparators(m_dir->path())), qPrintable(error));
        QVERIFY(!QFileInfo(to + first).isFile());
    }
    if (what == QLatin1String("folder link")) {
        // Nothing put there, and its mode as it was.
        QVERIFY(
            QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
#ifndef Q_OS_WIN
        QCOMPARE(modeOf(elsewhere), 0705);
#endif
    }
}

QTEST_GUILESS_MAIN(TestPlatform)
void TestPlatform::filesFromTheCurrentDirectory()
{
    // The database, its backups and the report project follow the current directory, wherever the
    // program is.
    const QString before = QDir::currentPath();
    const QString here = QDir(m_dir->path()).canonicalPath();
    QVERIFY(QDir::setCurrent(here));
    const QString database = Files::database();
    const QString folder = Files::databaseFolder();
    const QString backups = Files::backupFolder(database);
    const QString project = Files::reportProject();
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(database, QStringLiteral("service.dll"));
    QVERIFY(QDir::isRelativePath(database));
    QCOMPARE(folder, here);
    QCOMPARE(backups, here + QStringLiteral("/backups"));
    QCOMPARE(project, here + QStringLiteral("/yuming.rav"));
    // The backups of a database elsewhere are beside that one.
    QCOMPARE(Files::backupFolder(QStringLiteral("/srv/data/other.db")), QStringLiteral("/srv/data/backups"));
}

void TestPlatform::filesFromTheDataFolder()
{
    QCOMPARE(Files::settings(), Platform::dataFolder() + QStringLiteral("iset.ini"));
    QCOMPARE(Files::settings(QStringLiteral("/tmp/x/")), QStringLiteral("/tmp/x/iset.ini"));
    QCOMPARE(Files::inDataFolder(QStringLiteral("yuming.pdf")),
             Platform::dataFolder() + QStringLiteral("yuming.pdf"));
    // What an installed copy's data folder starts with: the database, the settings, the report project.
    QCOMPARE(Platform::shippedFiles(), QStringList({QStringLiteral("service.dll"), QStringLiteral("iset.ini"),
                                                    QStringLiteral("yuming.rav")}));
}

#include "tst_platform.moc"
