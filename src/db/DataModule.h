#pragma once

#include <QObject>
#include <memory>

#include "Connection.h"
#include "Dataset.h"
#include "DomainList.h"
#include "DomainSearch.h"
#include "ListTotals.h"
#include "LockSettings.h"

// The data module: the connection to the database file and the two shared queries,
// opened while it is created and kept for the whole run.
class TDataModule2 : public QObject
{
    Q_OBJECT
public:
    // Opens the database file (by default service.dll in the current directory) and both
    // shared queries, or says why the file cannot be opened.
    static Expected<std::unique_ptr<TDataModule2>> create(const QString& path = Connection::kFileName);
    ~TDataModule2() override;

    Connection* Conn_service() { return &m_connection; }
    Dataset* Query_a() { return m_queryA; }        // domains, tt_a
    Dataset* Query_jz_ub() { return m_queryJzUb; } // the settings row, jz_ub

    // What the windows go through: the domain list over Query_a, the settings row over Query_jz_ub.
    DomainList* domains() { return m_domains; }
    LockSettings* settings() { return m_settings.get(); }
    // The status bar's counts over Query_a, taken while its rows are read.
    ListCounter* listCounter() { return &m_counter; }

private:
    TDataModule2();
    Connection m_connection;
    DomainSearch m_search; // Query_a's search, answered from the names it holds
    ListCounter m_counter; // Query_a's expiry days and prices
    Dataset* m_queryA;
    Dataset* m_queryJzUb;
    DomainList* m_domains;
    std::unique_ptr<LockSettings> m_settings;
};
