#include "fieldview.h"

namespace blinds {

FieldView::FieldView(const QString &address, const QString &channel, const QString &count)
    : m_texts{{Field::Address, address},
              {Field::Channel, channel},
              {Field::SendCount, count},
              {Field::FoundAddress, QString()}}
{
}

void FieldView::setFieldText(Field field, const QString &text)
{
    m_texts[field] = text;
    // The receiver writes the found-address field for an accepted reply only.
    if (field == Field::FoundAddress)
        m_accepted = true;
}

bool FieldView::takeAccepted()
{
    const bool accepted = m_accepted;
    m_accepted = false;
    return accepted;
}

} // namespace blinds
