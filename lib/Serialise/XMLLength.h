#ifndef VANTORIX_SERIALISE_XMLLENGTH_H
#define VANTORIX_SERIALISE_XMLLENGTH_H

#include "Serialise/XMLNumber.h"

namespace vantorix {

// The units in which a length is shown to the user.
struct UnitScaler {
    enum Length : int { metre = 0, centimetre = 1, millimetre = 2, decimetre = 3, inch = 4 };
};

// A length written with as many decimals as its display unit and a
// typical magnitude call for: 4 - round(log10(|typical| x 10000)) decimals
// (a typical value of 1 m gives 0, of 1 cm gives 2), less 2 for centimetres
// and inches, 3 for millimetres and 1 for decimetres, never below 0.
class XMLLength : public XMLNumber {
public:
    XMLLength(double& value, UnitScaler::Length unit, double typical, const char* tag, bool isAttribute = false,
              const char* nameSpace = nullptr);
    ~XMLLength() override;

    static int precisionFor(UnitScaler::Length unit, double typical);
};

} // namespace vantorix

#endif
