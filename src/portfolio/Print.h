#pragma once

#include "report/ReportProject.h"

#include <QStringList>

class DomainList;
class QWidget;

// 打 印: runs a report of the report project (RvProject1, the file yuming.rav in the current
// directory, opened on the first run and kept open) over the domain list: the default report, or
// the one the user chose last in the preview.
// shownColumns: the fields the list shows (a1, a9 ...), for a report whose columns follow the list.
void printDomainList(QWidget* parent, DomainList* list, ReportProject& project,
                     const QStringList& shownColumns = {});

// The columns of a report that follows the list: its own (those of a list as it first shows, firstShown),
// less those the user has hidden in the list, then those the user has shown there, in the list's order.
// The management password is never printed.
QList<ReportColumn> listReportColumns(const QList<ReportColumn>& own, const QStringList& shown,
                                      const QStringList& firstShown);
