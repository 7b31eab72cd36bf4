#pragma once

#include "db/DomainList.h"
#include "platform/Dialogs.h"

#include <QCursor>
#include <QGuiApplication>

// Makes a change of the list. While the rows after the first ones are still being read (the first
// second after the start of a large portfolio), a sort, a deletion or an expiry list waits for the rest
// (a search only when the file changed meanwhile; it is otherwise answered from the rows read so far):
// the busy cursor shows it meanwhile (and is gone before any message about the change).
template <typename Change> Result changeList(const DomainList* list, Change change, bool waits = true)
{
    const bool filling = waits && list && list->isFilling();
    if (filling)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const Result result = change();
    if (filling)
        QGuiApplication::restoreOverrideCursor();
    return result;
}

// Makes the list hold every row before a reader that needs them all (export, print, bulk work) counts or
// reads them: the rows still coming in are read at once, with the busy cursor meanwhile. False, after the
// error box, when they could not be read (the list is then empty).
inline bool readWholeList(QWidget* parent, DomainList* list)
{
    const Result read = changeList(list, [list] { return list->readAll(); });
    if (!read.ok())
        MessageBox::appError(parent, read.error());
    return read.ok();
}
