#include "RegistryReview.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
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

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
    return item;
}
} // namespace

RegistryReview::RegistryReview(const registry::Comparison& comparison, QWidget* parent)
    : QDialog(parent), m_differences(comparison.differences)
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

    // What needs attention first, in the alarm colour; failures after.
    m_notices = new QListWidget(this);
    m_notices->setObjectName(QStringLiteral("lstNotices"));
    m_notices->setAccessibleName(QStringLiteral("需要注意"));
    QList<registry::Notice> notices = comparison.notices;
    std::stable_sort(
        notices.begin(), notices.end(),
        [](const registry::Notice& a, const registry::Notice& b) { return a.prominent && !b.prominent; });
    for (const registry::Notice& n : notices) {
        auto* item = new QListWidgetItem(QStringLiteral("%1　%2").arg(n.domain, n.text), m_notices);
        if (n.prominent) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            item->setForeground(kAlarm);
            item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
        }
    }
    m_notices->setVisible(!notices.isEmpty());
    m_notices->setMaximumHeight(notices.isEmpty() ? 0 : std::min(6, int(notices.size())) * 24 + 8);
    layout->addWidget(m_notices);

    m_table = new QTableWidget(int(m_differences.size()), ColumnCount, this);
    m_table->setObjectName(QStringLiteral("tblDifferences"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("写入"), QStringLiteral("域名"),
                                        QStringLiteral("项目"), QStringLiteral("域名列表中"),
                                        QStringLiteral("注册局"), QStringLiteral("说明")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    for (int row = 0; row < m_differences.size(); ++row) {
        const registry::Difference& d = m_differences[row];
        auto* tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        tick->setCheckState(d.ticked ? Qt::Checked : Qt::Unchecked);
        tick->setData(Qt::AccessibleTextRole, QStringLiteral("写入"));
        m_table->setItem(row, Tick, tick);
        m_table->setItem(row, Domain, cell(d.domain));
        m_table->setItem(row, FieldColumn, cell(registry::fieldTitle(d.field)));
        m_table->setItem(row, Stored, cell(d.stored.isEmpty() ? QStringLiteral("（空）") : d.stored));
        m_table->setItem(row, Registry, cell(d.registry));
        m_table->setItem(row, Note, cell(d.note));
        if (d.prominent || d.earlier || !d.note.isEmpty()) {
            const QColor colour = d.prominent ? kAlarm : kCaution;
            for (int c = Domain; c < ColumnCount; ++c) {
                QTableWidgetItem* item = m_table->item(row, c);
                item->setForeground(colour);
                if (d.prominent) {
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
            }
        }
    }
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
    auto tickAll = [this](Qt::CheckState state) {
        for (int row = 0; row < m_table->rowCount(); ++row)
            m_table->item(row, Tick)->setCheckState(state);
    };
    connect(all, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Checked); });
    connect(none, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Unchecked); });
    connect(m_table, &QTableWidget::itemChanged, this, &RegistryReview::updateApply);
    updateApply();
    if (m_table->rowCount() > 0) {
        m_table->setCurrentCell(0, Tick);
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
    QList<registry::Difference> list;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, Tick)->checkState() == Qt::Checked)
            list.append(m_differences[row]);
    }
    return list;
}
