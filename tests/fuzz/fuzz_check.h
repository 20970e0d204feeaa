#pragma once
// Shared by the fuzz targets; each includes it in its one source file.
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// Aborts in every build type, NDEBUG or not: a broken invariant is the finding.
#define FUZZ_CHECK(cond)                                                                         \
    ((cond) ? void()                                                                             \
            : (std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond), \
               std::abort()))

// Rejected input is logged once per call; at fuzzing rates the logging would be most of the run.
// Critical and fatal messages (Q_ASSERT among them) still get through.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    });
    return 0;
}
