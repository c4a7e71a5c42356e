#include "Serialise/XMLLength.h"

#include <cmath>

namespace vantorix {

XMLLength::XMLLength(double& value, UnitScaler::Length unit, double typical, const char* tag, bool isAttribute,
                     const char* nameSpace)
    : XMLNumber(value, tag, isAttribute, nameSpace, precisionFor(unit, typical))
{
}

XMLLength::~XMLLength() = default;

int XMLLength::precisionFor(UnitScaler::Length unit, double typical)
{
    // A typical value of 0 (or not a number) has no magnitude: it is taken as
    // the smallest one the formula is made for, a tenth of a millimetre.
    const double magnitude = std::fabs(typical);
    int precision = 4;
    if (std::isfinite(magnitude) && magnitude > 0.0)
        precision = 4 - static_cast<int>(round(std::log10(magnitude * 10000.0), 1.0));
    switch (unit) {
    case UnitScaler::centimetre:
    case UnitScaler::inch:
        precision -= 2;
        break;
    case UnitScaler::millimetre:
        precision -= 3;
        break;
    case UnitScaler::decimetre:
        precision -= 1;
        break;
    default:
        break;
    }
    // Below 0 nothing is left to drop; above 15 a double has no more digits.
    return precision < 0 ? 0 : (precision > 15 ? 15 : precision);
}

} // namespace vantorix
