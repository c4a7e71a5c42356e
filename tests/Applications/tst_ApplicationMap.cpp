#include "Applications/ApplicationMap.h"
#include "common/FakeHost.h"
#include "common/XMLText.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

QString written(ApplicationMap& map)
{
    return QString::fromUtf8(testrecords::writeText(map));
}

bool readInto(ApplicationMap& map, const QString& text)
{
    return testrecords::readText(map, text.toUtf8());
}

Guid guid(const char* text)
{
    Guid id;
    id = String(text);
    return id;
}

std::unique_ptr<Application> standIn(short version)
{
    return std::make_unique<Application>(ApplicationSignature(HostType::archiCAD, version), String());
}

} // namespace

class tst_ApplicationMap : public QObject {
    Q_OBJECT

private slots:
    void writtenAndReadBack();
    void readingKeepsFirstOfEqualKeysAndSkipsStrangers();
    void defaultApplicationAndCopies();
};

void tst_ApplicationMap::writtenAndReadBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    fakehost::FakeHostOptions german;
    german.folder = dir.path() + QStringLiteral("/ArchiCAD 19 & <Solo>");
    german.language = QStringLiteral("GER");
    german.edition = QStringLiteral("solo");
    fakehost::FakeHostOptions international;
    international.folder = dir.path() + QStringLiteral("/ArchiCAD 18");
    international.version = 18;
    QVERIFY(fakehost::create(german) && fakehost::create(international));

    ApplicationMap map;
    const Guid first = guid("0B7E5F2A-0000-4000-8000-000000000001");
    const Guid second = guid("0B7E5F2A-0000-4000-8000-000000000002");
    map.insert(second, std::make_unique<Application>(HostType::archiCAD, String(german.folder)));
    map.insert(first, std::make_unique<Application>(HostType::archiCAD, String(international.folder)));
    for (const auto& entry : map)
        QVERIFY(entry.second->isValid());

    const QString text = written(map);
    const QString escapedPath = QString(german.folder).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
    const QString expected = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                                            "<applicationMap>\n"
                                            "\t<application key=\"%1\">\n"
                                            "\t\t<signature host=\"ArchiCAD\" version=\"18\" type=\"full\" language=\"INT\"/>\n"
                                            "\t\t<path>%2</path>\n"
                                            "\t</application>\n"
                                            "\t<application key=\"%3\">\n"
                                            "\t\t<signature host=\"ArchiCAD\" version=\"19\" type=\"solo\" language=\"GER\"/>\n"
                                            "\t\t<path>%4</path>\n"
                                            "\t</application>\n"
                                            "</applicationMap>\n")
                                 .arg(first.toString().qString(), international.folder, second.toString().qString(),
                                      escapedPath);
    QCOMPARE(text, expected);

    ApplicationMap read;
    read.insert(Guid().generate(), standIn(19));
    QVERIFY(readInto(read, text));
    QCOMPARE(read.size(), std::size_t(2));
    const Application* solo = read.find(second);
    QVERIFY(solo);
    QCOMPARE(solo->getPath().qString(), german.folder);
    QVERIFY(solo->isValid());
    QVERIFY(read.find(first) && read.find(first)->getSignature().getVersion() == 18);
    QCOMPARE(written(read), text);
}

void tst_ApplicationMap::readingKeepsFirstOfEqualKeysAndSkipsStrangers()
{
    const QString text = QStringLiteral(
        "<applicationMap>\n"
        "<application key=\"0b7e5f2a-0000-4000-8000-000000000001\"><path>/first</path>"
        "<signature host=\"ArchiCAD\" version=\"19\" type=\"START\" language=\"INT\"/></application>\n"
        "<!-- a note -->\n"
        "<other key=\"0B7E5F2A-0000-4000-8000-000000000003\"><path>/other</path></other>\n"
        "<application key=\"0B7E5F2A-0000-4000-8000-000000000001\"><path>/second</path></application>\n"
        "<application><key>0B7E5F2A-0000-4000-8000-000000000002</key><path>/third</path></application>\n"
        "<application><path>/no key</path></application>\n"
        "</applicationMap>\n");
    ApplicationMap map;
    QVERIFY(readInto(map, text));
    QCOMPARE(map.size(), std::size_t(3));
    const Application* first = map.find(guid("0B7E5F2A-0000-4000-8000-000000000001"));
    QVERIFY(first);
    QCOMPARE(first->getPath().qString(), QStringLiteral("/first"));
    // Read, not worked out: the folder does not exist.
    QVERIFY(!first->isValid());
    QCOMPARE(first->getSignature().getVersion(), short(19));
    QVERIFY(map.find(guid("0B7E5F2A-0000-4000-8000-000000000002")));
    QVERIFY(!map.find(guid("0B7E5F2A-0000-4000-8000-000000000003")));
    bool unkeyed = false;
    for (const auto& entry : map)
        unkeyed = unkeyed || entry.second->getPath() == "/no key";
    QVERIFY(unkeyed);

    QVERIFY(!readInto(map, QStringLiteral("<applicationMap><application key=\"x\"></applicationMap>")));
}

void tst_ApplicationMap::defaultApplicationAndCopies()
{
    ApplicationMap map;
    QVERIFY(!map.getDefaultApplication());

    const Guid low = guid("00000000-0000-4000-8000-000000000001");
    const Guid high = guid("F0000000-0000-4000-8000-000000000001");
    const Guid middle = guid("80000000-0000-4000-8000-000000000001");
    map.insert(low, standIn(18));
    QCOMPARE(map.getDefaultApplication(), low);
    map.insert(high, standIn(19));
    QCOMPARE(map.getDefaultApplication(), high);
    // Among equal versions the Guid that sorts first.
    map.insert(middle, standIn(19));
    QCOMPARE(map.getDefaultApplication(), middle);

    // A copy holds applications of its own.
    ApplicationMap copy(map);
    QVERIFY(copy.find(low) != map.find(low));
    map.clear();
    QVERIFY(copy.find(low));
    QCOMPARE(copy.find(low)->getSignature().getVersion(), short(18));
}

QTEST_GUILESS_MAIN(tst_ApplicationMap)
#include "tst_ApplicationMap.moc"
