#pragma once

class DomainList;
class QWidget;
class ReportProject;

// 打 印: runs a report of the report project (RvProject1, the file yuming.rav in the current
// directory, opened on the first run and kept open) over the domain list: the default report, or
// the one the user chose last in the preview.
void printDomainList(QWidget* parent, DomainList* list, ReportProject& project);
