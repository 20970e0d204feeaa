#include <QCoreApplication>

int runPipelineTests(int argc, char** argv);
int runConnectionTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (auto run : {runPipelineTests, runConnectionTests})
        failed += run(argc, argv);
    return failed;
}
