#include "Backup.h"

#include "Connection.h"
#include "Statement.h"
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

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
    return Files::backupFolder(dbPath);
}

QStringList copies(const QString& dbPath)
{
    // Never through a link: a linked folder holds no copies of ours.
    return copiesIn(Platform::Folder(folderFor(dbPath), Platform::Folder::OpenExisting), dbPath);
}

Result make(Connection* connection, const QString& dbPath, const QDateTime& now, const QString& keep)
{
    // The folder is made, narrowed and pruned only when it is a folder of its own: a link there (to a
    // folder of someone else's, say) means no copy, and nothing done there.
    Platform::Folder folder(folderFor(dbPath), Platform::Folder::CreateMissing);
    if (!folder.isOpen())
        return Result::failure(QStringLiteral("无法备份数据库文件：%1").arg(folder.error()));
    folder.narrow();

    const QString base = stem(dbPath) + QLatin1Char('-') + now.toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    QString name = base + suffix(dbPath);
    for (int n = 2; folder.contains(name); ++n)
        name = base + QStringLiteral("-%1").arg(n) + suffix(dbPath);

    // A read transaction: no other program can write the file while it is copied. Should the engine not
    // give one, the copy is still made, as the file stands.
    const bool inTransaction =
        connection && connection->isOpen() && connection->execute(QStringLiteral("begin")).ok();
    if (inTransaction)
        (void)connection->execute(QStringLiteral("select count(*) from sqlite_master"));
    const QString error = folder.copyFile(dbPath, name);
    if (inTransaction)
        (void)connection->execute(QStringLiteral("commit")); // it only read: nothing to lose
    if (!error.isEmpty())
        return Result::failure(QStringLiteral("无法备份数据库文件到“%1”：%2")
                                   .arg(QDir::toNativeSeparators(QDir(folder.path()).filePath(name)), error));

    QStringList all = copiesIn(folder, dbPath);
    const bool kept = all.removeOne(keep); // counts among the ten, but goes last
    for (qsizetype i = 0; i + kKept < all.size() + (kept ? 1 : 0); ++i)
        folder.removeFile(all[i]);
    return Result::success();
}

Result makeDaily(Connection* connection, const QString& dbPath, const QDateTime& now)
{
    const QRegularExpression pattern = copyName(dbPath);
    const QString today = now.date().toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString& name : copies(dbPath)) {
        if (pattern.match(name).captured(1) == today)
            return Result::success();
    }
    return make(connection, dbPath, now);
}

Expected<int> check(const QString& copyPath, Check how)
{
    Connection copy;
    if (Result opened = copy.open(copyPath); !opened.ok())
        return opened;
    if (how == Check::Full) {
        const Expected<sqlite3_stmt*> stmt =
            Statement::prepare(&copy, QStringLiteral("pragma quick_check"), {});
        if (!stmt.ok())
            return stmt.result();
        QStringList problems;
        while (sqlite3_step(stmt.value()) == SQLITE_ROW)
            problems << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt.value(), 0)));
        if (sqlite3_errcode(copy.handle()) != SQLITE_DONE && sqlite3_errcode(copy.handle()) != SQLITE_OK)
            problems = {copy.lastError()};
        sqlite3_finalize(stmt.value());
        if (problems != QStringList{QStringLiteral("ok")})
            return Result::failure(problems.join(QLatin1Char('\n')));
    }
    const Expected<sqlite3_stmt*> stmt =
        Statement::prepare(&copy, QStringLiteral("select count(*) from tt_a"), {});
    if (!stmt.ok())
        return stmt.result();
    Expected<int> count = sqlite3_step(stmt.value()) == SQLITE_ROW
                              ? Expected<int>(sqlite3_column_int(stmt.value(), 0))
                              : Expected<int>(Result::failure(copy.lastError()));
    sqlite3_finalize(stmt.value());
    return count;
}

CopyInfo info(const QString& dbPath, const QString& name)
{
    CopyInfo info;
    info.name = name;
    const QRegularExpressionMatch m = copyName(dbPath).match(name);
    info.made = QDateTime(QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")),
                          QTime::fromString(m.captured(2), QStringLiteral("HHmmss")));
    info.bytes = QFileInfo(QDir(folderFor(dbPath)).filePath(name)).size();
    return info;
}

Expected<int> restore(Connection* connection, const QString& dbPath, const QString& name,
                      const QDateTime& now)
{
    if (!copies(dbPath).contains(name))
        return Result::failure(QStringLiteral("找不到备份“%1”").arg(name));
    const QString copyPath = QDir(folderFor(dbPath)).filePath(name);
    const Expected<int> checked = check(copyPath);
    if (!checked.ok())
        return Result::failure(QStringLiteral("备份“%1”已损坏，不能用来恢复：%2").arg(name, checked.error()));
    const int expected = checked.value();
    if (const Result failed = make(connection, dbPath, now, name); !failed.ok())
        return Result::failure(
            QStringLiteral("恢复前未能先备份现在的数据库，什么也没有改动。%1").arg(failed.error()));

    const Expected<sqlite3_stmt*> attach =
        Statement::prepare(connection, QStringLiteral("attach database :file as restored key :key"),
                           {{QStringLiteral("file"), copyPath},
                            {QStringLiteral("key"), QString::fromLatin1(Connection::kPassword)}});
    if (!attach.ok())
        return Result::failure(QStringLiteral("无法读取备份“%1”：%2").arg(name, attach.error()));
    const int attached = sqlite3_step(attach.value());
    sqlite3_finalize(attach.value());
    if (attached != SQLITE_DONE)
        return Result::failure(QStringLiteral("无法读取备份“%1”：%2").arg(name, connection->lastError()));
    QString error;

    const QString columns = QStringLiteral("aid, a1, a2, a3, a4, a5, a6, a7, a8, a9");
    int restored = -1;
    error = connection->execute(QStringLiteral("begin immediate")).error();
    if (error.isEmpty()) {
        error = connection
                    ->execute(QStringLiteral("delete from main.tt_a; insert into main.tt_a (%1) select %1 "
                                             "from restored.tt_a order by aid;")
                                  .arg(columns))
                    .error();
        int stored = -1;
        if (error.isEmpty()) {
            const Expected<sqlite3_stmt*> count =
                Statement::prepare(connection, QStringLiteral("select count(*) from main.tt_a"), {});
            if (count.ok()) {
                if (sqlite3_step(count.value()) == SQLITE_ROW)
                    stored = sqlite3_column_int(count.value(), 0);
                sqlite3_finalize(count.value());
            } else {
                error = count.error();
            }
            if (error.isEmpty() && stored != expected)
                error = QStringLiteral("恢复后的域名数 %1 与备份中的 %2 不符").arg(stored).arg(expected);
        }
        if (error.isEmpty())
            error = connection->execute(QStringLiteral("commit")).error();
        if (!error.isEmpty())
            (void)connection->execute(QStringLiteral("rollback"));
        else
            restored = stored;
    }
    (void)connection->execute(QStringLiteral("detach database restored"));
    if (!error.isEmpty())
        return Result::failure(QStringLiteral("未能从备份“%1”恢复，什么也没有改动：%2").arg(name, error));
    return restored;
}

bool reportFailureOnce()
{
    if (g_reported)
        return false;
    g_reported = true;
    return true;
}

} // namespace backup
