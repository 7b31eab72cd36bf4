#include "RegistryReview.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QColor kAlarm(178, 34, 34);  // what needs attention
const QColor kCaution(176, 96, 0); // an earlier date, a text that is no date
enum Column
{
    Tick,
    Domain,
    FieldColumn,
    Stored,
    Registry,
    Note,
    ColumnCount
};
} // namespace

// The differences with their ticks, drawn only where they are seen, so that a long review opens at once.
class DifferenceModel : public QAbstractTableModel
{
public:
    DifferenceModel(const QList<registry::Difference>& differences, QObject* parent)
        : QAbstractTableModel(parent), m_differences(differences)
    {
        for (const registry::Difference& d : differences)
            m_ticked.push_back(d.ticked);
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_differences.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : ColumnCount;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const titles[] = {"写入", "域名", "项目", "域名列表中", "注册局", "说明"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromUtf8(titles[section]);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return index.column() == Tick ? flags | Qt::ItemIsUserCheckable : flags;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const registry::Difference& d = m_differences[index.row()];
        const bool marked = d.prominent || d.earlier || !d.note.isEmpty();
        switch (role) {
        case Qt::CheckStateRole:
            return index.column() == Tick
                       ? QVariant(m_ticked[size_t(index.row())] ? Qt::Checked : Qt::Unchecked)
                       : QVariant();
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            switch (index.column()) {
            case Domain:
                return d.domain;
            case FieldColumn:
                return registry::fieldTitle(d.field);
            case Stored:
                return d.stored.isEmpty() ? QStringLiteral("（空）") : d.stored;
            case Registry:
                return d.registry;
            case Note:
                return d.note;
            }
            return {};
        case Qt::AccessibleTextRole:
            return index.column() == Tick ? QStringLiteral("写入") : QVariant();
        case Qt::ForegroundRole:
            return marked && index.column() != Tick ? QVariant(d.prominent ? kAlarm : kCaution) : QVariant();
        case Qt::FontRole:
            if (d.prominent && index.column() != Tick) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        }
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || index.column() != Tick || role != Qt::CheckStateRole)
            return false;
        m_ticked[size_t(index.row())] = value.toInt() == Qt::Checked;
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    void tickAll(bool on)
    {
        std::fill(m_ticked.begin(), m_ticked.end(), on);
        if (!m_ticked.empty())
            emit dataChanged(index(0, Tick), index(rowCount() - 1, Tick), {Qt::CheckStateRole});
    }
    QList<registry::Difference> ticked() const
    {
        QList<registry::Difference> list;
        for (int row = 0; row < m_differences.size(); ++row)
            if (m_ticked[size_t(row)])
                list.append(m_differences[row]);
        return list;
    }

private:
    QList<registry::Difference> m_differences;
    std::vector<bool> m_ticked;
};

RegistryReview::RegistryReview(const registry::Comparison& comparison, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("registryReview"));
    setWindowTitle(QStringLiteral("核对注册局信息"));
    auto* layout = new QVBoxLayout(this);

    int alarming = 0;
    int failed = 0;
    for (const registry::Notice& n : comparison.notices) {
        alarming += n.prominent ? 1 : 0;
        failed += n.kind == registry::Notice::Kind::Failed ? 1 : 0;
    }
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    m_summary->setText(
        QStringLiteral("注册局答复了 %1 个域名：%2 "
                       "项与域名列表不同%3%4。勾选的值在“应用所选”后写入（写入前先备份数据库）。")
            .arg(comparison.answered)
            .arg(comparison.differences.size())
            .arg(alarming ? QStringLiteral("，%1 个域名需要注意").arg(alarming) : QString())
            .arg(failed ? QStringLiteral("，%1 个域名查询失败").arg(failed) : QString()));
    layout->addWidget(m_summary);

    // Names the registries do not hold first, then alarming statuses, in the alarm colour; failures after.
    m_notices = new QListWidget(this);
    m_notices->setObjectName(QStringLiteral("lstNotices"));
    m_notices->setAccessibleName(QStringLiteral("需要注意"));
    m_notices->setUniformItemSizes(true);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QList<registry::Notice> notices = comparison.notices;
    std::stable_sort(notices.begin(), notices.end(),
                     [](const registry::Notice& a, const registry::Notice& b) { return a.kind < b.kind; });
    for (const registry::Notice& n : notices) {
        auto* item = new QListWidgetItem(QStringLiteral("%1　%2").arg(n.domain, n.text), m_notices);
        if (n.prominent) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            item->setForeground(kAlarm);
            item->setIcon(warning);
        }
    }
    m_notices->setVisible(!notices.isEmpty());
    m_notices->setMaximumHeight(notices.isEmpty() ? 0 : std::min(6, int(notices.size())) * 24 + 8);
    layout->addWidget(m_notices);

    m_model = new DifferenceModel(comparison.differences, this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblDifferences"));
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setResizeContentsPrecision(200); // a long review opens without delay
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* all = buttons->addButton(QStringLiteral("全部勾选"), QDialogButtonBox::ActionRole);
    auto* none = buttons->addButton(QStringLiteral("全部不选"), QDialogButtonBox::ActionRole);
    m_apply = buttons->addButton(QStringLiteral("应用所选"), QDialogButtonBox::AcceptRole);
    m_apply->setObjectName(QStringLiteral("btnApply"));
    auto* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    m_apply->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(all, &QPushButton::clicked, this, [this] { m_model->tickAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { m_model->tickAll(false); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &RegistryReview::updateApply);
    updateApply();
    if (m_model->rowCount() > 0) {
        m_table->setCurrentIndex(m_model->index(0, Tick));
        m_table->setFocus();
    }
    resize(880, 520);
}

void RegistryReview::updateApply()
{
    m_apply->setEnabled(!ticked().isEmpty());
}

QList<registry::Difference> RegistryReview::ticked() const
{
    return m_model->ticked();
}
