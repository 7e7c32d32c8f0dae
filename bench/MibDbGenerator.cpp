#include "MibDbGenerator.h"

#include "mib/MibDatabase.h"
#include "mib/Oid.h"

#include <QFile>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr int MaxDepth = 16; // iso is at depth 1; real vendor columns sit at 13 to 16
constexpr double TargetLeafShare = 0.6;
constexpr int DescriptionBytes = 200;
constexpr std::size_t MinNameLength = 8;
constexpr std::size_t MaxNameLength = 25;
constexpr int MinModuleBudget = 24;
// Groups of objects at most this deep and this large are filled with tables and scalars directly.
constexpr int LeafLevelDepth = 13;
constexpr qint64 MaxLeafLevelBudget = 45;
// A fixed version keeps the file a function of the seed alone.
constexpr int VersionMajor = 20240101;

// xoshiro256** seeded through splitmix64: our own generator and our own bounded draws, because
// the standard distributions differ between library implementations and a seed must give the
// same file everywhere.
class Random final
{
public:
    explicit Random(quint64 seed)
    {
        for (auto& s : m_state) {
            seed += 0x9e3779b97f4a7c15ULL;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            s = z ^ (z >> 31);
        }
    }

    quint64 next()
    {
        const quint64 result = rotl(m_state[1] * 5, 7) * 9;
        const quint64 t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // Uniform in [0, n) for n >= 1.
    quint32 below(quint64 n) { return quint32(((next() >> 32) * n) >> 32); }
    int between(int low, int high) { return low + int(below(quint64(high - low + 1))); }
    double unit() { return double(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }

    template <typename It> void shuffle(It first, It last)
    {
        for (auto n = last - first; n > 1; --n)
            std::iter_swap(first + (n - 1), first + below(quint64(n)));
    }

    template <typename T, std::size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }

    std::array<quint64, 4> m_state{};
};

// Parts of descriptors, in the style of real MIB objects (ifHCInOctets, bgpPeerRemoteAs).
const char* const NameWords[] = {
    "In",      "Out",    "Octets",  "Pkts",   "Errors",  "Discards",  "Status",  "Admin",   "Oper",     "Index",
    "Type",    "Name",   "Descr",   "Alias",  "Speed",   "Mtu",       "Address", "Mask",    "Port",     "Vlan",
    "Bgp",     "Ospf",   "Peer",    "Route",  "Next",    "Hop",       "Metric",  "Cpu",     "Mem",      "Temp",
    "Fan",     "Power",  "Supply",  "Sensor", "Value",   "Threshold", "Alarm",   "Event",   "Log",      "Time",
    "Stamp",   "Last",   "Change",  "Count",  "Total",   "Rate",      "Util",    "Queue",   "Drop",     "Bytes",
    "Frames",  "Ucast",  "Mcast",   "Bcast",  "Tunnel",  "Vpn",       "Policy",  "Rule",    "Action",   "Filter",
    "Acl",     "User",   "Session", "Auth",   "Fail",    "Success",   "Retry",   "Timeout", "Config",   "Version",
    "Serial",  "Model",  "Slot",    "Card",   "Chassis", "Link",      "Trunk",   "Member",  "Priority", "State",
    "Mode",    "Enable", "Level",   "Lower",  "Upper",   "Max",       "Min",     "Avg",     "Current",  "Peak",
    "Buffer",  "Pool",   "Free",    "Used",   "Size",    "Wlan",      "Radio",   "Channel", "Ssid",     "Client",
    "Station", "Signal", "Noise",   "Qos",    "Class",   "Map",       "Mpls",    "Lsp",     "Label",    "Ldp",
    "Isis",    "Area",   "Lsa",     "Dhcp",   "Lease",   "Dns",       "Ntp",     "Server",  "Host",     "If",
    "Counter", "HC",     "Storage", "Disk",   "Volume",  "Raid",      "Battery", "Voltage", "Ups",      "Load",
    "Input",   "Output", "Freq",    "Lldp",   "Stp",     "Bridge",    "Mac",     "Arp",     "Nd",       "Ipv6",
    "Ipv4",    "Prefix", "Pim",     "Igmp",   "Snoop",   "Ha",        "Cluster", "Node",    "Sync",     "Backup",
    "Remote",  "Local",  "Oid",     "Owner",  "Row",     "Flow",      "Sample",  "Poll",    "Interval", "Window",
    "Delay",   "Jitter", "Loss",    "Probe",  "Target",  "Source",    "Dest",    "Proto",   "Cert",     "Key",
    "Crypto",  "Sa",     "Ike",     "Nat",    "Pat",     "Vrf",       "Vrrp",    "Lag",     "Lacp",     "Optic",
    "Laser",   "Bias",   "Rx",      "Tx"};

const char* const GroupSuffixes[] = {"Objects", "Stats",   "Config", "Info",     "Status", "Global",
                                     "Mgmt",    "Control", "Params", "Counters", "Data",   "Ext"};
const char* const NotificationSuffixes[] = {"Notification", "Trap",  "Alarm",   "Event",
                                            "Change",       "Alert", "Cleared", "Raised"};
const char* const VendorSuffixes[] = {"Networks", "Systems", "Corp", "Mib", "Tech", "Inc", "Labs", "Comms"};
const char* const MibsNames[] = {"Mibs", "Modules", "Mgmt", "MibObjects", "Registry"};

const char* const DescriptionWords[] = {"a",
                                        "an",
                                        "of",
                                        "to",
                                        "is",
                                        "in",
                                        "on",
                                        "by",
                                        "or",
                                        "as",
                                        "at",
                                        "be",
                                        "if",
                                        "no",
                                        "the",
                                        "and",
                                        "for",
                                        "may",
                                        "set",
                                        "not",
                                        "row",
                                        "its",
                                        "are",
                                        "all",
                                        "new",
                                        "any",
                                        "one",
                                        "two",
                                        "per",
                                        "use",
                                        "via",
                                        "this",
                                        "that",
                                        "when",
                                        "with",
                                        "from",
                                        "each",
                                        "port",
                                        "unit",
                                        "used",
                                        "been",
                                        "time",
                                        "peer",
                                        "link",
                                        "sent",
                                        "last",
                                        "more",
                                        "rate",
                                        "data",
                                        "mode",
                                        "list",
                                        "type",
                                        "only",
                                        "none",
                                        "will",
                                        "must",
                                        "value",
                                        "table",
                                        "entry",
                                        "agent",
                                        "which",
                                        "error",
                                        "index",
                                        "state",
                                        "count",
                                        "total",
                                        "frame",
                                        "queue",
                                        "route",
                                        "after",
                                        "since",
                                        "other",
                                        "local",
                                        "write",
                                        "valid",
                                        "where",
                                        "level",
                                        "octets",
                                        "within",
                                        "object",
                                        "number",
                                        "status",
                                        "device",
                                        "system",
                                        "values",
                                        "remote",
                                        "active",
                                        "policy",
                                        "events",
                                        "packet",
                                        "stored",
                                        "enable",
                                        "manager",
                                        "counter",
                                        "address",
                                        "defined",
                                        "current",
                                        "receive",
                                        "entries",
                                        "instance",
                                        "interval",
                                        "protocol",
                                        "received",
                                        "returned",
                                        "operator",
                                        "includes",
                                        "interface",
                                        "threshold",
                                        "indicates",
                                        "maintains",
                                        "generated",
                                        "discarded",
                                        "reference",
                                        "specified",
                                        "management",
                                        "configured",
                                        "subsequent",
                                        "associated",
                                        "conceptual",
                                        "identifies",
                                        "particular",
                                        "controlled",
                                        "information",
                                        "transmitted",
                                        "represented",
                                        "established",
                                        "operational",
                                        "initialized",
                                        "notification",
                                        "transmission",
                                        "availability",
                                        "successfully",
                                        "instantiated",
                                        "discontinuity"};

const char* const EnumSets[][7] = {
    {"up", "down", "testing", "unknown", "dormant", "notPresent", "lowerLayerDown"},
    {"enabled", "disabled", nullptr},
    {"true", "false", nullptr},
    {"active", "notInService", "notReady", "createAndGo", "createAndWait", "destroy", nullptr},
    {"other", "invalid", "direct", "indirect", nullptr},
    {"normal", "warning", "minor", "major", "critical", nullptr},
    {"none", "md5", "sha", "sha224", "sha256", "sha384", "sha512"},
    {"unknown", "ipv4", "ipv6", "ipv4z", "ipv6z", "dns", nullptr}};

enum class Role : quint8
{
    Skeleton,
    Vendor,
    VendorMibs,
    Products,
    Product,
    Module,
    Group,
    Table,
    Entry,
    IndexColumn,
    Column,
    Scalar,
    Notifications,
    Notification,
    Conformance,
    ConformanceGroups,
    ConformanceGroup,
    Compliances,
    Compliance
};

struct ShapeNode
{
    qint32 parent = -1;
    qint32 number = 0;
    qint32 childCount = 0;
    qint32 nextNumber = 1;
    quint16 module = 0;
    quint8 depth = 1;
    Role role = Role::Skeleton;
};

struct Module
{
    std::string name;
    std::string filename;
    std::string prefix;
    qint64 lastUpdated = 0;
    bool smiV1 = false;
    bool hasNotifications = false;
    std::unordered_set<std::string> usedNames; // only while its nodes are being made
};

qint64 power(qint64 base, int exponent)
{
    qint64 result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= base;
    return result;
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string pronounceable(Random& random, int syllables)
{
    static const char consonants[] = "bcdfghjklmnprstvwxz";
    static const char vowels[] = "aeiou";
    std::string text;
    for (int i = 0; i < syllables; ++i) {
        text += consonants[random.below(sizeof consonants - 1)];
        text += vowels[random.below(sizeof vowels - 1)];
    }
    if (random.chance(0.5))
        text += consonants[random.below(sizeof consonants - 1)];
    return text;
}

// The shape of the tree with names, module and role per node; attributes come later.
class TreeBuilder final
{
public:
    TreeBuilder(qint64 nodeCount, Random& random)
        : m_nodeCount(nodeCount)
        , m_random(random)
    {
        nodes.reserve(std::size_t(nodeCount));
        names.reserve(std::size_t(nodeCount));
    }

    void build();

    std::vector<ShapeNode> nodes;
    std::vector<std::string> names;
    std::vector<Module> modules;

private:
    qint32 add(qint32 parent, Role role, std::string name);
    qint32 addNumbered(qint32 parent, qint32 number, Role role, std::string name);
    double leafShare() const { return double(qint64(nodes.size()) - m_groups) / double(nodes.size()); }
    int addModule(std::string name, std::string filename, std::string prefix);
    std::string uniqueName(const std::string& stem, const char* suffix, int minWords, int maxWords,
                           std::size_t maxLength = MaxNameLength);
    const char* word() { return m_random.pick(NameWords); }
    void buildModule(qint32 parent, qint64 budget);
    void fillObjects(qint32 parent, qint64 budget);
    void fillLeafLevel(qint32 parent, qint64 budget);
    void addTable(qint32 parent, int columns);
    void addScalars(qint32 parent, qint64 count);
    qint32 addSubgroup(qint32 parent);

    qint64 m_nodeCount;
    Random& m_random;
    qint64 m_groups = 0; // nodes with at least one child
    int m_module = 0;    // module of the nodes being added
};

qint32 TreeBuilder::add(qint32 parent, Role role, std::string name)
{
    qint32 number = nodes[std::size_t(parent)].nextNumber;
    // Retired or reserved sub-identifiers leave holes in real registrations.
    if (m_random.chance(0.05))
        number += m_random.between(1, 9);
    return addNumbered(parent, number, role, std::move(name));
}

qint32 TreeBuilder::addNumbered(qint32 parent, qint32 number, Role role, std::string name)
{
    ShapeNode node;
    node.parent = parent;
    node.number = number;
    node.module = quint16(m_module);
    node.role = role;
    if (parent >= 0) {
        ShapeNode& p = nodes[std::size_t(parent)];
        if (p.childCount++ == 0)
            ++m_groups;
        p.nextNumber = std::max(p.nextNumber, number + 1);
        node.depth = quint8(p.depth + 1);
    }
    nodes.push_back(node);
    names.push_back(std::move(name));
    return qint32(nodes.size() - 1);
}

int TreeBuilder::addModule(std::string name, std::string filename, std::string prefix)
{
    for (const Module& m : modules) {
        if (m.name == name) {
            // Same vendor and topic twice: real registries version the name.
            const auto dash = name.rfind('-');
            name.insert(dash, "-V" + std::to_string(modules.size()));
            filename = name + ".txt";
            break;
        }
    }
    Module module;
    module.name = std::move(name);
    module.filename = std::move(filename);
    module.prefix = std::move(prefix);
    // LAST-UPDATED is per module, with minute precision; old SMIv1 modules have none.
    module.smiV1 = m_random.chance(0.1);
    if (!module.smiV1 || m_random.chance(0.5))
        module.lastUpdated = 820454400 + qint64(m_random.below(14726880)) * 60; // 1996 to 2024
    modules.push_back(std::move(module));
    return int(modules.size() - 1);
}

std::string TreeBuilder::uniqueName(const std::string& stem, const char* suffix, int minWords, int maxWords,
                                    std::size_t maxLength)
{
    Module& module = modules[std::size_t(m_module)];
    const std::size_t suffixLength = std::strlen(suffix);
    const std::size_t room = maxLength - suffixLength;
    for (int attempt = 0; attempt < 6; ++attempt) {
        std::string name = stem;
        const int wanted = m_random.between(minWords, maxWords);
        for (int i = 0; i < wanted; ++i) {
            for (int tries = 0; tries < 3; ++tries) {
                const char* w = word();
                if (name.size() + std::strlen(w) <= room) {
                    name += w;
                    break;
                }
            }
        }
        for (int tries = 0; name.size() + suffixLength < MinNameLength && tries < 8; ++tries) {
            const char* w = word();
            if (name.size() + std::strlen(w) <= room)
                name += w;
        }
        name += suffix;
        if (module.usedNames.insert(name).second)
            return name;
    }
    // Crowded module: number the descriptor like sensor1, sensor2.
    for (int n = 2;; ++n) {
        const std::string digits = std::to_string(n);
        std::string name = stem + suffix;
        if (name.size() + digits.size() > maxLength)
            name.resize(maxLength - digits.size());
        name += digits;
        if (module.usedNames.insert(name).second)
            return name;
    }
}

void TreeBuilder::build()
{
    m_module = addModule("SNMPv2-SMI", "SNMPv2-SMI.txt", "");
    modules[0].lastUpdated = 0;

    const qint32 iso = addNumbered(-1, 1, Role::Skeleton, "iso");
    const qint32 org = addNumbered(iso, 3, Role::Skeleton, "org");
    const qint32 dod = addNumbered(org, 6, Role::Skeleton, "dod");
    const qint32 internet = addNumbered(dod, 1, Role::Skeleton, "internet");
    addNumbered(internet, 1, Role::Skeleton, "directory");
    const qint32 mgmt = addNumbered(internet, 2, Role::Skeleton, "mgmt");
    const qint32 mib2 = addNumbered(mgmt, 1, Role::Skeleton, "mib-2");
    const qint32 experimental = addNumbered(internet, 3, Role::Skeleton, "experimental");
    const qint32 privateNode = addNumbered(internet, 4, Role::Skeleton, "private");
    const qint32 enterprises = addNumbered(privateNode, 1, Role::Skeleton, "enterprises");
    addNumbered(internet, 5, Role::Skeleton, "security");
    const qint32 snmpV2 = addNumbered(internet, 6, Role::Skeleton, "snmpV2");
    addNumbered(snmpV2, 1, Role::Skeleton, "snmpDomains");
    addNumbered(snmpV2, 2, Role::Skeleton, "snmpProxys");
    const qint32 snmpModules = addNumbered(snmpV2, 3, Role::Skeleton, "snmpModules");

    const qint64 rest = m_nodeCount - qint64(nodes.size());
    int contentModules = int(std::clamp<qint64>(rest / 2000, 3, 320));
    const int vendors = std::max(1, contentModules * 2 / 5);

    // Private enterprise numbers are sparse and registered in no particular order.
    std::vector<qint32> enterpriseNumbers;
    while (int(enterpriseNumbers.size()) < vendors) {
        enterpriseNumbers.push_back(m_random.between(2, 65000));
        if (int(enterpriseNumbers.size()) == vendors) {
            std::sort(enterpriseNumbers.begin(), enterpriseNumbers.end());
            enterpriseNumbers.erase(std::unique(enterpriseNumbers.begin(), enterpriseNumbers.end()),
                                    enterpriseNumbers.end());
        }
    }
    m_random.shuffle(enterpriseNumbers.begin(), enterpriseNumbers.end());

    // A few vendors register hundreds of products; most register a handful.
    const int productVendors = (vendors + 2) / 3;
    double harmonic = 0;
    for (int i = 0; i < productVendors; ++i)
        harmonic += 1.0 / (i + 1);
    const qint64 productBudget = rest / 60;

    struct Vendor
    {
        std::string name;
        std::string prefix;
        qint32 mibs = -1;
    };
    std::vector<Vendor> vendorList;
    for (int v = 0; v < vendors; ++v) {
        Vendor vendor;
        vendor.name = pronounceable(m_random, m_random.between(2, 3));
        vendor.prefix = vendor.name.substr(0, std::size_t(m_random.between(2, 4)));
        m_module = addModule(upper(vendor.name) + "-SMI", upper(vendor.name) + "-SMI.txt", vendor.prefix);
        const qint32 node = addNumbered(enterprises, enterpriseNumbers[std::size_t(v)], Role::Vendor,
                                        vendor.name + m_random.pick(VendorSuffixes));
        if (v % 3 == 0) {
            const qint32 products = addNumbered(node, 1, Role::Products, vendor.prefix + "Products");
            const qint64 share = qint64(double(productBudget) / (v / 3 + 1) / harmonic);
            const qint64 count = std::clamp<qint64>(share, 1, 900);
            for (qint64 i = 0; i < count; ++i)
                add(products, Role::Product,
                    uniqueName(vendor.prefix + word(), "", 0, 1, MaxNameLength - 4) +
                        std::to_string(m_random.between(100, 9999)));
        }
        // Half the vendors keep their modules under one registration node, half right below the vendor.
        vendor.mibs = m_random.chance(0.5) ? addNumbered(node, m_random.between(2, 4), Role::VendorMibs,
                                                         uniqueName(vendor.prefix, m_random.pick(MibsNames), 0, 0))
                                           : node;
        modules.back().usedNames.clear();
        vendorList.push_back(std::move(vendor));
    }

    const qint64 left = m_nodeCount - qint64(nodes.size());
    contentModules = int(std::max<qint64>(1, std::min<qint64>(contentModules, left / MinModuleBudget)));

    std::vector<qint64> weights;
    qint64 weightSum = 0;
    for (int k = 0; k < contentModules; ++k) {
        weights.push_back(qint64(1 + m_random.below(16)) << m_random.below(6));
        weightSum += weights.back();
    }
    const qint64 extra = left - qint64(contentModules) * MinModuleBudget;
    std::vector<qint64> budgets;
    qint64 assigned = 0;
    for (qint64 w : weights) {
        budgets.push_back(MinModuleBudget + extra * w / weightSum);
        assigned += budgets.back();
    }
    *std::max_element(budgets.begin(), budgets.end()) += left - assigned;

    for (int k = 0; k < contentModules; ++k) {
        qint32 home = mib2;
        const Vendor* vendor = nullptr;
        const quint32 roll = m_random.below(100);
        if (k < vendors) {
            vendor = &vendorList[std::size_t(k)];
        } else if (roll < 18) {
            home = mib2;
        } else if (roll < 21) {
            home = experimental;
        } else if (roll < 25) {
            home = snmpModules;
        } else {
            const double u = m_random.unit();
            vendor = &vendorList[std::size_t(double(vendors) * u * u * u)];
        }
        std::string topic = word();
        // Room for "Notifications" after the prefix within the 25 characters of a descriptor.
        while (vendor && vendor->prefix.size() + topic.size() > 12)
            topic = word();
        std::string second = word();
        if (vendor) {
            home = vendor->mibs;
            const std::string name = upper(vendor->name) + "-" + upper(topic) + "-MIB";
            const quint32 style = m_random.below(10);
            const std::string file = style < 6 ? name + ".txt" : style < 9 ? name + ".mib" : lower(name) + ".my";
            m_module = addModule(name, file, vendor->prefix + topic);
        } else {
            const std::string name = upper(topic) + "-" + upper(second) + "-MIB";
            const std::string file =
                m_random.chance(0.4) ? "rfc" + std::to_string(m_random.between(1100, 9400)) + ".txt" : name + ".txt";
            std::string prefix = lower(topic).substr(0, std::size_t(m_random.between(2, 4)));
            if (prefix.size() + second.size() <= 10)
                prefix += second;
            m_module = addModule(name, file, prefix);
        }
        buildModule(home, budgets[std::size_t(k)]);
        modules[std::size_t(m_module)].usedNames.clear();
    }
}

void TreeBuilder::buildModule(qint32 parent, qint64 budget)
{
    Module& module = modules[std::size_t(m_module)];
    const std::string prefix = module.prefix;
    const qint32 moduleNode = add(parent, Role::Module, uniqueName(prefix, "MIB", 0, 0));
    int notifications = budget >= 40 && m_random.chance(0.75)
                            ? int(std::clamp<qint64>(budget / 200 + m_random.between(1, 4), 1, 60))
                            : 0;
    const int conformanceGroups = int(std::clamp<qint64>(budget / 150 + m_random.between(0, 2), 1, 40));
    const int compliances = m_random.between(1, 3);
    const qint64 conformanceCost = 3 + conformanceGroups + compliances;
    qint64 objectsBudget = budget - 1 - conformanceCost - (notifications ? 1 + notifications : 0) - 1;
    while (objectsBudget < 3 && notifications > 0) {
        --notifications;
        objectsBudget += notifications == 0 ? 2 : 1;
    }
    module.hasNotifications = notifications > 0;

    // SMIv2 modules put notifications under .0 so that they map back to SMIv1 traps.
    const bool notificationsFirst = !module.smiV1 && m_random.chance(0.8);
    auto addNotifications = [&](qint32 number) {
        const qint32 group =
            addNumbered(moduleNode, number, Role::Notifications, uniqueName(prefix, "Notifications", 0, 0));
        for (int i = 0; i < notifications; ++i)
            add(group, Role::Notification, uniqueName(prefix, m_random.pick(NotificationSuffixes), 1, 2));
    };
    if (notifications && notificationsFirst)
        addNotifications(0);
    const qint32 objects = addNumbered(moduleNode, 1, Role::Group, uniqueName(prefix, "Objects", 0, 0));
    fillObjects(objects, objectsBudget);
    if (notifications && !notificationsFirst)
        addNotifications(2);
    const qint32 conformance = add(moduleNode, Role::Conformance, uniqueName(prefix, "Conformance", 0, 0));
    const qint32 groups = addNumbered(conformance, 1, Role::ConformanceGroups, uniqueName(prefix, "Groups", 0, 0));
    for (int i = 0; i < conformanceGroups; ++i)
        add(groups, Role::ConformanceGroup, uniqueName(prefix, "Group", 1, 2));
    const qint32 complianceNode = add(conformance, Role::Compliances, uniqueName(prefix, "Compliances", 0, 0));
    for (int i = 0; i < compliances; ++i)
        add(complianceNode, Role::Compliance, uniqueName(prefix, "Compliance", 0, 1));
}

// Adds children below parent that make up exactly budget nodes. Large budgets are spread over
// a level or two of subgroups, few enough levels that the columns stay within MaxDepth and wide
// enough that no subgroup holds more than a small group of objects.
void TreeBuilder::fillObjects(qint32 parent, qint64 budget)
{
    const int depth = nodes[std::size_t(parent)].depth + 1; // of the children
    if (budget <= MaxLeafLevelBudget || depth > LeafLevelDepth) {
        fillLeafLevel(parent, budget);
        return;
    }
    if (m_random.chance(0.3)) {
        const int scalars = m_random.between(1, 4);
        addScalars(parent, scalars);
        budget -= scalars;
    }
    // The smallest fan-out f with f^levels subgroups of about 28 nodes.
    const qint64 wanted = std::max<qint64>(2, budget / 28);
    const int levels = std::max(1, LeafLevelDepth - depth + 1);
    int used = 1;
    while (used < levels && power(40, used) < wanted)
        ++used;
    qint64 fanOut = 2;
    while (power(fanOut, used) < wanted)
        ++fanOut;
    const qint64 parts = std::clamp<qint64>(fanOut + m_random.between(-1, 2), 2, budget / 12);

    std::vector<qint64> shares;
    qint64 shareSum = 0;
    for (qint64 i = 0; i < parts; ++i) {
        shares.push_back(m_random.between(2, 8));
        shareSum += shares.back();
    }
    const qint64 spread = budget - parts * 12;
    qint64 given = 0;
    for (qint64 i = 0; i < parts; ++i) {
        const qint64 part = i == parts - 1 ? budget - given : 12 + spread * shares[std::size_t(i)] / shareSum;
        given += part;
        const qint32 group = addSubgroup(parent);
        // Now and then a statistics group is a flat list of hundreds of counters.
        if (part >= 100 && part <= 600 && m_random.chance(0.03))
            addScalars(group, part - 1);
        else
            fillObjects(group, part - 1);
    }
}

// The objects of one small group: scalars, small groups of scalars and tables.
void TreeBuilder::fillLeafLevel(qint32 parent, qint64 budget)
{
    const int depth = nodes[std::size_t(parent)].depth + 1;
    const bool canTable = depth + 2 <= MaxDepth;
    const bool canGroup = depth + 1 <= MaxDepth;
    while (budget > 0) {
        // Steering by the running share of leaves keeps the whole tree at 60 % leaves.
        const bool wantGroups = leafShare() > TargetLeafShare;
        const quint32 roll = m_random.below(100);
        if (canTable && budget >= 4 && roll < (wantGroups ? 55u : 45u)) {
            const int columns = wantGroups             ? 2
                                : m_random.chance(0.1) ? m_random.between(13, 24)
                                                       : m_random.between(4, 12);
            const int fitting = int(std::min<qint64>(columns, budget - 2));
            addTable(parent, fitting);
            budget -= 2 + fitting;
        } else if (canGroup && budget >= 3 && (wantGroups || roll >= 80)) {
            const int size = int(std::min<qint64>(wantGroups ? 2 : m_random.between(3, 8), budget - 1));
            addScalars(addSubgroup(parent), size);
            budget -= 1 + size;
        } else {
            const qint64 count = std::min<qint64>(wantGroups ? 1 : m_random.between(1, 4), budget);
            addScalars(parent, count);
            budget -= count;
        }
    }
}

qint32 TreeBuilder::addSubgroup(qint32 parent)
{
    const std::string& prefix = modules[std::size_t(m_module)].prefix;
    return add(parent, Role::Group, uniqueName(prefix, m_random.pick(GroupSuffixes), 1, 1));
}

void TreeBuilder::addScalars(qint32 parent, qint64 count)
{
    const std::string prefix = modules[std::size_t(m_module)].prefix;
    for (qint64 i = 0; i < count; ++i)
        add(parent, Role::Scalar, uniqueName(prefix, "", 1, 3));
}

void TreeBuilder::addTable(qint32 parent, int columns)
{
    const std::string prefix = modules[std::size_t(m_module)].prefix;
    // Columns repeat the table's stem, so the stem leaves room for one more word.
    std::string table = uniqueName(prefix, "Table", 1, 2, 17 + 5);
    const std::string stem = table.substr(0, table.size() - 5);
    const qint32 tableNode = add(parent, Role::Table, std::move(table));
    std::string entryName = stem + "Entry";
    modules[std::size_t(m_module)].usedNames.insert(entryName);
    const qint32 entry = addNumbered(tableNode, 1, Role::Entry, std::move(entryName));
    for (int i = 0; i < columns; ++i) {
        const Role role = i == 0 && m_random.chance(0.7) ? Role::IndexColumn : Role::Column;
        add(entry, role, uniqueName(stem, "", 1, 2));
    }
}

enum NodeFlag : quint8
{
    HasEnums = 1,
    HasRanges = 2
};

struct Attributes
{
    std::vector<quint8> type;
    std::vector<quint8> access;
    std::vector<quint8> flags;
};

int plainLeafType(Random& random)
{
    const quint32 roll = random.below(100);
    if (roll < 12)
        return Oid::Counter;
    if (roll < 22)
        return Oid::Counter64;
    if (roll < 34)
        return Oid::Gauge;
    if (roll < 46)
        return Oid::Integer32;
    if (roll < 52)
        return Oid::Unsigned32;
    if (roll < 58)
        return Oid::TimeTicks;
    if (roll < 62)
        return Oid::Integer;
    if (roll < 87)
        return Oid::OctetString;
    if (roll < 90)
        return Oid::ObjectId;
    if (roll < 95)
        return Oid::IpAddress;
    if (roll < 97)
        return Oid::BitString;
    if (roll < 98)
        return Oid::Opaque;
    return Oid::NetworkAddress;
}

int objectAccess(Random& random, Role role, int type)
{
    const quint32 roll = random.below(100);
    int access;
    if (role == Role::IndexColumn)
        access = roll < 80 ? Oid::NoAccess : Oid::ReadOnly;
    else if (role == Role::Column)
        access = roll < 55   ? Oid::ReadOnly
                 : roll < 75 ? Oid::ReadWrite
                 : roll < 92 ? Oid::Create
                 : roll < 96 ? Oid::Notify
                             : Oid::NoAccess;
    else
        access = roll < 62 ? Oid::ReadOnly : roll < 94 ? Oid::ReadWrite : Oid::Notify;
    const bool counting = type == Oid::Counter || type == Oid::Counter64 || type == Oid::TimeTicks;
    if (counting && (access == Oid::ReadWrite || access == Oid::Create))
        access = Oid::ReadOnly;
    return access;
}

Attributes assignAttributes(const TreeBuilder& tree, Random& random)
{
    const std::size_t count = tree.nodes.size();
    Attributes attributes;
    attributes.type.assign(count, Oid::Other);
    attributes.access.assign(count, Oid::Unknown);
    attributes.flags.assign(count, 0);

    std::vector<qint32> objects;
    for (std::size_t i = 0; i < count; ++i) {
        const ShapeNode& node = tree.nodes[i];
        const Module& module = tree.modules[node.module];
        if (node.childCount > 0) {
            if (node.role == Role::Table || node.role == Role::Entry)
                attributes.access[i] = Oid::NoAccess;
            continue;
        }
        switch (node.role) {
        case Role::IndexColumn:
        case Role::Column:
        case Role::Scalar:
            objects.push_back(qint32(i));
            break;
        case Role::Notification:
            attributes.type[i] = module.smiV1 ? Oid::TrapType : Oid::NotifyType;
            break;
        case Role::ConformanceGroup:
            attributes.type[i] = module.hasNotifications && random.chance(0.2) ? Oid::NotifyGroup : Oid::ObjectGroup;
            break;
        case Role::Compliance:
            attributes.type[i] = random.chance(0.1) ? Oid::AgentCapabilities : Oid::ModuleCompliance;
            break;
        case Role::Product:
            attributes.type[i] = Oid::ObjectIdentity;
            break;
        default:
            break;
        }
    }

    random.shuffle(objects.begin(), objects.end());
    const std::size_t tenth = (count + 5) / 10;
    const std::size_t enumCount = std::min(tenth, objects.size());
    const std::size_t rangeCount = std::min(tenth, objects.size() - enumCount);
    for (std::size_t k = 0; k < objects.size(); ++k) {
        const std::size_t i = std::size_t(objects[k]);
        int type;
        if (k < enumCount) {
            type = Oid::Integer;
            attributes.flags[i] = HasEnums;
        } else if (k < enumCount + rangeCount) {
            const quint32 roll = random.below(10);
            type = roll < 4 ? Oid::Integer32 : roll < 6 ? Oid::Unsigned32 : roll < 7 ? Oid::Gauge : Oid::OctetString;
            attributes.flags[i] = HasRanges;
        } else {
            type = plainLeafType(random);
        }
        attributes.type[i] = quint8(type);
        attributes.access[i] = quint8(objectAccess(random, tree.nodes[i].role, type));
    }
    return attributes;
}

// Description text of exactly DescriptionBytes bytes, ending with a full stop.
class DescriptionWriter final
{
public:
    DescriptionWriter()
    {
        for (const char* w : DescriptionWords) {
            const std::size_t length = std::strlen(w);
            if (length < m_byLength.size())
                m_byLength[length].push_back(w);
        }
    }

    void write(Random& random, std::string& out) const
    {
        out.clear();
        bool capital = true;
        int sentenceWords = 0;
        while (DescriptionBytes - int(out.size()) >= 17) {
            const char* w = DescriptionWords[random.below(std::size(DescriptionWords))];
            append(out, w, capital);
            capital = ++sentenceWords >= 6 && random.chance(0.12);
            if (capital)
                sentenceWords = 0;
            out += capital ? ". " : " ";
        }
        // Between 3 and 16 bytes remain: close with words of exactly the right length.
        int room = DescriptionBytes - int(out.size());
        if (room - 1 > 12) {
            append(out, pickOfLength(random, 4), capital);
            out += ' ';
            capital = false;
            room -= 5;
        }
        append(out, pickOfLength(random, room - 1), capital);
        out += '.';
    }

private:
    static void append(std::string& out, const char* w, bool capital)
    {
        const std::size_t start = out.size();
        out += w;
        if (capital && out[start] >= 'a' && out[start] <= 'z')
            out[start] = char(out[start] - 'a' + 'A');
    }

    const char* pickOfLength(Random& random, int length) const
    {
        const auto& words = m_byLength[std::size_t(length)];
        return words[random.below(words.size())];
    }

    std::array<std::vector<const char*>, 13> m_byLength;
};

struct EnumValue
{
    std::string label;
    int value;
};

std::vector<EnumValue> makeEnums(Random& random)
{
    std::vector<EnumValue> values;
    int count = random.between(2, 8);
    if (random.chance(0.3)) {
        const auto& set = EnumSets[random.below(std::size(EnumSets))];
        int available = 0;
        while (available < 7 && set[available])
            ++available;
        count = std::min(count, available);
        for (int i = 0; i < count; ++i)
            values.push_back({set[i], 0});
    } else {
        std::unordered_set<std::string> labels;
        while (int(values.size()) < count) {
            std::string label = lower(random.pick(NameWords)) + random.pick(NameWords);
            if (labels.insert(label).second)
                values.push_back({std::move(label), 0});
        }
    }
    const quint32 style = random.below(10);
    int value = style < 6 ? 1 : style < 8 ? 0 : random.between(0, 3);
    for (EnumValue& v : values) {
        v.value = value;
        value += style < 8 ? 1 : random.between(1, 20);
    }
    random.shuffle(values.begin(), values.end());
    const auto byValue = [](const EnumValue& a, const EnumValue& b) { return a.value < b.value; };
    // The loader has to sort; a shuffle that happens to come out sorted would not show that.
    if (std::is_sorted(values.begin(), values.end(), byValue))
        std::reverse(values.begin(), values.end());
    return values;
}

std::vector<std::pair<qint64, qint64>> makeRanges(Random& random, int type)
{
    std::vector<std::pair<qint64, qint64>> ranges;
    const quint32 roll = random.below(10);
    const int count = roll < 7 ? 1 : roll < 9 ? 2 : 3;
    const bool sizes = type == Oid::OctetString;
    if (count == 1) {
        static const std::pair<qint64, qint64> sizeRanges[] = {{0, 255}, {1, 32},   {0, 64}, {1, 255},
                                                               {6, 6},   {0, 1024}, {8, 8},  {1, 16}};
        static const std::pair<qint64, qint64> valueRanges[] = {
            {0, 100}, {1, 65535}, {0, 2147483647}, {-128, 127}, {1, 4094}, {0, 255}, {-40, 125}, {1, 2147483647}};
        if (random.chance(0.7)) {
            ranges.push_back(sizes ? random.pick(sizeRanges) : random.pick(valueRanges));
        } else {
            const qint64 low = sizes ? random.between(0, 8) : random.between(-1000, 1000);
            ranges.emplace_back(low, low + random.between(0, 5000));
        }
        return ranges;
    }
    qint64 next = sizes ? random.between(0, 4) : random.between(-100, 100);
    for (int i = 0; i < count; ++i) {
        const qint64 low = next;
        const qint64 high = random.chance(0.6) ? low : low + random.between(1, 32);
        ranges.emplace_back(low, high);
        next = high + random.between(1, 16);
    }
    random.shuffle(ranges.begin(), ranges.end());
    if (std::is_sorted(ranges.begin(), ranges.end()))
        std::reverse(ranges.begin(), ranges.end());
    return ranges;
}

// Closes the database and finalizes the statements on every path out of write().
class Connection final
{
public:
    ~Connection()
    {
        for (sqlite3_stmt* statement : statements)
            sqlite3_finalize(statement);
        if (db)
            sqlite3_close(db);
    }

    bool exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    sqlite3_stmt* prepare(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return nullptr;
        statements.push_back(statement);
        return statement;
    }

    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }

    sqlite3* db = nullptr;
    std::vector<sqlite3_stmt*> statements;
};

bool stepAndReset(sqlite3_stmt* statement)
{
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done;
}

} // namespace

MibDbGenerator::MibDbGenerator(qint64 nodeCount, quint64 seed)
    : m_nodeCount(nodeCount)
    , m_seed(seed)
{
}

void MibDbGenerator::setShuffledInserts(bool shuffled)
{
    m_shuffledInserts = shuffled;
}

void MibDbGenerator::setOrderedIds(bool ordered)
{
    m_orderedIds = ordered;
}

bool MibDbGenerator::write(const QString& fileName, QString* error)
{
    if (m_nodeCount < MinimumNodes || m_nodeCount > 100000000) {
        *error = QStringLiteral("the node count must lie between %1 and 100000000").arg(MinimumNodes);
        return false;
    }
    Random shapeRandom(m_seed);
    TreeBuilder tree(m_nodeCount, shapeRandom);
    tree.build();
    Random attributeRandom(m_seed ^ 0x5bd1e995ULL);
    const Attributes attributes = assignAttributes(tree, attributeRandom);
    const std::size_t count = tree.nodes.size();

    // Ids are a random permutation, so neither id order nor row order says anything about the tree.
    std::vector<qint32> idOf(count);
    for (std::size_t i = 0; i < count; ++i)
        idOf[i] = qint32(i + 1);
    Random idRandom(m_seed ^ 0x2545f4914f6cdd1dULL);
    if (!m_orderedIds)
        idRandom.shuffle(idOf.begin(), idOf.end());

    QFile::remove(fileName);
    Connection connection;
    const QByteArray path = QFile::encodeName(fileName);
    if (sqlite3_open_v2(path.constData(), &connection.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        *error = connection.error();
        return false;
    }
    // Nothing here needs to survive a crash: a half-written file is simply written again.
    connection.exec("PRAGMA journal_mode = OFF");
    connection.exec("PRAGMA synchronous = OFF");
    connection.exec("PRAGMA locking_mode = EXCLUSIVE");
    connection.exec("PRAGMA cache_size = -262144");
    if (!connection.exec("BEGIN")) {
        *error = connection.error();
        return false;
    }
    const QStringList schema = MibDatabase::schemaStatements();
    for (const QString& statement : schema) {
        if (!connection.exec(statement.toUtf8().constData())) {
            *error = connection.error();
            return false;
        }
    }
    const std::string version =
        "INSERT INTO db_version (id, format, major, minor) VALUES (1, 1, " + std::to_string(VersionMajor) + ", 0)";
    sqlite3_stmt* insertNode =
        connection.prepare("INSERT INTO node (id, name, number, access, type, module, filename, last_updated, "
                           "description, parent_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    sqlite3_stmt* insertEnum = connection.prepare("INSERT INTO enum (node_id, label, value) VALUES (?, ?, ?)");
    sqlite3_stmt* insertRange = connection.prepare("INSERT INTO range (node_id, low, high) VALUES (?, ?, ?)");
    if (!connection.exec(version.c_str()) || !insertNode || !insertEnum || !insertRange) {
        *error = connection.error();
        return false;
    }

    std::vector<qint32> order(count);
    if (m_shuffledInserts) {
        for (std::size_t i = 0; i < count; ++i)
            order[i] = qint32(i);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            order[std::size_t(idOf[i] - 1)] = qint32(i);
    }

    m_stats = Stats();
    m_stats.nodes = qint64(count);
    m_stats.modules = int(tree.modules.size());
    qint64 leafDepthSum = 0;
    Random textRandom(m_seed ^ 0x9e3779b97f4a7c15ULL);
    const DescriptionWriter describer;
    std::string description;
    description.reserve(DescriptionBytes);
    for (const qint32 index : order) {
        const std::size_t i = std::size_t(index);
        const ShapeNode& node = tree.nodes[i];
        const Module& module = tree.modules[node.module];
        const std::string& name = tree.names[i];
        describer.write(textRandom, description);
        sqlite3_bind_int64(insertNode, 1, idOf[i]);
        sqlite3_bind_text(insertNode, 2, name.data(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insertNode, 3, node.number);
        sqlite3_bind_int64(insertNode, 4, attributes.access[i]);
        sqlite3_bind_int64(insertNode, 5, attributes.type[i]);
        sqlite3_bind_text(insertNode, 6, module.name.data(), int(module.name.size()), SQLITE_STATIC);
        sqlite3_bind_text(insertNode, 7, module.filename.data(), int(module.filename.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insertNode, 8, module.lastUpdated);
        sqlite3_bind_text(insertNode, 9, description.data(), int(description.size()), SQLITE_STATIC);
        if (node.parent < 0)
            sqlite3_bind_null(insertNode, 10);
        else
            sqlite3_bind_int64(insertNode, 10, idOf[std::size_t(node.parent)]);
        if (!stepAndReset(insertNode)) {
            *error = connection.error();
            return false;
        }

        if (node.childCount == 0) {
            ++m_stats.leaves;
            leafDepthSum += node.depth;
        } else if (node.childCount >= 100) {
            ++m_stats.groupsWithLargeFanOut;
        } else if (node.childCount >= 2 && node.childCount <= 20) {
            ++m_stats.groupsWithSmallFanOut;
        }
        m_stats.maxDepth = std::max<int>(m_stats.maxDepth, node.depth);
        m_stats.maxFanOut = std::max(m_stats.maxFanOut, node.childCount);
    }
    m_stats.meanLeafDepth = m_stats.leaves ? double(leafDepthSum) / double(m_stats.leaves) : 0;

    // Enumerations and ranges go in by node in generation order, which is random in id order.
    for (std::size_t i = 0; i < count; ++i) {
        if (attributes.flags[i] & HasEnums) {
            ++m_stats.enumNodes;
            for (const EnumValue& value : makeEnums(textRandom)) {
                sqlite3_bind_int64(insertEnum, 1, idOf[i]);
                sqlite3_bind_text(insertEnum, 2, value.label.data(), int(value.label.size()), SQLITE_STATIC);
                sqlite3_bind_int64(insertEnum, 3, value.value);
                if (!stepAndReset(insertEnum)) {
                    *error = connection.error();
                    return false;
                }
                ++m_stats.enumRows;
            }
        }
        if (attributes.flags[i] & HasRanges) {
            ++m_stats.rangeNodes;
            for (const auto& [low, high] : makeRanges(textRandom, attributes.type[i])) {
                sqlite3_bind_int64(insertRange, 1, idOf[i]);
                sqlite3_bind_int64(insertRange, 2, low);
                sqlite3_bind_int64(insertRange, 3, high);
                if (!stepAndReset(insertRange)) {
                    *error = connection.error();
                    return false;
                }
                ++m_stats.rangeRows;
            }
        }
    }
    if (!connection.exec("COMMIT")) {
        *error = connection.error();
        return false;
    }
    return true;
}
