#pragma once

#include <QString>

// The maker's web site: the home page and the host that serves the in-program pages.
namespace site {
inline const QString kHomePage = QStringLiteral("http://www.lanshu.example/");
inline const QString kPagesHost = QStringLiteral("http://www.lanshu.example");
} // namespace site
