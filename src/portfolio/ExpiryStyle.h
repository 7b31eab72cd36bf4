#pragma once

#include "db/Expiry.h"

#include <QColor>

// How near expiry shows: the same colours in the list, the detail pane and the status bar.
namespace expirystyle {

inline const QColor kExpired(0xC8, 0x1E, 0x1E); // already expired: red
inline const QColor kSoon(0xD9, 0x6A, 0x00);    // within 30 days: orange
inline const QColor kNear(0x8C, 0x74, 0x2E);    // within 90 days: a quieter brownish mark

// The colour for a status; invalid for a date that is fine or unreadable (drawn as usual).
inline QColor colour(expiry::Status status)
{
    switch (status) {
    case expiry::Status::Expired:
        return kExpired;
    case expiry::Status::Within30:
        return kSoon;
    case expiry::Status::Within90:
        return kNear;
    default:
        return {};
    }
}

} // namespace expirystyle
