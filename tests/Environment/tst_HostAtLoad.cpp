// Discovery runs when the program loads, before main, so it must not depend
// on anything that is set up later (the application object, the log, other
// globals). The fixture that runs before this test puts two installations
// and one of an unsupported version into the sandbox's host search folder.
#include "Applications/ApplicationMap.h"
#include "Environment/Host.h"
#include "Utility/Logger.h"
#include "common/TestSupport.h"

#include <QtTest>

using namespace vantorix;

class tst_HostAtLoad : public QObject {
    Q_OBJECT

private slots:
    void knowsBothInstallationsBeforeMain();
};

void tst_HostAtLoad::knowsBothInstallationsBeforeMain()
{
    // Nothing was written to the log while loading.
    QVERIFY(Logger::lines().isEmpty());

    const ApplicationMap* map = host.getApplicationMap();
    QVERIFY(map);
    QStringList found;
    for (const auto& entry : *map)
        found.append(entry.second->getName().qString() + QStringLiteral(" -- ") + entry.second->getPath().qString());
    found.sort();
    const QString hosts = testsupport::sandboxDir() + QStringLiteral("/hosts");
    QCOMPARE(found, (QStringList{QStringLiteral("ArchiCAD 19 -- ") + hosts + QStringLiteral("/GRAPHISOFT/ArchiCAD 19"),
                                 QStringLiteral("ArchiCAD Solo 18 -- ") + hosts + QStringLiteral("/ArchiCAD 18")}));
}

QTEST_GUILESS_MAIN(tst_HostAtLoad)
#include "tst_HostAtLoad.moc"
