#ifndef VANTORIX_CATALOGUE_HOSTTYPE_H
#define VANTORIX_CATALOGUE_HOSTTYPE_H

#include "Serialise/XMLShipping.h"

namespace vantorix {

// A host application family, shipped as a leaf under the tag "host" and
// written as its name ("All", "ArchiCAD", "Vectorworks", "Revit"). Reading
// any other name fails and leaves the value as it was.
class HostType : public XMLUnit {
public:
    enum ID : short { all = 0, archiCAD = 1, vectorworks = 2, revit = 3, defaultID = all };

    static const char* const tag;

    HostType(ID id = defaultID, bool isAttribute = false) : XMLUnit(isAttribute), m_id(id) {}
    HostType(const HostType& other) = default;
    HostType& operator=(const HostType& other) = default;
    ~HostType() override;

    ID getID() const { return m_id; }
    void setID(ID id) { m_id = id; }
    // The family's name; empty for a value outside the table.
    String getName() const;
    static String getName(ID id);

    bool operator==(const HostType& other) const { return m_id == other.m_id; }
    bool operator!=(const HostType& other) const { return m_id != other.m_id; }
    bool operator<(const HostType& other) const { return m_id < other.m_id; }

    const char* getTag() const override { return tag; }
    bool write(String& text) override;
    bool read(const String& text) override;
    void setDefault() override { m_id = defaultID; }

private:
    ID m_id;
};

} // namespace vantorix

#endif
