#pragma once

#include <QString>
#include <QStringList>

// A named data connection that a report runs over: named fields and rows in a fixed order.
// The engine reads values on demand, row by row, so the rows are never copied.
class ReportDataSource
{
public:
    virtual ~ReportDataSource() = default;
    // The name the report refers to the connection by.
    virtual QString name() const = 0;
    virtual QStringList fieldNames() const = 0;
    virtual int rowCount() const = 0;
    // The display text of one value; row in [0, rowCount()), field an index into fieldNames().
    virtual QString value(int row, int field) const = 0;
};
