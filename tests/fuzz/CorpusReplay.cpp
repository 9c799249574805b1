#include "FuzzEntries.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>

// Feeds committed inputs through the fuzz entry points without libFuzzer.
//   fuzz_corpus_replay                       every file of corpus/ and regressions/
//   fuzz_corpus_replay TARGET FILE...        the given files, e.g. a crash a fuzz run left
namespace {

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};

const Target kTargets[] = {
    {"protocol", presmon::fuzz::Protocol},
    {"ini", presmon::fuzz::Ini},
    {"history", presmon::fuzz::History},
};

bool replay(const Target& target, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    // Named first, so that an abort inside the entry shows which input it was.
    std::fprintf(stderr, "%s: %s\n", target.name, qPrintable(path));
    target.entry(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3) {
        for (const Target& target : kTargets) {
            if (qstrcmp(argv[1], target.name) != 0)
                continue;
            bool ok = true;
            for (int i = 2; i < argc; ++i)
                ok &= replay(target, QString::fromLocal8Bit(argv[i]));
            return ok ? 0 : 1;
        }
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }
    int count = 0;
    bool ok = true;
    for (const Target& target : kTargets) {
        int seeds = 0;
        for (const char* kind : {"corpus", "regressions"}) {
            const QDir dir(QStringLiteral(PRESMON_FUZZ_DIR "/%1/%2").arg(kind, target.name));
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                ok &= replay(target, dir.filePath(name));
                ++count;
                seeds += kind == QByteArrayView("corpus");
            }
        }
        if (seeds == 0) {
            std::fprintf(stderr, "no corpus for %s\n", target.name);
            ok = false;
        }
    }
    std::printf("%d inputs replayed\n", count);
    return ok ? 0 : 1;
}
