#ifndef VANTORIX_DATABASE_GUID_H
#define VANTORIX_DATABASE_GUID_H

#include "Utility/String.h"

#include <QUuid>

namespace vantorix {

// A 128-bit identifier. Its text form is 36 upper-case hexadecimal digits in
// 8-4-4-4-12 groups without braces; parsing also takes braces and lower case.
class Guid {
public:
    Guid() = default;
    explicit Guid(const QUuid& uuid) : m_uuid(uuid) {}

    Guid& generate();
    void clear() { m_uuid = QUuid(); }
    explicit operator bool() const { return !m_uuid.isNull(); }

    String toString() const;
    void copyTo(String& text) const { text = toString(); }
    Guid& operator=(const String& text);

    bool operator<(const Guid& other) const { return m_uuid < other.m_uuid; }
    bool operator==(const Guid& other) const { return m_uuid == other.m_uuid; }
    bool operator!=(const Guid& other) const { return !(m_uuid == other.m_uuid); }

    const QUuid& uuid() const { return m_uuid; }

private:
    QUuid m_uuid;
};

} // namespace vantorix

#endif
