#include "Backup.h"

#include "Connection.h"
#include "platform/Platform.h"

#include <QDir>
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

// The names of the copies in the folder, oldest first.
QStringList copiesIn(const Platform::Folder& folder, const QString& dbPath)
{
    const QRegularExpression pattern = copyName(dbPath);
    // By stamp; a further copy within one second carries "-2", "-3", ... and sorts after the first.
    std::vector<std::tuple<QString, int, QString>> found;
    for (const QString& name : folder.fileNames()) {
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

} // namespace

QString folderFor(const QString& dbPath)
{
    return QFileInfo(dbPath).absoluteDir().filePath(QStringLiteral("backups"));
}

QStringList copies(const QString& dbPath)
{
    // Never through a link: a linked folder holds no copies of ours.
    return copiesIn(Platform::Folder(folderFor(dbPath), Platform::Folder::OpenExisting), dbPath);
}

QString make(Connection* connection, const QString& dbPath, const QDateTime& now)
{
    // The folder is made, narrowed and pruned only when it is a folder of its own: a link there (to a
    // folder of someone else's, say) means no copy, and nothing done there.
    Platform::Folder folder(folderFor(dbPath), Platform::Folder::CreateMissing);
    if (!folder.isOpen())
        return QStringLiteral("无法备份数据库文件：%1").arg(folder.error());
    folder.narrow();

    const QString base = stem(dbPath) + QLatin1Char('-') + now.toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    QString name = base + suffix(dbPath);
    for (int n = 2; folder.contains(name); ++n)
        name = base + QStringLiteral("-%1").arg(n) + suffix(dbPath);

    // A read transaction: no other program can write the file while it is copied. Should the engine not
    // give one, the copy is still made, as the file stands.
    const bool inTransaction =
        connection && connection->isOpen() && connection->execute(QStringLiteral("begin")).isEmpty();
    if (inTransaction)
        (void)connection->execute(QStringLiteral("select count(*) from sqlite_master"));
    const QString error = folder.copyFile(dbPath, name);
    if (inTransaction)
        (void)connection->execute(QStringLiteral("commit")); // it only read: nothing to lose
    if (!error.isEmpty())
        return QStringLiteral("无法备份数据库文件到“%1”：%2")
            .arg(QDir::toNativeSeparators(QDir(folder.path()).filePath(name)), error);

    const QStringList all = copiesIn(folder, dbPath);
    for (qsizetype i = 0; i + kKept < all.size(); ++i)
        folder.removeFile(all[i]);
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
