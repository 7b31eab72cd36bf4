#pragma once

#include "DomainDialog.h"

#include <memory>

class Statement;

// "添加新域名": enters one new domain. Every showing starts from empty boxes, the price "0" and today's
// date in both date boxes; saving inserts the record and reloads the domain list with its statement.
class Tnew_yuming : public DomainDialog
{
    Q_OBJECT
public:
    explicit Tnew_yuming(QWidget* parent = nullptr);
    ~Tnew_yuming() override;
    void bindData(TDataModule2* data) override;

    void FormShow() override; // the opening values

    Statement* Query_add() const { return m_queryAdd.get(); } // the insert

protected:
    Result writeRecord(const DomainRecord& record) override;

private:
    std::unique_ptr<Statement> m_queryAdd;
};
