#include "EngineTest.h"

#include <QtTest>

QTEST_GUILESS_MAIN(EngineTest)
