#include "BulkEditDialog.h"

#include "db/Expiry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
std::function<bool(BulkEditDialog&)>& testAnswer()
{
    static std::function<bool(BulkEditDialog&)> answer;
    return answer;
}

struct FieldLine
{
    const char* name;
    const char* caption;
};
// The fields set to one text: the tick box is "chk" + name, the text box "edt" + name.
const FieldLine kFields[] = {
    {"Registrar", "注册商"}, {"Description", "域名说明"}, {"Price", "对外报价"}, {"Address", "管理地址"}};
} // namespace

BulkEditDialog::BulkEditDialog(const RowPack& rows, QWidget* parent)
    : QDialog(parent), m_rows(int(rows.size()))
{
    setObjectName(QStringLiteral("bulkEditDialog"));
    setWindowTitle(QStringLiteral("批量修改"));
    for (size_t row = 0; row < rows.size(); ++row) {
        if (expiry::parse(rows.value(row, 6)) == expiry::kUnreadable)
            ++m_unreadableDates;
    }
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int line = 0;
    for (const FieldLine& f : kFields) {
        auto* check = new QCheckBox(QString::fromUtf8(f.caption) + QStringLiteral("改为"), this);
        check->setObjectName(QStringLiteral("chk") + QLatin1String(f.name));
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edt") + QLatin1String(f.name));
        connect(check, &QCheckBox::toggled, this, &BulkEditDialog::updatePreview);
        // Typing in a box ticks it (an empty text ticked empties the field).
        connect(edit, &QLineEdit::textEdited, check, [check] { check->setChecked(true); });
        grid->addWidget(check, line, 0);
        grid->addWidget(edit, line++, 1);
    }
    m_notesMode = new QComboBox(this);
    m_notesMode->setObjectName(QStringLiteral("cmbNotes"));
    m_notesMode->addItem(QStringLiteral("备注不变"), int(bulkedit::Edit::Notes::Keep));
    m_notesMode->addItem(QStringLiteral("备注替换为"), int(bulkedit::Edit::Notes::Replace));
    m_notesMode->addItem(QStringLiteral("备注追加"), int(bulkedit::Edit::Notes::Append));
    m_notes = new QLineEdit(this);
    m_notes->setObjectName(QStringLiteral("edtNotes"));
    m_notes->setEnabled(false);
    connect(m_notesMode, &QComboBox::currentIndexChanged, this, [this] {
        m_notes->setEnabled(m_notesMode->currentIndex() > 0);
        updatePreview();
    });
    grid->addWidget(m_notesMode, line, 0);
    grid->addWidget(m_notes, line++, 1);
    m_extend = new QCheckBox(QStringLiteral("到期日期顺延"), this);
    m_extend->setObjectName(QStringLiteral("chkExtend"));
    m_years = new QSpinBox(this);
    m_years->setObjectName(QStringLiteral("spnYears"));
    m_years->setRange(1, 10);
    m_years->setSuffix(QStringLiteral(" 年"));
    m_years->setEnabled(false);
    connect(m_extend, &QCheckBox::toggled, m_years, &QSpinBox::setEnabled);
    connect(m_extend, &QCheckBox::toggled, this, &BulkEditDialog::updatePreview);
    grid->addWidget(m_extend, line, 0);
    grid->addWidget(m_years, line++, 1, Qt::AlignLeft);
    layout->addLayout(grid);

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("lblPreview"));
    m_preview->setTextFormat(Qt::PlainText);
    m_preview->setWordWrap(true);
    layout->addWidget(m_preview);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("修 改"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取 消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    updatePreview();
    resize(460, sizeHint().height());
}

QLineEdit* BulkEditDialog::field(const char* name) const
{
    return findChild<QLineEdit*>(QStringLiteral("edt") + QLatin1String(name));
}

QCheckBox* BulkEditDialog::tick(const char* name) const
{
    return findChild<QCheckBox*>(QStringLiteral("chk") + QLatin1String(name));
}

bulkedit::Edit BulkEditDialog::edit() const
{
    bulkedit::Edit e;
    auto take = [this](const char* name) -> std::optional<QString> {
        if (tick(name)->isChecked())
            return field(name)->text();
        return std::nullopt;
    };
    e.registrar = take("Registrar");
    e.description = take("Description");
    e.price = take("Price");
    e.address = take("Address");
    e.notesMode = bulkedit::Edit::Notes(m_notesMode->currentData().toInt());
    e.notes = m_notes->text();
    e.extendYears = m_extend->isChecked() ? m_years->value() : 0;
    return e;
}

QString BulkEditDialog::previewText() const
{
    const bulkedit::Edit e = edit();
    if (!e.changesSomething())
        return QStringLiteral("请选择要修改的内容（选中了 %1 个域名）").arg(m_rows);
    QString text = QStringLiteral("将修改 %1 个域名").arg(m_rows);
    if (e.extendYears != 0 && m_unreadableDates > 0)
        text += QStringLiteral("（其中 %1 个的到期日期无法识别，不顺延）").arg(m_unreadableDates);
    return text;
}

void BulkEditDialog::updatePreview()
{
    m_preview->setText(previewText());
    m_ok->setEnabled(edit().changesSomething());
}

void BulkEditDialog::setTestAnswer(std::function<bool(BulkEditDialog&)> answer)
{
    testAnswer() = std::move(answer);
}

std::optional<bulkedit::Edit> BulkEditDialog::ask(QWidget* parent, const RowPack& rows)
{
    BulkEditDialog dialog(rows, parent);
    const bool accepted = testAnswer() ? testAnswer()(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted || !dialog.edit().changesSomething())
        return std::nullopt;
    return dialog.edit();
}
