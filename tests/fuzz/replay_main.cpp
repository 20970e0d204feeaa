// Runs a fuzz target once over each of its seeds and saved crash inputs, so the normal build keeps
// them passing without libFuzzer (whose own build replays single files given to it).
#include <QDir>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Replays the files of a folder whose names start with `prefix`: how many, or -1 when one cannot
// be read.
static int replay(const QDir& folder, const QString& prefix) {
    const QStringList names = folder.entryList({prefix + "*"}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return std::fprintf(stderr, "cannot read %s\n", qUtf8Printable(f.fileName())), -1;
        const QByteArray bytes = f.readAll();
        // Named before it runs: if the target aborts, this is the input to blame.
        std::fprintf(stderr, "replay %s\n", qUtf8Printable(f.fileName()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               size_t(bytes.size()));
    }
    return int(names.size());
}

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    const int seeds = replay(QDir(MD_FUZZ_CORPUS), QString());
    // Artifacts are named <target>-crash-..., <target>-timeout-... and so on.
    const int crashes = replay(QDir(MD_FUZZ_CRASHES), MD_FUZZ_TARGET "-");
    if (seeds <= 0 || crashes < 0)
        return std::fprintf(stderr, "no seed inputs in %s, or one unreadable\n", MD_FUZZ_CORPUS), 1;
    std::printf("%s: replayed %d seeds and %d saved crash inputs\n", MD_FUZZ_TARGET, seeds,
                crashes);
    return 0;
}
