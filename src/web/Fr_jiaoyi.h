#pragma once

#include "WebPanel.h"

// The trading panel Fr_jiaoyi1 ("域名买卖"): the maker's domain trading page.
class TFr_jiaoyi : public WebPanel
{
    Q_OBJECT
public:
    explicit TFr_jiaoyi(QWidget* parent = nullptr)
        : WebPanel(QStringLiteral("Fr_jiaoyi1"), QStringLiteral("panel_title_jiaoyi"),
                   QStringLiteral("域名买卖"), webpages::trading(), parent)
    {
    }
};
