#include "Backup.h"

#include "Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>
#include <vector>

namespace backup {

namespace {

bool g_reported = false;

// "service" and ".dll" of service.dll; the stamp goes in between.
QString stem(const QString& dbPath)
{
    return QFileInfo(dbPath).completeBaseName();
}
QString suffix(const QString& dbPath)
{
    const QString s = QFileInfo(dbPath).suffix();
    return s.isEmpty() ? QString() : QLatin1Char('.') + s;
}

QRegularExpression copyName(const QString& dbPath)
{
    // 1: the day, 2: the time, 3: the number of a further copy within the same second.
    return QRegularExpression(
        QStringLiteral("^%1-(\\d{4}-\\d{2}-\\d{2})_(\\d{6})(?:-(\\d+))?%2$")
            .arg(QRegularExpression::escape(stem(dbPath)), QRegularExpression::escape(suffix(dbPath))));
}

QString copyFile(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return out.errorString();
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
    if (!error.isEmpty())
        out.remove();
    return error;
}

} // namespace

QString folderFor(const QString& dbPath)
{
    return QFileInfo(dbPath).absoluteDir().filePath(QStringLiteral("backups"));
}

QStringList copies(const QString& dbPath)
{
    const QRegularExpression pattern = copyName(dbPath);
    // By stamp; a further copy within one second carries "-2", "-3", ... and sorts after the first.
    std::vector<std::tuple<QString, int, QString>> found;
    for (const QString& name : QDir(folderFor(dbPath)).entryList(QDir::Files)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            found.emplace_back(m.captured(1) + m.captured(2), m.captured(3).toInt(), name);
    }
    std::sort(found.begin(), found.end());
    QStringList names;
    for (const auto& entry : found)
        names << std::get<2>(entry);
    return names;
}

QString make(Connection* connection, const QString& dbPath, const QDateTime& now)
{
    const QString folder = folderFor(dbPath);
    const QString shownFolder = QDir::toNativeSeparators(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("无法备份数据库文件：无法创建文件夹“%1”").arg(shownFolder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString base = stem(dbPath) + QLatin1Char('-') + now.toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    QString name = base + suffix(dbPath);
    for (int n = 2; QFile::exists(QDir(folder).filePath(name)); ++n)
        name = base + QStringLiteral("-%1").arg(n) + suffix(dbPath);
    const QString target = QDir(folder).filePath(name);

    // A read transaction: no other program can write the file while it is copied. Should the engine not
    // give one, the copy is still made, as the file stands.
    const bool inTransaction =
        connection && connection->isOpen() && connection->execute(QStringLiteral("begin")).isEmpty();
    if (inTransaction)
        (void)connection->execute(QStringLiteral("select count(*) from sqlite_master"));
    const QString error = copyFile(dbPath, target);
    if (inTransaction)
        (void)connection->execute(QStringLiteral("commit")); // it only read: nothing to lose
    if (!error.isEmpty())
        return QStringLiteral("无法备份数据库文件到“%1”：%2").arg(QDir::toNativeSeparators(target), error);

    const QStringList all = copies(dbPath);
    for (qsizetype i = 0; i + kKept < all.size(); ++i)
        QFile::remove(QDir(folder).filePath(all[i]));
    return {};
}

QString makeDaily(Connection* connection, const QString& dbPath, const QDateTime& now)
{
    const QRegularExpression pattern = copyName(dbPath);
    const QString today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString& name : copies(dbPath)) {
        if (pattern.match(name).captured(1) == today)
            return {};
    }
    return make(connection, dbPath, now);
}

bool reportFailureOnce()
{
    if (g_reported)
        return false;
    g_reported = true;
    return true;
}

} // namespace backup
