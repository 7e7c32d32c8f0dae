#pragma once

#include <QString>

// A mailbox: the address and an optional display name.
class EmailAddress
{
public:
    EmailAddress() = default;
    explicit EmailAddress(const QString& address, const QString& name = QString())
        : m_address(address)
        , m_name(name)
    {
    }

    QString address() const { return m_address; }
    void setAddress(const QString& address) { m_address = address; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

private:
    QString m_address;
    QString m_name;
};
