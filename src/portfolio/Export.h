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
