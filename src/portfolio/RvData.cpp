#include "RvData.h"

#include "db/Dataset.h"

QString RvData::name() const
{
    return QStringLiteral("RvData");
}

QStringList RvData::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_query->fieldCount(); ++i)
        names << m_query->fieldName(i);
    return names;
}

int RvData::rowCount() const
{
    return m_query->recordCount();
}

QString RvData::value(int row, int field) const
{
    return m_query->value(row, field);
}
