#include "Platform.h"

#include "Files.h"

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
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <sys/prctl.h>
#endif
#endif
#ifdef __GLIBC__
#include <malloc.h>
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

namespace {
QString linkedFolderText(const QString& shown)
{
    return QStringLiteral("“%"
                          "1”是一个链接，不是文件夹；为免改动别处的文件，程序不会通过链接在那里存放、删除文件"
                          "或更改权限。")
        .arg(shown);
}

#ifndef Q_OS_WIN
QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
#endif
} // namespace

Platform::Folder::Folder(const QString& path, Mode mode)
{
    // A separator at the end would have the system follow a link to a folder.
    m_path = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QString shown = QDir::toNativeSeparators(m_path);
#ifdef Q_OS_WIN
    const QFileInfo info(m_path);
    if (info.isSymLink() || info.isJunction())
        m_error = linkedFolderText(shown);
    else if (!info.exists() && mode == OpenExisting)
        m_error = QStringLiteral("文件夹“%1”不存在").arg(shown);
    else if (!info.exists() && !QDir().mkdir(m_path))
        m_error = QStringLiteral("无法创建文件夹“%1”").arg(shown);
    else if (info.exists() && !info.isDir())
        m_error = QStringLiteral("“%1”不是文件夹").arg(shown);
#else
    const QByteArray name = QFile::encodeName(m_path);
    if (mode == CreateMissing && ::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        m_error = QStringLiteral("无法创建文件夹“%1”（%2）").arg(shown, systemErrorText(errno));
        return;
    }
    m_fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd >= 0)
        return;
    const int error = errno;
    struct stat st
    {
    };
    if (::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        m_error = linkedFolderText(shown);
    else if (error == ENOENT)
        m_error = QStringLiteral("文件夹“%1”不存在").arg(shown);
    else if (error == ENOTDIR)
        m_error = QStringLiteral("“%1”不是文件夹").arg(shown);
    else
        m_error = QStringLiteral("无法打开文件夹“%1”（%2）").arg(shown, systemErrorText(error));
#endif
}

Platform::Folder::~Folder()
{
#ifndef Q_OS_WIN
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool Platform::Folder::narrow()
{
    if (!isOpen())
        return false;
#ifdef Q_OS_WIN
    return QFile::setPermissions(m_path,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#else
    return ::fchmod(m_fd, 0700) == 0;
#endif
}

QStringList Platform::Folder::fileNames() const
{
    QStringList names;
    if (!isOpen())
        return names;
#ifdef Q_OS_WIN
    const QDir dir(m_path);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!info.isSymLink())
            names << info.fileName();
    }
#else
    // The listing reads its own copy of the handle, from the start.
    const int fd = ::dup(m_fd);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st
        {
        };
        if (::fstatat(m_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
#endif
    return names;
}

bool Platform::Folder::contains(const QString& name) const
{
#ifdef Q_OS_WIN
    const QFileInfo info(QDir(m_path).filePath(name));
    return info.exists() || info.isSymLink();
#else
    struct stat st
    {
    };
    // Anything but "no such name" counts as there: nothing is made over what could not be looked at.
    return isOpen() && (::fstatat(m_fd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 ||
                        errno != ENOENT);
#endif
}

bool Platform::Folder::createFile(const QString& name, QFile& file) const
{
    if (!isOpen())
        return false;
#ifdef Q_OS_WIN
    file.setFileName(QDir(m_path).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
#else
    const int fd = ::openat(m_fd, QFile::encodeName(name).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#endif
}

bool Platform::Folder::removeFile(const QString& name) const
{
    if (!isOpen())
        return false;
#ifdef Q_OS_WIN
    const QFileInfo info(QDir(m_path).filePath(name));
    return (info.isSymLink() || !info.isDir()) && QFile::remove(info.filePath());
#else
    const QByteArray local = QFile::encodeName(name);
    struct stat st
    {
    };
    return ::fstatat(m_fd, local.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode) &&
           ::unlinkat(m_fd, local.constData(), 0) == 0;
#endif
}

QString Platform::Folder::copyFile(const QString& source, const QString& name) const
{
    if (!isOpen())
        return m_error;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    // Written whole under a name of its own, then given its name: a copy cut short leaves no half file.
    const QString part = QLatin1Char('.') + name + QStringLiteral(".part");
    removeFile(part); // left by a copy that was cut short
    QFile out;
    if (!createFile(part, out))
        return QStringLiteral("无法创建文件“%1”").arg(QDir::toNativeSeparators(QDir(m_path).filePath(part)));
    QString error;
    while (!in.atEnd() && error.isEmpty()) {
        const QByteArray chunk = in.read(1 << 20);
        if (in.error() != QFileDevice::NoError)
            error = in.errorString();
        else if (out.write(chunk) != chunk.size())
            error = out.errorString();
    }
    if (error.isEmpty() && !out.flush())
        error = out.errorString();
    out.close();
    if (error.isEmpty() && out.error() != QFileDevice::NoError)
        error = out.errorString();
#ifdef Q_OS_WIN
    if (error.isEmpty() && !QFile::rename(out.fileName(), QDir(m_path).filePath(name)))
        error = QStringLiteral("无法命名文件“%1”").arg(QDir::toNativeSeparators(QDir(m_path).filePath(name)));
#else
    if (error.isEmpty() && contains(name))
        error = QStringLiteral("“%1”已经存在").arg(QDir::toNativeSeparators(QDir(m_path).filePath(name)));
    if (error.isEmpty() &&
        ::renameat(m_fd, QFile::encodeName(part).constData(), m_fd, QFile::encodeName(name).constData()) != 0)
        error = systemErrorText(errno);
#endif
    if (!error.isEmpty())
        removeFile(part);
    return error;
}

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

void Platform::tuneMemory()
{
#ifdef __GLIBC__
    // Up to 64 MiB free at the top of the heap stays there; blocks below 32 MiB come from the heap (the
    // page streams of a PDF grow to several megabytes and would each be mapped afresh).
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    ::mallopt(M_TOP_PAD, 16 * 1024 * 1024);
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

void Platform::preferLargePages(const void* start, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLargePage = 2 * 1024 * 1024;
    const auto begin = reinterpret_cast<uintptr_t>(start);
    const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
    if (start && last > first)
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
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
    return Files::shipped();
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
    // Parents that are missing come into being private too (the process's file mask). The folder itself is
    // made or opened without following a link, and closed to everyone else even when the user made it
    // earlier with a wider mode; a link under its name would have the files put, and the mode changed,
    // wherever it points, so it is refused.
    const QString parent = QFileInfo(QDir::cleanPath(to)).absolutePath();
    if (!QDir().mkpath(parent))
        return QStringLiteral("无法建立数据文件夹“%1”。").arg(shown);
    Folder folder(to, Folder::CreateMissing);
    if (!folder.isOpen())
        return QStringLiteral("无法建立数据文件夹“%1”：%2").arg(shown, folder.error());
    if (!folder.narrow())
        return QStringLiteral("无法设置数据文件夹“%1”的权限。").arg(shown);
    for (const QString& name : shippedFiles()) {
        // A file there, or anything else under that name (a link, even a broken one), is the user's.
        if (folder.contains(name))
            continue;
        const QString source = QDir(from).filePath(name);
        if (!folder.copyFile(source, name).isEmpty())
            return QStringLiteral("无法把“%1”复制到数据文件夹“%2”。")
                .arg(QDir::toNativeSeparators(source), shown);
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
