#include "Fr_guanli.h"

#include "DomainListModel.h"
#include "ExpiryStyle.h"
#include "Export.h"
#include "FilterStrip.h"
#include "ListChange.h"
#include "Lookups.h"
#include "PanelWidgets.h"
#include "PortfolioStatus.h"
#include "Print.h"
#include "RegistryUpdate.h"
#include "db/DataModule.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "report/ReportProject.h"

#include "BulkActions.h"
#include "ColumnFit.h"
#include "ListSelection.h"
#include "db/UndoHistory.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTextOption>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <limits>

namespace {
const QColor kValueColour(0, 0, 128);                // values: navy
const QColor kNotesGround(245, 249, 254);            // the notes box
const int kListWidth = 490;                          // the left column at the design size
const int kDesignWidth = 894;                        // the panel's width at the design size
const int kColumnWidths[] = {113, 60, 130, 106, 65}; // 域名, 报价, 说明, 注册商, 到期 at the design size
const int kExpiryColumn = 4;                         // 到期, the last of the five
const int kNarrowest = 60; // what 说明, 注册商, 管理地址 and 备注 give way to when the list is narrow

// A text with its key, for a tool tip: "添加域名 (Ctrl+N)".
QString withKey(const QString& text, const QKeySequence& key)
{
    return QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText));
}

QString picture(const char* name)
{
    return QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name));
}

QFont paneFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(paneFont(14));
    label->setProperty("role", QStringLiteral("caption"));
    return label;
}

QLabel* value(const char* name, QWidget* parent, int pixelSize = 14, bool bold = false)
{
    auto* label = new ValueLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(paneFont(pixelSize, bold));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kValueColour);
    label->setPalette(p);
    return label;
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
    m_splitter->addWidget(buildDetailPane());
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
    // Ctrl+A selects every row of the list, also those still coming in after the start: they are read first.
    auto* all = new QShortcut(QKeySequence::SelectAll, m_grid, m_grid, [this] {
        if (list() && list()->isFilling()) {
            if (const Result read = list()->readAll(); !read.ok()) {
                MessageBox::appError(this, read.error());
                return;
            }
        }
        m_grid->selectAll();
    });
    all->setContext(Qt::WidgetShortcut);
    // Ctrl+N adds, wherever the focus is in the window, while the panel is shown.
    auto* add = new QShortcut(QKeySequence::New, this, this, [this] { emit addRequested(); });
    add->setContext(Qt::WindowShortcut);
    // Enter on a row edits it, as a double-click does.
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* edit = new QShortcut(QKeySequence(key), m_grid, m_grid, [this] { requestEdit(); });
        edit->setContext(Qt::WidgetShortcut);
    }
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
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

    m_grid = new QTableView(column);
    m_grid->setObjectName(QStringLiteral("bsSkinDBGrid1"));
    m_model = new DomainListModel(this);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Many rows at once with Shift and Ctrl (mouse and keyboard) and Ctrl+A.
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setShowGrid(false);
    m_grid->setItemDelegate(new RowLineDelegate(m_grid));
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideRight);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);
    QHeaderView* header = m_grid->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(false);
    // The columns share the list's width among themselves (fitColumns); a width the user sets stays.
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(24);
    m_fitTimer = new QTimer(this);
    m_fitTimer->setSingleShot(true);
    m_fitTimer->setInterval(0);
    connect(m_fitTimer, &QTimer::timeout, this, &TFr_guanli::fitColumns);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (m_fitting)
            return;
        // Dragged by the user: that width stays; the others make room or take what is left.
        m_userWidths.insert(m_model->fieldName(column), width);
        fitLater();
    });
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &TFr_guanli::fitLater);
    fitColumns();
    // Right click on the heading row: the columns shown.
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& at) { m_columnsMenu->popup(this->header()->viewport()->mapToGlobal(at)); });
    // The selected row stays highlighted when the list loses focus.
    QPalette p = m_grid->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    m_grid->setPalette(p);
    // The wheel moves the current row instead of scrolling, over the rows and over the scroll bars alike.
    m_grid->viewport()->installEventFilter(this);
    m_grid->verticalScrollBar()->installEventFilter(this);
    m_grid->horizontalScrollBar()->installEventFilter(this);
    box->addWidget(m_grid, 1);
    auto* registryAction = new QAction(QStringLiteral("从注册局更新此域名"), m_grid);
    registryAction->setObjectName(QStringLiteral("actRegistry"));
    connect(registryAction, &QAction::triggered, this, [this] { updateFromRegistries(0); });
    m_grid->addAction(registryAction);
    // The same choice of columns from the list's own menu (the menu key reaches it without a mouse).
    buildColumnsMenu();
    auto* columnsAction = new QAction(QStringLiteral("显示的列"), m_grid);
    columnsAction->setObjectName(QStringLiteral("actColumns"));
    columnsAction->setMenu(m_columnsMenu);
    m_grid->addAction(columnsAction);
    buildUndoActions();
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &TFr_guanli::sortByColumn);
    connect(
        m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { listCurrentChanged(current.isValid() ? current.row() : -1); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_status)
            m_status->setSelectedCount(selectedCount());
    });

    // Search strip: 速查: [box] 清除
    auto* strip = new QWidget(column);
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

    // Said in the list when a search finds nothing.
    m_notFound = new QLabel(m_grid->viewport());
    m_notFound->setObjectName(QStringLiteral("lblNotFound"));
    m_notFound->setTextFormat(Qt::PlainText);
    m_notFound->setAlignment(Qt::AlignCenter);
    m_notFound->setWordWrap(true);
    m_notFound->setContentsMargins(12, 12, 12, 12);
    m_notFound->hide();

    column->resize(std::max(kListWidth, fittingListWidth()), column->height());
    return column;
}

QWidget* TFr_guanli::buildDetailPane()
{
    auto* outer = new QWidget(this);
    outer->setObjectName(QStringLiteral("detailSide"));
    auto* side = new QHBoxLayout(outer);
    side->setContentsMargins(0, 4, 4, 4);
    side->setSpacing(0);
    // The decorative strip beside the splitter.
    auto* strip = new QFrame(outer);
    strip->setObjectName(QStringLiteral("decorStrip"));
    strip->setFixedWidth(10);
    side->addWidget(strip);

    auto* pane = new QWidget(outer);
    pane->setObjectName(QStringLiteral("detailPane"));
    side->addWidget(pane, 1);
    auto* grid = new QGridLayout(pane);
    grid->setContentsMargins(12, 8, 4, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(9);
    grid->setColumnStretch(1, 1);

    auto trailing = [pane](QLabel* valueLabel, QList<QWidget*> after) {
        auto* holder = new QWidget(pane);
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        row->addWidget(valueLabel);
        for (QWidget* w : after)
            row->addWidget(w);
        row->addStretch(1);
        return holder;
    };

    // First line: the domain name in large type, then its visit link.
    m_domain = value("lblDomain", pane, 19, true);
    m_visitDomain = new PictureLink(picture("visit_link"), {56, 18}, QStringLiteral("访问>>"), pane);
    m_visitDomain->setObjectName(QStringLiteral("linkVisitDomain"));
    QSizePolicy keepLine = m_visitDomain->sizePolicy();
    keepLine.setRetainSizeWhenHidden(true);
    m_visitDomain->setSizePolicy(keepLine);
    grid->addWidget(trailing(m_domain, {m_visitDomain}), 0, 0, 1, 2);

    int line = 1;
    auto addLine = [&](const QString& captionText, QWidget* shown) {
        grid->addWidget(caption(captionText, pane), line, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(shown, line, 1);
        ++line;
    };
    m_description = value("lblDescription", pane);
    addLine(QStringLiteral("域名说明:"), trailing(m_description, {}));
    m_price = value("lblPrice", pane);
    m_priceUnit = caption(QStringLiteral("元"), pane);
    m_priceUnit->setObjectName(QStringLiteral("lblPriceUnit"));
    addLine(QStringLiteral("对外报价:"), trailing(m_price, {m_priceUnit}));
    m_registrar = value("lblRegistrar", pane);
    addLine(QStringLiteral("注 册 商:"), trailing(m_registrar, {}));
    m_address = value("lblAddress", pane);
    // A long address is cut off with its whole text as the tool tip; a click on it opens it, as its link
    // does.
    m_address->installEventFilter(this);
    m_visitAddress = new PictureLink(picture("visit_link"), {56, 18}, QStringLiteral("访问>>"), pane);
    m_visitAddress->setObjectName(QStringLiteral("linkVisitAddress"));
    QSizePolicy keepPlace = m_visitAddress->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true); // the pane does not jump when the link comes and goes
    m_visitAddress->setSizePolicy(keepPlace);
    addLine(QStringLiteral("管理地址:"), trailing(m_address, {m_visitAddress}));
    m_password = value("lblPassword", pane);
    addLine(QStringLiteral("管理密码:"), trailing(m_password, {}));
    m_regDate = value("lblRegDate", pane);
    addLine(QStringLiteral("注册日期:"), trailing(m_regDate, {}));
    m_expDate = value("lblExpDate", pane);
    m_expiryNote = new QLabel(pane);
    m_expiryNote->setObjectName(QStringLiteral("lblExpiryNote"));
    m_expiryNote->setTextFormat(Qt::PlainText);
    m_expiryNote->setFont(paneFont(14));
    m_expiryNote->setContentsMargins(8, 0, 0, 0);
    addLine(QStringLiteral("到期日期:"), trailing(m_expDate, {m_expiryNote}));

    // The three look-ups.
    auto* whois = new PictureLink(picture("whois_link"), {88, 22}, QStringLiteral("查询WHOIS"), pane);
    whois->setObjectName(QStringLiteral("linkWhois"));
    auto* seo = new PictureLink(picture("seo_link"), {104, 22}, QStringLiteral("SEO综合查询"), pane);
    seo->setObjectName(QStringLiteral("linkSeo"));
    auto* icp = new PictureLink(picture("icp_link"), {96, 22}, QStringLiteral("查询ICP备案"), pane);
    icp->setObjectName(QStringLiteral("linkIcp"));
    auto* links = new QWidget(pane);
    auto* linkRow = new QHBoxLayout(links);
    linkRow->setContentsMargins(0, 2, 0, 2);
    linkRow->setSpacing(6);
    linkRow->addWidget(whois);
    linkRow->addWidget(seo);
    linkRow->addWidget(icp);
    linkRow->addStretch(1);
    grid->addWidget(links, line++, 0, 1, 2);
    // When the registries were last asked about the domain, and what they said of it.
    m_registryNote = caption(QString(), pane);
    m_registryNote->setObjectName(QStringLiteral("lblRegistryNote"));
    m_registryNote->setWordWrap(true); // many status words never widen the pane
    m_registryNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(m_registryNote, line++, 0, 1, 2);

    // 备注
    auto* notesGroup = new QGroupBox(QStringLiteral("备注"), pane);
    notesGroup->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* notesBox = new QVBoxLayout(notesGroup);
    notesBox->setContentsMargins(6, 8, 6, 6);
    m_notes = new QPlainTextEdit(notesGroup);
    m_notes->setObjectName(QStringLiteral("bsSkinMemo1"));
    m_notes->setReadOnly(true);
    // Long notes wrap at the box's width (a word longer than the box breaks where it must).
    m_notes->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_notes->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_notes->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_notes->setFont(paneFont(14));
    QPalette notesPalette = m_notes->palette();
    notesPalette.setColor(QPalette::Base, kNotesGround);
    notesPalette.setColor(QPalette::Text, kValueColour);
    m_notes->setPalette(notesPalette);
    m_notes->setBackgroundVisible(false);
    notesBox->addWidget(m_notes);
    grid->addWidget(notesGroup, line, 0, 1, 2);
    grid->setRowStretch(line++, 1);

    // Never shown: the record number, which the edit dialog's opener copies.
    auto* aidCaption = caption(QStringLiteral("域名编号:"), pane);
    aidCaption->setObjectName(QStringLiteral("lblAidCaption"));
    m_aid = value("lblAid", pane);
    grid->addWidget(aidCaption, line, 0);
    grid->addWidget(m_aid, line, 1);
    aidCaption->hide();
    m_aid->hide();

    connect(m_visitDomain, &QToolButton::clicked, this, [this] { openAddress(m_domain->text()); });
    connect(m_visitAddress, &QToolButton::clicked, this, [this] { openAddress(m_address->text()); });
    connect(whois, &QToolButton::clicked, this, [this] { openAddress(lookups::whois(m_domain->text())); });
    connect(seo, &QToolButton::clicked, this, [this] { openAddress(lookups::seo(m_domain->text())); });
    connect(icp, &QToolButton::clicked, this, [this] { openAddress(lookups::icp(m_domain->text())); });

    showCurrentRecord();
    return outer;
}

void TFr_guanli::showExpiryNote(const QString& date)
{
    const expiry::Day day = expiry::parse(date);
    const expiry::Status status = expiry::classify(day, expiry::dayOf(Platform::today()));
    const QString note = expiry::remainingText(day, expiry::dayOf(Platform::today()));
    QColor colour = expirystyle::colour(status);
    if (!colour.isValid())
        colour = kValueColour;
    if (m_expiryNote->text() != note)
        m_expiryNote->setText(note);
    if (m_expiryNote->palette().color(QPalette::WindowText) != colour) {
        QPalette p = m_expiryNote->palette();
        p.setColor(QPalette::WindowText, colour);
        m_expiryNote->setPalette(p);
    }
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
    printDomainList(this, list(), *m_rvProject1, shownColumns());
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
    const int list = std::max(kListWidth, fittingListWidth());
    m_splitter->widget(0)->setMinimumWidth(list);
    if (m_splitterRestored)
        return;
    const int shared = std::max(list, m_splitter->width() * kListWidth / kDesignWidth);
    const int rest = m_splitter->width() - m_splitter->handleWidth() - shared;
    m_splitter->setSizes({shared, std::max(rest, 1)});
    layout()->activate();
    fitColumns();
}

void TFr_guanli::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_status)
        m_status->hide();
}

int TFr_guanli::cellMargin() const
{
    // The text of a cell is inset by the focus frame margin and one pixel on each side.
    return 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1);
}

int TFr_guanli::fullDateWidth() const
{
    return std::max(kColumnWidths[kExpiryColumn],
                    m_grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + cellMargin() + 2);
}

QHeaderView* TFr_guanli::header() const
{
    return m_grid->horizontalHeader();
}

void TFr_guanli::fitLater()
{
    m_fitTimer->start();
}

void TFr_guanli::forgetFit()
{
    // New rows: the widths their texts need are measured afresh (a scroll only ever widens).
    m_needs.clear();
    fitLater();
}

void TFr_guanli::fitColumns()
{
    const QFontMetrics metrics = m_grid->fontMetrics();
    const QFontMetrics headingMetrics = header()->fontMetrics();
    const int margin = cellMargin() + 2;
    // The rows on screen now.
    int top = m_grid->rowAt(0), bottom = m_grid->rowAt(m_grid->viewport()->height() - 1);
    if (bottom < 0)
        bottom = std::min(m_model->rowCount(), top + 60) - 1;
    // 域名 starts wide enough for the longest name on screen, up to about 32 letters.
    const int nameLimit = metrics.horizontalAdvance(QString(32, QLatin1Char('n'))) + margin;
    std::vector<columnfit::Column> columns;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QString field = m_model->fieldName(c);
        int need = headingMetrics.horizontalAdvance(m_model->heading(c)) + 2 * margin;
        for (int r = std::max(top, 0); top >= 0 && r <= bottom; ++r)
            need = std::max(need, metrics.horizontalAdvance(m_model->displayText(r, c)) + margin);
        int& kept = m_needs[field];
        kept = std::max(kept, need);
        columnfit::Column column;
        column.need = kept;
        const bool date = field == QLatin1String("a6") || field == QLatin1String("a5");
        static const QHash<QString, int> starts = {{QStringLiteral("a1"), kColumnWidths[0]},
                                                   {QStringLiteral("a9"), kColumnWidths[1]},
                                                   {QStringLiteral("a2"), kColumnWidths[2]},
                                                   {QStringLiteral("a3"), kColumnWidths[3]},
                                                   {QStringLiteral("a4"), 150},
                                                   {QStringLiteral("a7"), 130},
                                                   {QStringLiteral("a8"), 80}};
        column.start = date ? fullDateWidth() : starts.value(field, 100);
        column.minimum = column.start;
        if (field == QLatin1String("a1")) {
            column.start = std::max(column.start, std::min(kept, nameLimit));
            column.first = true;
            column.shrinkRank = 4;
        } else if (field == QLatin1String("a2")) {
            column.first = true;
            column.shrinkRank = 1;
            column.spareParts = 2;
            column.minimum = kNarrowest;
        } else if (field == QLatin1String("a7") || field == QLatin1String("a4") ||
                   field == QLatin1String("a3")) {
            column.shrinkRank = field == QLatin1String("a7") ? 2 : 3;
            column.minimum = kNarrowest;
        }
        if (const auto user = m_userWidths.constFind(field); user != m_userWidths.constEnd()) {
            column.fixed = true;
            column.start = column.minimum = column.need = date ? std::max(*user, fullDateWidth()) : *user;
        }
        columns.push_back(column);
    }
    const std::vector<int> widths = columnfit::widths(columns, m_grid->viewport()->width());
    QScopedValueRollback guard(m_fitting, true);
    QList<int> room;
    for (int c = 0; c < int(widths.size()); ++c) {
        if (m_grid->columnWidth(c) != widths[size_t(c)])
            m_grid->setColumnWidth(c, widths[size_t(c)]);
        room.append(widths[size_t(c)] - cellMargin());
    }
    m_model->setTextRoom(metrics, room);
}

int TFr_guanli::fittingListWidth() const
{
    int width = fullDateWidth();
    for (int c = 0; c < kExpiryColumn; ++c)
        width += kColumnWidths[c];
    const int scrollBar = m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_grid);
    return width + scrollBar + 2 * m_grid->frameWidth();
}

void TFr_guanli::buildColumnsMenu()
{
    m_columnsMenu = new QMenu(this);
    m_columnsMenu->setObjectName(QStringLiteral("menuColumns"));
    for (const QString& field : DomainListModel::choosableFields()) {
        QAction* action = m_columnsMenu->addAction(DomainListModel::headingOf(field));
        action->setObjectName(QStringLiteral("actColumn_") + field);
        action->setCheckable(true);
        connect(action, &QAction::toggled, this, [this, field](bool on) { setColumnShown(field, on); });
    }
    m_columnsMenu->addSeparator();
    QAction* passwords = m_columnsMenu->addAction(QStringLiteral("显示管理密码"));
    passwords->setObjectName(QStringLiteral("actShowPasswords"));
    passwords->setCheckable(true);
    connect(passwords, &QAction::toggled, m_model, &DomainListModel::setPasswordsShown);
    QAction* automatic = m_columnsMenu->addAction(QStringLiteral("自动调整列宽"));
    automatic->setObjectName(QStringLiteral("actFitColumns"));
    connect(automatic, &QAction::triggered, this, [this] {
        m_userWidths.clear();
        forgetFit();
    });
    connect(m_columnsMenu, &QMenu::aboutToShow, this, &TFr_guanli::updateColumnsMenu);
    updateColumnsMenu();
}

void TFr_guanli::updateColumnsMenu()
{
    const QStringList shown = m_model->shownFields();
    for (QAction* action : m_columnsMenu->actions()) {
        const QString name = action->objectName();
        if (name.startsWith(QStringLiteral("actColumn_"))) {
            const bool on = shown.contains(name.mid(10));
            const QSignalBlocker quiet(action);
            action->setChecked(on);
            action->setEnabled(!on || shown.size() > 1); // the last column shown stays
        } else if (name == QLatin1String("actShowPasswords")) {
            const QSignalBlocker quiet(action);
            action->setChecked(m_model->passwordsShown());
            action->setEnabled(shown.contains(QStringLiteral("a8")));
        }
    }
}

void TFr_guanli::setColumnShown(const QString& field, bool shown)
{
    if (!shown && m_model->shownFields() == QStringList{field})
        return;
    m_model->setColumnShown(field, shown);
    if (!shown) {
        m_userWidths.remove(field);
        if (field == QLatin1String("a8"))
            m_model->setPasswordsShown(false); // shown again, it is masked again
    }
    updateColumnsMenu();
    fitColumns();
}

QStringList TFr_guanli::shownColumns() const
{
    return m_model->shownFields();
}

QList<int> TFr_guanli::rememberedWidths() const
{
    QList<int> widths;
    for (const QString& field : m_model->shownFields())
        widths.append(m_userWidths.value(field, 0));
    return widths;
}

QByteArray TFr_guanli::splitterState() const
{
    return m_splitter->saveState();
}

QList<int> TFr_guanli::columnWidths() const
{
    QList<int> widths;
    for (int c = 0; c < m_model->columnCount(); ++c)
        widths.append(m_grid->columnWidth(c));
    return widths;
}

void TFr_guanli::restoreLayout(const QByteArray& splitterState, const QList<int>& widths,
                               const QStringList& columns)
{
    if (!splitterState.isEmpty() && m_splitter->restoreState(splitterState))
        m_splitterRestored = true;
    // The columns shown: known fields only, at least one.
    QStringList fields;
    for (const QString& field : columns) {
        if (DomainListModel::choosableFields().contains(field) && !fields.contains(field))
            fields.append(field);
    }
    if (!fields.isEmpty()) {
        for (const QString& field : DomainListModel::choosableFields())
            m_model->setColumnShown(field, fields.contains(field));
    }
    updateColumnsMenu();
    // Widths from another screen or a damaged file: only sensible ones. 0 is a width the list fits itself.
    // A list kept before the columns were remembered held every width as it was: those still at their
    // starting width, and the last (which took the rest), were never set by the user.
    const bool older = columns.isEmpty();
    m_userWidths.clear();
    if (widths.size() == m_model->columnCount()) {
        const int minimum = header()->minimumSectionSize();
        const bool sensible = std::all_of(widths.begin(), widths.end(),
                                          [minimum](int w) { return w == 0 || (w >= minimum && w <= 4000); });
        for (int c = 0; sensible && c < widths.size(); ++c) {
            const bool starting =
                older && (c == kExpiryColumn || (c < kExpiryColumn && widths[c] == kColumnWidths[c]));
            if (widths[c] > 0 && !starting)
                m_userWidths.insert(m_model->fieldName(c), widths[c]);
        }
    }
    forgetFit();
    fitColumns();
}

void TFr_guanli::bindData(TDataModule2* data)
{
    if (DomainList* old = list())
        disconnect(old, nullptr, this, nullptr);
    m_data = data;
    DomainList* domains = list();
    // The model first, so that it has taken every change before the panel follows it.
    m_model->setList(domains);
    if (domains) {
        connect(domains, &DomainList::changed, this, &TFr_guanli::followListChange);
        connect(domains, &DomainList::headingsReset, this, &TFr_guanli::resetHeadings);
        connect(domains, &QObject::destroyed, this, [this] {
            m_data = nullptr;
            showCurrentRecord();
            updateTotals();
        });
    }
    if (domains && !m_filters->filter().isEmpty())
        applyFilter(m_filters->filter());
    followCurrentRow(domains ? domains->currentRow() : -1);
    updateTotals();
}

void TFr_guanli::followListChange(const ListChange& change)
{
    using Kind = ListChange::Kind;
    // While the rows change the grid's selection moves with them: not a choice of a row.
    if (change.changesRows())
        m_syncing = !change.done;
    if (change.kind == Kind::CurrentMoved)
        followCurrentRow(change.first);
    // The counts of the status bar and the "nothing found" line follow every change of the rows held.
    if (change.done && (change.changesRows() || change.kind == Kind::FillFinished)) {
        updateTotals();
        showNotFound();
    }
    // The columns fit the rows anew after a reset, and take in rows that came or were added.
    if (change.done && change.kind == Kind::Reset)
        forgetFit();
    if (change.done && (change.kind == Kind::FillProgress || change.kind == Kind::RowsInserted))
        fitLater();
    // A later step of the start-up read that fails leaves the list empty: say why.
    if (change.kind == Kind::FillFailed)
        MessageBox::appError(this, change.error);
}

DomainList* TFr_guanli::list() const
{
    return m_data ? m_data->domains() : nullptr;
}

void TFr_guanli::resetHeadings(int columns)
{
    // A reset of all five headings also takes the marks off the columns the user added.
    m_model->resetHeadings(columns >= DomainList::kAllHeadings ? -1 : columns);
}

void TFr_guanli::setHeading(int column, const QString& text)
{
    m_model->setHeading(column, text);
}

QString TFr_guanli::heading(int column) const
{
    return m_model->heading(column);
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
    const DomainRecord shown = list() ? list()->current() : DomainRecord();
    m_aid->setText(shown.aid);
    m_domain->setText(shown.domain);
    m_description->setText(shown.description);
    m_registrar->setText(shown.registrar);
    m_address->setText(shown.address);
    m_regDate->setText(shown.registered);
    m_expDate->setText(shown.expires);
    showExpiryNote(shown.expires);
    if (shown.notes != m_shown.notes)
        m_notes->setPlainText(shown.notes);
    m_password->setText(shown.password);
    m_price->setText(shown.price);
    m_registryNote->setText(registryupdate::noteFor(shown.domain));
    m_shown = shown;
    // The visit link after the management address shows exactly when there is an address (blanks count).
    // Only a change of state touches the widget: showing or hiding lays the pane out again at once.
    const bool hasAddress = !shown.address.isEmpty();
    if (hasAddress)
        m_address->setCursor(Qt::PointingHandCursor);
    else
        m_address->unsetCursor();
    if (m_visitAddress->isHidden() == hasAddress)
        m_visitAddress->setVisible(hasAddress);
}

void TFr_guanli::followCurrentRow(int row)
{
    showCurrentRecord();
    QScopedValueRollback guard(m_syncing, true);
    QItemSelectionModel* selection = m_grid->selectionModel();
    if (row < 0 || row >= m_model->rowCount()) {
        selection->clear();
        return;
    }
    // The view moved there itself (a click, a key): the selection it made stays, one row or many.
    if (m_grid->currentIndex().isValid() && m_grid->currentIndex().row() == row)
        return;
    const QModelIndex index = m_model->index(row, std::max(0, m_grid->currentIndex().column()));
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_grid->scrollTo(index);
}

void TFr_guanli::listCurrentChanged(int row)
{
    DomainList* domains = list();
    if (m_syncing || !domains || row < 0 || row == domains->currentRow())
        return;
    domains->setCurrentRow(row);
}

bool TFr_guanli::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_address && event->type() == QEvent::MouseButtonRelease && !m_address->text().isEmpty() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openAddress(m_address->text());
        return true;
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize && m_notFound) {
        m_notFound->setGeometry(m_grid->viewport()->rect());
        fitColumns(); // at once: a window being resized shows no columns that lag behind
    }
    const bool overList = watched == m_grid->viewport() || watched == m_grid->verticalScrollBar() ||
                          watched == m_grid->horizontalScrollBar();
    if (overList && event->type() == QEvent::Wheel) {
        // One row per wheel message, towards the user to the next row; the list never scrolls by itself.
        const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
        if (delta.y() == 0 && delta.x() != 0)
            return false; // a sideways wheel is not ours
        if (list() && delta.y() != 0)
            list()->moveCurrent(delta.y() < 0 ? 1 : -1);
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    return m_notFound->isVisible() ? m_notFound->text() : QString();
}

void TFr_guanli::showNotFound()
{
    // Only a search that found nothing says so; an empty portfolio is simply an empty list. While the
    // rows still come in at the start, the search may yet find some.
    const QString text = m_search->text();
    const bool filtered = !m_filters->filter().isEmpty();
    const bool nothing = list() && list()->isOpen() && list()->isEmpty() && !list()->isFilling() &&
                         (!text.isEmpty() || filtered);
    if (nothing) {
        m_notFound->setText(!filtered ? QStringLiteral("没有找到包含“%1”的域名").arg(text)
                            : text.isEmpty()
                                ? QStringLiteral("没有符合筛选条件的域名")
                                : QStringLiteral("没有找到包含“%1”且符合筛选条件的域名").arg(text));
        m_notFound->setGeometry(m_grid->viewport()->rect());
    }
    m_notFound->setVisible(nothing);
    // Nothing found: the detail pane stays empty, without a visit link or a unit to a price there is not.
    m_visitDomain->setVisible(!nothing);
    m_priceUnit->setVisible(!nothing);
}

void TFr_guanli::resetToDefaultList()
{
    if (list()) {
        if (const Result result = list()->showDefault(); !result.ok()) {
            MessageBox::appError(this, result.error());
            return;
        }
    } else {
        resetHeadings();
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

void TFr_guanli::sortByColumn(int column)
{
    DomainList* domains = list();
    if (!domains || !domains->isOpen() || column < 0 || column >= m_model->columnCount())
        return;
    const bool ascending = domains->ascendingNext();
    // The domains selected stay selected in their new places.
    const std::vector<qint64> selected =
        selectedCount() > 1 ? listselection::aids(*domains, m_grid->selectionModel()) : std::vector<qint64>();
    if (const Result result =
            changeList(domains, [&] { return domains->sortBy(m_model->fieldName(column)); });
        !result.ok()) {
        MessageBox::appError(this, result.error());
        return;
    }
    if (!selected.empty())
        listselection::reselect(*domains, m_grid->selectionModel(), selected);
    setHeading(column, DomainListModel::markedHeading(heading(column), ascending));
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
    if (selectedCount() > 1) {
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

int TFr_guanli::selectedCount() const
{
    return listselection::count(m_grid->selectionModel());
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
    auto* undoAction = new QAction(QStringLiteral("撤销"), m_grid);
    undoAction->setObjectName(QStringLiteral("actUndo"));
    auto* redoAction = new QAction(QStringLiteral("重做"), m_grid);
    redoAction->setObjectName(QStringLiteral("actRedo"));
    m_grid->addAction(bulkEdit);
    m_grid->addAction(undoAction);
    m_grid->addAction(redoAction);
    connect(undoAction, &QAction::triggered, this, &TFr_guanli::undo);
    connect(redoAction, &QAction::triggered, this, &TFr_guanli::redo);
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
    auto* undoAction = m_grid->findChild<QAction*>(QStringLiteral("actUndo"));
    auto* redoAction = m_grid->findChild<QAction*>(QStringLiteral("actRedo"));
    undoAction->setText(m_history->undoText() + QStringLiteral("\tCtrl+Z"));
    undoAction->setEnabled(m_history->canUndo());
    redoAction->setText(m_history->redoText() + QStringLiteral("\tCtrl+Shift+Z"));
    redoAction->setEnabled(m_history->canRedo());
}

void TFr_guanli::updateFromRegistries(int scope)
{
    if (refuseEmptyList())
        return;
    registryupdate::run(this, m_data, registryupdate::Scope(scope));
    showCurrentRecord();
}

void TFr_guanli::openAddress(const QString& address)
{
    const QString refused = Platform::openInBrowser(address);
    if (!refused.isEmpty())
        MessageBox::show(this, MessageBox::Warning, QStringLiteral("提示"), refused, MessageBox::Ok);
}
