#include "LockRule.h"

#include "LockHost.h"

#include <QWidget>

void ApplyLockRule(const QString& ub2, QWidget* lockGroup, LockHost* host)
{
    if (!lockGroup || !host)
        return;
    if (ub2 == QLatin1String("0")) {
        lockGroup->setVisible(false);
        host->setNavigationEnabled(true);
    } else if (ub2 == QLatin1String("1")) {
        lockGroup->setVisible(true);
        host->setNavigationEnabled(false);
    }
}
