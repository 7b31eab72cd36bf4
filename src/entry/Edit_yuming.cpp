#include "Edit_yuming.h"

#include "db/DataModule.h"
#include "db/DomainWriter.h"
#include "db/Statement.h"

#include <QLabel>

// The domain, price, description, address and password boxes take text of any length.
Tedit_yuming::Tedit_yuming(QWidget* parent)
    : DomainDialog(QStringLiteral("edit_yuming"), QStringLiteral("修改域名"),
                   DomainLimits{.registrar = 70, .date = 50, .notes = 180}, parent)
{
    m_aid = new QLabel(this);
    m_aid->setObjectName(QStringLiteral("bsSkinStdLabel8"));
    m_aid->setTextFormat(Qt::PlainText);
    m_aid->hide();
}

Tedit_yuming::~Tedit_yuming() = default;

void Tedit_yuming::bindData(TDataModule2* data)
{
    DomainDialog::bindData(data);
    m_queryEdit = data ? std::make_unique<Statement>(data->Conn_service()) : nullptr;
}

void Tedit_yuming::loadRecord(const DomainRecord& record)
{
    m_aid->setText(record.aid);
    setRecord(record);
}

Result Tedit_yuming::writeRecord(const DomainRecord& record)
{
    DomainRecord edited = record;
    edited.aid = m_aid->text();
    return domainwriter::update(*m_queryEdit, edited);
}
