#include "ImportPreviewDialog.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

namespace {

using valuecleaner::DayOrder;

const QList<DayOrder> kOrders = {DayOrder::Unknown, DayOrder::MonthFirst, DayOrder::DayFirst};

QString orderText(DayOrder order)
{
    switch (order) {
    case DayOrder::MonthFirst:
        return QStringLiteral("月/日/年");
    case DayOrder::DayFirst:
        return QStringLiteral("日/月/年");
    case DayOrder::Unknown:
        break;
    }
    return QStringLiteral("按日期本身判断");
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

ImportPreviewDialog::ImportPreviewDialog(const headingmap::Columns& columns, const QStringList& samples,
                                         const importplan::Settings& settings, Replan replan, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_replan(std::move(replan)), m_headings(columns.headings)
{
    setObjectName(QStringLiteral("importPreview"));
    setWindowTitle(QStringLiteral("导入预览"));
    resize(980, 640);

    auto* column = new QVBoxLayout(this);
    QLabel* intro = plainLabel(
        QStringLiteral("第 1 行是表头：各列按表头导入到下面的字段，表头这一行不导入。请确认后再导入；"
                       "按“取  消”什么也不保存。"),
        this);
    intro->setWordWrap(true);
    column->addWidget(intro);

    // Each column of the sheet: its heading, the field it goes to, the order of its dates, a sample.
    auto* mapping = new QWidget;
    auto* grid = new QGridLayout(mapping);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(plainLabel(QStringLiteral("表中的列"), mapping), 0, 0);
    grid->addWidget(plainLabel(QStringLiteral("导入到"), mapping), 0, 1);
    grid->addWidget(plainLabel(QStringLiteral("日期顺序"), mapping), 0, 2);
    grid->addWidget(plainLabel(QStringLiteral("第一个值"), mapping), 0, 3);
    for (int c = 0; c < m_settings.fields.size(); ++c) {
        const QString name =
            QStringLiteral("%1 列“%2”").arg(headingmap::columnLetter(c), m_headings.value(c));
        QLabel* heading = plainLabel(name, mapping);
        auto* field = new QComboBox(mapping);
        field->setObjectName(QStringLiteral("field%1").arg(c));
        field->setAccessibleName(name);
        field->addItem(headingmap::fieldTitle(headingmap::kNoField), headingmap::kNoField);
        for (int f = 0; f < DomainRecord::kValueCount; ++f)
            field->addItem(headingmap::fieldTitle(f), f);
        field->setCurrentIndex(field->findData(m_settings.fields[c]));
        heading->setBuddy(field);
        auto* order = new QComboBox(mapping);
        order->setObjectName(QStringLiteral("order%1").arg(c));
        order->setAccessibleName(name + QStringLiteral(" 日期顺序"));
        for (const DayOrder o : kOrders)
            order->addItem(orderText(o));
        order->setCurrentIndex(int(kOrders.indexOf(m_settings.orders.value(c))));
        QLabel* sample = plainLabel(samples.value(c), mapping);
        grid->addWidget(heading, c + 1, 0);
        grid->addWidget(field, c + 1, 1);
        grid->addWidget(order, c + 1, 2);
        grid->addWidget(sample, c + 1, 3);
        m_fields.append(field);
        m_orders.append(order);
        connect(field, &QComboBox::currentIndexChanged, this, [this, c] {
            // A field takes one column: the column that had it goes to "不导入".
            const int chosen = m_fields[c]->currentData().toInt();
            for (int other = 0; other < m_fields.size(); ++other) {
                if (other != c && chosen != headingmap::kNoField &&
                    m_fields[other]->currentData().toInt() == chosen) {
                    const QSignalBlocker quiet(m_fields[other]);
                    m_fields[other]->setCurrentIndex(0);
                }
            }
            settingsChanged();
        });
        connect(order, &QComboBox::currentIndexChanged, this, &ImportPreviewDialog::settingsChanged);
    }
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(int(m_settings.fields.size()) + 1, 1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(mapping);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(150);
    column->addWidget(scroll, 2);

    auto* duplicatesRow = new QHBoxLayout;
    QLabel* duplicatesLabel = plainLabel(QStringLiteral("域名列表中已有或表中重复的域名(&D):"), this);
    duplicatesLabel->setTextFormat(Qt::AutoText);
    m_duplicates = new QComboBox(this);
    m_duplicates->setObjectName(QStringLiteral("duplicates"));
    m_duplicates->addItems(
        {QStringLiteral("跳过"), QStringLiteral("用表中非空的值更新"), QStringLiteral("仍然添加")});
    m_duplicates->setCurrentIndex(int(m_settings.duplicates));
    duplicatesLabel->setBuddy(m_duplicates);
    duplicatesRow->addWidget(duplicatesLabel);
    duplicatesRow->addWidget(m_duplicates);
    duplicatesRow->addStretch();
    column->addLayout(duplicatesRow);
    connect(m_duplicates, &QComboBox::currentIndexChanged, this, &ImportPreviewDialog::settingsChanged);

    m_ask = plainLabel(QString(), this);
    m_ask->setObjectName(QStringLiteral("askOrder"));
    m_ask->setWordWrap(true);
    m_ask->setStyleSheet(QStringLiteral("color: #c00000;"));
    column->addWidget(m_ask);

    m_counts = plainLabel(QString(), this);
    m_counts->setObjectName(QStringLiteral("counts"));
    column->addWidget(m_counts);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("previewRows"));
    QStringList titles{QStringLiteral("行"), QStringLiteral("结果")};
    for (int f = 0; f < DomainRecord::kValueCount; ++f)
        titles.append(headingmap::fieldTitle(f));
    m_table->setColumnCount(int(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    m_table->setWordWrap(false);
    column->addWidget(m_table, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_import = new QPushButton(QStringLiteral("导  入"), this);
    m_import->setObjectName(QStringLiteral("importButton"));
    m_import->setDefault(true);
    m_import->setAutoDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取  消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_plan = m_replan(m_settings);
    showPlan();
    m_import->setFocus();
}

void ImportPreviewDialog::settingsChanged()
{
    for (int c = 0; c < m_fields.size(); ++c) {
        m_settings.fields[c] = m_fields[c]->currentData().toInt();
        m_settings.orders[c] = kOrders.value(m_orders[c]->currentIndex());
    }
    m_settings.duplicates = importplan::Duplicates(m_duplicates->currentIndex());
    WaitCursor wait;
    m_plan = m_replan(m_settings);
    showPlan();
}

void ImportPreviewDialog::showPlan()
{
    const QList<int> ask = m_plan.columnsToAsk();
    for (int c = 0; c < m_orders.size(); ++c) {
        const bool date = headingmap::isDateField(m_settings.fields[c]);
        m_orders[c]->setVisible(date && !m_settings.verbatim);
        // What "按日期本身判断" came to for this column.
        const DayOrder read = m_plan.orderOf(c);
        m_orders[c]->setItemText(0, read == DayOrder::Unknown || !date
                                        ? orderText(DayOrder::Unknown)
                                        : orderText(DayOrder::Unknown) +
                                              QStringLiteral("（%1）").arg(orderText(read)));
    }
    QStringList asked;
    for (const int c : ask)
        asked.append(QStringLiteral("%1 列“%2”").arg(headingmap::columnLetter(c), m_headings.value(c)));
    QString question = asked.isEmpty() ? QString()
                                       : asked.join(QStringLiteral("、")) +
                                             QStringLiteral(" 的日期分不清月和日（例如 03/04/2025），"
                                                            "请在“日期顺序”中选择“月/日/年”或“日/月/年”。");
    if (!m_settings.fields.contains(headingmap::kDomainField))
        question = QStringLiteral("没有一列导入到“域名”，请为域名选一列。");
    m_ask->setText(question);
    m_ask->setVisible(!question.isEmpty());
    m_import->setEnabled(question.isEmpty());

    const importplan::Counts counts = m_plan.counts();
    m_counts->setText(QStringLiteral("共 %1 行：新增 %2 个，更新 %3 个，跳过 %4 个，有问题 %5 个")
                          .arg(m_plan.rows().size())
                          .arg(counts.added)
                          .arg(counts.updated)
                          .arg(counts.skipped)
                          .arg(counts.problems));

    const int shown = int(std::min<size_t>(m_plan.rows().size(), kShownRows));
    m_table->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const importplan::Row& row = m_plan.rows()[size_t(r)];
        const QStringList values = row.values.values();
        auto* number = new QTableWidgetItem(QString::number(row.sheetRow + 1));
        QString result = importplan::actionText(row.action);
        if (!row.reason.isEmpty())
            result += QStringLiteral("：") + row.reason;
        auto* action = new QTableWidgetItem(result);
        const QString tip = (QStringList(row.reason) + row.warnings).join(u'\n').trimmed();
        action->setToolTip(tip);
        if (row.action == importplan::Action::Problem || !row.warnings.isEmpty())
            action->setForeground(QColor(0xc0, 0, 0));
        m_table->setItem(r, 0, number);
        m_table->setItem(r, 1, action);
        for (int f = 0; f < values.size(); ++f) {
            auto* item = new QTableWidgetItem(values[f]);
            item->setToolTip(values[f]);
            if (row.warned.contains(f)) {
                // A value kept as it was: marked, the reason at hand.
                item->setBackground(QColor(0xff, 0xe0, 0xe0));
                item->setForeground(QColor(0x80, 0, 0));
                item->setToolTip(row.warnings.value(int(row.warned.indexOf(f))));
            }
            m_table->setItem(r, f + 2, item);
        }
    }
    m_table->resizeColumnsToContents();
    for (int c = 0; c < m_table->columnCount(); ++c)
        m_table->setColumnWidth(c, std::min(m_table->columnWidth(c), 260));
}

ImportResultDialog::ImportResultDialog(const importplan::Counts& counts, const QStringList& lines,
                                       bool canUndo, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("importResult"));
    setWindowTitle(QStringLiteral("导入结果"));
    resize(620, lines.isEmpty() ? 140 : 420);
    auto* column = new QVBoxLayout(this);
    QLabel* summaryLabel = plainLabel(summary(counts), this);
    summaryLabel->setObjectName(QStringLiteral("summary"));
    QFont bold = summaryLabel->font();
    bold.setBold(true);
    summaryLabel->setFont(bold);
    column->addWidget(summaryLabel);
    auto* buttons = new QHBoxLayout;
    if (!lines.isEmpty()) {
        column->addWidget(
            plainLabel(QStringLiteral("以下各行没有导入，或有值按原样保存（可以复制）："), this));
        auto* list = new QPlainTextEdit(lines.join(u'\n'), this);
        list->setObjectName(QStringLiteral("notStored"));
        list->setReadOnly(true);
        list->setLineWrapMode(QPlainTextEdit::NoWrap);
        list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // Tab stops after the widest text of each column, so that the names and reasons line up.
        {
            const QFontMetricsF metrics(list->font());
            QList<double> widths;
            for (const QString& line : lines) {
                const QStringList fields = line.split(u'\t');
                for (qsizetype f = 0; f + 1 < fields.size(); ++f) {
                    if (widths.size() <= f)
                        widths.append(0);
                    widths[f] = std::max(widths[f], metrics.horizontalAdvance(fields[f]));
                }
            }
            QTextOption option = list->document()->defaultTextOption();
            QList<QTextOption::Tab> tabs;
            double at = 0;
            for (const double width : widths) {
                at += width + metrics.horizontalAdvance(QStringLiteral("域名"));
                tabs.append(QTextOption::Tab(at, QTextOption::LeftTab));
            }
            option.setTabs(tabs);
            list->document()->setDefaultTextOption(option);
        }
        column->addWidget(list, 1);
        auto* copy = new QPushButton(QStringLiteral("复制列表"), this);
        copy->setObjectName(QStringLiteral("copyList"));
        copy->setAutoDefault(false);
        connect(copy, &QPushButton::clicked, this,
                [list] { QApplication::clipboard()->setText(list->toPlainText()); });
        buttons->addWidget(copy);
    }
    buttons->addStretch();
    m_undo = new QPushButton(QStringLiteral("撤销上次导入"), this);
    m_undo->setObjectName(QStringLiteral("undoButton"));
    m_undo->setAutoDefault(false);
    m_undo->setToolTip(QStringLiteral("Ctrl+Z"));
    m_undo->setVisible(canUndo);
    auto* close = new QPushButton(QStringLiteral("关  闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    buttons->addWidget(m_undo);
    buttons->addWidget(close);
    column->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_undo, &QPushButton::clicked, this, &ImportResultDialog::undoRequested);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    undoKey->setEnabled(canUndo);
    connect(undoKey, &QShortcut::activated, m_undo, &QPushButton::click);
    close->setFocus();
}

QString ImportResultDialog::summary(const importplan::Counts& counts)
{
    return importplan::summaryText(counts);
}
