#include "New_yuming.h"

#include "EntryEdits.h"
#include "db/DataModule.h"
#include "db/DomainWriter.h"
#include "db/Statement.h"
#include "platform/Platform.h"

Tnew_yuming::Tnew_yuming(QWidget* parent)
    : DomainDialog(QStringLiteral("new_yuming"), QStringLiteral("添加新域名"),
                   DomainLimits{.domain = 70,
                                .price = 30,
                                .description = 70,
                                .registrar = 70,
                                .url = 70,
                                .password = 70,
                                .date = 50,
                                .notes = 180},
                   parent)
{
}

Tnew_yuming::~Tnew_yuming() = default;

void Tnew_yuming::bindData(TDataModule2* data)
{
    DomainDialog::bindData(data);
    m_queryAdd = data ? std::make_unique<Statement>(data->Conn_service()) : nullptr;
}

void Tnew_yuming::FormShow()
{
    const QString today = Platform::today().toString(QStringLiteral("yyyy-MM-dd"));
    DomainRecord opening;
    opening.registered = today;
    opening.expires = today;
    opening.price = QStringLiteral("0");
    setRecord(opening);
}

Result Tnew_yuming::writeRecord(const DomainRecord& record)
{
    return domainwriter::insert(*m_queryAdd, record);
}
