// Runs a fuzz target once over each of its seeds and saved crash inputs, so the normal build keeps
// them passing without libFuzzer. With file or folder arguments, replays those instead.
#include <QDir>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Replays a file, or the files of a folder whose names start with `prefix`: how many, or -1 when
// one (or the path itself) cannot be read.
static int replay(const QString& path, const QString& prefix = {}) {
    QStringList files{path};
    if (QFileInfo(path).isDir()) {
        files.clear();
        for (const QString& name : QDir(path).entryList({prefix + "*"}, QDir::Files, QDir::Name))
            files << QDir(path).filePath(name);
    }
    for (const QString& file : std::as_const(files)) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return std::fprintf(stderr, "cannot read %s\n", qUtf8Printable(file)), -1;
        const QByteArray bytes = f.readAll();
        // Named before it runs: if the target aborts, this is the input to blame.
        std::fprintf(stderr, "replay %s (%lld bytes)\n", qUtf8Printable(file),
                     static_cast<long long>(bytes.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               size_t(bytes.size()));
    }
    return int(files.size());
}

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    for (int i = 1; i < argc; ++i)
        if (replay(QString::fromLocal8Bit(argv[i])) < 0)
            return 1;
    if (argc > 1)
        return 0;
    const int seeds = replay(QStringLiteral(MD_FUZZ_CORPUS));
    // Artifacts are named <target>-crash-..., <target>-timeout-... and so on.
    const int crashes = replay(QStringLiteral(MD_FUZZ_CRASHES), QStringLiteral(MD_FUZZ_TARGET "-"));
    if (seeds == 0)
        std::fprintf(stderr, "no seed inputs in %s\n", MD_FUZZ_CORPUS);
    if (seeds <= 0 || crashes < 0)
        return 1;
    std::printf("%s: replayed %d seeds and %d saved crash inputs\n", MD_FUZZ_TARGET, seeds,
                crashes);
    return 0;
}
