#include "DomainGenerator.h"

#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/Dataset.h"
#include "db/Schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

QString generateDomainFile(const QString& path, int count)
{
    QFile::remove(path);
    QString error = schema::createShippedDatabase(path).error();
    if (!error.isEmpty())
        return error;
    Connection c;
    error = c.open(path).error();
    if (!error.isEmpty())
        return error;
    // One statement, one transaction: a recursive row source with varied, deterministic texts.
    return c
        .execute(QStringLiteral(
                     "begin;"
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
                     .arg(count))
        .error();
}

namespace benchgen {
namespace {
const char* const kPinyin[] = {"hao",  "ming", "tian", "xin",   "jia", "le",    "mei",  "wang",
                               "bao",  "long", "fu",   "cai",   "shu", "yun",   "hua",  "an",
                               "kang", "jin",  "feng", "xiang", "da",  "zhong", "guo",  "shang",
                               "che",  "fang", "you",  "ai",    "qi",  "dian",  "tong", "tao",
                               "qing", "lan",  "hui",  "sheng", "yi",  "xue",   "li",   "chuang"};
const char* const kWords[] = {"cloud",  "shop", "home",  "travel", "game",  "data",  "smart",
                              "health", "car",  "money", "trade",  "music", "photo", "design",
                              "tech",   "food", "learn", "news",   "hotel", "green", "star",
                              "blue",   "gold", "fast",  "easy",   "best",  "my"};
const char* const kTlds[] = {"com", "com", "com", "com",  "com", "com", "com", "com",    "com",
                             "cn",  "cn",  "cn",  "cn",   "net", "net", "net", "com.cn", "com.cn",
                             "org", "cc",  "me",  "info", "us",  "top", "xyz", "中国"};
const char* const kChinese[] = {"中文", "网购", "旅游", "汽车", "手机",
                                "美食", "房产", "招聘", "教育", "健康"};
const char* const kKinds[] = {"双拼",     "三拼",           "单拼",     "三字母",     "四字母",  "四数字",
                              "五数字",   "英文单词",       "品牌词",   "行业词",     "杂米",    "声母",
                              "中文域名", "老米，建站多年", "适合电商", "适合做品牌", "可做门户"};
const char* const kRegistrars[] = {
    "华夏域名",     "星辰注册", "云海数据", "九州互联", "北极星网络", "环球注册商", "Example Registrar Inc.",
    "NameDesk Ltd", "蓝桥科技", "长风域名"};
const char* const kHosts[] = {"www.huaxia-reg.com",    "dc.xingchen-reg.cn", "my.yunhai-data.net",
                              "panel.jiuzhou-idc.com", "www.beijixing.cn",   "manage.example-registrar.com"};
const char* const kNotes[] = {
    "已续费三年",          "有人询价 8000，未出",           "曾被收录，注意备案",  "",
    "域名转入中 & 待确认", "客户 A 意向购买\n报价已发邮件", "到期前一个月提醒续费"};
const char* const kPrices[] = {"0",    "0",    "100",   "500",   "880",   "1200",   "1888", "2600",
                               "5000", "8800", "12000", "28000", "66000", "150000", "面议"};
} // namespace

quint32 DomainMaker::random()
{
    // xorshift32: fast and repeatable.
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
}

QString DomainMaker::name()
{
    QString label;
    switch (below(10)) {
    case 0:
    case 1:
    case 2: // two or three pinyin syllables
        label = QLatin1String(pick(kPinyin)) + QLatin1String(pick(kPinyin));
        if (below(3) == 0)
            label += QLatin1String(pick(kPinyin));
        break;
    case 3:
    case 4: // English words
        label = QLatin1String(pick(kWords)) + QLatin1String(pick(kWords));
        break;
    case 5: // letters
        for (int i = 0, n = 3 + below(3); i < n; ++i)
            label += QChar(u'a' + below(26));
        break;
    case 6: // digits
        label = QString::number(below(100000)).rightJustified(3 + below(3), u'0');
        break;
    case 7: // a word and digits
        label = QLatin1String(pick(kWords)) + QString::number(below(1000));
        break;
    case 8: // hyphenated
        label = QLatin1String(pick(kPinyin)) + QLatin1Char('-') + QLatin1String(pick(kWords));
        break;
    default: // Chinese
        label = QString::fromUtf8(pick(kChinese)) + QString::fromUtf8(pick(kChinese));
        break;
    }
    return label + QLatin1Char('.') + QString::fromUtf8(pick(kTlds));
}

QString DomainMaker::date(int fromYear, int toYear)
{
    return QStringLiteral("%1-%2-%3")
        .arg(fromYear + below(toYear - fromYear + 1))
        .arg(1 + below(12), 2, 10, QLatin1Char('0'))
        .arg(1 + below(28), 2, 10, QLatin1Char('0'));
}

QStringList DomainMaker::next()
{
    const QString a1 = name();
    const QString a2 = QString::fromUtf8(pick(kKinds));
    const QString a3 = QString::fromUtf8(pick(kRegistrars));
    const QString a4 = below(5) == 0 ? QString() : QStringLiteral("http://") + QLatin1String(pick(kHosts));
    const QString a5 = date(2005, 2023);
    const QString a6 = date(2024, 2034);
    const QString a7 = below(3) == 0 ? QString::fromUtf8(pick(kNotes)) : QString();
    QString a8;
    for (int i = 0; i < 10; ++i)
        a8 += QChar(below(3) == 0 ? u'0' + below(10) : u'a' + below(26));
    const QString a9 = QString::fromUtf8(pick(kPrices));
    return {a1, a2, a3, a4, a5, a6, a7, a8, a9};
}

QString generateDomains(const QString& path, int count, quint32 seed)
{
    if (!QFileInfo::exists(path)) {
        const QString error = schema::createShippedDatabase(path).error();
        if (!error.isEmpty())
            return error;
    }
    Connection connection;
    QString error = connection.open(path).error();
    if (!error.isEmpty())
        return error;
    // The dataset's append keeps one prepared insert for all rows.
    Dataset rows(&connection);
    rows.setTable(QStringLiteral("tt_a"), QStringLiteral("aid"));
    rows.setSql(QStringLiteral("select * from tt_a where 0"));
    error = rows.open().error();
    if (error.isEmpty())
        error = connection.execute(QStringLiteral("begin")).error();
    if (!error.isEmpty())
        return error;
    DomainMaker maker(seed);
    for (int i = 0; i < count && error.isEmpty(); ++i)
        error = rows.append(maker.next()).error();
    rows.close();
    const QString end =
        connection.execute(error.isEmpty() ? QStringLiteral("commit") : QStringLiteral("rollback")).error();
    return error.isEmpty() ? end : error;
}

std::unique_ptr<TDataModule2> openGeneratedPortfolio(const QString& folder, int count)
{
    QElapsedTimer clock;
    clock.start();
    QString error = generateDomains(QDir(folder).filePath(Connection::kFileName), count);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "generate: %s\n", qPrintable(error));
        return nullptr;
    }
    std::printf("generated %d domains in %lld ms\n", count, static_cast<long long>(clock.elapsed()));
    QDir::setCurrent(folder);
    auto dataMade = TDataModule2::create();
    error = dataMade.error();
    auto data = dataMade.take();
    if (!data)
        std::fprintf(stderr, "open: %s\n", qPrintable(error));
    return data;
}

} // namespace benchgen
