#pragma once

class DomainList;
class QWidget;
class ReportProject;

// 打 印: runs the default report of the report project (RvProject1, the file yuming.rav in the
// current directory, opened on the first run and kept open) over the domain list.
void printDomainList(QWidget* parent, DomainList* list, ReportProject& project);
