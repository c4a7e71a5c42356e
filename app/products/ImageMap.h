#ifndef INSTALLER_PRODUCTS_IMAGEMAP_H
#define INSTALLER_PRODUCTS_IMAGEMAP_H

// ImageMap lives beside ProductImage.
#include "ProductImage.h"

#endif
