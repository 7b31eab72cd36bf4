#pragma once

#include "RowChanges.h"

#include <QString>
#include <QStringList>
#include <optional>

// What "批量修改" does to each domain chosen: fields set to one text, the notes replaced or added to,
// the expiry date moved on by whole years. Knows nothing of widgets.
namespace bulkedit {

struct Edit
{
    std::optional<QString> registrar;   // a3
    std::optional<QString> description; // a2
    std::optional<QString> price;       // a9
    std::optional<QString> address;     // a4
    enum class Notes
    {
        Keep,
        Replace,
        Append // after the notes there are, on a new line when there are any
    };
    Notes notesMode = Notes::Keep;
    QString notes;
    int extendYears = 0; // 到期日期顺延 N 年; 0 leaves the dates

    bool changesSomething() const
    {
        return registrar || description || price || address || notesMode != Notes::Keep || extendYears != 0;
    }
};

// The expiry date text moved on by `years` whole years (29 February to 28 February in a year without it),
// written in the form the text had (its separators, its digits' widths, a time after it) where that form
// reads back as the new date, else as yyyy-MM-dd. A null text when the date cannot be read.
QString extendedExpiry(const QString& text, int years);

// The change that makes the edit on the rows given (as they are held now). Rows the edit leaves as they
// are stay out of it. The domains whose expiry date cannot be read are left with it, and named in
// *unreadable.
RowChange changeFor(const RowPack& rows, const Edit& edit, QStringList* unreadable = nullptr);

} // namespace bulkedit
