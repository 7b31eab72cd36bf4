#pragma once

#include "platform/LayoutSettings.h"

#include <QDialog>
#include <QHash>

class QLineEdit;

// 报价单信息: the seller's name, telephone, e-mail and a line for the buyer, printed in the header
// of the price list. Returns what was typed; keeping it is the caller's.
class QuoteInfoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QuoteInfoDialog(const QuoteInfo& info, QWidget* parent = nullptr);
    QuoteInfo info() const;
    void accept() override;

private:
    QLineEdit* m_seller;
    QLineEdit* m_phone;
    QLineEdit* m_email;
    QLineEdit* m_note;
};

// The form fields the reports fill their texts from: {seller}, {phone}, {email} and {note}.
QHash<QString, QString> quoteFields(const QuoteInfo& info);
// Asks for the price list's header with the dialog and keeps it for the user; false when cancelled.
// values holds the form fields before and after.
bool editQuoteFields(QWidget* parent, QHash<QString, QString>& values);
