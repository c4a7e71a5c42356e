#include "Utility/VantIO.h"

namespace vantorix {

VantIO::~VantIO() = default;

} // namespace vantorix
