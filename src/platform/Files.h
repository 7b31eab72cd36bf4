#pragma once

#include <QString>
#include <QStringList>

// Where each of the program's files is found: the one place that names them. Three places hold them.
//
// The current directory: the database (service.dll), the folder of its backups (backups, beside it), the
// registry answer log and the RDAP bootstrap copy (beside it), and the report project (yuming.rav). An
// installed copy makes its data folder the current directory before it opens any of them
// (Platform::prepareDataFolder), so for it they are in the data folder. A copy run from its own folder
// leaves the current directory as it was started with: started from elsewhere, it opens these files there.
//
// The data folder (Platform::dataFolder()): the settings file (iset.ini) and the files the program writes
// for the user to open: the exported workbook, the proposed PDF and the expiry calendar.
//
// The user's own settings (QSettings, per user, not in either folder): layout.ini, the window's layout,
// the report printed last and the reminders given (LayoutSettings).
//
// The program folder (Platform::programFolder()) holds the shipped copies of the database, the settings
// file and the report project, with which an installed copy's data folder starts (shipped()).
class Files
{
public:
    // --- from the current directory ---
    // The database file, as a name relative to the current directory.
    static QString database();
    // The absolute folder of the database file at databasePath (the current directory for database()).
    static QString databaseFolder(const QString& databasePath = database());
    // The folder of the copies of the database file at databasePath: "backups" beside it.
    static QString backupFolder(const QString& databasePath);
    // The report project, as an absolute path in the current directory.
    static QString reportProject();

    // --- from the data folder ---
    // The settings file (iset.ini), in the data folder or in the folder given.
    static QString settings();
    static QString settings(const QString& folder);
    // A file of that name in the data folder.
    static QString inDataFolder(const QString& name);

    // --- shipped in the program folder ---
    // The names of the files that ship beside the program and that a data folder starts with.
    static QStringList shipped();
};
