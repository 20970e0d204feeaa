#include "tst_device.h"

#include <QTest>

QTEST_GUILESS_MAIN(TestDevice)
