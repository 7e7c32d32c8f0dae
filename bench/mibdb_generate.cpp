// mibdb-generate N OUT.db [--seed S] [--shuffled-inserts] [--ordered-ids]: writes a synthetic MIB database.

#include "MibDbGenerator.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: mibdb-generate N OUT.db [--seed S] [--shuffled-inserts] [--ordered-ids]\n");
    return 2;
}

bool parseNumber(const char* text, qint64* value)
{
    bool ok = false;
    *value = QString::fromUtf8(text).toLongLong(&ok);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    qint64 nodes = 0;
    qint64 seed = 1;
    bool shuffled = false;
    bool ordered = false;
    QString out;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            if (!parseNumber(argv[++i], &seed))
                return usage();
        } else if (std::strcmp(argv[i], "--shuffled-inserts") == 0) {
            shuffled = true;
        } else if (std::strcmp(argv[i], "--ordered-ids") == 0) {
            ordered = true;
        } else if (positional == 0) {
            if (!parseNumber(argv[i], &nodes))
                return usage();
            ++positional;
        } else if (positional == 1) {
            out = QString::fromLocal8Bit(argv[i]);
            ++positional;
        } else {
            return usage();
        }
    }
    if (positional != 2)
        return usage();

    QElapsedTimer timer;
    timer.start();
    MibDbGenerator generator(nodes, quint64(seed));
    generator.setShuffledInserts(shuffled);
    generator.setOrderedIds(ordered);
    QString error;
    if (!generator.write(out, &error)) {
        std::fprintf(stderr, "mibdb-generate: %s\n", qPrintable(error));
        return 1;
    }
    const auto& s = generator.stats();
    const double size = double(QFileInfo(out).size());
    std::printf("%s: %lld nodes in %.2f s, %.1f MiB (%.0f bytes/node)\n", qPrintable(out),
                static_cast<long long>(s.nodes), double(timer.elapsed()) / 1000.0, size / 1048576.0,
                size / double(s.nodes));
    std::printf("  leaves %.1f %%, max depth %d, mean leaf depth %.1f, max fan-out %d\n",
                100.0 * double(s.leaves) / double(s.nodes), s.maxDepth, s.meanLeafDepth, s.maxFanOut);
    const double groups = double(s.nodes - s.leaves);
    std::printf("  groups with 2-20 children %.1f %%, with 100 or more %lld\n",
                100.0 * double(s.groupsWithSmallFanOut) / groups, static_cast<long long>(s.groupsWithLargeFanOut));
    std::printf("  %d modules; enums on %lld nodes (%lld rows), ranges on %lld nodes (%lld rows)\n", s.modules,
                static_cast<long long>(s.enumNodes), static_cast<long long>(s.enumRows),
                static_cast<long long>(s.rangeNodes), static_cast<long long>(s.rangeRows));
    return 0;
}
