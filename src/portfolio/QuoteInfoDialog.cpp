#include "QuoteInfoDialog.h"

#include "platform/Dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
QLineEdit* field(QWidget* parent, const char* name, const QString& text, int maxLength,
                 const QString& placeholder)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}
} // namespace

QuoteInfoDialog::QuoteInfoDialog(const QuoteInfo& info, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QuoteInfoDialog"));
    setWindowTitle(QStringLiteral("报价单信息"));
    setModal(true);

    auto* box = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("以下信息印在报价单的页眉，只保存在本机。"), this);
    hint->setWordWrap(true);
    box->addWidget(hint);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_seller = field(this, "sellerEdit", info.seller, 40, QStringLiteral("个人或公司名称"));
    m_phone = field(this, "phoneEdit", info.phone, 30, QStringLiteral("例如：138 0000 0000"));
    m_email = field(this, "emailEdit", info.email, 60, QStringLiteral("例如：name@example.com"));
    m_note = field(this, "noteEdit", info.note, 60, QStringLiteral("例如：诚意出售，支持平台担保交易"));
    form->addRow(QStringLiteral("名称(&N)："), m_seller);
    form->addRow(QStringLiteral("电话(&T)："), m_phone);
    form->addRow(QStringLiteral("邮箱(&E)："), m_email);
    form->addRow(QStringLiteral("附言(&M)："), m_note);
    box->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    box->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QuoteInfoDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setMinimumWidth(420);
    m_seller->setFocus();
}

QuoteInfo QuoteInfoDialog::info() const
{
    return {m_seller->text().trimmed(), m_phone->text().trimmed(), m_email->text().trimmed(),
            m_note->text().trimmed()};
}

void QuoteInfoDialog::accept()
{
    static const QRegularExpression kEmail(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    const QString email = m_email->text().trimmed();
    if (!email.isEmpty() && !kEmail.match(email).hasMatch()) {
        MessageBox::show(this, MessageBox::Warning, windowTitle(),
                         QStringLiteral("邮箱格式不正确，请写作 name@example.com 的形式"), MessageBox::Ok);
        m_email->setFocus();
        m_email->selectAll();
        return;
    }
    QDialog::accept();
}

QHash<QString, QString> quoteFields(const QuoteInfo& info)
{
    return {{QStringLiteral("seller"), info.seller},
            {QStringLiteral("phone"), info.phone},
            {QStringLiteral("email"), info.email},
            {QStringLiteral("note"), info.note}};
}

bool editQuoteFields(QWidget* parent, QHash<QString, QString>& values)
{
    const QuoteInfo before{values.value(QStringLiteral("seller")), values.value(QStringLiteral("phone")),
                           values.value(QStringLiteral("email")), values.value(QStringLiteral("note"))};
    QuoteInfoDialog dialog(before, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QuoteInfo info = dialog.info();
    // Printed as typed even when it cannot be kept; the user is told.
    const QString error = PrintSettings::saveQuoteInfo(info);
    if (!error.isEmpty())
        MessageBox::appError(parent, error);
    values = quoteFields(info);
    return true;
}
