#include <QCoreApplication>

int runPipelineTests(int argc, char** argv);
int runConnectionTests(int argc, char** argv);
int runDifferenceTests(int argc, char** argv);
int runFurtherTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int failed = runPipelineTests(argc, argv);
    return failed + runConnectionTests(argc, argv) + runDifferenceTests(argc, argv) +
           runFurtherTests(argc, argv);
}
