#ifndef VANTORIX_TESTS_TESTSUPPORT_H
#define VANTORIX_TESTS_TESTSUPPORT_H

#include <QString>

namespace testsupport {

// The folder of checked-in test inputs (tests/data).
QString dataDir();
// The folder holding the built developer programs (vantorix-service, ...).
QString toolsDir();
// The sandbox folder CTest gave this test program (VANTORIX_SANDBOX).
QString sandboxDir();

} // namespace testsupport

#endif
