#pragma once

#include "panelview.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>

#include <functional>

// A window stand-in that records what the protocol core does to it.
class FakeView : public blinds::PanelView
{
public:
    QMap<blinds::Field, QString> texts{{blinds::Field::Channel, "1"},
                                       {blinds::Field::SendCount, "1"},
                                       {blinds::Field::Address, "010203"},
                                       {blinds::Field::FoundAddress, ""}};
    QMap<blinds::Field, quint32> colours;
    QMap<blinds::PanelTimer, int> periods;
    QStringList addressWrites;
    int periodWrites = 0;
    std::function<void()> onProcessPendingEvents;

    QString fieldText(blinds::Field field) const override { return texts.value(field); }
    void setFieldText(blinds::Field field, const QString &text) override
    {
        if (field == blinds::Field::Address)
            addressWrites << text;
        texts[field] = text;
    }
    void setFieldColour(blinds::Field field, quint32 bgr) override { colours[field] = bgr; }
    void setTimerPeriod(blinds::PanelTimer timer, int ms) override
    {
        ++periodWrites;
        periods[timer] = qMax(0, ms);
    }
    void processPendingEvents() override
    {
        if (onProcessPendingEvents)
            onProcessPendingEvents();
    }
};

class RecordingSink : public blinds::ByteSink
{
public:
    QByteArray bytes;
    int calls = 0;
    int result = 1;
    int sendByte(quint8 byte) override
    {
        ++calls;
        if (result)
            bytes.append(char(byte));
        return result;
    }
};
