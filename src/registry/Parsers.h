#pragma once

#include "Answer.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// The readers of registry answers: pure functions of the answer's text.
namespace registry {

// An RDAP domain answer (a JSON object of class "domain"): dates from its events "registration" and
// "expiration", the registrar from the entity, however deeply nested, whose roles include "registrar"
// (its vCard's "fn"), the status words from "status".
Parsed parseRdap(const QByteArray& json);

// A WHOIS answer over port 43: CNNIC's "Key: value" lines and the common keys of other registries;
// "No matching record." and the like for a free name, "Queried interval is too short" and the like for
// a server that asks for fewer queries. An answer without any known key is unreadable.
Parsed parseWhois(const QByteArray& text);

// A date as registries write it: "2026-12-10", "2026-12-10 08:00:00", "2026-12-10T04:00:00Z",
// "2026-12-10T04:00:00.0Z", "10-Dec-2026", "2026/12/10", "2026.12.10". The day as written (no zone
// conversion). Invalid when it is none of these.
QDate parseDate(const QString& text);

// The seconds of an HTTP Retry-After header (a number of seconds or an HTTP date, counted from now);
// -1 when there is none or it cannot be read.
int parseRetryAfter(const QByteArray& header, const QDateTime& now);

} // namespace registry
