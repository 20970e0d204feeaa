// Runs a fuzz target once over each of its seeds and saved crash inputs, so the normal build keeps
// them passing without libFuzzer. With file or folder arguments, replays those instead.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool replayFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qUtf8Printable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    // Named before it runs: if the target aborts, this is the input to blame.
    std::fprintf(stderr, "replay %s (%lld bytes)\n", qUtf8Printable(path),
                 static_cast<long long>(bytes.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

// The number of inputs replayed, or -1 when the folder is missing or unreadable.
int replayFolder(const QString& path, const QString& prefix) {
    const QDir dir(path);
    if (!dir.exists()) {
        std::fprintf(stderr, "missing folder %s\n", qUtf8Printable(path));
        return -1;
    }
    int count = 0;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        if (!name.startsWith(prefix))
            continue;
        if (!replayFile(dir.filePath(name)))
            return -1;
        ++count;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);

    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            const QString path = QString::fromLocal8Bit(argv[i]);
            const bool ok =
                QFileInfo(path).isDir() ? replayFolder(path, QString()) >= 0 : replayFile(path);
            if (!ok)
                return 1;
        }
        return 0;
    }

    const int seeds = replayFolder(QStringLiteral(MD_FUZZ_CORPUS), QString());
    // Artifacts are named <target>-crash-..., <target>-timeout-... and so on.
    const int crashes =
        replayFolder(QStringLiteral(MD_FUZZ_CRASHES), QStringLiteral(MD_FUZZ_TARGET "-"));
    if (seeds <= 0) {
        std::fprintf(stderr, "no seed inputs in %s\n", MD_FUZZ_CORPUS);
        return 1;
    }
    if (crashes < 0)
        return 1;
    std::printf("%s: replayed %d seeds and %d saved crash inputs\n", MD_FUZZ_TARGET, seeds,
                crashes);
    return 0;
}
