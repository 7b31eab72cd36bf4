#include "Export.h"

void exportDomainList(QWidget* parent, Dataset* query)
{
    Q_UNUSED(parent);
    Q_UNUSED(query);
}
