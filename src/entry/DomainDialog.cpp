#include "DomainDialog.h"

#include "EntryEdits.h"
#include "InputRules.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {
QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    label->setMinimumHeight(buddy->sizeHint().height());
    return label;
}

// A box with a line of smaller grey type under it (the example line, the date hint).
QWidget* withHint(QLineEdit* box, const QString& text, QWidget* parent)
{
    auto* cell = new QWidget(parent);
    auto* hint = new QLabel(text, cell);
    hint->setTextFormat(Qt::PlainText);
    QFont font = hint->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    hint->setFont(font);
    hint->setProperty("role", QStringLiteral("hint"));
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(box);
    layout->addWidget(hint);
    cell->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return cell;
}

EntryLineEdit* box(const char* name, int limit, QWidget* parent)
{
    auto* edit = new EntryLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setLimit(limit);
    return edit;
}
} // namespace

DomainDialog::DomainDialog(const QString& objectName, const QString& windowCaption,
                           const DomainLimits& limits, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(objectName);
    setWindowTitle(windowCaption);
    setFixedSize(425, 289);
    setModal(true);

    m_domain = box("bsSkinEdit1", limits.domain, this);
    m_price = box("bsSkinEdit3", limits.price, this);
    m_description = box("bsSkinEdit2", limits.description, this);
    m_registrar = box("bsSkinEdit6", limits.registrar, this);
    m_url = box("bsSkinEdit4", limits.url, this);
    m_password = box("bsSkinEdit5", limits.password, this);
    m_registered = box("bsSkinDateEdit1", limits.date, this);
    m_expires = box("bsSkinDateEdit2", limits.date, this);
    m_domain->setKeyPress([this](QChar& key) { bsSkinEdit1KeyPress(key); });
    // A NUL, Esc, Tab or line break in a domain would make it impossible to find.
    m_domain->setDropControls(true);
    m_registered->setKeyPress([this](QChar& key) { bsSkinDateEdit1KeyPress(key); });
    m_expires->setKeyPress([this](QChar& key) { bsSkinDateEdit2KeyPress(key); });

    auto* notesGroup = new QGroupBox(QStringLiteral("备注"), this);
    notesGroup->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    m_notes = new NotesEdit(notesGroup);
    m_notes->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    m_notes->setLimit(limits.notes);
    auto* notesLayout = new QVBoxLayout(notesGroup);
    notesLayout->setContentsMargins(6, 12, 6, 6);
    notesLayout->addWidget(m_notes);

    m_save = new QPushButton(QStringLiteral("保  存"), this);
    m_save->setObjectName(QStringLiteral("bsSkinButton1"));
    m_save->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));

    auto* star = new QLabel(QStringLiteral("*"), this);
    star->setProperty("role", QStringLiteral("required"));
    star->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    star->setFixedHeight(m_domain->sizeHint().height());

    auto* priceRow = new QHBoxLayout;
    priceRow->setSpacing(4);
    priceRow->addWidget(m_price, 1);
    priceRow->addWidget(new QLabel(QStringLiteral("元"), this));
    priceRow->addStretch(1);

    // Left column: star, caption, box. Right column: caption, box; the notes below the dates.
    // The example line and the date hint sit right under their boxes, in the boxes' cells.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(12);
    grid->addWidget(star, 0, 0, Qt::AlignTop);
    grid->addWidget(caption(QStringLiteral("域    名:"), m_domain, this), 0, 1, Qt::AlignTop);
    grid->addWidget(withHint(m_domain, QStringLiteral("例如:yuming.com"), this), 0, 2);
    grid->addWidget(caption(QStringLiteral("对外报价:"), m_price, this), 1, 1);
    grid->addLayout(priceRow, 1, 2);
    grid->addWidget(caption(QStringLiteral("域名说明:"), m_description, this), 2, 1);
    grid->addWidget(m_description, 2, 2);
    grid->addWidget(caption(QStringLiteral("注 册 商:"), m_registrar, this), 3, 1);
    grid->addWidget(m_registrar, 3, 2);
    grid->addWidget(caption(QStringLiteral("管理地址:"), m_url, this), 4, 1);
    grid->addWidget(m_url, 4, 2);
    grid->addWidget(caption(QStringLiteral("管理密码:"), m_password, this), 5, 1);
    grid->addWidget(m_password, 5, 2);
    grid->setColumnMinimumWidth(3, 10);
    grid->addWidget(caption(QStringLiteral("注册日期:"), m_registered, this), 0, 4, Qt::AlignTop);
    grid->addWidget(withHint(m_registered, QStringLiteral("必须:2012-10-10"), this), 0, 5);
    grid->addWidget(caption(QStringLiteral("到期日期:"), m_expires, this), 1, 4);
    grid->addWidget(m_expires, 1, 5);
    grid->addWidget(notesGroup, 2, 4, 4, 2);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(5, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 12, 12, 10);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Focus order: the left column, the notes, the buttons, then the two dates.
    const QList<QWidget*> order = {m_domain, m_price, m_description, m_registrar,  m_url,    m_password,
                                   m_notes,  m_save,  m_cancel,      m_registered, m_expires};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_save, &QPushButton::clicked, this, &DomainDialog::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &DomainDialog::bsSkinButton2Click);
}

void DomainDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        // Centred on the desktop.
        centreOnDesktop(this);
        FormShow();
        m_domain->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void DomainDialog::bsSkinEdit1KeyPress(QChar& key)
{
    if (!inputrules::domainKeyPasses(key))
        key = QChar();
}

void DomainDialog::bsSkinDateEdit1KeyPress(QChar& key)
{
    if (!inputrules::dateKeyPasses(key))
        key = QChar();
}

void DomainDialog::bsSkinDateEdit2KeyPress(QChar& key)
{
    bsSkinDateEdit1KeyPress(key);
}

DomainRecord DomainDialog::record() const
{
    DomainRecord r;
    r.domain = m_domain->text();
    r.description = m_description->text();
    r.registrar = m_registrar->text();
    r.address = m_url->text();
    r.registered = m_registered->text();
    r.expires = m_expires->text();
    r.notes = m_notes->notes();
    r.password = m_password->text();
    r.price = m_price->text();
    return r;
}

void DomainDialog::setRecord(const DomainRecord& record)
{
    m_domain->setText(record.domain);
    m_description->setText(record.description);
    m_registrar->setText(record.registrar);
    m_url->setText(record.address);
    m_registered->setText(record.registered);
    m_expires->setText(record.expires);
    m_notes->setNotes(record.notes);
    m_password->setText(record.password);
    m_price->setText(record.price);
    // Long texts show from their beginning.
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setCursorPosition(0);
}

void DomainDialog::bsSkinButton1Click()
{
    if (m_domain->text().isEmpty()) {
        MessageBox::information(this, QStringLiteral("域名为必填项"));
        m_domain->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!m_data)
        return;
    if (const Result written = writeRecord(record()); !written.ok()) {
        // Nothing was written: the list stays as it is and the dialog keeps the user's input.
        MessageBox::appError(this, written.error());
        return;
    }
    if (const Result reloaded = m_data->domains()->reopen(); !reloaded.ok())
        MessageBox::appError(this, reloaded.error());
    // The record is stored; the dialog closes even when the list could not be shown again, so that a
    // second press cannot store it twice.
    accept();
}

void DomainDialog::bsSkinButton2Click()
{
    reject();
}
