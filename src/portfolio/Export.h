#pragma once

class QWidget;
class Dataset;

// "批量导出": writes every row the list holds, in its present order, to yuming.xls in the
// program's folder and hands the file to the system's default application for it.
void exportDomainList(QWidget* parent, Dataset* query);
