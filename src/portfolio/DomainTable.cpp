#include "DomainTable.h"

#include "ColumnFit.h"
#include "DomainListModel.h"
#include "ListChange.h"
#include "ListSelection.h"
#include "PanelWidgets.h"
#include "db/DomainList.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

namespace {
const int kColumnWidths[] = {113, 60, 130, 106, 65}; // 域名, 报价, 说明, 注册商, 到期 at the design size
const int kExpiryColumn = 4;                         // 到期, the last of the five
const int kNarrowest = 60; // what 说明, 注册商, 管理地址 and 备注 give way to when the list is narrow
} // namespace

DomainTable::DomainTable(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("bsSkinDBGrid1"));
    m_model = new DomainListModel(this);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Many rows at once with Shift and Ctrl (mouse and keyboard) and Ctrl+A.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setItemDelegate(new RowLineDelegate(this));
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    QHeaderView* header = horizontalHeader();
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
    connect(m_fitTimer, &QTimer::timeout, this, &DomainTable::fitColumns);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (m_fitting)
            return;
        // Dragged by the user: that width stays; the others make room or take what is left.
        m_userWidths.insert(m_model->fieldName(column), width);
        fitLater();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DomainTable::fitLater);
    fitColumns();
    // Right click on the heading row: the columns shown.
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& at) {
        m_columnsMenu->popup(horizontalHeader()->viewport()->mapToGlobal(at));
    });
    // The selected row stays highlighted when the list loses focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    // The wheel moves the current row instead of scrolling, over the rows and over the scroll bars alike.
    viewport()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
    horizontalScrollBar()->installEventFilter(this);
    // The same choice of columns from the list's own menu (the menu key reaches it without a mouse).
    buildColumnsMenu();
    m_columnsAction = new QAction(QStringLiteral("显示的列"), this);
    m_columnsAction->setObjectName(QStringLiteral("actColumns"));
    m_columnsAction->setMenu(m_columnsMenu);
    connect(header, &QHeaderView::sectionClicked, this, &DomainTable::sortByHeading);
    connect(
        selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { listCurrentChanged(current.isValid() ? current.row() : -1); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionCountChanged(selectedCount()); });
    // Ctrl+A selects every row of the list, also those still coming in after the start: they are read first.
    auto* all = new QShortcut(QKeySequence::SelectAll, this, this, [this] {
        if (m_list && m_list->isFilling()) {
            if (const Result read = m_list->readAll(); !read.ok()) {
                MessageBox::appError(this, read.error());
                return;
            }
        }
        selectAll();
    });
    all->setContext(Qt::WidgetShortcut);

    // Said in the list when a search finds nothing.
    m_notFound = new QLabel(viewport());
    m_notFound->setObjectName(QStringLiteral("lblNotFound"));
    m_notFound->setTextFormat(Qt::PlainText);
    m_notFound->setAlignment(Qt::AlignCenter);
    m_notFound->setWordWrap(true);
    m_notFound->setContentsMargins(12, 12, 12, 12);
    m_notFound->hide();
}

void DomainTable::setList(DomainList* list)
{
    if (m_list)
        disconnect(m_list, nullptr, this, nullptr);
    m_list = list;
    // The model first, so that it has taken every change before the view follows it.
    m_model->setList(list);
    if (list) {
        connect(list, &DomainList::changed, this, &DomainTable::followListChange);
        connect(list, &DomainList::headingsReset, this, &DomainTable::resetHeadings);
    }
    followCurrentRow(list ? list->currentRow() : -1);
}

void DomainTable::followListChange(const ListChange& change)
{
    using Kind = ListChange::Kind;
    // While the rows change the selection moves with them: not a choice of a row.
    if (change.changesRows())
        m_syncing = !change.done;
    if (change.kind == Kind::CurrentMoved)
        followCurrentRow(change.first);
    // The columns fit the rows anew after a reset, and take in rows that came or were added.
    if (change.done && change.kind == Kind::Reset)
        forgetFit();
    if (change.done && (change.kind == Kind::FillProgress || change.kind == Kind::RowsInserted))
        fitLater();
}

void DomainTable::followCurrentRow(int row)
{
    QScopedValueRollback guard(m_syncing, true);
    QItemSelectionModel* selection = selectionModel();
    if (row < 0 || row >= m_model->rowCount()) {
        selection->clear();
        return;
    }
    // The view moved there itself (a click, a key): the selection it made stays, one row or many.
    if (currentIndex().isValid() && currentIndex().row() == row)
        return;
    const QModelIndex index = m_model->index(row, std::max(0, currentIndex().column()));
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void DomainTable::listCurrentChanged(int row)
{
    if (m_syncing || !m_list || row < 0 || row == m_list->currentRow())
        return;
    m_list->setCurrentRow(row);
}

int DomainTable::selectedCount() const
{
    return listselection::count(selectionModel());
}

void DomainTable::sortByHeading(int column)
{
    DomainList* domains = m_list;
    if (!domains || !domains->isOpen() || column < 0 || column >= m_model->columnCount())
        return;
    const bool ascending = domains->ascendingNext();
    // The domains selected stay selected in their new places.
    const std::vector<qint64> selected =
        selectedCount() > 1 ? listselection::aids(*domains, selectionModel()) : std::vector<qint64>();
    if (const Result result =
            changeList(domains, [&] { return domains->sortBy(m_model->fieldName(column)); });
        !result.ok()) {
        MessageBox::appError(this, result.error());
        return;
    }
    if (!selected.empty())
        listselection::reselect(*domains, selectionModel(), selected);
    setHeading(column, DomainListModel::markedHeading(heading(column), ascending));
}

void DomainTable::resetHeadings(int columns)
{
    // A reset of all five headings also takes the marks off the columns the user added.
    m_model->resetHeadings(columns >= DomainList::kAllHeadings ? -1 : columns);
}

void DomainTable::setHeading(int column, const QString& text)
{
    m_model->setHeading(column, text);
}

QString DomainTable::heading(int column) const
{
    return m_model->heading(column);
}

void DomainTable::showNotice(const QString& text)
{
    if (!text.isEmpty()) {
        m_notFound->setText(text);
        m_notFound->setGeometry(viewport()->rect());
    }
    m_notFound->setVisible(!text.isEmpty());
}

QString DomainTable::noticeText() const
{
    return m_notFound->isVisible() ? m_notFound->text() : QString();
}

bool DomainTable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && event->type() == QEvent::Resize && m_notFound) {
        m_notFound->setGeometry(viewport()->rect());
        fitColumns(); // at once: a window being resized shows no columns that lag behind
    }
    const bool overList =
        watched == viewport() || watched == verticalScrollBar() || watched == horizontalScrollBar();
    if (overList && event->type() == QEvent::Wheel) {
        // One row per wheel message, towards the user to the next row; the list never scrolls by itself.
        const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
        if (delta.y() == 0 && delta.x() != 0)
            return false; // a sideways wheel is not ours
        if (m_list && delta.y() != 0)
            m_list->moveCurrent(delta.y() < 0 ? 1 : -1);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

int DomainTable::cellMargin() const
{
    // The text of a cell is inset by the focus frame margin and one pixel on each side.
    return 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
}

int DomainTable::fullDateWidth() const
{
    return std::max(kColumnWidths[kExpiryColumn],
                    fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + cellMargin() + 2);
}

void DomainTable::fitLater()
{
    m_fitTimer->start();
}

void DomainTable::forgetFit()
{
    // New rows: the widths their texts need are measured afresh (a scroll only ever widens).
    m_needs.clear();
    fitLater();
}
void DomainTable::fitColumns()
{
    const QFontMetrics metrics = fontMetrics();
    const QFontMetrics headingMetrics = horizontalHeader()->fontMetrics();
    const int margin = cellMargin() + 2;
    // The rows on screen now.
    int top = rowAt(0), bottom = rowAt(viewport()->height() - 1);
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
    const std::vector<int> widths = columnfit::widths(columns, viewport()->width());
    QScopedValueRollback guard(m_fitting, true);
    QList<int> room;
    for (int c = 0; c < int(widths.size()); ++c) {
        if (columnWidth(c) != widths[size_t(c)])
            setColumnWidth(c, widths[size_t(c)]);
        room.append(widths[size_t(c)] - cellMargin());
    }
    m_model->setTextRoom(metrics, room);
}

int DomainTable::fittingWidth() const
{
    int width = fullDateWidth();
    for (int c = 0; c < kExpiryColumn; ++c)
        width += kColumnWidths[c];
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return width + scrollBar + 2 * frameWidth();
}

void DomainTable::buildColumnsMenu()
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
    connect(m_columnsMenu, &QMenu::aboutToShow, this, &DomainTable::updateColumnsMenu);
    updateColumnsMenu();
}

void DomainTable::updateColumnsMenu()
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

void DomainTable::setColumnShown(const QString& field, bool shown)
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

QStringList DomainTable::shownColumns() const
{
    return m_model->shownFields();
}

QList<int> DomainTable::rememberedWidths() const
{
    QList<int> widths;
    for (const QString& field : m_model->shownFields())
        widths.append(m_userWidths.value(field, 0));
    return widths;
}

QList<int> DomainTable::columnWidths() const
{
    QList<int> widths;
    for (int c = 0; c < m_model->columnCount(); ++c)
        widths.append(columnWidth(c));
    return widths;
}

void DomainTable::restoreColumns(const QList<int>& widths, const QStringList& columns)
{
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
        const int minimum = horizontalHeader()->minimumSectionSize();
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
