#pragma once

#include "WebPanel.h"

// The tools panel Fr_gongju1 ("岚枢工具"): the maker's page of tools and addresses.
class TFr_gongju : public WebPanel
{
    Q_OBJECT
public:
    explicit TFr_gongju(QWidget* parent = nullptr)
        : WebPanel(QStringLiteral("Fr_gongju1"), QStringLiteral("panel_title_gongju"),
                   QStringLiteral("岚枢网址"), webpages::tools(), parent)
    {
    }
};
