#ifndef INSTALLER_STRINGTABLES_H
#define INSTALLER_STRINGTABLES_H

#include "Environment/Host.h"
#include "Utility/String.h"

#include <QString>

namespace installer {

// The program's string tables (resources/strings/<table>.txt, one row per
// line) and a short way to read one row in the user's language.
constexpr short titleTable = 32520;
constexpr short buttonTable = 32521;
constexpr short questionTable = 32522;
constexpr short errorTable = 32524;

inline vantorix::String text(short table, short row)
{
    return vantorix::host.getLocalString(table, row);
}

// A row with its placeholders "$1" and "$2" filled in.
inline QString filledText(short table, short row, const QString& first = QString(), const QString& second = QString())
{
    QString filled = text(table, row).qString();
    filled.replace(QLatin1String("$1"), first);
    filled.replace(QLatin1String("$2"), second);
    return filled;
}

} // namespace installer

#endif
