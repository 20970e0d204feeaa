#include <QCoreApplication>

int runPropertyTests(int argc, char** argv);
int runPipelineTests(int argc, char** argv);
int runConnectionTests(int argc, char** argv);
int runRecordingTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (auto run : {runPropertyTests, runPipelineTests, runConnectionTests, runRecordingTests})
        failed += run(argc, argv);
    return failed;
}
