#include "Fr_guanli.h"

#include "DomainListModel.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

TFr_guanli::TFr_guanli(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fr_guanli1"));
    auto* layout = new QVBoxLayout(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("bsSkinDBGrid1"));
    m_model = new DomainListModel(this);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_search = new QLineEdit(this);
    layout->addWidget(m_grid);
    layout->addWidget(m_search);
}

void TFr_guanli::bindData(TDataModule2* data)
{
    m_data = data;
    m_model->setDataset(data ? data->Query_a() : nullptr);
}

void TFr_guanli::resetHeadings() { m_model->resetHeadings(); }

void TFr_guanli::setHeading(int column, const QString& text) { m_model->setHeading(column, text); }

bool TFr_guanli::refuseEmptyList()
{
    if (m_data && m_data->Query_a()->recordCount() > 0)
        return false;
    MessageBox::information(this, QStringLiteral("请先添加域名"));
    return true;
}
