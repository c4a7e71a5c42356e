#include "Database/Guid.h"

namespace vantorix {

Guid& Guid::generate()
{
    m_uuid = QUuid::createUuid();
    return *this;
}

String Guid::toString() const
{
    return String(m_uuid.toString(QUuid::WithoutBraces).toUpper());
}

Guid& Guid::operator=(const String& text)
{
    // QUuid accepts the form with or without braces and either letter case and
    // yields the null value for anything malformed.
    const QString& raw = text;
    const QString trimmed = raw.trimmed();
    if (trimmed.size() == 36)
        m_uuid = QUuid(QLatin1Char('{') + trimmed + QLatin1Char('}'));
    else if (trimmed.size() == 38 && trimmed.startsWith(QLatin1Char('{')) && trimmed.endsWith(QLatin1Char('}')))
        m_uuid = QUuid(trimmed);
    else
        m_uuid = QUuid();
    return *this;
}

} // namespace vantorix
