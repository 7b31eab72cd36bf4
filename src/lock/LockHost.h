#pragma once

// What the lock panel and the password dialog need of the main window.
class LockHost
{
public:
    virtual ~LockHost() = default;
    // Enables or disables the navigation bar (bsSkinButtonsBar1).
    virtual void setNavigationEnabled(bool enabled) = 0;
    virtual bool isNavigationEnabled() const = 0;
    // Shows the welcome panel and hides the other three.
    virtual void showWelcomePanel() = 0;
    // Shows the portfolio panel and hides the other three (no reload).
    virtual void showPortfolioPanel() = 0;
};
