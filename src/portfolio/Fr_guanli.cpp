#include "Fr_guanli.h"

#include "Export.h"
#include "FilterStrip.h"
#include "ListChange.h"
#include "PanelWidgets.h"
#include "PortfolioStatus.h"
#include "Print.h"
#include "RegistryUpdate.h"
#include "db/DataModule.h"
#include "db/Expiry.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "report/ReportProject.h"

#include "BulkActions.h"
#include "ListSelection.h"
#include "db/UndoHistory.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace {
const int kListWidth = 490;   // the left column at the design size
const int kDesignWidth = 894; // the panel's width at the design size

// A text with its key, for a tool tip: "添加域名 (Ctrl+N)".
QString withKey(const QString& text, const QKeySequence& key)
{
    return QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText));
}

QString picture(const char* name)
{
    return QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name));
}

QFrame* divider(const char* name, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(22);
    return line;
}
} // namespace

TFr_guanli::TFr_guanli(QWidget* parent) : QWidget(parent), m_rvProject1(std::make_unique<ReportProject>())
{
    setObjectName(QStringLiteral("Fr_guanli1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Banner: 域名管理 on the left, the product name on the right, a neutral strip between.
    auto* banner = new QWidget(this);
    banner->setObjectName(QStringLiteral("banner"));
    auto* bannerRow = new QHBoxLayout(banner);
    bannerRow->setContentsMargins(0, 0, 0, 0);
    bannerRow->setSpacing(0);
    auto* left = new SvgPicture(picture("guanli_left"), {200, 40}, SvgPicture::Stretch, banner);
    left->setFixedWidth(200);
    auto* right = new SvgPicture(picture("guanli_right"), {160, 40}, SvgPicture::Stretch, banner);
    right->setFixedWidth(160);
    bannerRow->addWidget(left);
    bannerRow->addWidget(new SvgPicture(picture("guanli_mid"), {10, 40}, SvgPicture::Stretch, banner), 1);
    bannerRow->addWidget(right);
    layout->addWidget(banner);

    layout->addWidget(buildToolbar());

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("bsSkinSplitter1"));
    m_splitter->setHandleWidth(10);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(buildListColumn());
    m_detail = new DetailPane(this);
    m_splitter->addWidget(m_detail);
    // A widened window is shared between the list and the detail pane.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);
    layout->addWidget(m_splitter, 1);

    // Keyboard: F5 refreshes, Ctrl+F goes to the search box, Delete in the list deletes (after asking).
    auto* refresh = new QShortcut(QKeySequence::Refresh, this, this, &TFr_guanli::resetToDefaultList);
    refresh->setContext(Qt::WidgetWithChildrenShortcut);
    auto* find = new QShortcut(QKeySequence::Find, this, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    find->setContext(Qt::WidgetWithChildrenShortcut);
    auto* del = new QShortcut(QKeySequence::Delete, m_grid, m_grid, [this] { deleteCurrentDomain(); });
    del->setContext(Qt::WidgetShortcut);
    // Ctrl+N adds, wherever the focus is in the window, while the panel is shown.
    auto* add = new QShortcut(QKeySequence::New, this, this, [this] { emit addRequested(); });
    add->setContext(Qt::WindowShortcut);
    // Enter on a row edits it, as a double-click does.
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* edit = new QShortcut(QKeySequence(key), m_grid, m_grid, [this] { requestEdit(); });
        edit->setContext(Qt::WidgetShortcut);
    }
    connect(m_grid, &DomainTable::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            requestEdit();
    });
    // Esc in the search box does what "清除" does.
    auto* clear = findChild<QPushButton*>(QStringLiteral("btnClear"));
    auto* escape =
        new QShortcut(QKeySequence(Qt::Key_Escape), m_search, m_search, [clear] { clear->click(); });
    escape->setContext(Qt::WidgetShortcut);
    clear->setToolTip(withKey(QStringLiteral("清除速查和筛选，显示全部域名"), QKeySequence(Qt::Key_Escape)));
    m_search->setToolTip(withKey(QStringLiteral("速查"), QKeySequence::Find));

    m_status = new PortfolioStatus;
    m_status->hide();
    connect(m_status, &PortfolioStatus::expiredClicked, this, &TFr_guanli::listExpired);
    connect(m_status, &PortfolioStatus::expiringClicked, this, &TFr_guanli::listExpiring);
}

QToolButton* TFr_guanli::addToolButton(QWidget* bar, const char* name, const QString& icon,
                                       const QString& text)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    button->setIconSize({24, 24});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setMinimumHeight(34);
    bar->layout()->addWidget(button);
    return button;
}

QWidget* TFr_guanli::buildToolbar()
{
    auto* bar = new QFrame(this);
    m_toolBar = bar;
    bar->setObjectName(QStringLiteral("bsSkinToolBar1"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(2);
    QToolButton* add = addToolButton(bar, "btnAdd", QStringLiteral("add"), QStringLiteral("添 加"));
    QToolButton* edit = addToolButton(bar, "btnEdit", QStringLiteral("edit"), QStringLiteral("编 辑"));
    QToolButton* del = addToolButton(bar, "btnDelete", QStringLiteral("delete"), QStringLiteral("删 除"));
    row->addWidget(divider("divider1", bar));
    QToolButton* import =
        addToolButton(bar, "btnImport", QStringLiteral("import"), QStringLiteral("批量导入"));
    QToolButton* exp = addToolButton(bar, "btnExport", QStringLiteral("export"), QStringLiteral("批量导出"));
    row->addWidget(divider("divider2", bar));
    QToolButton* refresh =
        addToolButton(bar, "btnRefresh", QStringLiteral("refresh"), QStringLiteral("刷 新"));
    QToolButton* print = addToolButton(bar, "btnPrint", QStringLiteral("print"), QStringLiteral("打 印"));
    QToolButton* help = addToolButton(bar, "btnHelp", QStringLiteral("help"), QStringLiteral("帮 助"));
    row->addWidget(divider("divider3", bar));
    // 从注册局更新: the current domain, the domains listed now, or all of them.
    QToolButton* registry =
        addToolButton(bar, "btnRegistry", QStringLiteral("globe_server"), QStringLiteral("从注册局更新"));
    registry->setToolTip(QStringLiteral("从注册局读取到期日期、注册日期、注册商和状态，核对后写入"));
    registry->setPopupMode(QToolButton::InstantPopup);
    auto* scopes = new QMenu(registry);
    scopes->setObjectName(QStringLiteral("menuRegistry"));
    scopes->addAction(QStringLiteral("当前域名"), this, [this] { updateFromRegistries(0); });
    scopes->addAction(QStringLiteral("列表中的域名"), this, [this] { updateFromRegistries(1); });
    scopes->addAction(QStringLiteral("全部域名"), this, [this] { updateFromRegistries(2); });
    registry->setMenu(scopes);
    row->addStretch(1);

    add->setToolTip(withKey(QStringLiteral("添加域名"), QKeySequence::New));
    edit->setToolTip(withKey(QStringLiteral("编辑当前域名，也可双击该行"), QKeySequence(Qt::Key_Return)));
    del->setToolTip(withKey(QStringLiteral("删除当前域名"), QKeySequence::Delete));
    refresh->setToolTip(withKey(QStringLiteral("显示全部域名"), QKeySequence::Refresh));
    connect(add, &QToolButton::clicked, this, &TFr_guanli::addRequested);
    connect(edit, &QToolButton::clicked, this, &TFr_guanli::requestEdit);
    connect(del, &QToolButton::clicked, this, &TFr_guanli::deleteCurrentDomain);
    connect(import, &QToolButton::clicked, this, [this] {
        if (!refuseEmptyList())
            emit importRequested();
    });
    connect(exp, &QToolButton::clicked, this, [this] {
        if (!refuseEmptyList())
            exportDomainList(this, list());
    });
    // The button exports the workbook; its arrow offers the expiry calendar as well.
    exp->setPopupMode(QToolButton::MenuButtonPopup);
    auto* exports = new QMenu(exp);
    exports->setObjectName(QStringLiteral("menuExport"));
    exports->addAction(QStringLiteral("批量导出"), exp, &QToolButton::click);
    QAction* calendarAction = exports->addAction(QStringLiteral("导出到期日历…"), this, [this] {
        if (!refuseEmptyList())
            exportExpiryCalendar(this, list());
    });
    calendarAction->setObjectName(QStringLiteral("actExportCalendar"));
    exp->setMenu(exports);
    // From the keyboard: Alt+Down on the button opens its menu, as on a combo box.
    auto* openExports = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), exp, exp, &QToolButton::showMenu);
    openExports->setContext(Qt::WidgetShortcut);
    connect(refresh, &QToolButton::clicked, this, &TFr_guanli::resetToDefaultList);
    connect(print, &QToolButton::clicked, this, &TFr_guanli::printList);
    connect(help, &QToolButton::clicked, this, &TFr_guanli::helpRequested);
    return bar;
}

QWidget* TFr_guanli::buildListColumn()
{
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("listColumn"));
    auto* box = new QVBoxLayout(column);
    box->setContentsMargins(0, 4, 0, 4);
    box->setSpacing(0);

    auto* heading = new SvgPicture(picture("list_heading"), {kListWidth, 24}, SvgPicture::Natural, column);
    heading->setObjectName(QStringLiteral("listHeading"));
    box->addWidget(heading);

    m_filters = new FilterStrip(column);
    m_filters->setChoicesSource([this] { return list() ? list()->filterChoices() : FilterChoices(); });
    connect(m_filters, &FilterStrip::filterChanged, this, &TFr_guanli::applyFilter);
    box->addWidget(m_filters);

    m_grid = new DomainTable(column);
    box->addWidget(m_grid, 1);
    auto* registryAction = new QAction(QStringLiteral("从注册局更新此域名"), m_grid);
    registryAction->setObjectName(QStringLiteral("actRegistry"));
    connect(registryAction, &QAction::triggered, this, [this] { updateFromRegistries(0); });
    m_grid->addAction(registryAction);
    m_grid->addAction(m_grid->columnsAction());
    buildUndoActions();
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_grid, &DomainTable::selectionCountChanged, this, [this](int count) {
        if (m_status)
            m_status->setSelectedCount(count);
    });

    // Search strip: 速查: [box] 清除
    auto* strip = m_searchStrip = new QWidget(column);
    strip->setObjectName(QStringLiteral("searchStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 4, 0, 0);
    row->setSpacing(4);
    auto* label = new SvgPicture(picture("search_label"), {48, 22}, SvgPicture::Stretch, strip);
    label->setFixedSize(48, 22);
    label->setToolTip(QStringLiteral("速查:"));
    row->addWidget(label);
    m_search = new QLineEdit(strip);
    m_search->setObjectName(QStringLiteral("bsSkinEdit1"));
    m_search->setMaxLength(std::numeric_limits<int>::max());
    label->setAccessibleName(QStringLiteral("速查:"));
    row->addWidget(m_search, 1);
    // Where the search looks: the name only (as it always did), or every field the user writes words into.
    m_scope = new QComboBox(strip);
    m_scope->setObjectName(QStringLiteral("cmbSearchScope"));
    m_scope->addItem(QStringLiteral("只查域名"), int(SearchScope::Name));
    m_scope->addItem(QStringLiteral("全部字段"), int(SearchScope::AllFields));
    m_scope->setToolTip(QStringLiteral("全部字段：在域名、说明、注册商、管理地址和备注中查找"));
    m_scope->setAccessibleName(QStringLiteral("查找范围"));
    row->addWidget(m_scope);
    showScopeHint();
    auto* clear = new QPushButton(QStringLiteral("清除"), strip);
    clear->setObjectName(QStringLiteral("btnClear"));
    clear->setAutoDefault(false);
    row->addWidget(clear);
    box->addWidget(strip);
    connect(m_search, &QLineEdit::textChanged, this, &TFr_guanli::searchFor);
    connect(clear, &QPushButton::clicked, this, &TFr_guanli::resetToDefaultList);
    connect(m_scope, &QComboBox::currentIndexChanged, this, [this] {
        showScopeHint();
        // An empty box lists every domain whatever the scope: only a text is searched again.
        if (!m_search->text().isEmpty())
            searchFor(m_search->text());
    });

    column->resize(std::max(kListWidth, m_grid->fittingWidth()), column->height());
    return column;
}

PortfolioStatus* TFr_guanli::statusStrip() const
{
    return m_status.data();
}

TFr_guanli::~TFr_guanli()
{
    // The status strip is the panel's until the main window places it in its status bar.
    if (m_status && !m_status->parent())
        delete m_status.data();
}

void TFr_guanli::printList()
{
    printDomainList(this, list(), *m_rvProject1, m_grid->shownColumns());
}

void TFr_guanli::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && m_status)
        m_status->setVisible(m_status->parent() != nullptr);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The list column starts wide enough for its columns and never becomes narrower (a window made
    // smaller again after it was maximised takes the room from the detail pane); the detail pane takes
    // the rest. A wider window is shared between the two (the list's columns take its part). A panel
    // first shown wider than its design size (a maximised window) gives the list its share of it too.
    layout()->activate();
    const int list = std::max(kListWidth, m_grid->fittingWidth());
    m_splitter->widget(0)->setMinimumWidth(list);
    if (m_splitterRestored)
        return;
    const int shared = std::max(list, m_splitter->width() * kListWidth / kDesignWidth);
    const int rest = m_splitter->width() - m_splitter->handleWidth() - shared;
    m_splitter->setSizes({shared, std::max(rest, 1)});
    layout()->activate();
    m_grid->fitColumns();
}

void TFr_guanli::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_status)
        m_status->hide();
}

QByteArray TFr_guanli::splitterState() const
{
    return m_splitter->saveState();
}

void TFr_guanli::restoreLayout(const QByteArray& splitterState, const QList<int>& widths,
                               const QStringList& columns)
{
    if (!splitterState.isEmpty() && m_splitter->restoreState(splitterState))
        m_splitterRestored = true;
    m_grid->restoreColumns(widths, columns);
}

void TFr_guanli::bindData(TDataModule2* data)
{
    if (DomainList* old = list())
        disconnect(old, nullptr, this, nullptr);
    m_data = data;
    DomainList* domains = list();
    // The table first, so that it has taken every change before the panel follows it.
    m_grid->setList(domains);
    if (domains) {
        connect(domains, &DomainList::changed, this, &TFr_guanli::followListChange);
        connect(domains, &QObject::destroyed, this, [this] {
            m_data = nullptr;
            showCurrentRecord();
            updateTotals();
        });
    }
    if (domains && !m_filters->filter().isEmpty())
        applyFilter(m_filters->filter());
    showCurrentRecord();
    updateTotals();
}

void TFr_guanli::followListChange(const ListChange& change)
{
    using Kind = ListChange::Kind;
    if (change.kind == Kind::CurrentMoved)
        showCurrentRecord();
    // The counts of the status bar and the "nothing found" line follow every change of the rows held.
    if (change.done && (change.changesRows() || change.kind == Kind::FillFinished)) {
        updateTotals();
        showNotFound();
    }
    // A later step of the start-up read that fails leaves the list empty: say why.
    if (change.kind == Kind::FillFailed)
        MessageBox::appError(this, change.error);
}

DomainList* TFr_guanli::list() const
{
    return m_data ? m_data->domains() : nullptr;
}

bool TFr_guanli::refuseEmptyList()
{
    if (list() && !list()->isEmpty())
        return false;
    MessageBox::information(this, QStringLiteral("请先添加域名"));
    return true;
}

void TFr_guanli::showCurrentRecord()
{
    m_detail->showRecord(list() ? list()->current() : DomainRecord());
}

void TFr_guanli::searchFor(const QString& text)
{
    if (!list())
        return;
    const SearchScope scope = searchScope();
    if (const Result result = changeList(
            list(), [&] { return list()->search(text, scope); }, list()->searchWaits(text, scope));
        !result.ok())
        MessageBox::appError(this, result.error());
    showNotFound();
}

SearchScope TFr_guanli::searchScope() const
{
    return SearchScope(m_scope->currentData().toInt());
}

void TFr_guanli::setSearchScope(SearchScope scope)
{
    m_scope->setCurrentIndex(m_scope->findData(int(scope)));
}

void TFr_guanli::showScopeHint()
{
    m_search->setPlaceholderText(searchScope() == SearchScope::AllFields
                                     ? QStringLiteral("输入域名、说明、注册商、地址或备注的一部分")
                                     : QStringLiteral("输入域名的一部分"));
}

QString TFr_guanli::notFoundText() const
{
    return m_grid->noticeText();
}

void TFr_guanli::showNotFound()
{
    // Only a search that found nothing says so; an empty portfolio is simply an empty list. While the
    // rows still come in at the start, the search may yet find some.
    const QString text = m_search->text();
    const bool filtered = !m_filters->filter().isEmpty();
    const bool nothing = list() && list()->isOpen() && list()->isEmpty() && !list()->isFilling() &&
                         (!text.isEmpty() || filtered);
    m_grid->showNotice(!nothing         ? QString()
                       : !filtered      ? QStringLiteral("没有找到包含“%1”的域名").arg(text)
                       : text.isEmpty() ? QStringLiteral("没有符合筛选条件的域名")
                                        : QStringLiteral("没有找到包含“%1”且符合筛选条件的域名").arg(text));
    // Nothing found: the detail pane stays empty, without a visit link or a unit to a price there is not.
    m_detail->setNothingFound(nothing);
}

void TFr_guanli::resetToDefaultList()
{
    if (list()) {
        if (const Result result = list()->showDefault(); !result.ok()) {
            MessageBox::appError(this, result.error());
            return;
        }
    } else {
        m_grid->resetHeadings();
    }
    m_filters->clear();
    m_search->clear(); // with text in it, this runs the search once more with an empty text
}

void TFr_guanli::applyFilter(const ListFilter& filter)
{
    if (!list())
        return;
    // The list of a status bar link (soonest first) stays while the 到期 filter is the link's; another
    // one filters the search of the box instead.
    const QString held = list()->rows()->sql();
    const bool expiredList = held == sql::kExpiredList || held == sql::kExpiredListAll;
    const bool expiringList = held == sql::kExpiringList || held == sql::kExpiringListAll;
    list()->setFilter(filter, Platform::today());
    if ((expiredList && filter.expiry != ListFilter::ExpiryChoice::Expired) ||
        (expiringList && filter.expiry != ListFilter::ExpiryChoice::Within30))
        searchFor(m_search->text());
    showNotFound();
}

void TFr_guanli::requestEdit()
{
    if (!refuseEmptyList())
        emit editRequested();
}

void TFr_guanli::updateTotals()
{
    if (!m_status)
        return;
    // The counts of the rows read so far would pass for those of the whole list.
    if (list() && list()->isFilling()) {
        m_status->setReading();
        return;
    }
    const Dataset* rows = list() ? list()->rows() : nullptr;
    m_status->setTotals(rows ? m_data->listCounter()->count(*rows, expiry::dayOf(Platform::today()))
                             : ListTotals());
}

void TFr_guanli::listExpired()
{
    if (list()) {
        // The link sets the 到期 filter, and lists its domains soonest first.
        m_filters->setExpiry(ListFilter::ExpiryChoice::Expired);
        if (const Result result = changeList(list(), [&] { return list()->showExpired(Platform::today()); });
            !result.ok())
            MessageBox::appError(this, result.error());
    }
}

void TFr_guanli::listExpiring()
{
    if (list()) {
        m_filters->setExpiry(ListFilter::ExpiryChoice::Within30);
        if (const Result result = changeList(list(), [&] { return list()->showExpiring(Platform::today()); });
            !result.ok())
            MessageBox::appError(this, result.error());
    }
}

void TFr_guanli::deleteCurrentDomain()
{
    if (refuseEmptyList())
        return;
    if (m_grid->selectedCount() > 1) {
        bulkactions::deleteRows(this, m_data, listselection::rows(m_grid->selectionModel()), m_history);
        return;
    }
    const MessageBox::Button answer = MessageBox::show(this, MessageBox::Question, QStringLiteral("删除确认"),
                                                       QStringLiteral("您确定要删除此域名吗?此操作不可恢复"),
                                                       MessageBox::Ok | MessageBox::Cancel);
    if (answer != MessageBox::Ok)
        return;
    if (!readWholeList(this, list()))
        return;
    RowPack deleted = RowPack::fromRows(*list()->rows(), {list()->currentRow()});
    if (const Result result = changeList(list(), [&] { return list()->deleteCurrent(); }); !result.ok())
        MessageBox::appError(this, result.error());
    else
        m_history->push(std::make_unique<DeleteCommand>(std::move(deleted)));
}

void TFr_guanli::editSelection()
{
    if (refuseEmptyList())
        return;
    std::vector<int> rows = listselection::rows(m_grid->selectionModel());
    if (rows.empty() && list()->currentRow() >= 0)
        rows.push_back(list()->currentRow());
    // The domains edited stay selected, to be looked at or changed once more.
    const std::vector<qint64> chosen = listselection::aids(*list(), m_grid->selectionModel());
    if (bulkactions::editRows(this, m_data, rows, m_history) && chosen.size() > 1)
        listselection::reselect(*list(), m_grid->selectionModel(), chosen);
}

void TFr_guanli::undo()
{
    if (m_data)
        bulkactions::undo(this, m_data, m_history);
}

void TFr_guanli::redo()
{
    if (m_data)
        bulkactions::redo(this, m_data, m_history);
}

void TFr_guanli::buildUndoActions()
{
    m_history = new UndoHistory(this);
    auto* bulkEdit = new QAction(QStringLiteral("批量修改…"), m_grid);
    bulkEdit->setObjectName(QStringLiteral("actBulkEdit"));
    bulkEdit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    bulkEdit->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(bulkEdit, &QAction::triggered, this, &TFr_guanli::editSelection);
    m_undoAction = new QAction(QStringLiteral("撤销"), m_grid);
    m_undoAction->setObjectName(QStringLiteral("actUndo"));
    m_redoAction = new QAction(QStringLiteral("重做"), m_grid);
    m_redoAction->setObjectName(QStringLiteral("actRedo"));
    m_grid->addAction(bulkEdit);
    m_grid->addAction(m_undoAction);
    m_grid->addAction(m_redoAction);
    connect(m_undoAction, &QAction::triggered, this, &TFr_guanli::undo);
    connect(m_redoAction, &QAction::triggered, this, &TFr_guanli::redo);
    // Ctrl+Z and Ctrl+Shift+Z anywhere in the panel but the boxes that take them for their own text.
    auto* undoKey = new QShortcut(QKeySequence::Undo, this, this, &TFr_guanli::undo);
    undoKey->setContext(Qt::WidgetWithChildrenShortcut);
    auto* redoKey =
        new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, this, &TFr_guanli::redo);
    redoKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(m_history, &UndoHistory::changed, this, &TFr_guanli::updateUndoActions);
    updateUndoActions();
}

void TFr_guanli::updateUndoActions()
{
    m_undoAction->setText(m_history->undoText() + QStringLiteral("\tCtrl+Z"));
    m_undoAction->setEnabled(m_history->canUndo());
    m_redoAction->setText(m_history->redoText() + QStringLiteral("\tCtrl+Shift+Z"));
    m_redoAction->setEnabled(m_history->canRedo());
}

void TFr_guanli::updateFromRegistries(int scope)
{
    if (refuseEmptyList())
        return;
    registryupdate::run(this, m_data, registryupdate::Scope(scope));
    showCurrentRecord();
}
