#include <QCoreApplication>

int runFileTests(int argc, char** argv);
int runWriterTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int failed = runFileTests(argc, argv);
    return failed + runWriterTests(argc, argv);
}
