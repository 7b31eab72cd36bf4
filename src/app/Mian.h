#pragma once

#include <QDate>
#include <QHash>
#include <QMainWindow>

#include "lock/LockHost.h"

class QLabel;
class QToolButton;
class NavigationBar;
class TDataModule2;
class TFr_wel;
class TFr_guanli;
class TFr_jiaoyi;
class TFr_gongju;
class Thelp;
class Tabout;
class Tset_mima;
class Tedit_yuming;
class Tnew_yuming;
class Tdaoru;
class DesktopReminder;
class QTimer;

// The main window: navigation bar, four panels of which one is visible, status bar.
class Tmian : public QMainWindow, public LockHost
{
    Q_OBJECT
public:
    // Builds the window without touching the database (FormCreate).
    Tmian();
    ~Tmian() override;

    // Binds the controls that show the shared queries, once the data module exists.
    void bindData(TDataModule2* data);
    void setDialogs(Thelp* help, Tabout* about, Tset_mima* setMima, Tedit_yuming* edit, Tnew_yuming* add,
                    Tdaoru* import);

    // The show step, run once before the window first becomes visible.
    void FormShow();

    // The layout the user left at the last close (size and place, the portfolio's splitter and
    // columns; never the panel: a start begins on the welcome panel), from the per-user settings; run after
    // the show step, before the window is shown. False when there was no remembered size and place.
    bool restoreLayout();
    // Writes the layout to the per-user settings (done when the window closes).
    void saveLayout() const;

    // --- LockHost ---
    void setNavigationEnabled(bool enabled) override;
    bool isNavigationEnabled() const override;
    void showWelcomePanel() override;
    void showPortfolioPanel() override;

    // Navigation actions.
    void showPortfolio();           // "功 能" header and "域名管理"
    void showTrading();             // "域名买卖"
    void showTools();               // "岚枢工具"
    void bsSkinSpeedButton3Click(); // padlock
    void bsSkinLinkImage1Click();   // web link picture
    void restoreFromBackup();       // "从备份恢复"

    NavigationBar* bsSkinButtonsBar1() const { return m_nav; }
    TFr_wel* Fr_wel1() const { return m_wel; }
    TFr_guanli* Fr_guanli1() const { return m_guanli; }
    TFr_jiaoyi* Fr_jiaoyi1() const { return m_jiaoyi; }
    TFr_gongju* Fr_gongju1() const { return m_gongju; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showOnly(QWidget* panel);
    // Today's reminder of expiring domains, unless given already (never while the lock is on).
    void remindOfExpiry();
    void openEditDialog();

    TDataModule2* m_data = nullptr;
    NavigationBar* m_nav = nullptr;
    QHash<QString, QToolButton*> m_navItems; // the navigation item of each panel, by its name
    TFr_wel* m_wel = nullptr;
    TFr_guanli* m_guanli = nullptr;
    TFr_jiaoyi* m_jiaoyi = nullptr;
    TFr_gongju* m_gongju = nullptr;
    QToolButton* m_padlock = nullptr; // bsSkinSpeedButton3
    QLabel* m_runHolder = nullptr;    // bsSkinStdLabel1, the "run" value read at start
    QLabel* m_webLink = nullptr;      // bsSkinLinkImage1
    Thelp* m_help = nullptr;
    Tabout* m_about = nullptr;
    Tset_mima* m_setMima = nullptr;
    Tedit_yuming* m_edit = nullptr;
    Tnew_yuming* m_add = nullptr;
    Tdaoru* m_import = nullptr;
    DesktopReminder* m_reminder = nullptr;
    QTimer* m_remindSoon = nullptr;  // after the start or an unlock, once the window has drawn
    QTimer* m_remindDaily = nullptr; // a new day while the program runs
    QDate m_remindedOn;
    QLabel* m_reminderNote = nullptr; // the reminder's text when the desktop has no notification service
};
