#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <memory>

struct Oid;
using OidPtr = std::shared_ptr<Oid>;

// One node of the MIB object-identifier tree, loaded once from the MIB database and
// immutable once the tree model has linked it. Always created with std::make_shared.
struct Oid final : std::enable_shared_from_this<Oid>
{
    // The numbering is that of net-snmp's MIB parser; the database stores these codes.
    enum Type
    {
        Other = 0,
        ObjectId = 1,
        OctetString = 2,
        Integer = 3,
        NetworkAddress = 4,
        IpAddress = 5,
        Counter = 6,
        Gauge = 7,
        TimeTicks = 8,
        Opaque = 9,
        Null = 10,
        Counter64 = 11,
        BitString = 12,
        NsapAddress = 13,
        UnsignedInteger = 14,
        Unsigned32 = 15,
        Integer32 = 16,
        TrapType = 20,
        NotifyType = 21,
        ObjectGroup = 22,
        NotifyGroup = 23,
        ModuleId = 24,
        AgentCapabilities = 25,
        ModuleCompliance = 26,
        ObjectIdentity = 27
    };

    enum Access
    {
        Unknown = 0,
        ReadOnly = 18,
        ReadWrite = 19,
        WriteOnly = 20,
        NoAccess = 21,
        Create = 48,
        Notify = 67
    };

    struct EnumValue
    {
        QString label;
        qint64 value = 0;
    };

    // Bounds as the module wrote them: 0..4294967295 for an Unsigned32, negative ones for
    // a signed type.
    struct Range
    {
        qint64 low = 0;
        qint64 high = 0;
    };

    qint64 id = 0;
    qint64 parentId = 0;
    QString name;
    // UTF-8 as stored: descriptions are the bulk of a large MIB, and UTF-16 would double them.
    QByteArray description;
    qint32 number = 0;
    Access access = Unknown;
    Type type = Other;
    QString module;
    QString filename;
    QDateTime lastUpdated;
    QVector<EnumValue> enums;
    QVector<Range> ranges;
    std::weak_ptr<Oid> parent;
    QVector<OidPtr> children;

    // A stored type code as loaded: the code itself when it is in the table, else Other.
    static Type typeFromCode(qint64 code);
    // A stored access code as loaded: the code itself when it is in the table, else Unknown.
    static Access accessFromCode(qint64 code);

    // A range of a node of this type whose bounds may have been cut to 32 bits (net-snmp's
    // parser keeps them so, and older databases stored them so): a negative bound of an
    // unsigned type, and the upper bound of a descending range, are taken as unsigned.
    // Bounds that are already whole stay as they are.
    static Range widenedRange(int type, qint64 low, qint64 high);

    static QString typeName(int type);     // "Unknown" for a value outside the table
    static QString accessName(int access); // "unknown" for a value outside the table

    QString numericPath() const; // 1.3.6.1.2.1.1.1
    QString textPath() const;    // iso.org.dod.internet.mgmt.mib-2.system.sysDescr
    QString moduleText() const;  // IF-MIB (rfc2863.mib)
    QString descriptionText() const { return QString::fromUtf8(description); }

    bool isLeaf() const { return children.isEmpty(); }
};

bool isNumericType(int type);
bool isNotificationType(int type);

// Numeric paths as text ("1.3.6.1.2.1"). An empty list always means "not a numeric path".
namespace OidPath {

QVector<qint32> parse(const QString& text);
QString join(const QVector<qint32>& numbers);
// Splits a path of at least two components into its parent path and last component.
bool split(const QString& path, QString* parentPath, qint32* last);
// The parent path alone; empty when the path has fewer than two components.
QString parentPath(const QString& path);
// Whether the OID later comes after earlier in an agent's order: sub-identifier by
// sub-identifier as unsigned 32-bit numbers, a prefix before its extensions. False when
// either is not a dotted numeric OID.
bool follows(const QString& later, const QString& earlier);

} // namespace OidPath
