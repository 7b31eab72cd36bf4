#include "Platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInformation>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
#include <wininet.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#endif

namespace {
std::function<void(const QString&)> g_browserHook;
std::function<void(const QString&)> g_openFileHook;
std::function<bool()> g_networkHook;
std::function<QDate()> g_todayHook;

#ifndef Q_OS_WIN
// A folder that the user owns and that no one else can write: a lock there cannot be taken or replaced by
// another user. With tighten, a folder of the user's own that is open to others is closed first.
bool isPrivateFolder(const QByteArray& path, bool tighten)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 022) == 0)
        return true;
    return tighten && ::chmod(path.constData(), 0700) == 0;
}
#endif
} // namespace

QString Platform::SingleInstance::lockPath(const QString& name)
{
#ifdef Q_OS_WIN
    return name;
#else
    const QString file = QStringLiteral("/%1-%2.lock").arg(name).arg(::getuid());
    // The session's own runtime folder when it is private as it should be, else one of our own in the
    // temporary folder, named with the user id.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) &&
        isPrivateFolder(QFile::encodeName(runtime), false))
        return runtime + file;
    const QString own = QDir::tempPath() + QStringLiteral("/lanshu-%1").arg(::getuid());
    const QByteArray ownPath = QFile::encodeName(own);
    if (::mkdir(ownPath.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(ownPath, true) ? own + file : QString();
#endif
}

Platform::SingleInstance::SingleInstance(const QString& name)
{
#ifdef Q_OS_WIN
    m_handle = CreateMutexW(nullptr, TRUE, reinterpret_cast<LPCWSTR>(name.utf16()));
    if (m_handle) {
        m_held = true;
        m_alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    }
#else
    const QString lock = lockPath(name);
    if (lock.isEmpty())
        return; // no private folder: the program runs without the lock
    const QByteArray path = QFile::encodeName(lock);
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    m_held = true;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        m_alreadyRunning = true;
#endif
}

Platform::SingleInstance::~SingleInstance()
{
#ifdef Q_OS_WIN
    if (m_handle)
        CloseHandle(m_handle);
#else
    if (m_fd >= 0)
        ::close(m_fd); // closing drops the lock
#endif
}

void Platform::protectUserData()
{
#ifndef Q_OS_WIN
#ifdef Q_OS_LINUX
    // No core dump, and no other process of the user may read the memory (domains, passwords).
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
    ::umask(077);
#endif
}

QString Platform::programFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

const QString Platform::kInstalledMarker = QStringLiteral("lanshu.installed");

QString Platform::dataFolder()
{
    return dataFolderFor(programFolder());
}

QString Platform::dataFolderFor(const QString& programFolder)
{
    return isInstalledCopy(programFolder) ? userDataFolder() : programFolder;
}

bool Platform::isInstalledCopy(const QString& programFolder)
{
    return QFileInfo(programFolder + kInstalledMarker).isFile();
}

QString Platform::userDataFolder()
{
#ifdef Q_OS_WIN
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/AppData/Roaming");
#else
    // A relative XDG_DATA_HOME is invalid and ignored, as the desktop's base-directory rules say.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
#endif
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + QStringLiteral("lanshu/");
}

QStringList Platform::shippedFiles()
{
    // The database file, the settings file, the report project.
    return {QStringLiteral("service.dll"), QStringLiteral("iset.ini"), QStringLiteral("yuming.rav")};
}

QString Platform::prepareDataFolder()
{
    const QString program = programFolder();
    if (!isInstalledCopy(program))
        return {};
    const QString data = userDataFolder();
    const QString error = seedDataFolder(program, data);
    if (!error.isEmpty())
        return error;
    if (!QDir::setCurrent(data))
        return QStringLiteral("无法进入数据文件夹“%1”。").arg(QDir::toNativeSeparators(data));
    return {};
}

QString Platform::seedDataFolder(const QString& from, const QString& to)
{
    const QString shown = QDir::toNativeSeparators(to);
    // Parents that are missing come into being private too (the process's file mask); the folder itself
    // is closed to everyone else even when the user made it earlier with a wider mode.
    if (!QDir().mkpath(to) || !QFileInfo(to).isDir())
        return QStringLiteral("无法建立数据文件夹“%1”。").arg(shown);
    constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFile::setPermissions(to, kOwnerOnly | QFileDevice::ExeOwner))
        return QStringLiteral("无法设置数据文件夹“%1”的权限。").arg(shown);
    const QDir target(to);
    for (const QString& name : shippedFiles()) {
        const QString destination = target.filePath(name);
        // A file there, or anything else under that name (a link, even a broken one), is the user's.
        if (QFileInfo(destination).exists() || QFileInfo(destination).isSymLink())
            continue;
        const QString source = QDir(from).filePath(name);
        // QFile::copy writes a temporary file and renames it, so a copy cut short leaves no half file.
        if (!QFile::copy(source, destination))
            return QStringLiteral("无法把“%1”复制到数据文件夹“%2”。")
                .arg(QDir::toNativeSeparators(source), shown);
        // The copy takes the mode of the shipped file; the user's copy is the user's alone.
        QFile::setPermissions(destination, kOwnerOnly);
    }
    return {};
}

QString Platform::browserAddress(const QString& address, QString* error)
{
    const QString text = address.trimmed();
    QString refused;
    QString result;
    // A scheme is letters, digits, "+", "-" and "." before a colon; "example.com:8080" has a port there.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(?!\\d+(/|$))"));
    const QRegularExpressionMatch match = scheme.match(text);
    if (text.isEmpty()) {
        refused = QStringLiteral("没有可以打开的网址。");
    } else if (!match.hasMatch()) {
        result = QStringLiteral("http://") + text;
    } else if (const QString name = match.captured(1).toLower();
               name == QLatin1String("http") || name == QLatin1String("https")) {
        result = text;
    } else {
        refused =
            QStringLiteral("无法打开网址“%1”：只能打开以 http:// 或 https:// 开头的网页地址。").arg(text);
    }
    if (error)
        *error = refused;
    return result;
}

QString Platform::openInBrowser(const QString& requested)
{
    QString error;
    const QString address = browserAddress(requested, &error);
    if (address.isEmpty())
        return error;
    if (g_browserHook) {
        g_browserHook(address);
        return {};
    }
#ifdef Q_OS_WIN
    ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(address.utf16()), nullptr, nullptr, SW_SHOW);
#else
    // The user's choice first, then the system's default web browser.
    const QString chosen = qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0).trimmed();
    if (!chosen.isEmpty() && QProcess::startDetached(chosen, {address}))
        return {};
    for (const char* candidate : {"x-www-browser", "sensible-browser", "xdg-open"}) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(candidate));
        if (!program.isEmpty() && QProcess::startDetached(program, {address}))
            return {};
    }
#endif
    return {};
}

void Platform::openWithDefaultApplication(const QString& path)
{
    if (g_openFileHook) {
        g_openFileHook(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Platform::isNetworkConnected()
{
    if (g_networkHook)
        return g_networkHook();
#ifdef Q_OS_WIN
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
#else
    // The system's own answer first, where a backend for it is installed and running.
    if (QCoreApplication::instance() &&
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        switch (QNetworkInformation::instance()->reachability()) {
        case QNetworkInformation::Reachability::Online:
            return true;
        case QNetworkInformation::Reachability::Disconnected:
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
            return false;
        case QNetworkInformation::Reachability::Unknown:
            break;
        }
    }
    // Else: a way out of this machine exists when the routing table has a default route.
    auto read = [](const char* path) {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    return hasDefaultRoute(read("/proc/net/route"), read("/proc/net/ipv6_route"));
#endif
}

bool Platform::hasDefaultRoute(const QByteArray& ipv4Table, const QByteArray& ipv6Table)
{
    constexpr uint kRouteUp = 0x0001;     // RTF_UP
    constexpr uint kRouteReject = 0x0200; // RTF_REJECT: "unreachable" routes
    auto usable = [](const QByteArray& flagsHex) {
        bool ok = false;
        const uint flags = flagsHex.toUInt(&ok, 16);
        return ok && (flags & kRouteUp) && !(flags & kRouteReject);
    };
    // IPv4: Iface Destination Gateway Flags RefCnt Use Metric Mask ..., after a heading line.
    const QList<QByteArray> v4 = ipv4Table.split('\n');
    for (qsizetype i = 1; i < v4.size(); ++i) {
        const QList<QByteArray> f = v4[i].simplified().split(' ');
        if (f.size() >= 8 && f[1] == "00000000" && f[7] == "00000000" && usable(f[3]))
            return true;
    }
    // IPv6: destination, its prefix length, source, its prefix length, next hop, metric, refcnt, use,
    // flags, device; no heading line.
    const QByteArray anyAddress(32, '0');
    for (const QByteArray& line : ipv6Table.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 10 && f[0] == anyAddress && f[1] == "00" && f[9] != "lo" && usable(f[8]))
            return true;
    }
    return false;
}

void Platform::prepareEmbeddedBrowser()
{
#ifndef Q_OS_WIN
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    // The browser's own pages (a page that cannot be reached) speak the program's language, unless the
    // user chose one.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--lang=")) {
        flags = (flags.trimmed() + " --lang=zh-CN").trimmed();
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
}

QDate Platform::today()
{
    if (g_todayHook)
        return g_todayHook();
    return QDate::currentDate();
}

void Platform::setBrowserHook(std::function<void(const QString&)> hook)
{
    g_browserHook = std::move(hook);
}
void Platform::setOpenFileHook(std::function<void(const QString&)> hook)
{
    g_openFileHook = std::move(hook);
}
void Platform::setNetworkHook(std::function<bool()> hook)
{
    g_networkHook = std::move(hook);
}
void Platform::setTodayHook(std::function<QDate()> hook)
{
    g_todayHook = std::move(hook);
}
