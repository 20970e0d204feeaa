#include "tst_device.h"

#include <QCoreApplication>
#include <QTest>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    {
        TestProtocol t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestProbe t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestDiscovery t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestMeasuring t;
        failed += QTest::qExec(&t, argc, argv);
    }
    {
        TestFacade t;
        failed += QTest::qExec(&t, argc, argv);
    }
    return failed ? 1 : 0;
}
