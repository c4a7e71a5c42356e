#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"
#include "common/XMLText.h"

#include "Catalogue/ReleaseUrl.h"
#include "DirectoryHandler.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "InstallerManager.h"
#include "Serialise/Base64Coder.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

bool waitDone(Downloader* downloader)
{
    if (downloader == nullptr || downloader->isDone())
        return downloader != nullptr;
    QSignalSpy spy(downloader, QOverload<>::of(&Downloader::finishDownload));
    return spy.wait(20000) || downloader->isDone();
}

QByteArray sample(const QString& path)
{
    return readFile(testsupport::dataDir() + "/Web/service/files/" + path);
}

} // namespace

class tst_DownloadCaches : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void oneDownloadPerUrl();
    void archiveFileOnlyWhenComplete();
    void archivesThroughPackage();
    void imagesAndAgreementsThroughPackage();
    void releaseDigest();

private:
    QString url(const QString& path) const { return m_service.url() + "/files/" + path; }
    ServiceProcess m_service;
};

void tst_DownloadCaches::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void tst_DownloadCaches::oneDownloadPerUrl()
{
    ArchiveMap archives;
    EULAMap eulas;
    ImageMap images;
    const String archiveUrl(url("archives/StairMaker-17.zip"));
    const String eulaUrl(url("agreements/eula.html"));
    const String imageUrl(url("images/stairmaker.png"));
    for (int caller = 0; caller < 3; ++caller) {
        ProductArchive* archive = archives.fetch(archiveUrl, caller);
        EULA* eula = eulas.fetch(eulaUrl);
        ProductImage* image = images.fetch(imageUrl);
        QCOMPARE(archives.getArchive(archiveUrl), archive);
        QCOMPARE(eulas.getEULA(eulaUrl), eula);
        QCOMPARE(images.getImage(imageUrl), image);
    }
    QCOMPARE(archives.size() + eulas.size() + images.size(), std::size_t(3));
    for (Downloader* downloader : {archives.getArchive(archiveUrl)->getDownloader(),
                                   eulas.getEULA(eulaUrl)->getDownloader(), images.getImage(imageUrl)->getDownloader()})
        QVERIFY(waitDone(downloader));
    for (const char* path : {"archives/StairMaker-17.zip", "agreements/eula.html", "images/stairmaker.png"})
        QTRY_COMPARE(m_service.output().count("GET /files/" + QString::fromLatin1(path)), 1);
}

void tst_DownloadCaches::archiveFileOnlyWhenComplete()
{
    ArchiveMap archives;
    ProductArchive* archive = archives.fetch(String(url("archives/StairMaker-17.zip")));
    QVERIFY(archive->getDownloader() != nullptr && !archive->getName().empty());
    QVERIFY(!archive->isReady());
    QCOMPARE(archive->getFile(), nullptr);  // still downloading
    QVERIFY(waitDone(archive->getDownloader()));
    QVERIFY(archive->isReady());
    DataFile* file = archive->getFile();
    QVERIFY(file != nullptr);
    QCOMPARE(file->getURL().qString(), DirectoryHandler::getTempDirectory()->getURL().qString() + "/" +
                                           archive->getName().qString() + ".zfpkg");
    QCOMPARE(readFile(file->getURL().qString()), sample("archives/StairMaker-17.zip"));

    // A failed download is ready (it has ended) but has no file.
    ProductArchive* missing = archives.fetch(String(url("archives/missing.zip")));
    QVERIFY(waitDone(missing->getDownloader()));
    QVERIFY(missing->isReady());
    QVERIFY(!missing->getDownloader()->isSuccess());
    QCOMPARE(missing->getFile(), nullptr);

    // So is one without an address, which downloads nothing.
    ProductArchive* none = archives.fetch(String());
    QCOMPARE(none->getDownloader(), nullptr);
    QVERIFY(none->isReady());
    QCOMPARE(none->getFile(), nullptr);
}

void tst_DownloadCaches::archivesThroughPackage()
{
    ArchiveMap archives;
    ProductArchive* archive = archives.fetch(String(url("archives/StairMaker-17.zip")));
    QVERIFY(waitDone(archive->getDownloader()));
    const QByteArray text = testrecords::writeText(archives);
    QVERIFY(text.contains("<archiveMap>"));

    // Read back, as from an offline package whose copies are in the temporary
    // folder: the copy is found by name; a nested map reads into the same one.
    manager.setInstallerAction(InstallerManager::installFromOfflineFile);
    ArchiveMap read;
    QVERIFY(testrecords::readText(read, text));
    ProductArchive* again = read.getArchive(archive->getUrl());
    QVERIFY(again != nullptr);
    QCOMPARE(again->getDownloader(), nullptr);
    QVERIFY(again->isReady());
    QVERIFY(again->getFile() != nullptr);
    QCOMPARE(readFile(again->getFile()->getURL().qString()), sample("archives/StairMaker-17.zip"));

    ArchiveMap nested;
    QVERIFY(testrecords::readText(nested, "<archiveMap><archiveMap><product><url>u</url><name>n</name></product>"
                                          "</archiveMap><product><url>u</url><name>other</name></product>"
                                          "</archiveMap>"));
    QCOMPARE(nested.size(), std::size_t(1));
    QCOMPARE(nested.getArchive(String("u"))->getName().qString(), QStringLiteral("n"));
    manager.setInstallerAction(InstallerManager::installOnline);
}

void tst_DownloadCaches::imagesAndAgreementsThroughPackage()
{
    ImageMap images;
    EULAMap eulas;
    // A real picture, so that it can be shown.
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    const QByteArray png = buffer.data();
    writeFile(m_service.dataDir() + "/files/images/picture.png", png);
    ProductImage* image = images.fetch(String(url("images/picture.png")));
    EULA* eula = eulas.fetch(String(url("agreements/eula.html")));
    QVERIFY(!image->isReady());
    QVERIFY(waitDone(image->getDownloader()));
    QVERIFY(waitDone(eula->getDownloader()));
    QCOMPARE(image->getData().get(), png);
    QVERIFY(!image->getImage().isNull());
    QCOMPARE(eula->getText().qString(), QString::fromUtf8(sample("agreements/eula.html")));

    const QByteArray imageText = testrecords::writeText(images);
    QVERIFY(imageText.contains("<data>" + Base64Coder().encode(png).left(40)));
    const QByteArray eulaText = testrecords::writeText(eulas);

    // Read back: the same bytes and text without any download.
    ImageMap readImages;
    EULAMap readEulas;
    QVERIFY(testrecords::readText(readImages, imageText));
    QVERIFY(testrecords::readText(readEulas, eulaText));
    ProductImage* readImage = readImages.getImage(image->getUrl());
    EULA* readEula = readEulas.getEULA(eula->getUrl());
    QVERIFY(readImage != nullptr && readEula != nullptr);
    QCOMPARE(readImage->getDownloader(), nullptr);
    QVERIFY(readImage->isReady() && readEula->isReady());
    QCOMPARE(readImage->getData().get(), png);
    QCOMPARE(readEula->getText(), eula->getText());

    // A failed download stays empty.
    ProductImage* missing = images.fetch(String(url("images/missing.png")));
    QVERIFY(waitDone(missing->getDownloader()));
    QVERIFY(missing->isReady());
    QVERIFY(missing->getImage().isNull());
}

void tst_DownloadCaches::releaseDigest()
{
    ReleaseUrl plain(String("INT"), String("http://example.invalid/a.zip"));
    QVERIFY(!testrecords::writeText(plain).contains("sha256"));
    ReleaseUrl withDigest = plain;
    withDigest.setSha256(String(QByteArray(64, 'c')));
    ReleaseUrl read;
    QVERIFY(testrecords::readText(read, testrecords::writeText(withDigest)));
    QVERIFY(read == withDigest);
}

QTEST_MAIN(tst_DownloadCaches)
#include "tst_DownloadCaches.moc"
