#include "Mian.h"

#include <QPointer>

#include "NavigationBar.h"
#include "RestoreBackup.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/DomainList.h"
#include "db/UndoHistory.h"
#include "entry/Daoru.h"
#include "entry/Edit_yuming.h"
#include "entry/MappedImport.h"
#include "entry/New_yuming.h"
#include "guide/About.h"
#include "guide/Help.h"
#include "guide/IniFile.h"
#include "guide/Version.h"
#include "lock/Fr_wel.h"
#include "lock/Set_mima.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "platform/Site.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/ListChange.h"
#include "portfolio/PanelWidgets.h"
#include "portfolio/PortfolioStatus.h"
#include "reminders/DesktopReminder.h"
#include "reminders/ReminderDialog.h"
#include "web/Fr_gongju.h"
#include "web/Fr_jiaoyi.h"
#include "web/WebBrowser.h"
#include "web/WebPages.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace {
// The last import by headings as a step of the undo history: the import takes itself back (and says how
// that went); it is not made again.
class ImportStep : public ListCommand
{
public:
    ImportStep(MappedImport* import, QWidget* window)
        : ListCommand(RowChange{}), m_import(import), m_window(window)
    {
    }
    QString description() const override;
    rowwriter::Outcome revert(DomainList& list, const rowwriter::Progress& progress) const override;
    bool canRedo() const override { return false; }

private:
    QPointer<MappedImport> m_import;
    QWidget* m_window;
};
} // namespace

Tmian::Tmian()
{
    setObjectName(QStringLiteral("mian"));
    setWindowTitle(QStringLiteral("岚枢 ") + product::kVersion);
    setWindowIcon(QIcon(QStringLiteral(":/skin/lanshu.svg")));
    resize(940, 614);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_nav = new NavigationBar(central);
    const int functions =
        m_nav->addSection(QStringLiteral("功 能"), QStringLiteral("bsSkinButtonsBarSection1"));
    QToolButton* guanli = m_nav->addItem(functions, QIcon(QStringLiteral(":/icons/notebook.svg")),
                                         QStringLiteral("域名管理"), QStringLiteral("navGuanli"));
    QToolButton* jiaoyi = m_nav->addItem(functions, QIcon(QStringLiteral(":/icons/signpost.svg")),
                                         QStringLiteral("域名买卖"), QStringLiteral("navJiaoyi"));
    QToolButton* gongju = m_nav->addItem(functions, QIcon(QStringLiteral(":/icons/globe_server.svg")),
                                         QStringLiteral("岚枢工具"), QStringLiteral("navGongju"));
    const int settings =
        m_nav->addSection(QStringLiteral("设 置"), QStringLiteral("bsSkinButtonsBarSection2"));
    QToolButton* mima = m_nav->addItem(settings, QIcon(QStringLiteral(":/icons/key.svg")),
                                       QStringLiteral("设置密码"), QStringLiteral("navMima"));
    QToolButton* restore = m_nav->addItem(settings, QIcon(QStringLiteral(":/icons/restore.svg")),
                                          QStringLiteral("从备份恢复"), QStringLiteral("navRestore"));
    QToolButton* reminders = m_nav->addItem(settings, QIcon(QStringLiteral(":/icons/bell.svg")),
                                            QStringLiteral("提醒设置"), QStringLiteral("navReminders"));
    QToolButton* help = m_nav->addItem(settings, QIcon(QStringLiteral(":/icons/help.svg")),
                                       QStringLiteral("帮 助"), QStringLiteral("navHelp"));
    QToolButton* about = m_nav->addItem(settings, QIcon(QStringLiteral(":/icons/about.svg")),
                                        QStringLiteral("关 于"), QStringLiteral("navAbout"));
    row->addWidget(m_nav);
    m_navItems = {{QStringLiteral("Fr_guanli1"), guanli},
                  {QStringLiteral("Fr_jiaoyi1"), jiaoyi},
                  {QStringLiteral("Fr_gongju1"), gongju}};

    auto* panels = new QWidget(central);
    auto* grid = new QGridLayout(panels);
    grid->setContentsMargins(0, 0, 0, 0);
    m_wel = new TFr_wel(panels);
    m_guanli = new TFr_guanli(panels);
    m_jiaoyi = new TFr_jiaoyi(panels);
    m_gongju = new TFr_gongju(panels);
    for (QWidget* panel : {static_cast<QWidget*>(m_wel), static_cast<QWidget*>(m_guanli),
                           static_cast<QWidget*>(m_jiaoyi), static_cast<QWidget*>(m_gongju)}) {
        grid->addWidget(panel, 0, 0);
        panel->hide();
    }
    row->addWidget(panels, 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("bsSkinStatusBar1"));
    status->setFixedHeight(21);
    status->setSizeGripEnabled(true);
    m_padlock = new QToolButton(status);
    m_padlock->setObjectName(QStringLiteral("bsSkinSpeedButton3"));
    m_padlock->setIcon(QIcon(QStringLiteral(":/icons/padlock.svg")));
    m_padlock->setAutoRaise(true);
    m_padlock->setFixedSize(25, 21);
    m_padlock->setToolTip(QStringLiteral("锁定"));
    status->addWidget(m_padlock);
    m_runHolder = new QLabel(QStringLiteral("软件是否第一次运行"), status);
    m_runHolder->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    m_runHolder->hide();
    m_webLink = new QLabel(status);
    m_webLink->setObjectName(QStringLiteral("bsSkinLinkImage1"));
    m_webLink->setFixedSize(90, 16);
    m_webLink->setPixmap(QIcon(QStringLiteral(":/pictures/weblink.svg")).pixmap(QSize(90, 16)));
    m_webLink->setCursor(Qt::PointingHandCursor);
    m_webLink->setToolTip(site::kHomePage);
    m_webLink->installEventFilter(this);
    status->addWidget(m_guanli->statusStrip(), 1); // shown with the portfolio panel
    // Shrinks with the window (cut off with "…", the whole text as its tool tip): it never widens it.
    m_reminderNote = new ValueLabel(status);
    m_reminderNote->setObjectName(QStringLiteral("reminderNote"));
    m_reminderNote->hide();
    status->addPermanentWidget(m_reminderNote);
    status->addPermanentWidget(m_webLink);
    setStatusBar(status);

    connect(m_nav, &NavigationBar::headerClicked, this, [this, functions](int section) {
        if (section == functions)
            showPortfolio();
    });
    connect(guanli, &QToolButton::clicked, this, &Tmian::showPortfolio);
    connect(jiaoyi, &QToolButton::clicked, this, &Tmian::showTrading);
    connect(gongju, &QToolButton::clicked, this, &Tmian::showTools);
    connect(mima, &QToolButton::clicked, this, [this] {
        if (m_setMima)
            m_setMima->exec();
    });
    connect(restore, &QToolButton::clicked, this, &Tmian::restoreFromBackup);
    connect(reminders, &QToolButton::clicked, this, [this] {
        ReminderDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            m_remindSoon->start(); // new thresholds may have something to tell today
    });
    connect(help, &QToolButton::clicked, this, [this] {
        if (m_help)
            m_help->exec();
    });
    connect(about, &QToolButton::clicked, this, [this] {
        if (m_about)
            m_about->exec();
    });
    connect(m_padlock, &QToolButton::clicked, this, &Tmian::bsSkinSpeedButton3Click);

    connect(m_guanli, &TFr_guanli::addRequested, this, [this] {
        if (m_add && m_add->exec() == QDialog::Accepted && m_data) {
            // The domain as stored, with the aid it was given, is the step to undo.
            DomainRecord added = m_add->record();
            added.aid = QString::number(m_data->Conn_service()->lastInsertRowId());
            m_guanli->undoHistory()->push(std::make_unique<AddCommand>(added));
        }
    });
    connect(m_guanli, &TFr_guanli::editRequested, this, &Tmian::openEditDialog);
    connect(m_guanli, &TFr_guanli::importRequested, this, [this] {
        if (m_import)
            m_import->exec();
    });
    connect(m_guanli, &TFr_guanli::helpRequested, this, [this] {
        if (m_help)
            m_help->exec();
    });
    m_wel->setHost(this);

    m_remindSoon = new QTimer(this);
    m_remindSoon->setObjectName(QStringLiteral("remindSoon"));
    m_remindSoon->setSingleShot(true);
    m_remindSoon->setInterval(1000);
    connect(m_remindSoon, &QTimer::timeout, this, &Tmian::remindOfExpiry);
    m_remindDaily = new QTimer(this);
    m_remindDaily->setInterval(10 * 60 * 1000);
    connect(m_remindDaily, &QTimer::timeout, this, [this] {
        if (m_remindedOn != Platform::today())
            remindOfExpiry();
    });
}

Tmian::~Tmian() = default;

namespace {
QString ImportStep::description() const
{
    return QStringLiteral("上次导入");
}

rowwriter::Outcome ImportStep::revert(DomainList&, const rowwriter::Progress&) const
{
    rowwriter::Outcome outcome; // the import's undo says how it went itself
    if (!m_import || !m_import->undoLast(m_window)) {
        outcome.result = Result::failure(QString());
        outcome.told = true;
    }
    return outcome;
}
} // namespace

void Tmian::bindData(TDataModule2* data)
{
    m_data = data;
    delete m_reminder;
    m_reminder = new DesktopReminder(data ? data->Conn_service()->path() : QString(), this);
    connect(m_reminder, &DesktopReminder::notShown, this, [this](const QString& text) {
        // Without a notification service the text stands in the status bar for a while.
        m_reminderNote->setText(QStringLiteral("到期提醒：") + text);
        m_reminderNote->show();
        QTimer::singleShot(5 * 60 * 1000, m_reminderNote, &QLabel::hide);
    });
    connect(m_reminder, &DesktopReminder::openRequested, this, [this](bool expired) {
        if (!isNavigationEnabled())
            return; // locked meanwhile: the lock stays
        showPortfolioPanel();
        if (expired)
            m_guanli->listExpired();
        else
            m_guanli->listExpiring();
        raise();
        activateWindow();
    });
    m_remindDaily->start();
    m_wel->bindData(data);
    m_guanli->bindData(data);
}

void Tmian::setDialogs(Thelp* help, Tabout* about, Tset_mima* setMima, Tedit_yuming* edit, Tnew_yuming* add,
                       Tdaoru* import)
{
    m_help = help;
    m_about = about;
    m_setMima = setMima;
    m_edit = edit;
    m_add = add;
    m_import = import;
    m_wel->attachPasswordDialog(m_setMima);
    // The last import by headings is a step of the panel's undo history (Ctrl+Z there, as "撤销上次导入"
    // does; the search box keeps Ctrl+Z for its own text while it has the focus).
    if (m_import) {
        connect(m_import->mappedImport(), &MappedImport::undoAvailable, this, [this](bool available) {
            UndoHistory* history = m_guanli->undoHistory();
            history->remove(
                [](const ListCommand& c) { return dynamic_cast<const ImportStep*>(&c) != nullptr; });
            if (available)
                history->push(std::make_unique<ImportStep>(m_import->mappedImport(), this));
        });
    }
    // The guide's animated picture: this window, framing the navigation bar, the toolbar, the domain
    // list, the search strip and the detail pane in turn; a locked program keeps its domains hidden.
    if (m_help)
        m_help->setDemoWindow(this, m_guanli,
                              {m_nav, m_guanli->bsSkinToolBar1(), m_guanli->bsSkinDBGrid1(),
                               m_guanli->searchStrip(), m_guanli->detailPane()->fields()},
                              [this] { return isNavigationEnabled(); });
}

void Tmian::restoreFromBackup()
{
    if (!m_data)
        return;
    const QString dbPath = Connection::kFileName;
    if (backup::copies(dbPath).isEmpty()) {
        MessageBox::show(
            this, MessageBox::Information, QStringLiteral("从备份恢复"),
            QStringLiteral("还没有数据库的备份。程序每天第一次启动时、导入和从注册局更新之前都会自动备份。"),
            MessageBox::Ok);
        return;
    }
    TRestoreBackup dialog(dbPath, this);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().isEmpty())
        return;
    const QString made =
        backup::info(dbPath, dialog.chosen()).made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (MessageBox::show(
            this, MessageBox::Question, QStringLiteral("从备份恢复"),
            QStringLiteral("确定用 %1 的备份替换现在的全部域名吗？\n现在的数据库会先另存为一份新的备份，"
                           "需要时可以再恢复回来。")
                .arg(made),
            MessageBox::Yes | MessageBox::No, MessageBox::No) != MessageBox::Yes)
        return;
    // The list read to its end first: its read and the restore share the connection.
    DomainList* list = m_data->domains();
    if (!readWholeList(this, list))
        return;
    const Expected<int> domains = [&] {
        WaitCursor wait;
        return backup::restore(m_data->Conn_service(), dbPath, dialog.chosen(),
                               QDateTime(Platform::today(), QTime::currentTime()));
    }();
    if (!domains.ok()) {
        MessageBox::show(this, MessageBox::Warning, QStringLiteral("从备份恢复"), domains.error(),
                         MessageBox::Ok);
        return;
    }
    // Every view follows: the list from the file, its totals and detail pane with it. The steps of the
    // run were made on the rows now replaced: none of them can be undone any more.
    m_guanli->undoHistory()->clear();
    if (const Result reread = list->reopen(); !reread.ok())
        MessageBox::appError(this, reread.error());
    MessageBox::show(this, MessageBox::Information, QStringLiteral("从备份恢复"),
                     QStringLiteral("已从 %1 的备份恢复，现有 %2 个域名。").arg(made).arg(domains.value()),
                     MessageBox::Ok);
}

void Tmian::FormShow()
{
    showWelcomePanel();
    m_wel->WebBrowser1()->requestPage(webpages::news());
    m_wel->applyLockRule();
    const QString run = IniFile::readRun();
    m_runHolder->setText(run);
    if (run == QLatin1String("1") && m_help)
        m_help->exec();
}

bool Tmian::restoreLayout()
{
    const WindowLayout layout = LayoutSettings::load();
    m_guanli->restoreLayout(layout.splitter, layout.columnWidths, layout.columns);
    const bool placed = !layout.geometry.isEmpty() && restoreGeometry(layout.geometry);
    // The panel is not restored: every start begins on the welcome panel, with its news and lock group.
    return placed;
}

void Tmian::saveLayout() const
{
    WindowLayout layout;
    layout.geometry = saveGeometry();
    layout.splitter = m_guanli->splitterState();
    layout.columnWidths = m_guanli->bsSkinDBGrid1()->rememberedWidths();
    layout.columns = m_guanli->bsSkinDBGrid1()->shownColumns();
    // Losing the layout costs the user nothing but a resize; it is not worth a message at exit.
    (void)LayoutSettings::save(layout);
}

void Tmian::closeEvent(QCloseEvent* event)
{
    saveLayout();
    QMainWindow::closeEvent(event);
}

void Tmian::showOnly(QWidget* panel)
{
    // Hide first, so the layout never holds two visible panels.
    for (QWidget* p : {static_cast<QWidget*>(m_wel), static_cast<QWidget*>(m_guanli),
                       static_cast<QWidget*>(m_jiaoyi), static_cast<QWidget*>(m_gongju)}) {
        if (p != panel)
            p->setVisible(false);
    }
    panel->setVisible(true);
    m_nav->setChosen(m_navItems.value(panel->objectName()));
}

void Tmian::setNavigationEnabled(bool enabled)
{
    m_nav->setEnabled(enabled);
    // Open (at the start, or unlocked): the reminder of the day, once the window has drawn.
    if (enabled)
        m_remindSoon->start();
    else
        m_remindSoon->stop();
}

void Tmian::remindOfExpiry()
{
    if (!m_reminder || !isNavigationEnabled())
        return;
    m_remindedOn = Platform::today();
    m_reminder->remind();
}
bool Tmian::isNavigationEnabled() const
{
    return m_nav->isEnabled();
}
void Tmian::showWelcomePanel()
{
    showOnly(m_wel);
}
void Tmian::showPortfolioPanel()
{
    showOnly(m_guanli);
}

void Tmian::showPortfolio()
{
    if (m_data) {
        if (const Result result = m_data->domains()->showDefault(); !result.ok()) {
            MessageBox::appError(this, result.error());
            return;
        }
    } else {
        m_guanli->bsSkinDBGrid1()->resetHeadings();
    }
    showPortfolioPanel();
}

void Tmian::showTrading()
{
    showOnly(m_jiaoyi);
    m_jiaoyi->firstShow();
}

void Tmian::showTools()
{
    showOnly(m_gongju);
    m_gongju->firstShow();
}

void Tmian::bsSkinSpeedButton3Click()
{
    m_wel->applyLockRule();
    showWelcomePanel();
}

void Tmian::bsSkinLinkImage1Click()
{
    Platform::openInBrowser(site::kHomePage);
}

void Tmian::openEditDialog()
{
    if (!m_edit)
        return;
    const DomainRecord before = m_guanli->detailPane()->record();
    m_edit->loadRecord(before);
    if (m_edit->exec() != QDialog::Accepted)
        return;
    DomainRecord after = m_edit->record();
    after.aid = before.aid;
    if (after != before)
        m_guanli->undoHistory()->push(std::make_unique<EditCommand>(before, after));
}

bool Tmian::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_webLink && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            bsSkinLinkImage1Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
