#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace registry {

// What one registry answer says, as its reader understood it.
struct Parsed
{
    enum class Kind
    {
        Found,      // the name is registered; the fields below are what the answer gives
        Free,       // the registry holds no record of the name
        SlowDown,   // the server asks for fewer queries (retryAfterSeconds when it says how long)
        Unreadable, // an answer whose form is not understood: reported, never guessed
    };
    Kind kind = Kind::Unreadable;
    QDate registered;
    QDate expires;
    QString registrar;
    QStringList statuses; // the registry's status words as it gives them
    QString reason;       // for SlowDown and Unreadable, in Chinese
    int retryAfterSeconds = -1;
};

// The outcome of the look-up of one domain of the portfolio.
struct Answer
{
    enum class Outcome
    {
        Found,
        Unregistered,
        Failed, // reason says why; such an answer changes nothing
    };
    QString aid;     // the row of tt_a
    QString domain;  // as stored
    QString queried; // the name as sent (xn-- form)
    Outcome outcome = Outcome::Failed;
    QDate registered;
    QDate expires;
    QString registrar;
    QStringList statuses;
    QString source; // "RDAP <address>" or "WHOIS <server>"
    QString reason;
    QDateTime time; // when the answer came
};

} // namespace registry
