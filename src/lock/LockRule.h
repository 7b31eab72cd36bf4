#pragma once

#include <QString>

class QWidget;
class LockHost;

// The lock rule: "0" hides the lock group and enables the navigation bar; "1" shows the
// lock group and disables the navigation bar; any other text changes nothing.
void ApplyLockRule(const QString& ub2, QWidget* lockGroup, LockHost* host);
