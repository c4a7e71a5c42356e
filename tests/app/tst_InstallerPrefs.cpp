#include "InstallerManager.h"
#include "InstallerPrefs.h"

#include "Serialise/XMLProxy.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

class tst_InstallerPrefs : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void children();
};

void tst_InstallerPrefs::defaults()
{
    InstallerPrefs prefs;
    prefs.mainSize = DialogSize(800, 600);
    prefs.eulaSize.width = 3;
    prefs.applicationPath = "/Applications/ArchiCAD 19";
    prefs.savedStatus = updates;
    prefs.commandLinePath = "/x";
    prefs.setDefault();
    QCOMPARE(prefs.mainSize.width, short(0));
    QCOMPARE(prefs.mainSize.height, short(0));
    QVERIFY(!prefs.mainSize.isKnown());
    QCOMPARE(prefs.eulaSize.width, short(0));
    QVERIFY(prefs.applicationPath.empty());
    QVERIFY(prefs.commandLinePath.empty());
    QCOMPARE(prefs.savedStatus, myTools);
    QCOMPARE(QString(prefs.getTag()), QStringLiteral("installerPreferences"));

    // The manager is the preference record.
    InstallerPrefs& managerPrefs = manager;
    QCOMPARE(QString(managerPrefs.getTag()), QStringLiteral("installerPreferences"));
}

void tst_InstallerPrefs::children()
{
    InstallerPrefs prefs;
    QCOMPARE(prefs.shippingSize(), 5ul);
    QStringList tags;
    for (unsigned long i = 0; i < prefs.shippingSize(); ++i) {
        ShippingPtr child = prefs.getShipping(i, false);
        QVERIFY(child);
        auto* named = dynamic_cast<XMLShipping*>(child.get());
        QVERIFY(named);
        tags << QString(named->getTag());
        QVERIFY(prefs.getShipping(String(named->getTag()), String()));
    }
    QCOMPARE(tags, (QStringList{"size", "releaseSize", "eulaSize", "application", "status"}));
    QVERIFY(!prefs.getShipping(5, false));
    QVERIFY(!prefs.getShipping(String("width"), String()));

    DialogSize size(10, 20);
    QCOMPARE(size.shippingSize(), 2ul);
    for (unsigned long i = 0; i < 2; ++i) {
        ShippingPtr child = size.getShipping(i, true);
        auto* unit = dynamic_cast<XMLUnit*>(child.get());
        QVERIFY(unit);
        QVERIFY(unit->isAttribute());
        String text;
        QVERIFY(unit->write(text));
        QCOMPARE(text.qString(), i == 0 ? QStringLiteral("10") : QStringLiteral("20"));
        QVERIFY(unit->read(String("7")));
    }
    QCOMPARE(size.width, short(7));
    QCOMPARE(size.height, short(7));
    QCOMPARE(QString(size.getTag()), QStringLiteral("size"));
}

QTEST_GUILESS_MAIN(tst_InstallerPrefs)
#include "tst_InstallerPrefs.moc"
