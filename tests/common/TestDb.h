#pragma once

#include "db/DataModule.h"

#include <QStringList>

class QAbstractItemModel;
#include <QTemporaryDir>
#include <initializer_list>
#include <memory>

// A fresh encrypted database file in a temporary folder, with the shipped tables and settings
// row, and the data module opened on it. The folder is also made the current directory, as the
// program expects its database file there.
class TestDb
{
public:
    TestDb();
    ~TestDb();

    bool ok() const { return m_module != nullptr; }
    QString error() const { return m_error; }
    QString folder() const { return m_dir.path(); }
    QString path() const { return m_path; }
    TDataModule2* module() const { return m_module.get(); }
    Dataset* queryA() const { return m_module->Query_a(); }

    // Inserts one domain with a1..a9 (missing values are empty) straight into the file, and
    // returns its aid. Does not reopen Query_a.
    qint64 insert(const QStringList& a1ToA9);
    // Reads a whole row from the file by aid: aid, a1..a9.
    QStringList row(qint64 aid) const;
    // The number of rows in tt_a, read from the file.
    int countRows() const;
    // Runs a statement on the test connection.
    QString exec(const QString& sqlText);
    // Adds count domains d1.com .. d<count>.com (说明, 注册商, expired 2022-10-10, priced by their number)
    // in one transaction. Empty on success, else the engine's message.
    QString addManyDomains(int count);
    // Makes the engine refuse the next step of every statement now running on the module's connection
    // (SQLITE_INTERRUPT), as it refuses a read of a damaged file: a read in progress fails midway.
    void interruptRunningStatements();
    // Reads one text of the settings row.
    QString setting(const QString& field) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_oldCwd;
    QString m_error;
    std::unique_ptr<TDataModule2> m_module;
};

// a1..a9 of every row of tt_a in the file, oldest first.
QList<QStringList> storedRows(TestDb& db);
// aid and a1..a9 of every row of tt_a in the file, oldest first.
QList<QStringList> storedRowsWithAid(TestDb& db);
// A row of a1..a9: the values given, then empty ones.
QStringList row(std::initializer_list<QString> values);
// The texts of one field in every row a dataset holds, in display order.
QStringList columnTexts(const Dataset* rows, const QString& field);
// The display texts of one column of a model, top to bottom.
QStringList modelColumn(const QAbstractItemModel* model, int column = 0);
