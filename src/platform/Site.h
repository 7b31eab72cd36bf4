#pragma once

#include "platform/SiteConfig.h" // LANSHU_SITE_ADDRESS: scheme and host, from the build setting LANSHU_SITE

#include <QString>

// The maker's web site: the home page and the host that serves the in-program pages.
namespace site {
inline const QString kPagesHost = QStringLiteral(LANSHU_SITE_ADDRESS); // no trailing slash
inline const QString kHomePage = QStringLiteral(LANSHU_SITE_ADDRESS "/");
} // namespace site
