#pragma once

class QWidget;
class DomainList;

// "批量导出": writes every row the list holds, in its present order, to yuming.xls in the
// data folder (Platform::dataFolder(): the program's folder, or the user's own for an installed copy;
// yuming.xlsx for a list longer than one .xls worksheet holds) and hands the file to
// the system's default application for it. The caller has refused an empty list already. Refuses, with
// a message and without touching the old file, a list longer than even an .xlsx worksheet holds. The
// walk over the rows leaves the last row current.
void exportDomainList(QWidget* parent, DomainList* list);

// "导出到期日历…": asks where to save an .ics calendar (proposing 域名到期.ics in the data folder) and
// writes the expiry date of every domain the list holds, with its reminders; then tells how many were
// written and names the domains whose expiry date cannot be read (those are left out). The caller has
// refused an empty list already.
void exportExpiryCalendar(QWidget* parent, DomainList* list);
