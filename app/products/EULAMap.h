#ifndef INSTALLER_PRODUCTS_EULAMAP_H
#define INSTALLER_PRODUCTS_EULAMAP_H

// EULAMap lives beside EULA.
#include "EULA.h"

#endif
