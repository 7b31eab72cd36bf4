#include "Connection.h"

#include "Expiry.h"
#include "LikeMatcher.h"
#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>
#include <optional>
#include <sqlite3.h>
#include <string>

namespace {
// expiry_date(text): the expiry date read the way the list reads it, as "yyyy-mm-dd" so that it sorts
// by date; null when the text is not a readable date.
void expiryDateFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    if (!text) {
        sqlite3_result_null(context);
        return;
    }
    const QString date = expiry::normalised(std::string_view(text, size_t(sqlite3_value_bytes(args[0]))));
    if (date.isEmpty()) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray utf8 = date.toLatin1();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// X LIKE Y (called as like(Y, X)) with the matcher the search of the names held uses: the same rules,
// and letter case folded for every letter, where the engine's own LIKE folds A-Z only. A list the engine
// makes (the expiry lists within a search) then holds exactly the names the search holds.
void likeFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[1]));
    if (!pattern || !text) {
        sqlite3_result_null(context);
        return;
    }
    // The pattern is read once per statement run and kept with it.
    auto* kept = static_cast<const like::Pattern*>(sqlite3_get_auxdata(context, 0));
    std::optional<like::Pattern> own;
    if (!kept) {
        own.emplace(std::string_view(pattern, size_t(sqlite3_value_bytes(args[0]))), like::Folding::Unicode);
        if (own->tooComplex()) {
            sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
            return;
        }
        sqlite3_set_auxdata(context, 0, new like::Pattern(*own),
                            [](void* p) { delete static_cast<like::Pattern*>(p); });
    }
    const like::Pattern& compiled = kept ? *kept : *own;
    thread_local std::string folded;
    folded.clear();
    like::normalize(folded, std::string_view(text, size_t(sqlite3_value_bytes(args[1]))),
                    like::Folding::Unicode);
    sqlite3_result_int(context, compiled.matches(folded) ? 1 : 0);
}
} // namespace

const QString Connection::kFileName = Files::database();
const QByteArray Connection::kPassword = QByteArrayLiteral("h7$w2n5ke!9p");

Connection::~Connection()
{
    close();
}

void Connection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

namespace {

// The engine's text, with a Chinese explanation before it where the cause lies outside the program: the
// file cannot be written, or another program holds it.
QString describe(sqlite3* db, const QString& path)
{
    const QString engine = QString::fromUtf8(sqlite3_errmsg(db));
    switch (sqlite3_errcode(db) & 0xff) {
    case SQLITE_READONLY:
        return QStringLiteral("无法写入数据库文件“%1”：文件是只读的，或者没有写入它的权限。%2")
            .arg(path, engine);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件“%1”正被另一个程序使用，请关闭那个程序后再试。%2").arg(path, engine);
    default:
        return engine;
    }
}

qint64 pragmaNumber(sqlite3* db, const char* pragma)
{
    sqlite3_stmt* statement = nullptr;
    qint64 value = 0;
    if (sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

bool isBusy(sqlite3* db)
{
    const int code = sqlite3_errcode(db) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

} // namespace

QString Connection::lastError() const
{
    return m_db ? describe(m_db, m_path) : QString();
}

bool Connection::lastErrorIsBusy() const
{
    return m_db && isBusy(m_db);
}

qint64 Connection::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

Result Connection::open(const QString& path, const QByteArray& password)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Result::failure(
            QStringLiteral("找不到数据库文件“%1”：unable to open database file").arg(path));
    if (!info.isFile())
        return Result::failure(QStringLiteral("“%1”不是数据库文件").arg(path));
    return openWithFlags(path, password, SQLITE_OPEN_READWRITE);
}

Result Connection::create(const QString& path, const QByteArray& password)
{
    return openWithFlags(path, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

Result Connection::openWithFlags(const QString& path, const QByteArray& password, int flags)
{
    close();
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    // A connection is used by one thread at a time (a worker that reads the file opens its own), so the
    // engine's lock around every call of a connection is not needed: without it, reading every row of a
    // large list takes about a quarter less processor time.
    int rc = sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    auto fail = [&](const QString& what) {
        QString text;
        if (db && isBusy(db))
            text = describe(db, path); // in use: not damaged, not a wrong password
        else
            text = QStringLiteral("%1“%2”：%3")
                       .arg(what, path,
                            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"));
        if (db)
            sqlite3_close_v2(db);
        return Result::failure(text);
    };
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("无法打开数据库文件"));
    if (!password.isEmpty() && sqlite3_key(db, password.constData(), int(password.size())) != SQLITE_OK)
        return fail(QStringLiteral("无法打开数据库文件"));
    sqlite3_busy_timeout(db, 5000);
    // Reading the schema proves the password fits and the file is a database at all.
    rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("数据库文件已损坏、不是本程序的数据库或密码不符，无法打开"));
    // The engine's own cache size, in KiB (a positive setting counts pages).
    const qint64 cacheSize = pragmaNumber(db, "PRAGMA cache_size");
    m_defaultCacheKib = cacheSize < 0 ? -cacheSize : cacheSize * pragmaNumber(db, "PRAGMA page_size") / 1024;
    sqlite3_create_function_v2(db, "expiry_date", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               expiryDateFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                               nullptr, nullptr, nullptr);
    m_db = db;
    m_path = path;
    fitCacheToFile();
    return Result::success();
}

// The page cache holds the whole file when it fits in 64 MB, so that reading the list again finds its
// pages decrypted. A larger file would pass through a cache smaller than itself, where a full read never
// finds a page again: the engine's small default then spares the memory. (Searches do not read the file;
// they filter the names held.)
void Connection::fitCacheToFile()
{
    if (!m_db)
        return;
    const qint64 fileBytes = QFileInfo(m_path).size();
    const qint64 kib = fileBytes > 0 && fileBytes <= kCacheLimit ? (fileBytes + fileBytes / 8) / 1024 + 256
                                                                 : m_defaultCacheKib;
    setCacheKib(kib);
}

void Connection::widenCacheForWriting()
{
    if (m_db)
        setCacheKib(kCacheLimit / 1024);
}

void Connection::setCacheKib(qint64 kib)
{
    const QByteArray pragma = "PRAGMA cache_size=-" + QByteArray::number(std::max<qint64>(kib, 1));
    sqlite3_exec(m_db, pragma.constData(), nullptr, nullptr, nullptr);
}

Result Connection::execute(const QString& sqlText)
{
    if (!m_db)
        return Result::failure(QStringLiteral("数据库未打开"));
    char* err = nullptr;
    if (sqlite3_exec(m_db, sqlText.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        return Result::failure(lastError());
    }
    return Result::success();
}

QString Connection::changeStamp() const
{
    if (!m_db)
        return {};
    // Commits of other connections, rows changed by this one, and any change of the tables themselves.
    auto pragma = [this](const char* text) {
        qint64 value = -1;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, text, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return value;
    };
    return QStringLiteral("%1/%2/%3")
        .arg(pragma("PRAGMA data_version"))
        .arg(sqlite3_total_changes(m_db))
        .arg(pragma("PRAGMA schema_version"));
}
