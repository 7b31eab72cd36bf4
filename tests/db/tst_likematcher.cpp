// The in-memory search against the engine's own LIKE: random names and random search texts
// (wildcards, quotes, Chinese, letter case, characters that fold beyond ASCII, malformed UTF-8)
// must give the same rows in the same order.
//
// The one deliberate difference: the program also folds letters beyond ASCII ("äb" finds "ÄBC.cn"),
// the engine only A-Z. So the matcher is compared twice: folding ASCII only, against the engine's
// statement on the names as stored; and folding every letter, against the engine's statement on a
// copy of the names and the text that are folded beforehand (the engine then has no case left to
// ignore, so any difference is the matcher's).
#include "EngineConnection.h"
#include "TestDb.h"
#include "db/DomainList.h"
#include "db/LikeMatcher.h"
#include "db/Sql.h"
#include "db/Statement.h"

#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>

namespace {
using like::Folding;

// Pieces that names and texts are made of: ASCII of both cases, the wildcards, quotes, Chinese,
// letters that fold beyond ASCII (Ä ä ẞ ß, the Kelvin sign, long s, Greek), a 4-byte character.
const QStringList kNamePieces = {
    QStringLiteral("a"),  QStringLiteral("b"),      QStringLiteral("A"),      QStringLiteral("B"),
    QStringLiteral("."),  QStringLiteral("-"),      QStringLiteral("1"),      QStringLiteral("_"),
    QStringLiteral("%"),  QStringLiteral("'"),      QStringLiteral("中"),     QStringLiteral("文"),
    QStringLiteral("Ä"),  QStringLiteral("ä"),      QStringLiteral("ß"),      QStringLiteral("ẞ"),
    QStringLiteral("k"),  QStringLiteral("\u212A"), QStringLiteral("\u017F"), QStringLiteral("s"),
    QStringLiteral("Σ"),  QStringLiteral("ς"),      QStringLiteral("σ"),      QStringLiteral("😀"),
    QStringLiteral("ab"), QStringLiteral(".cn"),    QStringLiteral("中文"),   QStringLiteral("\uFFFD")};
// Texts lean on the wildcards, so that "%" and "_" meet every kind of name.
const QStringList kTextPieces = kNamePieces + QStringList{QStringLiteral("%"), QStringLiteral("_"),
                                                          QStringLiteral("_"), QStringLiteral("%_")};

QString randomText(QRandomGenerator& random, const QStringList& pieces, int maxPieces)
{
    QString text;
    const int n = random.bounded(maxPieces + 1);
    for (int i = 0; i < n; ++i)
        text += pieces[random.bounded(pieces.size())];
    return text;
}

QString normalized(const QString& text, Folding folding)
{
    std::string out;
    const QByteArray utf8 = text.toUtf8();
    like::normalize(out, std::string_view(utf8.constData(), size_t(utf8.size())), folding);
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

// The aids the search statement finds with the engine's LIKE, in its order.
QStringList engineSearch(const EngineConnection& engine, const QString& table, const QString& text,
                         QString* error)
{
    QString statement = sql::kSearch;
    const QByteArray sqlText = statement.replace(QStringLiteral("tt_a"), table)
                                   .replace(QStringLiteral(":q"), QStringLiteral("?1"))
                                   .toUtf8();
    sqlite3_stmt* stmt = nullptr;
    QStringList aids;
    if (sqlite3_prepare_v2(engine.handle(), sqlText.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(engine.handle()));
        return aids;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        aids << QString::number(sqlite3_column_int64(stmt, 0));
    *error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(engine.handle()));
    sqlite3_finalize(stmt);
    return aids;
}

// The names of a table, newest first, into an index; aids beside them.
void loadIndex(Connection* connection, const QString& table, like::NameIndex& index, QStringList& aids)
{
    Dataset d(connection);
    d.setSql(QStringLiteral("select aid, a1, a1 is null from %1 order by aid desc").arg(table));
    QCOMPARE(d.open().error(), QString());
    for (int r = 0; r < d.recordCount(); ++r) {
        aids << d.value(r, 0);
        index.append(d.rawValue(r, 1), d.value(r, 2) == QLatin1String("1"));
    }
}

QStringList matcherSearch(const like::NameIndex& index, const QStringList& aids, const QString& text,
                          Folding folding, const std::vector<uint32_t>* narrowFrom = nullptr)
{
    const like::Pattern pattern = like::Pattern::contains(text, folding);
    const std::vector<uint32_t> rows = narrowFrom ? index.narrow(pattern, *narrowFrom) : index.match(pattern);
    QStringList out;
    for (const uint32_t r : rows)
        out << aids[int(r)];
    return out;
}

std::vector<uint32_t> rowsOf(const like::NameIndex& index, const QString& text, Folding folding)
{
    return index.match(like::Pattern::contains(text, folding));
}
} // namespace

Q_DECLARE_METATYPE(like::Folding)

class TestLikeMatcher : public QObject
{
    Q_OBJECT
private slots:
    void sameRowsAsTheEngine_data();
    void sameRowsAsTheEngine();
    void fixedCases_data();
    void fixedCases();
    void foldsBeyondAscii_data();
    void foldsBeyondAscii();
    void tooLongPatternMatchesNothing();
    void backtrackingPatternStaysLinear();
    void anyFieldSearchSameRowsAsTheEngine_data();
    void anyFieldSearchSameRowsAsTheEngine();
};

void TestLikeMatcher::sameRowsAsTheEngine_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("maxPieces"); // per name
    QTest::newRow("small portfolio") << 1u << 40 << 8;
    QTest::newRow("medium portfolio") << 2u << 300 << 8;
    QTest::newRow("long names") << 3u << 120 << 60;
    QTest::newRow("another draw") << 4u << 300 << 8;
}

void TestLikeMatcher::sameRowsAsTheEngine()
{
    QFETCH(quint32, seed);
    QFETCH(int, rows);
    QFETCH(int, maxPieces);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    Connection* c = db.module()->Conn_service();
    QRandomGenerator random(seed);
    QCOMPARE(db.exec(QStringLiteral("begin")), QString());
    QCOMPARE(db.exec(QStringLiteral("create table tt_f (aid integer primary key, a1 text)")), QString());
    for (int i = 0; i < rows; ++i) {
        const QString name = randomText(random, kNamePieces, maxPieces);
        const qint64 aid = db.insert({name});
        QVERIFY(aid > 0);
        Statement folded(c);
        folded.setSql(QStringLiteral("insert into tt_f (aid, a1) values (:k, :n)"));
        folded.setParam(QStringLiteral("k"), QString::number(aid));
        folded.setParam(QStringLiteral("n"), normalized(name, Folding::Unicode));
        QCOMPARE(folded.exec().error(), QString());
    }
    // A missing name, and names the engine decodes in its own way (stray continuation bytes,
    // overlong forms, surrogates, values past U+10FFFF, U+FFFE), in both tables.
    const QStringList odd = {QStringLiteral("NULL"),
                             QStringLiteral("cast(x'80' as text)"),
                             QStringLiteral("cast(x'61C3A4A462' as text)"),
                             QStringLiteral("cast(x'C0806162' as text)"),
                             QStringLiteral("cast(x'EDA0804142' as text)"),
                             QStringLiteral("cast(x'F490808061' as text)"),
                             QStringLiteral("cast(x'EFBFBE61' as text)"),
                             QStringLiteral("cast(x'C2' as text)"),
                             QStringLiteral("cast(x'61006200' as text)")};
    for (const QString& value : odd) {
        QCOMPARE(db.exec(QStringLiteral("insert into tt_a (a1) values (%1)").arg(value)), QString());
        QCOMPARE(db.exec(QStringLiteral("insert into tt_f (a1) select a1 from tt_a where aid = "
                                        "(select max(aid) from tt_a)")),
                 QString());
    }
    QCOMPARE(db.exec(QStringLiteral("commit")), QString());

    like::NameIndex ascii(Folding::Ascii), folded(Folding::Unicode), preFolded(Folding::Unicode);
    QStringList aids, foldedAids, unused;
    loadIndex(c, QStringLiteral("tt_a"), ascii, aids);
    loadIndex(c, QStringLiteral("tt_a"), folded, unused);
    loadIndex(c, QStringLiteral("tt_f"), preFolded, foldedAids);
    QCOMPARE(foldedAids, aids);

    const EngineConnection plain(db.path());
    QVERIFY(plain.handle());
    QStringList texts = {QString(),           QStringLiteral("%"),      QStringLiteral("_"),
                         QStringLiteral("'"), QStringLiteral("\uFFFD"), QStringLiteral("a\u0000b")};
    for (int i = 0; i < 300; ++i)
        texts << randomText(random, kTextPieces, 6);
    for (const QString& text : texts) {
        QString error;
        const QStringList engine = engineSearch(plain, QStringLiteral("tt_a"), text, &error);
        QCOMPARE(error, QString());
        QCOMPARE(matcherSearch(ascii, aids, text, Folding::Ascii), engine);

        if (text.contains(QChar(0)))
            continue; // the engine's pattern ends at the NUL, before the closing "%"; folded below anyway
        const QString foldedText = normalized(text, Folding::Unicode);
        const QStringList engineFolded = engineSearch(plain, QStringLiteral("tt_f"), foldedText, &error);
        QCOMPARE(error, QString());
        QCOMPARE(matcherSearch(folded, aids, text, Folding::Unicode), engineFolded);
        // The same text reached by narrowing the result of a shorter one.
        for (int cut = 0; cut < text.size(); ++cut) {
            if (text[cut].isLowSurrogate())
                continue; // a whole character is typed at once
            const std::vector<uint32_t> before = rowsOf(folded, text.left(cut), Folding::Unicode);
            QCOMPARE(matcherSearch(folded, aids, text, Folding::Unicode, &before), engineFolded);
        }
    }
}

void TestLikeMatcher::fixedCases_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::newRow("substring") << QStringLiteral("haoming.com") << QStringLiteral("omi") << true;
    QTest::newRow("case ignored") << QStringLiteral("HaoMing.COM") << QStringLiteral("hAOm") << true;
    QTest::newRow("empty text finds all") << QString() << QString() << true;
    QTest::newRow("underscore is one character")
        << QStringLiteral("中文.cn") << QStringLiteral("中_.") << true;
    QTest::newRow("underscore needs a character") << QStringLiteral("ab") << QStringLiteral("ab_") << false;
    QTest::newRow("percent inside") << QStringLiteral("a-long-b.cn") << QStringLiteral("a%b") << true;
    QTest::newRow("order of segments") << QStringLiteral("b-a.cn") << QStringLiteral("a%b") << false;
    QTest::newRow("segments do not overlap") << QStringLiteral("aba") << QStringLiteral("aba%ba") << false;
    QTest::newRow("underscores before a literal") << QStringLiteral("xyab") << QStringLiteral("__ab") << true;
    QTest::newRow("too few before a literal") << QStringLiteral("yab") << QStringLiteral("%__ab") << false;
    QTest::newRow("quote is a character") << QStringLiteral("o'neil.com") << QStringLiteral("o'n") << true;
    QTest::newRow("beyond ASCII folds") << QStringLiteral("ÄBC.cn") << QStringLiteral("äb") << true;
    QTest::newRow("Greek final sigma") << QStringLiteral("ΣΟΦΙΑ") << QStringLiteral("σοφ") << true;
    QTest::newRow("Chinese as typed") << QStringLiteral("好名字.com") << QStringLiteral("名字") << true;
    // Names are searched sixteen bytes at a time: texts at the end of a long name, across the sixteenth
    // byte, and first and last bytes present with a different middle.
    QTest::newRow("at the very end") << QStringLiteral("abcdefghijklmnopqrstuvwxyz0123.com.cn")
                                     << QStringLiteral(".cn") << true;
    QTest::newRow("across the sixteenth byte")
        << QStringLiteral("abcdefghijklmnopqrstuvwxyz") << QStringLiteral("nopq") << true;
    QTest::newRow("first and last bytes only")
        << QStringLiteral("axxc-ayyc-azzc-awwc-avvc.cn") << QStringLiteral("abbc") << false;
    QTest::newRow("one byte at the end")
        << QStringLiteral("abcdefghijklmnopqrstuvwxyz") << QStringLiteral("z") << true;
}

void TestLikeMatcher::fixedCases()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, found);
    like::NameIndex index;
    const QByteArray utf8 = name.toUtf8();
    index.append(std::string_view(utf8.constData(), size_t(utf8.size())));
    const like::Pattern pattern = like::Pattern::contains(text, Folding::Unicode);
    QCOMPARE(index.match(pattern).size() == 1, found);
    QCOMPARE(index.narrow(pattern, {0}).size() == 1, found);
}

void TestLikeMatcher::foldsBeyondAscii_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Folding>("folding");
    QTest::addColumn<int>("rows");
    // Names: "ÄBC.cn", "äbc.cn", "abc.cn".
    QTest::newRow("unicode: both spellings") << QStringLiteral("äb") << Folding::Unicode << 2;
    QTest::newRow("unicode: capital typed") << QStringLiteral("ÄB") << Folding::Unicode << 2;
    QTest::newRow("ascii: only as stored") << QStringLiteral("äb") << Folding::Ascii << 1;
    QTest::newRow("plain letters stay apart") << QStringLiteral("ab") << Folding::Unicode << 1;
}

void TestLikeMatcher::foldsBeyondAscii()
{
    QFETCH(QString, text);
    QFETCH(Folding, folding);
    QFETCH(int, rows);
    like::NameIndex index(folding);
    for (const char* name : {"ÄBC.cn", "äbc.cn", "abc.cn"})
        index.append(name);
    QCOMPARE(int(index.match(like::Pattern::contains(text, folding)).size()), rows);
}

void TestLikeMatcher::tooLongPatternMatchesNothing()
{
    // The engine refuses such a pattern; no domain name holds a text that long.
    like::NameIndex index;
    index.append("a.com");
    const like::Pattern pattern =
        like::Pattern::contains(QString(like::kMaxPatternBytes, QLatin1Char('%')), Folding::Unicode);
    QVERIFY(pattern.tooComplex());
    QVERIFY(index.match(pattern).empty());
}

void TestLikeMatcher::backtrackingPatternStaysLinear()
{
    // Names of 253 "a" make the engine's LIKE backtrack without end on "a%a%a%b"; the matcher places each
    // segment once, so this takes milliseconds (bench_search times 100,000 such names).
    like::NameIndex index;
    const std::string name(253, 'a');
    for (int i = 0; i < 20000; ++i)
        index.append(name);
    index.append(name + "b");
    for (const char* text : {"a%a%a%b", "a_a%a_a%_b", "%%%%%%%%%%%%%%%%%%%%%%%b", "a%a%a%a%a%a%a%a%a%ab"}) {
        const auto rows = index.match(like::Pattern::contains(QString::fromLatin1(text), Folding::Unicode));
        QCOMPARE(rows, std::vector<uint32_t>{20000});
    }
}

void TestLikeMatcher::anyFieldSearchSameRowsAsTheEngine_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("firstRows"); // read at once when the list opens in steps; 0: read all at once
    QTest::newRow("small portfolio") << 11u << 60 << 0;
    QTest::newRow("medium portfolio") << 12u << 400 << 0;
    QTest::newRow("typed while the rows come in") << 13u << 400 << 50;
}

// The search in every field answered from the rows held, against the engine running the same statement
// (its LIKE is the matcher, compared with the engine's own above): random names, descriptions, registrars,
// addresses and notes (few distinct values in some fields, as in a portfolio, NULLs among them), texts
// typed one character at a time so that each keystroke narrows the last.
void TestLikeMatcher::anyFieldSearchSameRowsAsTheEngine()
{
    QFETCH(quint32, seed);
    QFETCH(int, rows);
    QFETCH(int, firstRows);
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QRandomGenerator random(seed);
    const QStringList registrars = {QStringLiteral("阿里云"), QStringLiteral("GoDaddy"),
                                    QStringLiteral("西部数码"), QString()};
    QCOMPARE(db.exec(QStringLiteral("begin")), QString());
    for (int i = 0; i < rows; ++i) {
        const qint64 aid = db.insert({randomText(random, kNamePieces, 6),
                                      randomText(random, kNamePieces, 4),
                                      registrars[random.bounded(registrars.size())],
                                      randomText(random, kNamePieces, 3),
                                      {},
                                      {},
                                      randomText(random, kNamePieces, 8)});
        QVERIFY(aid > 0);
        if (i % 7 == 0) {
            const QString field = QStringLiteral("a%1").arg(
                QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                            QStringLiteral("4"), QStringLiteral("7")}[random.bounded(5)]);
            QCOMPARE(db.exec(QStringLiteral("update tt_a set %1 = NULL where aid = %2").arg(field).arg(aid)),
                     QString());
        }
    }
    QCOMPARE(db.exec(QStringLiteral("commit")), QString());

    Dataset engine(db.module()->Conn_service()); // no row filter: every statement runs in the engine
    auto engineRows = [&](const QString& text) {
        engine.setSql(sql::kSearchAll);
        engine.setParam(QStringLiteral("qall"), text);
        const QString error = engine.open().error();
        return error.isEmpty() ? columnTexts(&engine, QStringLiteral("aid")) : QStringList{error};
    };
    DomainList* list = db.module()->domains();
    Dataset* held = db.queryA();
    if (firstRows > 0) {
        held->setSql(sql::kDefaultList);
        QCOMPARE(held->openInSteps(firstRows, 40).error(), QString());
        QVERIFY(held->isFilling());
    } else {
        QVERIFY(list->showDefault().ok());
    }

    QStringList texts = {QStringLiteral("阿里云"), QStringLiteral("%"), QStringLiteral("_")};
    for (int i = 0; i < 40; ++i)
        texts << randomText(random, kTextPieces, 4);
    for (const QString& text : texts) {
        for (int cut = 1; cut <= text.size(); ++cut) {
            if (text[cut - 1].isHighSurrogate())
                continue; // a whole character is typed at once
            const QString typed = text.left(cut);
            QVERIFY(list->search(typed, SearchScope::AllFields).ok());
            if (held->isFilling())
                QTRY_VERIFY(!held->isFilling()); // the rest keep coming, those the search keeps
            QCOMPARE(columnTexts(held, QStringLiteral("aid")), engineRows(typed));
        }
        // The same text searched in the names only gives the names' rows again.
        QVERIFY(list->search(text).ok());
        engine.setSql(sql::kSearch);
        engine.setParam(QStringLiteral("q"), text);
        QCOMPARE(engine.open().error(), QString());
        QCOMPARE(columnTexts(held, QStringLiteral("aid")), columnTexts(&engine, QStringLiteral("aid")));
    }
}

QTEST_GUILESS_MAIN(TestLikeMatcher)
#include "tst_likematcher.moc"
