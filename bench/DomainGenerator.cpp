#include "DomainGenerator.h"

#include "db/Connection.h"
#include "db/Schema.h"

#include <QFile>

QString generateDomainFile(const QString& path, int count)
{
    QFile::remove(path);
    QString error = schema::createShippedDatabase(path);
    if (!error.isEmpty())
        return error;
    Connection c;
    error = c.open(path);
    if (!error.isEmpty())
        return error;
    // One statement, one transaction: a recursive row source with varied, deterministic texts.
    return c.execute(
        QStringLiteral("begin;"
                       "insert into tt_a (a1,a2,a3,a4,a5,a6,a7,a8,a9) "
                       "with recursive n(x) as (select 1 union all select x+1 from n where x < %1) "
                       "select printf('%s%d.%s', substr('abcdefghijklmnopqrstuvwxyzqingyunlanshu', 1 + "
                       "(x*7)%30, 3 + (x%9)), x,"
                       "              case x%5 when 0 then 'com' when 1 then 'net' when 2 then 'cn' when 3 "
                       "then 'com.cn' else 'org' end),"
                       "       case x%4 when 0 then '短域名，适合做品牌' when 1 then '拼音域名' when 2 then "
                       "'' else 'premium name' end,"
                       "       case x%3 when 0 then '万网' when 1 then 'GoDaddy' else '新网' end,"
                       "       printf('https://dcp.example.com/manage?id=%d', x),"
                       "       printf('20%02d-%02d-%02d', 5 + x%20, 1 + x%12, 1 + x%28),"
                       "       printf('20%02d-%02d-%02d', 26 + x%10, 1 + (x/3)%12, 1 + (x/7)%28),"
                       "       case when x%10 = 0 then printf('备注第%d条\r\n续费提醒', x) else '' end,"
                       "       printf('pw%06d', (x*7919)%1000000),"
                       "       printf('%d', (x*37)%100000)"
                       " from n;"
                       "commit;")
            .arg(count));
}
