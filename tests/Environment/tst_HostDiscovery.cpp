// Discovery runs when the host applications are first asked for, not when
// the program loads: nothing is searched or logged before that, and the
// first question finds every supported installation and tells the listener.
// The fixture that runs before this test puts two installations and one of
// an unsupported version into the sandbox's host search folder.
#include "Applications/ApplicationMap.h"
#include "Environment/Host.h"
#include "Utility/Logger.h"
#include "common/TestSupport.h"

#include <QtTest>

using namespace vantorix;

class tst_HostDiscovery : public QObject {
    Q_OBJECT

private slots:
    void discoversWhenFirstAsked();
};

void tst_HostDiscovery::discoversWhenFirstAsked()
{
    QVERIFY(!host.isDiscovered());
    QVERIFY(Logger::lines().isEmpty());
    int told = 0;
    Host::setDiscoveryListener([&told](const ApplicationMap& found) { told += int(found.size()); });

    const ApplicationMap* map = host.getApplicationMap();
    QVERIFY(map);
    QCOMPARE(told, 2);
    QStringList found;
    for (const auto& entry : *map)
        found.append(entry.second->getName().qString() + QStringLiteral(" -- ") + entry.second->getPath().qString());
    found.sort();
    const QString hosts = testsupport::sandboxDir() + QStringLiteral("/hosts");
    QCOMPARE(found, (QStringList{QStringLiteral("ArchiCAD 19 -- ") + hosts + QStringLiteral("/GRAPHISOFT/ArchiCAD 19"),
                                 QStringLiteral("ArchiCAD Solo 18 -- ") + hosts + QStringLiteral("/ArchiCAD 18")}));
    // Asked again, the same map: no second search.
    QCOMPARE(host.getApplicationMap(), map);
    QCOMPARE(told, 2);
    Host::setDiscoveryListener(nullptr);
}

QTEST_GUILESS_MAIN(tst_HostDiscovery)
#include "tst_HostDiscovery.moc"
