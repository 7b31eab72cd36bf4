#pragma once

#include "DomainDialog.h"

#include <memory>

class Statement;

// "修改域名": changes every field of the selected domain. The opener fills it with loadRecord() and
// shows it; saving updates that row by its record number and reloads the domain list with its statement.
class Tedit_yuming : public DomainDialog
{
    Q_OBJECT
public:
    explicit Tedit_yuming(QWidget* parent = nullptr);
    ~Tedit_yuming() override;
    void bindData(TDataModule2* data) override;

    // The record as the detail pane shows it, with its aid. Written as it stands, neither filtered nor
    // limited.
    void loadRecord(const DomainRecord& record);

    QLabel* bsSkinStdLabel8() const { return m_aid; }           // 编号, hidden: the record number
    Statement* Query_edit() const { return m_queryEdit.get(); } // the update

protected:
    Result writeRecord(const DomainRecord& record) override;

private:
    QLabel* m_aid = nullptr;
    std::unique_ptr<Statement> m_queryEdit;
};
