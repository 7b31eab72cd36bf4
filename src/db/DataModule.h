#pragma once

#include <QObject>
#include <memory>

#include "Connection.h"
#include "Dataset.h"
#include "DomainSearch.h"

// The data module: the connection to the database file and the two shared queries,
// opened while it is created and kept for the whole run.
class TDataModule2 : public QObject
{
    Q_OBJECT
public:
    // Opens the database file (by default service.dll in the current directory) and both
    // shared queries. Returns nullptr and sets *error when the file cannot be opened.
    static std::unique_ptr<TDataModule2> create(QString* error, const QString& path = Connection::kFileName);
    ~TDataModule2() override;

    // The one instance of the running program, or nullptr before it is created.
    static TDataModule2* instance();

    Connection* Conn_service() { return &m_connection; }
    Dataset* Query_a() { return m_queryA; }        // domains, tt_a
    Dataset* Query_jz_ub() { return m_queryJzUb; } // the settings row, jz_ub

    // The texts of the settings row as the bound labels show them: ub1 password, ub2 lock flag,
    // ub4 password-set flag. Empty when there is no row.
    QString settingsText(const QString& field) const { return m_queryJzUb->fieldText(field); }

private:
    TDataModule2();
    Connection m_connection;
    DomainSearch m_search; // Query_a's search, answered from the names it holds
    Dataset* m_queryA;
    Dataset* m_queryJzUb;
};
