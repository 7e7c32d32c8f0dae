#pragma once

#include <QDateTime>

// Where "now" comes from, so that tests can set the time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// The computer's clock, in local time.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};
