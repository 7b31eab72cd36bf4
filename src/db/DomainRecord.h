#pragma once

#include <QString>
#include <QStringList>

class Dataset;

// One domain of tt_a: the key aid and the nine texts a1 .. a9, every one handled as text.
// The one place that knows which column holds what.
struct DomainRecord
{
    QString aid;         // 编号, given by the database on insert
    QString domain;      // a1 域名
    QString description; // a2 域名说明
    QString registrar;   // a3 注册商
    QString address;     // a4 域名管理地址
    QString registered;  // a5 注册日期
    QString expires;     // a6 过期日期
    QString notes;       // a7 备注
    QString password;    // a8 管理密码
    QString price;       // a9 对外报价

    // The number of written fields, a1 .. a9.
    static constexpr int kValueCount = 9;

    // aid, a1 .. a9: the columns of tt_a in their order.
    static const QStringList& fieldNames();
    // The title of each column of fieldNames(), as the exported sheet heads them.
    static const QStringList& titles();

    // a1 .. a9 in column order (what an insert or an import writes).
    QStringList values() const;
    // From a1 .. a9 in column order; missing values are empty.
    static DomainRecord fromValues(const QStringList& a1ToA9, const QString& aid = {});
    // From aid, a1 .. a9 in column order (a whole row of tt_a).
    static DomainRecord fromRow(const QStringList& aidThenA1ToA9);
    // Row `row` of a dataset over tt_a, by field name; an empty record when there is no such row.
    static DomainRecord fromDataset(const Dataset& rows, int row);

    bool operator==(const DomainRecord&) const = default;
};
