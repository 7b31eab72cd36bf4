#include "DomainRecord.h"

#include "Dataset.h"

#include <array>

namespace {
// The written fields in column order, a1 .. a9.
constexpr std::array<QString DomainRecord::*, DomainRecord::kValueCount> kValueMembers = {
    &DomainRecord::domain,  &DomainRecord::description, &DomainRecord::registrar,
    &DomainRecord::address, &DomainRecord::registered,  &DomainRecord::expires,
    &DomainRecord::notes,   &DomainRecord::password,    &DomainRecord::price};
} // namespace

const QStringList& DomainRecord::fieldNames()
{
    static const QStringList names = {QStringLiteral("aid"), QStringLiteral("a1"), QStringLiteral("a2"),
                                      QStringLiteral("a3"),  QStringLiteral("a4"), QStringLiteral("a5"),
                                      QStringLiteral("a6"),  QStringLiteral("a7"), QStringLiteral("a8"),
                                      QStringLiteral("a9")};
    return names;
}

const QStringList& DomainRecord::titles()
{
    static const QStringList titles = {QStringLiteral("编号"),         QStringLiteral("域名"),
                                       QStringLiteral("域名说明"),     QStringLiteral("注册商"),
                                       QStringLiteral("域名管理地址"), QStringLiteral("注册日期"),
                                       QStringLiteral("过期日期"),     QStringLiteral("备注"),
                                       QStringLiteral("管理密码"),     QStringLiteral("对外报价")};
    return titles;
}

QStringList DomainRecord::values() const
{
    QStringList list;
    list.reserve(kValueCount);
    for (QString DomainRecord::*member : kValueMembers)
        list.append(this->*member);
    return list;
}

DomainRecord DomainRecord::fromValues(const QStringList& a1ToA9, const QString& aid)
{
    DomainRecord record;
    record.aid = aid;
    for (int i = 0; i < kValueCount; ++i)
        record.*kValueMembers[size_t(i)] = a1ToA9.value(i);
    return record;
}

DomainRecord DomainRecord::fromRow(const QStringList& aidThenA1ToA9)
{
    return fromValues(aidThenA1ToA9.mid(1), aidThenA1ToA9.value(0));
}

DomainRecord DomainRecord::fromDataset(const Dataset& rows, int row)
{
    if (row < 0 || row >= rows.recordCount())
        return {};
    const QStringList& names = fieldNames();
    QStringList texts;
    texts.reserve(names.size());
    for (const QString& name : names)
        texts.append(rows.value(row, name));
    return fromRow(texts);
}
