#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>

class TDataModule2;

// Fills tt_a of a new encrypted database file with `count` realistic domains (names of mixed
// length and endings, Chinese descriptions, registrars, dates, prices, some notes).
// Returns an empty text on success.
QString generateDomainFile(const QString& path, int count);

// Portfolio-like contents: domain names of the kinds investors hold (pinyin, English words, letters,
// digits, a few Chinese names), with the repeats a real portfolio has in its other fields
// (descriptions, registrars, prices), addresses, dates, notes and passwords.
namespace benchgen {

// One record, a1 .. a9, drawn from the generator state (same seed, same records).
class DomainMaker
{
public:
    explicit DomainMaker(quint32 seed = 20240601u) : m_state(seed ? seed : 1u) {}
    QStringList next();

private:
    quint32 random();
    int below(int n) { return int(random() % quint32(n)); }
    template <typename T, size_t N> const T& pick(const T (&items)[N]) { return items[below(int(N))]; }
    QString name();
    QString date(int fromYear, int toYear);
    quint32 m_state;
};

// Creates the database file at path (the shipped tables, encrypted with the program's password) when it
// does not exist, then appends count records of DomainMaker in one transaction. Empty on success.
QString generateDomains(const QString& path, int count, quint32 seed = 20240601u);

// For the benchmarks: generates count domains into the database file in folder, makes folder the
// current directory and opens the data module there (as the program does). Prints how long the
// generation took; on failure prints why and returns nullptr.
std::unique_ptr<TDataModule2> openGeneratedPortfolio(const QString& folder, int count);

} // namespace benchgen
