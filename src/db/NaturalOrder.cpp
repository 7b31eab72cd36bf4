#include "NaturalOrder.h"

#include <QLocale>

NaturalOrder::NaturalOrder() : m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setIgnorePunctuation(false);
}
