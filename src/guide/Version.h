#pragma once

#include <QString>

// The version the program shows: in the main window's caption and in the About dialog.
namespace product {
inline const QString kVersion = QStringLiteral("V1.0");
} // namespace product
