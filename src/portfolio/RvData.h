#pragma once

#include "report/ReportData.h"

class Dataset;

// RvData, the data module's report connection: offers the rows that the shared domain query
// Query_a holds, in the list's current order (search and sort included), with all its fields
// (aid, a1 .. a9). Values are read from the query as the report asks for them; nothing is copied.
class RvData : public ReportDataSource
{
public:
    explicit RvData(const Dataset* query) : m_query(query) {}

    QString name() const override;
    QStringList fieldNames() const override;
    int rowCount() const override;
    QString value(int row, int field) const override;

private:
    const Dataset* m_query;
};
