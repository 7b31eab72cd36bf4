#include "DataModule.h"

#include "Sql.h"

#include <QFileInfo>

TDataModule2::TDataModule2()
    : m_queryA(new Dataset(&m_connection, this)), m_queryJzUb(new Dataset(&m_connection, this)),
      m_domains(new DomainList(m_queryA, this)),
      m_settings(std::make_unique<LockSettings>(&m_connection, m_queryJzUb))
{
    m_queryA->setObjectName(QStringLiteral("Query_a"));
    m_queryJzUb->setObjectName(QStringLiteral("Query_jz_ub"));
    m_queryA->setTable(QStringLiteral("tt_a"), QStringLiteral("aid"));
    // The search is answered in memory from the default list's rows (see DomainSearch).
    m_queryA->setRowFilter(&m_search, {sql::kSearch, sql::kSearchAll}, sql::kDefaultList);
    m_queryA->setRowKeeper(&m_counter);
    m_queryJzUb->setTable(QStringLiteral("jz_ub"), QStringLiteral("ubid"));
}

TDataModule2::~TDataModule2()
{
    // The services and the queries go before the connection they run on.
    delete m_domains;
    m_domains = nullptr;
    m_settings.reset();
    delete m_queryA;
    delete m_queryJzUb;
    m_queryA = m_queryJzUb = nullptr;
    m_connection.close();
}

Expected<std::unique_ptr<TDataModule2>> TDataModule2::create(const QString& path)
{
    std::unique_ptr<TDataModule2> module(new TDataModule2);
    module->setObjectName(QStringLiteral("DataModule2"));
    QString e;
    if (const Result opened = module->m_connection.open(path); !opened.ok()) {
        e = opened.error();
    } else {
        module->m_queryA->setSizeHint(QFileInfo(path).size());
        module->m_queryA->setSql(sql::kDefaultList);
        // The first rows at once, the rest from the event loop: the main window does not wait for them.
        Result read = module->m_queryA->openInSteps();
        if (read.ok()) {
            module->m_queryJzUb->setSql(sql::kSettingsLoad);
            read = module->m_queryJzUb->open();
        }
        if (!read.ok())
            e = module->m_connection.lastErrorIsBusy()
                    ? read.error()
                    : QStringLiteral("数据库文件“%1”不是本程序的数据库：%2").arg(path, read.error());
    }
    if (!e.isEmpty())
        return Result::failure(e);
    return module;
}
