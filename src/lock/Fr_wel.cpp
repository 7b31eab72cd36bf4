#include "Fr_wel.h"

#include "LockHost.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFr_wel::TFr_wel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fr_wel1"));
    auto* layout = new QHBoxLayout(this);
    m_newsBox = new QGroupBox(QStringLiteral("资讯"), this);
    m_newsBox->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    m_lockGroup = new QGroupBox(QStringLiteral("软件已锁定"), this);
    m_lockGroup->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* lockLayout = new QHBoxLayout(m_lockGroup);
    lockLayout->addWidget(new QLabel(QStringLiteral("密 码:"), m_lockGroup));
    m_passEdit = new QLineEdit(m_lockGroup);
    m_passEdit->setObjectName(QStringLiteral("Pass_edit"));
    m_passEdit->setEchoMode(QLineEdit::Password);
    m_passEdit->setMaxLength(10);
    lockLayout->addWidget(m_passEdit);
    m_unlock = new QPushButton(QStringLiteral("  解  锁"), m_lockGroup);
    m_unlock->setObjectName(QStringLiteral("bsSkinButton1"));
    lockLayout->addWidget(m_unlock);
    layout->addWidget(m_newsBox);
    layout->addWidget(m_lockGroup);
    connect(m_unlock, &QPushButton::clicked, this, &TFr_wel::bsSkinButton1Click);
}

void TFr_wel::bsSkinButton1Click() {}
