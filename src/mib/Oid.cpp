#include "mib/Oid.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <type_traits>

namespace {

struct NameEntry
{
    int code;
    const char* name;
};

const NameEntry typeNames[] = {
    {Oid::Other, QT_TRANSLATE_NOOP("Oid", "Other")},
    {Oid::ObjectId, QT_TRANSLATE_NOOP("Oid", "Object ID")},
    {Oid::OctetString, QT_TRANSLATE_NOOP("Oid", "Octet string")},
    {Oid::Integer, QT_TRANSLATE_NOOP("Oid", "Integer")},
    {Oid::NetworkAddress, QT_TRANSLATE_NOOP("Oid", "Network address")},
    {Oid::IpAddress, QT_TRANSLATE_NOOP("Oid", "IP address")},
    {Oid::Counter, QT_TRANSLATE_NOOP("Oid", "Counter")},
    {Oid::Gauge, QT_TRANSLATE_NOOP("Oid", "Gauge")},
    {Oid::TimeTicks, QT_TRANSLATE_NOOP("Oid", "Timeticks")},
    {Oid::Opaque, QT_TRANSLATE_NOOP("Oid", "Opaque")},
    {Oid::Null, QT_TRANSLATE_NOOP("Oid", "Null")},
    {Oid::Counter64, QT_TRANSLATE_NOOP("Oid", "Counter64")},
    {Oid::BitString, QT_TRANSLATE_NOOP("Oid", "Bit string")},
    {Oid::NsapAddress, QT_TRANSLATE_NOOP("Oid", "NSAP address")},
    {Oid::UnsignedInteger, QT_TRANSLATE_NOOP("Oid", "Unsigned integer")},
    {Oid::Unsigned32, QT_TRANSLATE_NOOP("Oid", "Unsigned32")},
    {Oid::Integer32, QT_TRANSLATE_NOOP("Oid", "Integer32")},
    {Oid::TrapType, QT_TRANSLATE_NOOP("Oid", "Trap type")},
    {Oid::NotifyType, QT_TRANSLATE_NOOP("Oid", "Notify type")},
    {Oid::ObjectGroup, QT_TRANSLATE_NOOP("Oid", "Object group")},
    {Oid::NotifyGroup, QT_TRANSLATE_NOOP("Oid", "Notify group")},
    {Oid::ModuleId, QT_TRANSLATE_NOOP("Oid", "Modid")},
    {Oid::AgentCapabilities, QT_TRANSLATE_NOOP("Oid", "Agentcap")},
    {Oid::ModuleCompliance, QT_TRANSLATE_NOOP("Oid", "Modcomp")},
    {Oid::ObjectIdentity, QT_TRANSLATE_NOOP("Oid", "Object identity")},
};

const NameEntry accessNames[] = {
    {Oid::Unknown, QT_TRANSLATE_NOOP("Oid", "unknown")},      {Oid::ReadOnly, QT_TRANSLATE_NOOP("Oid", "read-only")},
    {Oid::ReadWrite, QT_TRANSLATE_NOOP("Oid", "read-write")}, {Oid::WriteOnly, QT_TRANSLATE_NOOP("Oid", "write-only")},
    {Oid::NoAccess, QT_TRANSLATE_NOOP("Oid", "no access")},   {Oid::Create, QT_TRANSLATE_NOOP("Oid", "create")},
    {Oid::Notify, QT_TRANSLATE_NOOP("Oid", "notify")},
};

template <size_t N> const NameEntry* lookup(const NameEntry (&table)[N], qint64 code)
{
    for (const NameEntry& entry : table) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

} // namespace

Oid::Type Oid::typeFromCode(qint64 code)
{
    return lookup(typeNames, code) ? static_cast<Type>(code) : Other;
}

Oid::Access Oid::accessFromCode(qint64 code)
{
    return lookup(accessNames, code) ? static_cast<Access>(code) : Unknown;
}

Oid::Range Oid::widenedRange(int type, qint64 low, qint64 high)
{
    const auto unsigned32 = [](qint64 bound) {
        return bound < 0 && bound >= std::numeric_limits<qint32>::min() ? bound + (Q_INT64_C(1) << 32) : bound;
    };
    if (type != Integer && type != Integer32 && type != Other)
        return {unsigned32(low), unsigned32(high)};
    return {low, low > high ? unsigned32(high) : high};
}

QString Oid::typeName(int type)
{
    const NameEntry* entry = lookup(typeNames, type);
    return QCoreApplication::translate("Oid", entry ? entry->name : "Unknown");
}

QString Oid::accessName(int access)
{
    const NameEntry* entry = lookup(accessNames, access);
    return QCoreApplication::translate("Oid", entry ? entry->name : "unknown");
}

QString Oid::numericPath() const
{
    QVector<qint32> numbers;
    for (const Oid* node = this; node; node = node->parent.lock().get())
        numbers.append(node->number);
    std::reverse(numbers.begin(), numbers.end());
    return OidPath::join(numbers);
}

QString Oid::textPath() const
{
    QString path;
    for (const Oid* node = this; node; node = node->parent.lock().get()) {
        if (!path.isEmpty())
            path.prepend(QLatin1Char('.'));
        path.prepend(node->name);
    }
    return path;
}

QString Oid::moduleText() const
{
    if (filename.isEmpty())
        return module;
    return module + QLatin1String(" (") + filename + QLatin1Char(')');
}

bool isNumericType(int type)
{
    switch (type) {
    case Oid::Integer:
    case Oid::Counter:
    case Oid::Gauge:
    case Oid::TimeTicks:
    case Oid::Counter64:
    case Oid::UnsignedInteger:
    case Oid::Unsigned32:
    case Oid::Integer32:
        return true;
    default:
        return false;
    }
}

bool isNotificationType(int type)
{
    return type == Oid::TrapType || type == Oid::NotifyType;
}

namespace OidPath {

namespace {

// The numbers of "a.b.c" as Number (qint32 or quint32); empty when one piece is not such a
// number, or when there is none.
template <typename Number> QVector<Number> numbersOf(const QStringRef& text)
{
    QVector<Number> numbers;
    if (text.isEmpty())
        return numbers;
    const QVector<QStringRef> pieces = text.split(QLatin1Char('.'));
    numbers.reserve(pieces.size());
    for (const QStringRef& piece : pieces) {
        bool ok = false;
        const Number number =
            std::is_signed<Number>::value ? Number(piece.toInt(&ok, 10)) : Number(piece.toUInt(&ok, 10));
        if (!ok)
            return {};
        numbers.append(number);
    }
    return numbers;
}

} // namespace

QVector<qint32> parse(const QString& text)
{
    QStringRef rest = QStringRef(&text).trimmed();
    if (rest.startsWith(QLatin1Char('.')))
        rest = rest.mid(1);
    if (rest.endsWith(QLatin1Char('.')))
        rest.chop(1);
    return numbersOf<qint32>(rest);
}

QString join(const QVector<qint32>& numbers)
{
    QString text;
    for (qint32 number : numbers) {
        if (!text.isEmpty())
            text += QLatin1Char('.');
        text += QString::number(number);
    }
    return text;
}

bool split(const QString& path, QString* parentPath, qint32* last)
{
    QVector<qint32> numbers = parse(path);
    if (numbers.size() < 2)
        return false;
    if (last)
        *last = numbers.takeLast();
    else
        numbers.removeLast();
    if (parentPath)
        *parentPath = join(numbers);
    return true;
}

QString parentPath(const QString& path)
{
    QString parent;
    return split(path, &parent, nullptr) ? parent : QString();
}

bool follows(const QString& later, const QString& earlier)
{
    // Sub-identifiers reach 2^32 - 1: unsigned, unlike node numbers.
    const QVector<quint32> after = numbersOf<quint32>(QStringRef(&later));
    const QVector<quint32> before = numbersOf<quint32>(QStringRef(&earlier));
    if (after.isEmpty() || before.isEmpty())
        return false;
    return std::lexicographical_compare(before.cbegin(), before.cend(), after.cbegin(), after.cend());
}

} // namespace OidPath
