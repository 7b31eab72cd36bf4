#include "Fr_guanli.h"

#include "DomainListModel.h"
#include "ExpiryStyle.h"
#include "Export.h"
#include "ListChange.h"
#include "Lookups.h"
#include "PanelWidgets.h"
#include "PortfolioStatus.h"
#include "Print.h"
#include "RegistryUpdate.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "report/ReportProject.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <limits>

namespace {
const QColor kValueColour(0, 0, 128);     // values: navy
const QColor kNotesGround(245, 249, 254); // the notes box
const int kListWidth = 490;               // the left column at the design size
const int kColumnWidths[] = {113, 60, 130, 106, 65};
const int kExpiryColumn = 4; // 到期, the last column

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
    clear->setToolTip(withKey(QStringLiteral("清除速查，显示全部域名"), QKeySequence(Qt::Key_Escape)));
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

    m_grid = new QTableView(column);
    m_grid->setObjectName(QStringLiteral("bsSkinDBGrid1"));
    m_model = new DomainListModel(this);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
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
    // The last column takes the spare width; each column starts at its design width, the date
    // column at least as wide as a full date.
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(24);
    fitColumns();
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
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &TFr_guanli::sortByColumn);
    connect(
        m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { listCurrentChanged(current.isValid() ? current.row() : -1); });

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
    m_search->setPlaceholderText(QStringLiteral("输入域名的一部分"));
    label->setAccessibleName(QStringLiteral("速查:"));
    row->addWidget(m_search, 1);
    auto* clear = new QPushButton(QStringLiteral("清除"), strip);
    clear->setObjectName(QStringLiteral("btnClear"));
    clear->setAutoDefault(false);
    row->addWidget(clear);
    box->addWidget(strip);
    connect(m_search, &QLineEdit::textChanged, this, &TFr_guanli::searchFor);
    connect(clear, &QPushButton::clicked, this, &TFr_guanli::resetToDefaultList);

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
    auto* visitDomain = new PictureLink(picture("visit_link"), {56, 18}, QStringLiteral("访问>>"), pane);
    visitDomain->setObjectName(QStringLiteral("linkVisitDomain"));
    grid->addWidget(trailing(m_domain, {visitDomain}), 0, 0, 1, 2);

    int line = 1;
    auto addLine = [&](const QString& captionText, QWidget* shown) {
        grid->addWidget(caption(captionText, pane), line, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(shown, line, 1);
        ++line;
    };
    m_description = value("lblDescription", pane);
    addLine(QStringLiteral("域名说明:"), trailing(m_description, {}));
    m_price = value("lblPrice", pane);
    addLine(QStringLiteral("对外报价:"), trailing(m_price, {caption(QStringLiteral("元"), pane)}));
    m_registrar = value("lblRegistrar", pane);
    addLine(QStringLiteral("注 册 商:"), trailing(m_registrar, {}));
    m_address = value("lblAddress", pane);
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
    m_notes->setLineWrapMode(QPlainTextEdit::NoWrap);
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

    connect(visitDomain, &QToolButton::clicked, this, [this] { openAddress(m_domain->text()); });
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
    printDomainList(this, list(), *m_rvProject1);
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
    // the rest. A wider window is shared between the two (the list's last column takes its part).
    layout()->activate();
    const int list = std::max(kListWidth, fittingListWidth());
    m_splitter->widget(0)->setMinimumWidth(list);
    if (m_splitterRestored)
        return;
    const int rest = m_splitter->width() - m_splitter->handleWidth() - list;
    m_splitter->setSizes({list, std::max(rest, 1)});
    layout()->activate();
    keepDateWhole();
}

void TFr_guanli::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_status)
        m_status->hide();
}

int TFr_guanli::fullDateWidth() const
{
    // The text of a cell is inset by the focus frame margin and one pixel on each side.
    const int margin = 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1);
    return std::max(kColumnWidths[kExpiryColumn],
                    m_grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + margin + 2);
}

void TFr_guanli::fitColumns()
{
    for (int c = 0; c < 5; ++c)
        m_grid->setColumnWidth(c, c == kExpiryColumn ? fullDateWidth() : kColumnWidths[c]);
}

void TFr_guanli::keepDateWhole()
{
    // The last column takes what the others leave; when that is less than a full date, the
    // description column (the widest, and the one a cut-off hurts least) gives way.
    const int description = 2;
    int others = 0;
    for (int c = 0; c < kExpiryColumn; ++c)
        others += m_grid->columnWidth(c);
    const int missing = fullDateWidth() - (m_grid->viewport()->width() - others);
    if (missing > 0)
        m_grid->setColumnWidth(description, std::max(60, m_grid->columnWidth(description) - missing));
}

int TFr_guanli::fittingListWidth() const
{
    int width = fullDateWidth();
    for (int c = 0; c < kExpiryColumn; ++c)
        width += kColumnWidths[c];
    const int scrollBar = m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_grid);
    return width + scrollBar + 2 * m_grid->frameWidth();
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

void TFr_guanli::restoreLayout(const QByteArray& splitterState, const QList<int>& widths)
{
    if (!splitterState.isEmpty() && m_splitter->restoreState(splitterState))
        m_splitterRestored = true;
    // Widths from another screen or a damaged file: only sensible ones, and the date stays whole.
    if (widths.size() != m_model->columnCount())
        return;
    const int minimum = m_grid->horizontalHeader()->minimumSectionSize();
    for (int c = 0; c < widths.size(); ++c) {
        if (widths[c] < minimum || widths[c] > 4000)
            return;
    }
    for (int c = 0; c < widths.size(); ++c)
        m_grid->setColumnWidth(c, c == kExpiryColumn ? std::max(widths[c], fullDateWidth()) : widths[c]);
}

void TFr_guanli::bindData(TDataModule2* data)
{
    if (DomainList* old = list()) {
        disconnect(old, nullptr, this, nullptr);
        disconnect(old->rows(), nullptr, this, nullptr);
    }
    m_data = data;
    DomainList* domains = list();
    Dataset* ds = domains ? domains->rows() : nullptr;
    // The model first, so that it has taken every change before the panel follows it.
    m_model->setDataset(ds);
    if (ds) {
        auto hold = [this] { m_syncing = true; };
        auto release = [this] { m_syncing = false; };
        connect(ds, &Dataset::rowsAboutToReset, this, hold);
        connect(ds, &Dataset::rowAboutToBeRemoved, this, hold);
        connect(ds, &Dataset::rowAboutToBeAppended, this, hold);
        connect(ds, &Dataset::rowsReset, this, release);
        connect(ds, &Dataset::rowRemoved, this, release);
        connect(ds, &Dataset::rowAppended, this, release);
        connect(ds, &Dataset::currentRowChanged, this, &TFr_guanli::followCurrentRow);
        connect(domains, &DomainList::headingsReset, this, &TFr_guanli::resetHeadings);
        // The counts of the status bar follow every change of the rows held.
        connect(ds, &Dataset::rowsReset, this, &TFr_guanli::updateTotals);
        connect(ds, &Dataset::rowRemoved, this, &TFr_guanli::updateTotals);
        connect(ds, &Dataset::rowAppended, this, &TFr_guanli::updateTotals);
        connect(domains, &DomainList::fillFinished, this, &TFr_guanli::updateTotals);
        // A later step of the start-up read that fails leaves the list empty: say why.
        connect(domains, &DomainList::fillFailed, this,
                [this](const QString& error) { MessageBox::appError(this, error); });
        connect(domains, &QObject::destroyed, this, [this] {
            m_data = nullptr;
            showCurrentRecord();
            updateTotals();
        });
    }
    followCurrentRow(domains ? domains->currentRow() : -1);
    updateTotals();
}

DomainList* TFr_guanli::list() const
{
    return m_data ? m_data->domains() : nullptr;
}

void TFr_guanli::resetHeadings(int columns)
{
    m_model->resetHeadings(columns);
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
    if (const Result result = changeList(
            list(), [&] { return list()->search(text); }, list()->searchWaits(text));
        !result.ok())
        MessageBox::appError(this, result.error());
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
    m_search->clear(); // with text in it, this runs the search once more with an empty text
}

void TFr_guanli::sortByColumn(int column)
{
    DomainList* domains = list();
    if (!domains || !domains->isOpen() || column < 0 || column >= m_model->columnCount())
        return;
    const bool ascending = domains->ascendingNext();
    if (const Result result =
            changeList(domains, [&] { return domains->sortBy(m_model->fieldName(column)); });
        !result.ok()) {
        MessageBox::appError(this, result.error());
        return;
    }
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
        if (const Result result = changeList(list(), [&] { return list()->showExpired(Platform::today()); });
            !result.ok())
            MessageBox::appError(this, result.error());
    }
}

void TFr_guanli::listExpiring()
{
    if (list()) {
        if (const Result result = changeList(list(), [&] { return list()->showExpiring(Platform::today()); });
            !result.ok())
            MessageBox::appError(this, result.error());
    }
}

void TFr_guanli::deleteCurrentDomain()
{
    if (refuseEmptyList())
        return;
    const MessageBox::Button answer = MessageBox::show(this, MessageBox::Question, QStringLiteral("删除确认"),
                                                       QStringLiteral("您确定要删除此域名吗?此操作不可恢复"),
                                                       MessageBox::Ok | MessageBox::Cancel);
    if (answer != MessageBox::Ok)
        return;
    if (const Result result = changeList(list(), [&] { return list()->deleteCurrent(); }); !result.ok())
        MessageBox::appError(this, result.error());
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
