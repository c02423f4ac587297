#pragma once

#include "panelview.h"

#include <QMap>

namespace blinds {

// The panel's fields as texts from the command line, so that the protocol
// core builds the very frame the panel builds from the same texts.
class FieldView : public PanelView
{
public:
    FieldView(const QString &address, const QString &channel, const QString &count);

    QString fieldText(Field field) const override { return m_texts.value(field); }
    void setFieldText(Field field, const QString &text) override;
    void setFieldColour(Field, quint32) override {}
    void setTimerPeriod(PanelTimer, int) override {}
    void processPendingEvents() override {}

    // True once after the receiver has shown an accepted reply.
    bool takeAccepted();

private:
    QMap<Field, QString> m_texts;
    bool m_accepted = false;
};

} // namespace blinds
