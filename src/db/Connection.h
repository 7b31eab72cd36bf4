#pragma once

#include "platform/Result.h"

#include <QString>

struct sqlite3;

// The one connection to the encrypted database file (Conn_service).
class Connection
{
public:
    // The database file, opened by its bare name from the current directory.
    static const QString kFileName;
    // The database password.
    static const QByteArray kPassword;

    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file with the given password; never creates one.
    // A failure carries a readable error with the engine's message.
    Result open(const QString& path = kFileName, const QByteArray& password = kPassword);
    // Creates a new, empty encrypted file (used only by the build tool that makes the shipped file).
    Result create(const QString& path, const QByteArray& password = kPassword);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The file as it was opened (for another connection to the same file).
    QString path() const { return m_path; }

    // Runs statements without parameters or results (schema set-up in the tools and tests).
    [[nodiscard]] Result execute(const QString& sqlText);

    // Changes whenever the file's contents may have changed since it was last taken: a write through
    // this connection or a commit by another process.
    QString changeStamp() const;

    // The engine's text of the last failure; a file that cannot be written or that another program
    // holds gets a Chinese explanation before it.
    QString lastError() const;
    // Whether the last failure came from another program's lock on the file.
    bool lastErrorIsBusy() const;
    qint64 lastInsertRowId() const;
    sqlite3* handle() const { return m_db; }

    // The page cache sized for the file as it now is (done on opening; again after many rows were written).
    void fitCacheToFile();
    // Room in the page cache for the pages that many rows written in one go touch (up to the same 64 MB
    // as a file that fits), so that none of them is written out, read back and decrypted again before the
    // commit; fitCacheToFile() ends it.
    void widenCacheForWriting();

private:
    Result openWithFlags(const QString& path, const QByteArray& password, int flags);
    void setCacheKib(qint64 kib);
    static constexpr qint64 kCacheLimit = 64 * 1024 * 1024;
    sqlite3* m_db = nullptr;
    qint64 m_defaultCacheKib = 2000; // the engine's own setting
    QString m_path;                  // the file as it was opened, for the messages
};
