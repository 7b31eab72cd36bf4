#include "RestoreBackup.h"

#include "db/Backup.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

namespace {
enum Column
{
    kMade,
    kSize,
    kDomains,
    kColumns
};
}

TRestoreBackup::TRestoreBackup(const QString& dbPath, QWidget* parent) : QDialog(parent), m_dbPath(dbPath)
{
    setObjectName(QStringLiteral("restoreBackup"));
    setWindowTitle(QStringLiteral("从备份恢复"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        QStringLiteral("程序每天第一次启动时、导入和从注册局更新之前都会备份数据库，保留最近 %1 份。"
                       "恢复前，现在的数据库会先另存为一份新的备份。")
            .arg(backup::kKept),
        this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("大小"), QStringLiteral("域名数")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(kMade, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(kSize, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kDomains, QHeaderView::ResizeToContents);
    const QLocale locale(QLocale::Chinese, QLocale::China);
    for (const QString& name : [&] {
             QStringList newestFirst = backup::copies(dbPath);
             std::reverse(newestFirst.begin(), newestFirst.end());
             return newestFirst;
         }()) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        const backup::CopyInfo info = backup::info(dbPath, name);
        auto* made = new QTableWidgetItem(info.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        made->setData(Qt::UserRole, name);
        made->setToolTip(name);
        m_table->setItem(row, kMade, made);
        auto* size =
            new QTableWidgetItem(locale.formattedDataSize(info.bytes, 1, QLocale::DataSizeTraditionalFormat));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, kSize, size);
        auto* domains = new QTableWidgetItem(QStringLiteral("正在读取……"));
        domains->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, kDomains, domains);
    }
    layout->addWidget(m_table, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("恢复"), QDialogButtonBox::AcceptRole);
    m_restore->setEnabled(false);
    m_restore->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const QList<QTableWidgetItem*> picked = m_table->selectedItems();
        if (picked.isEmpty())
            return;
        m_chosen = m_table->item(picked.first()->row(), kMade)->data(Qt::UserRole).toString();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!m_table->selectedItems().isEmpty()); });
    connect(m_table, &QTableWidget::itemDoubleClicked, m_restore, &QPushButton::click);
    resize(520, 360);
    if (m_table->rowCount() > 0)
        m_table->selectRow(0);
    m_table->setFocus();
    countCopies();
}

TRestoreBackup::~TRestoreBackup()
{
    m_stop = true;
    if (m_counter) {
        m_counter->wait();
        delete m_counter;
    }
}

void TRestoreBackup::countCopies()
{
    QStringList names;
    for (int row = 0; row < m_table->rowCount(); ++row)
        names << m_table->item(row, kMade)->data(Qt::UserRole).toString();
    const QString folder = backup::folderFor(m_dbPath);
    // Each copy is opened and its domains counted away from the window: a large file takes a moment.
    m_counter = QThread::create([this, names, folder] {
        for (int row = 0; row < names.size() && !m_stop; ++row) {
            const Expected<int> domains =
                backup::check(QDir(folder).filePath(names[row]), backup::Check::Count);
            QMetaObject::invokeMethod(
                this,
                [this, row, domains] {
                    QTableWidgetItem* item = m_table->item(row, kDomains);
                    if (domains.ok()) {
                        item->setText(QLocale(QLocale::Chinese, QLocale::China).toString(domains.value()));
                    } else {
                        item->setText(QStringLiteral("已损坏"));
                        item->setForeground(QColor(0xb0, 0x20, 0x20));
                        item->setToolTip(domains.error());
                    }
                },
                Qt::QueuedConnection);
        }
    });
    connect(m_counter, &QThread::finished, this, [this] {
        m_counted = true;
        emit countsDone();
    });
    m_counter->start();
}
