#include "MibCompiler.h"

#include "DescriptionScanner.h"
#include "LastUpdatedScanner.h"

#include "mib/Oid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/parse.h>

#include <algorithm>
#include <optional>

namespace {

// net-snmp's parser state is global: a second compilation would see the first one's modules.
bool s_parserUsed = false;

int logCallback(int /*majorId*/, int /*minorId*/, void* serverArg, void* clientArg)
{
    const auto* message = static_cast<const snmp_log_message*>(serverArg);
    if (message && message->msg)
        static_cast<MibCompiler*>(clientArg)->logMessage(message->priority, QString::fromLocal8Bit(message->msg));
    return 0;
}

// MIB files are meant to be ASCII; the few that are not are either UTF-8 or Latin-1.
QString textFromMib(const QByteArray& bytes)
{
    if (bytes.isNull())
        return {};
    QTextCodec::ConverterState state;
    const QString utf8 = QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? utf8 : QString::fromLatin1(bytes);
}

// The same names net-snmp's own folder scan passes over: hidden files (its .index among
// them) and editor back-ups.
bool isSkippedName(const QString& name)
{
    return name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('#')) || name.endsWith(QLatin1Char('#')) ||
           name.endsWith(QLatin1Char('~'));
}

bool isWarning(int priority, const QString& message)
{
    return priority > LOG_ERR || message.startsWith(QLatin1String("Warning"));
}

// net-snmp cuts a quoted string to MAXQUOTESTR - 1 bytes, so a description of exactly that
// length is read again from the module's file. A text found there that does not continue the
// parser's belongs to some other definition, and the parser's text stays.
QString wholeDescription(const tree* node, const ModuleReport& module)
{
    const QByteArray kept(node->description);
    if (kept.size() != MAXQUOTESTR - 1)
        return textFromMib(kept);
    const std::optional<QByteArray> whole = DescriptionScanner::scanFile(module.file, module.name, node->label);
    return textFromMib(whole && whole->size() > kept.size() && whole->startsWith(kept) ? *whole : kept);
}

int countSubtree(const tree* node)
{
    int count = 1;
    for (const tree* child = node->child_list; child; child = child->next_peer)
        count += countSubtree(child);
    return count;
}

} // namespace

MibCompiler::MibCompiler() = default;

MibCompiler::~MibCompiler() = default;

const QVector<MibNodeRecord>& MibCompiler::nodes() const
{
    return m_nodes;
}

const QVector<ModuleReport>& MibCompiler::modules() const
{
    return m_modules;
}

const QStringList& MibCompiler::problems() const
{
    return m_problems;
}

const QVector<QPair<QString, QString>>& MibCompiler::rejectedFiles() const
{
    return m_rejected;
}

void MibCompiler::addSearchDir(const QString& dir)
{
    m_searchDirs << QFileInfo(dir).absoluteFilePath();
}

void MibCompiler::setProgress(std::function<void(int, int, const QString&)> progress)
{
    m_progress = std::move(progress);
}

void MibCompiler::reject(const QString& file, const QString& reason)
{
    m_problems << QStringLiteral("%1: %2").arg(file, reason);
    m_rejected.append({file, reason});
}

const QStringList& MibCompiler::generalMessages() const
{
    return m_generalMessages;
}

int MibCompiler::leftOutNodeCount() const
{
    return m_leftOut;
}

int MibCompiler::compiledModuleCount() const
{
    return static_cast<int>(std::count_if(m_modules.cbegin(), m_modules.cend(),
                                          [](const ModuleReport& module) { return module.compiled; }));
}

bool MibCompiler::addPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        m_problems << QStringLiteral("%1: no such file or folder").arg(path);
        return false;
    }
    QStringList files;
    if (info.isDir()) {
        const QDir dir(info.absoluteFilePath());
        const QFileInfoList entries =
            dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& entry : entries) {
            if (!isSkippedName(entry.fileName()))
                files << entry.absoluteFilePath();
        }
    } else {
        files << info.absoluteFilePath();
    }
    for (const QString& file : qAsConst(files)) {
        if (!m_fileSet.contains(file)) {
            m_fileSet.insert(file);
            m_files << file;
        }
    }
    return true;
}

bool MibCompiler::compile()
{
    if (s_parserUsed) {
        m_problems << QStringLiteral("the MIB parser can compile only once per process");
        return false;
    }
    s_parserUsed = true;

    // Only init_mib(), never called here, loads modules because of these; they go anyway,
    // so that nothing of the user's set-up shows, not even as a search path in a message.
    for (const char* name : {"MIBS", "MIBDIRS", "MIBFILES"})
        qunsetenv(name);

    // Index files and other persistent state go to a folder that disappears with us.
    QTemporaryDir persistentDir;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_SAVE_MIB_DESCRS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_REPLACE, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    if (persistentDir.isValid()) {
        netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR,
                              QFile::encodeName(persistentDir.path()).constData());
    }

    netsnmp_log_handler* handler = netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logCallback, this);

    netsnmp_init_mib_internals();
    registerFiles();
    loadModules();
    collectTree();

    // The parser's tables stay: they are reachable from its globals, so leak checkers do not
    // count them, and freeing them (net-snmp unloads module by module, walking the whole
    // tree for each) took a fifth of a build. The parser compiles once per process anyway.
    snmp_unregister_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logCallback, this, 1);
    if (handler)
        netsnmp_remove_loghandler(handler);
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, nullptr);

    return compiledModuleCount() > 0;
}

void MibCompiler::registerFiles()
{
    // New modules are numbered in order of registration, so the next id tells whether
    // add_mibfile added a module or only moved a known one to this file.
    int nextParserId = 0;
    while (find_module(nextParserId))
        ++nextParserId;

    // Search folders first: an input file that defines one of their modules takes it over.
    for (const QString& dir : qAsConst(m_searchDirs)) {
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& entry : entries) {
            const QByteArray path = QFile::encodeName(entry.absoluteFilePath());
            if (isSkippedName(entry.fileName()) || m_fileSet.contains(entry.absoluteFilePath()) ||
                add_mibfile(path.constData(), QFile::encodeName(entry.fileName()).constData()) != 0)
                continue;
            if (find_module(nextParserId))
                m_searchIds.insert(nextParserId++);
        }
    }

    for (const QString& file : qAsConst(m_files)) {
        const QFileInfo info(file);
        if (!info.isReadable()) {
            reject(file, QStringLiteral("cannot be read"));
            continue;
        }
        const QByteArray path = QFile::encodeName(file);
        const QByteArray name = QFile::encodeName(info.fileName());
        if (add_mibfile(path.constData(), name.constData()) != 0) {
            reject(file, QStringLiteral("not a MIB module"));
            continue;
        }
        if (const module* added = find_module(nextParserId)) {
            ModuleReport report;
            report.name = textFromMib(added->name);
            report.file = file;
            m_moduleByName.insert(report.name, m_modules.size());
            m_moduleByParserId.insert(nextParserId, m_modules.size());
            m_modules << report;
            ++nextParserId;
            continue;
        }
        // A module already registered from another file: net-snmp now takes this file.
        const auto searched = std::find_if(m_searchIds.cbegin(), m_searchIds.cend(), [&file](int id) {
            const module* known = find_module(id);
            return known && known->file && QFile::decodeName(known->file) == file;
        });
        if (searched != m_searchIds.cend()) {
            ModuleReport report;
            report.name = textFromMib(find_module(*searched)->name);
            report.file = file;
            m_moduleByName.insert(report.name, m_modules.size());
            m_moduleByParserId.insert(*searched, m_modules.size());
            m_modules << report;
            m_searchIds.erase(searched);
            continue;
        }
        for (auto it = m_moduleByParserId.cbegin(); it != m_moduleByParserId.cend(); ++it) {
            const module* known = find_module(it.key());
            if (known && known->file && QFile::decodeName(known->file) == file) {
                ModuleReport& report = m_modules[it.value()];
                report.warnings
                    << QStringLiteral("also defined in %1, which is used instead of %2").arg(file, report.file);
                report.file = file;
                break;
            }
        }
    }

    for (const ModuleReport& report : qAsConst(m_modules)) {
        const QHash<QString, qint64> found = LastUpdatedScanner::scanFile(report.file);
        const auto it = found.constFind(report.name);
        if (it != found.cend())
            m_lastUpdated.insert(report.name, it.value());
    }
}

void MibCompiler::loadModules()
{
    // Several modules may define the same node (RFC1158-MIB, RFC1213-MIB and IP-MIB all
    // define ipForwarding). With NETSNMP_DS_LIB_MIB_REPLACE the definition loaded last wins,
    // and since a module's imports load before it, a module wins over the modules it
    // imports. Among unrelated modules the load order decides: the SMIv1 modules that
    // net-snmp's own compatibility table lists as replaced go first, then the other SMIv1
    // modules, then the SMIv2 ones (those with a LAST-UPDATED clause), so that sysDescr
    // comes from SNMPv2-MIB and tcpRtoAlgorithm from TCP-MIB rather than RFC1213-MIB.
    static const QSet<QString> superseded{QStringLiteral("RFC1065-SMI"), QStringLiteral("RFC1066-MIB"),
                                          QStringLiteral("RFC1156-MIB"), QStringLiteral("RFC1158-MIB")};
    auto rank = [this](const ModuleReport& module) {
        if (superseded.contains(module.name))
            return 0;
        return m_lastUpdated.contains(module.name) ? 2 : 1;
    };
    QVector<int> order;
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < m_modules.size(); ++i) {
            if (rank(m_modules.at(i)) == pass)
                order << i;
        }
    }

    for (int done = 0; done < order.size(); ++done) {
        m_loading = order.at(done);
        const QByteArray name = m_modules.at(m_loading).name.toLatin1();
        netsnmp_read_module(name.constData());
        if (m_progress)
            m_progress(done + 1, order.size(), m_modules.at(m_loading).name);
    }
    m_loading = -1;
    // Definitions whose parent came from a module loaded later are placed now.
    adopt_orphans();
}

void MibCompiler::logMessage(int priority, const QString& rawMessage)
{
    const QString message = rawMessage.trimmed();
    // The parser's idea of a search path means nothing here: it only ever sees our files.
    if (message.isEmpty() || message.startsWith(QLatin1String("MIB search path")))
        return;
    const int index = moduleIndexForMessage(message);
    if (index < 0) {
        m_generalMessages << message;
        return;
    }
    ModuleReport& report = m_modules[index];
    if (isWarning(priority, message)) {
        report.warnings << message;
        return;
    }
    report.errors << message;
    // A missing import still leaves the module in the tree; any other error may have made
    // the parser drop it (collectTree takes that back for modules that have nodes).
    if (!message.startsWith(QLatin1String("Cannot find module")))
        report.compiled = false;
}

int MibCompiler::moduleIndexForMessage(const QString& message) const
{
    // Most messages end in "... in FILE" or "(FILE)": the longest file named wins, so that
    // a file whose name extends another's is not mistaken for it.
    int best = -1;
    int bestLength = 0;
    for (int i = 0; i < m_modules.size(); ++i) {
        const QString& file = m_modules.at(i).file;
        if (file.size() > bestLength && message.contains(file)) {
            best = i;
            bestLength = file.size();
        }
    }
    if (best >= 0)
        return best;

    // "Unlinked OID in MODULE: ...", "Cannot adopt OID in MODULE: ..."
    static const QRegularExpression modulePattern(QStringLiteral("\\bin ([A-Za-z][A-Za-z0-9_-]*):"));
    const QRegularExpressionMatch match = modulePattern.match(message);
    if (match.hasMatch()) {
        const auto it = m_moduleByName.constFind(match.captured(1));
        if (it != m_moduleByName.cend())
            return it.value();
    }
    return m_loading;
}

int MibCompiler::moduleIndexForId(int modid)
{
    const auto it = m_moduleByParserId.constFind(modid);
    if (it != m_moduleByParserId.cend())
        return it.value();
    // Modules named by a file's second definition are registered by the parser itself.
    const module* found = find_module(modid);
    if (!found)
        return -1;
    ModuleReport report;
    report.name = textFromMib(found->name);
    report.file = found->file ? QFile::decodeName(found->file) : QString();
    report.searched = !m_fileSet.contains(report.file);
    const QHash<QString, qint64> lastUpdated = LastUpdatedScanner::scanFile(report.file);
    if (lastUpdated.contains(report.name))
        m_lastUpdated.insert(report.name, lastUpdated.value(report.name));
    const int index = m_modules.size();
    m_moduleByName.insert(report.name, index);
    m_moduleByParserId.insert(modid, index);
    m_modules << report;
    return index;
}

void MibCompiler::collectTree()
{
    struct Pending
    {
        const tree* node;
        int parentIndex;
    };

    QVector<int> nodesPerModule(m_modules.size(), 0);
    QVector<Pending> stack;
    for (const tree* root = get_tree_head(); root; root = root->next_peer) {
        if (root->subid == 1)
            stack.append({root, -1});
        else
            m_leftOut += countSubtree(root);
    }

    while (!stack.isEmpty()) {
        const Pending current = stack.takeLast();
        const tree* node = current.node;

        MibNodeRecord record;
        record.parentIndex = current.parentIndex;
        record.name = textFromMib(node->label);
        record.number = static_cast<qint64>(node->subid);
        record.type = node->type;
        record.access = node->access;
        // The node's data comes from the last module in its list (see loadModules).
        const int modid =
            node->number_modules > 0 && node->module_list ? node->module_list[node->number_modules - 1] : node->modid;
        const int moduleIndex = moduleIndexForId(modid);
        if (moduleIndex >= 0) {
            const ModuleReport& module = m_modules.at(moduleIndex);
            record.module = module.name;
            record.filename = QFileInfo(module.file).fileName();
            record.lastUpdated = m_lastUpdated.value(module.name, 0);
            nodesPerModule.resize(m_modules.size());
            ++nodesPerModule[moduleIndex];
        }
        record.description =
            moduleIndex >= 0 ? wholeDescription(node, m_modules.at(moduleIndex)) : textFromMib(node->description);
        for (const enum_list* value = node->enums; value; value = value->next)
            record.enums.append({textFromMib(value->label), value->value});
        for (const range_list* range = node->ranges; range; range = range->next) {
            const Oid::Range bounds = Oid::widenedRange(node->type, range->low, range->high);
            record.ranges.append({bounds.low, bounds.high});
        }
        const int index = m_nodes.size();
        m_nodes.append(record);

        QVector<const tree*> children;
        for (const tree* child = node->child_list; child; child = child->next_peer)
            children.append(child);
        std::stable_sort(children.begin(), children.end(),
                         [](const tree* a, const tree* b) { return a->subid < b->subid; });
        // Pushed in reverse so that the lowest number is taken first: pre-order by number.
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append({*it, index});
    }

    for (int i = 0; i < m_modules.size(); ++i) {
        m_modules[i].nodeCount = i < nodesPerModule.size() ? nodesPerModule.at(i) : 0;
        if (m_modules.at(i).nodeCount > 0)
            m_modules[i].compiled = true;
    }
}
