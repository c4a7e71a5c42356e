// The program's version, on its own so that the update tests can link the
// same programs with a higher one (VANTORIX_PROGRAM_VERSION).
#include "VantorixInstallerApp.h"

#ifndef VANTORIX_PROGRAM_VERSION
#define VANTORIX_PROGRAM_VERSION 2.05
#endif

namespace installer {

const double VantorixInstallerApp::version = VANTORIX_PROGRAM_VERSION;

} // namespace installer
