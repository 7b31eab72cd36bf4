#include "Platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
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
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (!entry.ip().isLoopback() && !entry.ip().isLinkLocal())
                return true;
        }
    }
    return false;
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
