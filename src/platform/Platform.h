#pragma once

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Everything that depends on the operating system sits behind this class, so that
// the rest of the program builds unchanged on Linux and Windows. Tests replace the
// outward-facing parts (browser, default application, today, network) with hooks.
class Platform
{
public:
    // A system-wide lock that allows one running copy per user. Released by the
    // system when the process ends, even when it is killed.
    class SingleInstance
    {
    public:
        explicit SingleInstance(const QString& name);
        ~SingleInstance();
        SingleInstance(const SingleInstance&) = delete;
        SingleInstance& operator=(const SingleInstance&) = delete;

        // True when another process already holds the lock: this start is refused.
        bool alreadyRunning() const { return m_alreadyRunning; }
        // False when the lock could not be created at all; the program then runs unlocked.
        bool held() const { return m_held; }
        // Where the lock lives: a file named with the user id in a folder that only the user can write
        // (empty when there is no such folder). On Windows the name of the system-wide mutex.
        static QString lockPath(const QString& name);

    private:
        bool m_alreadyRunning = false;
        bool m_held = false;
#ifdef Q_OS_WIN
        void* m_handle = nullptr;
#else
        int m_fd = -1;
#endif
    };

    // A folder of the user's files that the program creates files in, narrows or prunes, opened without
    // following a link: a link under its name (even to a folder) is refused and nothing is done through it.
    // Once open, everything happens in the folder that was opened, even should its name be pointed
    // elsewhere meanwhile; links inside it are never followed either.
    class Folder
    {
    public:
        enum Mode
        {
            OpenExisting,
            CreateMissing // a missing folder is made, readable by the user alone (its parent must exist)
        };
        Folder(const QString& path, Mode mode);
        ~Folder();
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;

        // Empty when the folder is open, else the reason in Chinese (a missing folder, with OpenExisting,
        // included).
        QString error() const { return m_error; }
        bool isOpen() const { return m_error.isEmpty(); }
        QString path() const { return m_path; }

        // Closes the folder to everyone but the user. False when that fails.
        bool narrow();
        // The names of the regular files in it: links, folders and the like are left out.
        QStringList fileNames() const;
        // Whether anything of that name is there, a link (even a broken one) included.
        bool contains(const QString& name) const;
        // Makes a new file of that name, readable and writable by the user alone, and opens it in file for
        // writing. False when anything of that name is there already or the file cannot be made.
        bool createFile(const QString& name, QFile& file) const;
        // Copies the file at source into a new file of that name, readable and writable by the user alone:
        // written whole under another name first, so that a copy cut short leaves nothing under the name.
        // Empty on success, else the reason; nothing of that name may be there yet.
        QString copyFile(const QString& source, const QString& name) const;
        // Removes the regular file of that name (a link of that name is removed itself, never what it points
        // to; a folder stays). False when nothing was removed.
        bool removeFile(const QString& name) const;

    private:
        QString m_path;
        QString m_error;
#ifndef Q_OS_WIN
        int m_fd = -1;
#endif
    };

    // Keeps the user's data private at the start of the process: the process cannot be dumped or read by
    // other processes of the user, and every file it creates is readable and writable by the user alone.
    static void protectUserData();

    // Keeps freed memory in the process for a while instead of handing it back to the system after every
    // large block: a long run of pages or rows (a PDF of thousands of pages, a million-row read) would
    // otherwise spend a third of its time mapping and unmapping the same memory again.
    static void tuneMemory();
    // A large block about to be filled (a list's rows, a sort's keys): where the system can back it with
    // large pages, it is asked to, so that filling it takes one page fault per 2 MiB instead of one per
    // 4 KiB. Only whole large pages inside the block are affected; elsewhere nothing happens.
    static void preferLargePages(const void* start, size_t bytes);

    // The folder that holds the program file, with a trailing separator.
    static QString programFolder();

    // The folder of the user's files, with a trailing separator: the settings file, the exported
    // workbook, the proposed PDF and the expiry calendar are there (Files says which file comes from
    // where). A copy run from its own folder (the build's ready folder, an unpacked archive) keeps them
    // beside itself, in the program's folder. An installed copy, whose folder is shared by every user and
    // written by none of them, keeps them in the user's data folder (userDataFolder()), which it also
    // makes the current directory at the start (prepareDataFolder()), from where the database, its
    // backups and the report project are opened. The one place that decides which folder it is.
    static QString dataFolder();
    // The decision itself, for the program's folder given (with its trailing separator).
    static QString dataFolderFor(const QString& programFolder);
    // Whether the copy in programFolder is an installed one: the installation puts kInstalledMarker
    // beside the program file.
    static bool isInstalledCopy(const QString& programFolder);
    static const QString kInstalledMarker;
    // The user's own data folder for the program, with a trailing separator: $XDG_DATA_HOME/lanshu, or
    // ~/.local/share/lanshu when that variable is unset or not an absolute path (on Windows the
    // roaming application data, %APPDATA%\lanshu).
    static QString userDataFolder();
    // The files that ship beside the program and that a user's data folder starts with (Files::shipped()).
    static QStringList shippedFiles();

    // Makes the data folder ready before the program opens any of its files. For an installed copy:
    // creates the user's data folder, readable by the user alone, puts there each shipped file that it
    // lacks (a file already there is never replaced) and makes it the current directory, from where the
    // database and the report project are opened. A copy run from its own folder is left as it is.
    // Returns the reason, in Chinese, when the folder cannot be made ready.
    static QString prepareDataFolder();
    // The part of it that works on the folders given: from holds the shipped files, to is the data folder.
    static QString seedDataFolder(const QString& from, const QString& to);

    // The address as it goes to the browser: blanks around it removed and "http://" put before one that
    // names no scheme ("example.com" opens the site). Only http and https are opened: anything else
    // (file:, javascript:, ...) gives an empty text and a Chinese reason in error. The result always starts
    // with its scheme, so it can never be taken for a command-line option.
    static QString browserAddress(const QString& address, QString* error = nullptr);

    // Hands an address, as browserAddress() makes it, to the user's web browser as one argument. Returns
    // the reason when the address is refused; whether the browser then starts is not examined.
    static QString openInBrowser(const QString& address);

    // Opens a file with the application the system associates with it.
    static void openWithDefaultApplication(const QString& path);

    // Whether the system reports a usable route to the internet: the system's own network
    // information where it is available, else (on Linux) a default route in the routing table.
    static bool isNetworkConnected();

    // Whether routing tables in the text form of /proc/net/route and /proc/net/ipv6_route hold a
    // default route that is up and not a reject route.
    static bool hasDefaultRoute(const QByteArray& ipv4Table, const QByteArray& ipv6Table);

    // Arranges what the embedded web browser needs before the application object exists: run by
    // the administrator, its sandbox cannot start, so it is switched off for this process; its own
    // pages are in Chinese.
    static void prepareEmbeddedBrowser();

    // The local clock's current date.
    static QDate today();

    // Test hooks: a set hook replaces the real behaviour until cleared with {}.
    static void setBrowserHook(std::function<void(const QString&)> hook);
    static void setOpenFileHook(std::function<void(const QString&)> hook);
    static void setNetworkHook(std::function<bool()> hook);
    static void setTodayHook(std::function<QDate()> hook);
};
