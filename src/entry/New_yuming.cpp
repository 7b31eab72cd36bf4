#include "New_yuming.h"

#include "DomainWriter.h"
#include "EntryEdits.h"
#include "db/DataModule.h"
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
    setFieldTexts({QString(), QString(), QString(), QString(), today, today, QString(), QString(),
                   QStringLiteral("0")});
}

QString Tnew_yuming::writeRecord(const QStringList& a1ToA9)
{
    return domainwriter::insert(*m_queryAdd, a1ToA9);
}
