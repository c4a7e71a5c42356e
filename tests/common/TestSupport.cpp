#include "common/TestSupport.h"

#include <QDir>

namespace testsupport {

QString dataDir()
{
    return QStringLiteral(VANTORIX_TEST_DATA_DIR);
}

QString toolsDir()
{
    return QStringLiteral(VANTORIX_TOOLS_DIR);
}

QString sandboxDir()
{
    const QString dir = qEnvironmentVariable("VANTORIX_SANDBOX");
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

} // namespace testsupport
