#include "mib/TreeModel.h"

#include "platform/Icons.h"
#include "mib/MibDatabase.h"

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Deeper than any real MIB by far; only a damaged database gets there, and then the tree
// is taken apart without recursion when it is dropped.
constexpr int recursionSafeDepth = 1000;

Oid* nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<Oid*>(index.internalPointer()) : nullptr;
}

bool isAscii(const char* data, int size)
{
    return std::all_of(data, data + size, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Tests descriptions, kept as UTF-8, for a text without turning each one into a QString:
// the answer is the one QString::contains would give. Only a description with non-ASCII
// characters that is searched without case can need the full comparison, since some
// non-ASCII letters fold to ASCII ones.
class DescriptionMatcher final
{
public:
    DescriptionMatcher(const QString& text, Qt::CaseSensitivity cs)
        : m_text(text)
        , m_utf8(pattern(text, cs))
        , m_cs(cs)
        , m_asciiText(isAscii(m_utf8.data(), int(m_utf8.size())))
    {
    }

    bool matches(const QByteArray& description) const
    {
        const char* begin = description.constData();
        const char* end = begin + description.size();
        if (m_cs == Qt::CaseSensitive)
            return std::search(begin, end, m_searcher) != end;
        if (m_asciiText) {
            // A lower-case copy searched with the fast searcher beats folding inside the search.
            m_lowered.resize(size_t(description.size()));
            std::transform(begin, end, m_lowered.begin(), asciiLower);
            if (std::search(m_lowered.cbegin(), m_lowered.cend(), m_searcher) != m_lowered.cend())
                return true;
            if (isAscii(begin, description.size()))
                return false;
        }
        return QString::fromUtf8(description).contains(m_text, Qt::CaseInsensitive);
    }

private:
    // The text as UTF-8, in lower case when it is ASCII and searched without case.
    static std::string pattern(const QString& text, Qt::CaseSensitivity cs)
    {
        std::string utf8 = text.toUtf8().toStdString();
        if (cs == Qt::CaseInsensitive && isAscii(utf8.data(), int(utf8.size())))
            std::transform(utf8.begin(), utf8.end(), utf8.begin(), asciiLower);
        return utf8;
    }

    QString m_text;
    std::string m_utf8; // before m_searcher, which is built over it
    Qt::CaseSensitivity m_cs;
    bool m_asciiText;
    std::boyer_moore_horspool_searcher<std::string::const_iterator> m_searcher{m_utf8.cbegin(), m_utf8.cend()};
    mutable std::string m_lowered;
};

// Appends text in lower case when it is plain; appends nothing and returns false otherwise.
bool appendPlainLower(std::string* out, const QString& text)
{
    const size_t start = out->size();
    out->resize(start + size_t(text.size()));
    char* to = &(*out)[start];
    bool plain = true;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        plain = plain && u > 0 && u < 0x80;
        *to++ = u >= 'A' && u <= 'Z' ? char(u - 'A' + 'a') : char(u);
    }
    if (!plain)
        out->resize(start);
    return plain;
}

} // namespace

// The tree in depth-first pre-order: a search runs over flat arrays and one text of all
// names instead of chasing a million nodes through the heap.
struct TreeModel::SearchIndex
{
    std::vector<const Oid*> nodes;
    std::vector<int> subtreeSizes; // nodes in the subtree at each position, itself included
    // The plain names in lower case, each followed by a NUL; other names leave only the NUL.
    std::string names;
    std::vector<int> nameOffsets; // where each position's name starts in names
    std::vector<int> otherNames;  // positions whose name is not plain, ascending

    // capacity: the number of nodes expected, to size the arrays once.
    SearchIndex(const Oid* root, int capacity)
    {
        nodes.reserve(size_t(capacity));
        subtreeSizes.reserve(size_t(capacity));
        nameOffsets.reserve(size_t(capacity) + 1);
        names.reserve(size_t(capacity) * 24);
        struct Step
        {
            const Oid* node;
            int position;
            int nextChild;
        };
        std::vector<Step> stack;
        auto visit = [this, &stack](const Oid* node) {
            const int position = int(nodes.size());
            nodes.push_back(node);
            subtreeSizes.push_back(1);
            nameOffsets.push_back(int(names.size()));
            if (!appendPlainLower(&names, node->name))
                otherNames.push_back(position);
            names += '\0';
            stack.push_back(Step{node, position, 0});
        };
        visit(root);
        while (!stack.empty()) {
            Step& top = stack.back();
            if (top.nextChild < top.node->children.size()) {
                visit(top.node->children.at(top.nextChild++).get());
                continue;
            }
            subtreeSizes[top.position] = int(nodes.size()) - top.position;
            stack.pop_back();
        }
        nameOffsets.push_back(int(names.size()));
    }
};

TreeModel::TreeModel(const MibDatabase& database, QObject* parent)
    : QAbstractItemModel(parent)
    , m_database(database)
    , m_openIcon(loadIcon(QStringLiteral("open")))
    , m_leafIcon(loadIcon(QStringLiteral("leaf")))
    , m_notificationIcon(loadIcon(QStringLiteral("notification")))
{
}

TreeModel::~TreeModel()
{
    releaseTree();
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        if (!m_root || row != 0)
            return QModelIndex();
        return createIndex(0, column, m_root.get());
    }
    const Oid* node = nodeOf(parent);
    if (row < 0 || row >= node->children.size())
        return QModelIndex();
    return createIndex(row, column, node->children.at(row).get());
}

QModelIndex TreeModel::parent(const QModelIndex& index) const
{
    const Oid* node = nodeOf(index);
    if (!node)
        return QModelIndex();
    const Oid* parentNode = node->parent.lock().get();
    if (!parentNode)
        return QModelIndex();
    return createIndex(rowOf(parentNode), 0, const_cast<Oid*>(parentNode));
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    return nodeOf(parent)->children.size();
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const Oid* node = nodeOf(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->name;
    case Qt::DecorationRole:
        if (isNotificationType(node->type))
            return m_notificationIcon;
        return node->isLeaf() ? m_leafIcon : m_openIcon;
    case Qt::UserRole:
        return node->number;
    default:
        return QVariant();
    }
}

void TreeModel::reload()
{
    beginResetModel();
    releaseTree();
    const QVector<OidPtr> nodes = m_database.loadNodes();
    m_root = buildTree(nodes, &m_depth);
    if (m_root) {
        // Reads names and child lists only, which stay as they are until releaseTree.
        m_pendingSearch = std::async(std::launch::async, [root = m_root.get(), capacity = nodes.size()] {
            return std::make_unique<SearchIndex>(root, capacity);
        });
    }
    endResetModel();
}

OidPtr TreeModel::buildTree(const QVector<OidPtr>& nodes, int* depth)
{
    // Children of every parent id, each group in ascending number order: one sort of plain
    // keys instead of a lookup structure per node; the index keeps the sort stable.
    struct Link
    {
        qint64 parentId;
        qint32 number;
        int index;
        bool operator<(const Link& other) const
        {
            return std::tie(parentId, number, index) < std::tie(other.parentId, other.number, other.index);
        }
    };
    std::vector<Link> byParent;
    byParent.reserve(nodes.size());
    for (int i = 0; i < nodes.size(); ++i)
        byParent.push_back(Link{nodes.at(i)->parentId, nodes.at(i)->number, i});
    std::sort(byParent.begin(), byParent.end());
    auto childrenOf = [&byParent](qint64 id) {
        struct ByParent
        {
            bool operator()(const Link& link, qint64 key) const { return link.parentId < key; }
            bool operator()(qint64 key, const Link& link) const { return key < link.parentId; }
        };
        return std::equal_range(byParent.begin(), byParent.end(), id, ByParent());
    };

    const auto topLevel = childrenOf(0);
    if (topLevel.first == topLevel.second)
        return OidPtr();
    const OidPtr root = nodes.at(topLevel.first->index);

    // Each node is attached at most once, so duplicate ids and parent chains that lead
    // back to themselves cannot make the walk loop; nodes on such a chain stay out.
    std::vector<bool> attached(nodes.size(), false);
    attached[topLevel.first->index] = true;
    int deepest = 0;
    std::vector<std::pair<Oid*, int>> pending{{root.get(), 0}};
    while (!pending.empty()) {
        const auto [parent, level] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, level);
        const auto range = childrenOf(parent->id);
        int count = 0;
        for (auto it = range.first; it != range.second; ++it)
            count += attached[it->index] ? 0 : 1;
        if (count == 0)
            continue;
        parent->children.reserve(count);
        const OidPtr parentPtr = parent->shared_from_this();
        for (auto it = range.first; it != range.second; ++it) {
            if (attached[it->index])
                continue;
            attached[it->index] = true;
            const OidPtr& child = nodes.at(it->index);
            child->parent = parentPtr;
            parent->children.append(child);
            pending.emplace_back(child.get(), level + 1);
        }
    }
    if (depth)
        *depth = deepest;
    return root;
}

void TreeModel::releaseTree()
{
    // The search index may still be reading the tree.
    if (m_pendingSearch.valid())
        m_pendingSearch.wait();
    m_pendingSearch = {};
    m_search.reset();

    // Freeing the tree from the root down recurses once per level; a damaged database can
    // hold a chain deep enough to exhaust the stack, so such a tree is flattened first.
    if (m_root && m_depth > recursionSafeDepth) {
        std::vector<OidPtr> all{m_root};
        for (size_t i = 0; i < all.size(); ++i) {
            for (const OidPtr& child : qAsConst(all[i]->children))
                all.push_back(child);
        }
        for (const OidPtr& node : all)
            node->children.clear();
    }
    m_root.reset();
    m_depth = 0;
}

int TreeModel::rowOf(const Oid* node)
{
    const OidPtr parent = node->parent.lock();
    if (!parent)
        return 0;
    const QVector<OidPtr>& siblings = parent->children;
    // Children are sorted by number: only the siblings that share the number are compared.
    auto it = std::lower_bound(siblings.begin(), siblings.end(), node->number,
                               [](const OidPtr& sibling, qint32 number) { return sibling->number < number; });
    for (; it != siblings.end() && (*it)->number == node->number; ++it) {
        if (it->get() == node)
            return int(it - siblings.begin());
    }
    return 0;
}

const Oid* TreeModel::firstChildWithNumber(const Oid* node, qint32 number)
{
    const QVector<OidPtr>& children = node->children;
    auto it = std::lower_bound(children.begin(), children.end(), number,
                               [](const OidPtr& child, qint32 value) { return child->number < value; });
    return it != children.end() && (*it)->number == number ? it->get() : nullptr;
}

OidPtr TreeModel::findByPath(const QString& path) const
{
    const QVector<qint32> numbers = OidPath::parse(path);
    if (numbers.isEmpty() || !m_root || numbers.first() != m_root->number)
        return OidPtr();
    const Oid* node = m_root.get();
    for (int i = 1; i < numbers.size() && node; ++i)
        node = firstChildWithNumber(node, numbers.at(i));
    return node ? std::const_pointer_cast<Oid>(node->shared_from_this()) : OidPtr();
}

QModelIndex TreeModel::indexFromOid(const OidPtr& oid) const
{
    if (!oid)
        return QModelIndex();
    QVector<int> rows;
    for (const Oid* node = oid.get(); node; node = node->parent.lock().get())
        rows.append(node->parent.expired() ? 0 : rowOf(node));
    QModelIndex index;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        index = this->index(*it, 0, index);
    return index;
}

QString TreeModel::labelFromPath(const QString& path) const
{
    const QVector<qint32> numbers = OidPath::parse(path);
    if (numbers.isEmpty() || !m_root || numbers.first() != m_root->number)
        return path;
    const Oid* node = m_root.get();
    int known = 1;
    for (; known < numbers.size(); ++known) {
        const Oid* child = firstChildWithNumber(node, numbers.at(known));
        if (!child)
            break;
        node = child;
    }
    QString label = node->name;
    for (int i = known; i < numbers.size(); ++i)
        label += QLatin1Char('.') + QString::number(numbers.at(i));
    return label;
}

const TreeModel::SearchIndex& TreeModel::searchIndex() const
{
    if (m_pendingSearch.valid())
        m_search = m_pendingSearch.get();
    return *m_search;
}

int TreeModel::searchPosition(const SearchIndex& index, const Oid* node) const
{
    // Down from the root along the node's ancestors; each child's position follows its
    // parent and the subtrees of its elder siblings.
    QVector<const Oid*> path;
    for (const Oid* at = node; at; at = at->parent.lock().get())
        path.append(at);
    if (path.last() != m_root.get())
        return -1;
    int position = 0;
    for (int level = path.size() - 2; level >= 0; --level) {
        const Oid* parent = index.nodes[position];
        int child = position + 1;
        for (const OidPtr& sibling : parent->children) {
            if (sibling.get() == path.at(level))
                break;
            child += index.subtreeSizes[child];
        }
        position = child;
    }
    return position;
}

QModelIndex TreeModel::find(const OidPtr& start, const QString& text, Qt::CaseSensitivity cs, bool inDescriptions,
                            bool leaves, bool groups) const
{
    if (text.isEmpty() || !m_root)
        return QModelIndex();
    const SearchIndex& index = searchIndex();
    const DescriptionMatcher descriptionMatcher(text, cs);
    const int count = int(index.nodes.size());
    // A start node that is not in this tree (one kept from before a reload) starts at the root.
    const int begin = start ? qMax(0, searchPosition(index, start.get())) : 0;

    // Only a plain text can be looked for in the text of plain names: any other character
    // could still match a plain one without case (the Kelvin sign is a k).
    std::string needle;
    const bool plainText = appendPlainLower(&needle, text);
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher(needle.cbegin(), needle.cend());
    const char* names = index.names.data();

    // The first position in [from, to) whose name contains the text, else to.
    auto nextNameMatch = [&](int from, int to) {
        if (!plainText) {
            for (int i = from; i < to; ++i) {
                if (index.nodes[i]->name.contains(text, cs))
                    return i;
            }
            return to;
        }
        // Names that are not plain are compared one by one, the others found in the text.
        auto other = std::lower_bound(index.otherNames.cbegin(), index.otherNames.cend(), from);
        int searchFrom = from;
        while (searchFrom < to) {
            const char* end = names + index.nameOffsets[to];
            const char* hit = std::search(names + index.nameOffsets[searchFrom], end, searcher);
            int found = to;
            if (hit != end) {
                const auto offsets = index.nameOffsets.cbegin();
                found = int(std::upper_bound(offsets + searchFrom, offsets + to, int(hit - names)) - offsets) - 1;
            }
            for (; other != index.otherNames.cend() && *other < found; ++other) {
                if (index.nodes[*other]->name.contains(text, cs))
                    return *other;
            }
            // The text of names is in lower case: with case, the name itself decides.
            if (found == to || cs == Qt::CaseInsensitive || index.nodes[found]->name.contains(text, cs))
                return found;
            searchFrom = found + 1;
        }
        return to;
    };
    auto tested = [&](int i) { return index.subtreeSizes[i] == 1 ? leaves : groups; };
    auto result = [&](int i) { return indexFromOid(std::const_pointer_cast<Oid>(index.nodes[i]->shared_from_this())); };

    // From the start node to the last one, then from the root up to the start node.
    const std::pair<int, int> ranges[] = {{begin, count}, {0, begin}};
    for (const auto& range : ranges) {
        for (int i = range.first; i < range.second;) {
            const int nameMatch = nextNameMatch(i, range.second);
            if (inDescriptions) {
                for (; i < nameMatch; ++i) {
                    if (tested(i) && descriptionMatcher.matches(index.nodes[i]->description))
                        return result(i);
                }
            }
            if (nameMatch == range.second)
                break;
            if (tested(nameMatch))
                return result(nameMatch);
            i = nameMatch + 1;
        }
    }
    return QModelIndex();
}

OidPtr TreeModel::nextOid(const OidPtr& oid) const
{
    if (!oid)
        return OidPtr();
    if (!oid->children.isEmpty())
        return oid->children.first();
    OidPtr node = oid;
    while (true) {
        const OidPtr parent = node->parent.lock();
        if (!parent)
            return node;
        const int row = rowOf(node.get());
        if (row + 1 < parent->children.size())
            return parent->children.at(row + 1);
        node = parent;
    }
}
