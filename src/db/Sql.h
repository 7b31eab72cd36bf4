#pragma once

#include <QString>

// Every statement text the program runs against the domain database. The datasets build their
// cursor's own delete and append from the templates at the end.
namespace sql {
inline const QString kDefaultList = QStringLiteral("select * from tt_a order by aid desc");
// The domains whose name holds :q, newest first. The search text is bound as :q, never pasted into the
// text, so any character is searched for as typed; "%" and "_" keep their wildcard meaning inside LIKE.
// Query_a never sends this statement to the engine: it is answered in memory, by narrowing the rows of
// kDefaultList with the LIKE matcher the engine's like() uses on this program's connections
// (DomainSearch, LikeMatcher). It states what that search gives, and the engine's own rows for it are
// what the tests compare the search with; editing it alone changes no search in the program.
inline const QString kSearch =
    QStringLiteral("select * from tt_a where a1 like '%' || :q || '%' order by aid desc");
// The domains of a list (all, or those of a search: :q as in kSearch) whose expiry date has passed
// (before :today), or falls from :today to :soon; soonest first. Dates are "yyyy-mm-dd";
// expiry_date() is the connection's reading of a6.
inline const QString kExpiredList =
    QStringLiteral("select * from tt_a where a1 like '%' || :q || '%' and expiry_date(a6) < :today "
                   "order by expiry_date(a6), aid desc");
inline const QString kExpiringList =
    QStringLiteral("select * from tt_a where a1 like '%' || :q || '%' and expiry_date(a6) between :today "
                   "and :soon order by expiry_date(a6), aid desc");
// The search in every field the user writes words into (name, description, registrar, management
// address, notes): a domain is found when any of them contains the text, bound as :qall.
inline const QString kAnyFieldContains =
    QStringLiteral("(a1 like '%' || :qall || '%' or a2 like '%' || :qall || '%' or a3 like '%' || :qall || "
                   "'%' or a4 like '%' || :qall || '%' or a7 like '%' || :qall || '%')");
inline const QString kSearchAll =
    QStringLiteral("select * from tt_a where ") + kAnyFieldContains + QStringLiteral(" order by aid desc");
// kExpiredList and kExpiringList within such a search.
inline const QString kExpiredListAll = QStringLiteral("select * from tt_a where ") + kAnyFieldContains +
                                       QStringLiteral(" and expiry_date(a6) < :today "
                                                      "order by expiry_date(a6), aid desc");
inline const QString kExpiringListAll = QStringLiteral("select * from tt_a where ") + kAnyFieldContains +
                                        QStringLiteral(" and expiry_date(a6) between :today and :soon "
                                                       "order by expiry_date(a6), aid desc");
inline const QString kSettingsLoad = QStringLiteral("select * from jz_ub order by ubid desc");
inline const QString kSettingsAll = QStringLiteral("select * from jz_ub");
// a .. i are a1 .. a9.
inline const QString kInsertDomain =
    QStringLiteral("insert into tt_a (a1,a2,a3,a4,a5,a6,a7,a8,a9)values (:a,:b,:c,:d,:e,:f,:g,:h,:i)");
inline constexpr char kInsertDomainParams[] = "abcdefghi";
// a .. g are a1 .. a7, i is a8, j is a9; h is the aid of the row.
inline const QString kUpdateDomain =
    QStringLiteral("update tt_a set a1=:a,a2=:b,a3=:c,a4=:d,a5=:e,a6=:f,a7=:g,a8=:i,a9=:j where aid=:h ");
inline constexpr char kUpdateDomainParams[] = "abcdefgij";
inline constexpr char kUpdateDomainKey[] = "h";
// a the password, b the lock flag ub2, d the password-set flag ub4, c the settings row's ub3.
inline const QString kSetPassword = QStringLiteral("update jz_ub set ub1=:a,ub2=:b,ub4=:d where ub3=:c ");
inline const QString kPasswordOff = QStringLiteral("update jz_ub set ub2=:b,ub4=:d where ub3=:c ");

inline const QString kBegin = QStringLiteral("begin");
inline const QString kCommit = QStringLiteral("commit");
inline const QString kRollback = QStringLiteral("rollback");

// A dataset's cursor: %1 the table, %2 its key field (bound as :key).
inline const QString kDeleteRowTemplate = QStringLiteral("delete from %1 where %2=:key");
// %1 the table, %2 the fields after the key, %3 one "?" for each.
inline const QString kAppendRowTemplate = QStringLiteral("insert into %1 (%2) values (%3)");
} // namespace sql
