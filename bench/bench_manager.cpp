// Sign-in and rebuild from a fresh start against the service stand-in: a
// listing of 5,000 products (each for ArchiCAD 19 and 18), generated here, and
// six fake ArchiCAD installations (four of version 19, two of 18), so the tree
// holds 30,000 products. Prints the time of each phase: host discovery,
// sign-in, and the rebuild as the manager runs it, then the rebuild's parts
// measured apart (post and transfer, reading the listing, building the tree)
// and the tree build alone for fewer products and hosts, to show that it
// grows with products x hosts. vantorix-service and vantorix-fakehost must be
// built beside this program.

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ServiceCall.h"
#include "support/InstallerReport.h"

#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Utility/DataBufferIn.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUuid>

#include <cstdio>

using namespace vantorix;
using namespace installer;

namespace {

constexpr int productCount = 5000;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QByteArray listing(int products)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<vantorixtools version=\"1\" "
                      "target=\"commercial\">\n<installation>\n<products>\n";
    for (int i = 0; i < products; ++i) {
        const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
        text += "<product id=\"" + id + "\" edit=\"2015-03-05T14:07:09Z\"><name>Tool " + QByteArray::number(i) +
                "</name><code>T" + QByteArray::number(i) + "</code><platforms>";
        for (const char* version : {"18", "19"}) {
            text += QByteArray("<platform owned=\"") + (i % 3 == 0 ? "1" : "0") +
                    "\"><signature host=\"ArchiCAD\" version=\"" + version + "\"/><version>1." +
                    QByteArray::number(i % 90 + 10) +
                    "</version><details><imageurl>${SERVICE}/files/images/t.png</imageurl>"
                    "<productdescription>A tool for the bench.</productdescription><price>99.00</price>"
                    "<trialavailable>1</trialavailable><releasesize>1.5</releasesize>"
                    "<releaseurl locale=\"INT\">${SERVICE}/files/archives/t" +
                    QByteArray::number(i) + ".zip</releaseurl></details></platform>";
        }
        text += "</platforms></product>\n";
    }
    return text + "</products>\n</installation>\n</vantorixtools>\n";
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

double ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    const QString bin = QCoreApplication::applicationDirPath();
    for (const char* folder : {"prefs", "shared", "tmp", "hosts"})
        QDir().mkpath(root.filePath(QString::fromLatin1(folder)));
    qputenv("VANTORIX_PREFS_DIR", QFile::encodeName(root.filePath("prefs")));
    qputenv("VANTORIX_SHARED_DIR", QFile::encodeName(root.filePath("shared")));
    qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(root.filePath("hosts")));
    qputenv("VANTORIX_MAC_ADDRESSES", "02-00-5E-10-00-01");

    // Six hosts.
    const QList<QStringList> hosts = {
        {"--version", "19", "A/ArchiCAD 19"},
        {"--version", "19", "--language", "GER", "B/ArchiCAD 19"},
        {"--version", "19", "--edition", "solo", "C/ArchiCAD 19 Solo"},
        {"--version", "19", "--language", "FRA", "D/ArchiCAD 19"},
        {"--version", "18", "E/ArchiCAD 18"},
        {"--version", "18", "--language", "GER", "F/ArchiCAD 18"},
    };
    for (QStringList arguments : hosts) {
        arguments.last() = root.filePath("hosts/" + arguments.last());
        if (QProcess::execute(bin + "/vantorix-fakehost", arguments) != 0) {
            std::fprintf(stderr, "bench_manager: vantorix-fakehost failed\n");
            return 1;
        }
    }

    // The stand-in with one account and the generated listing.
    const QString data = root.filePath("service");
    const QByteArray listingText = listing(productCount);
    if (!writeFile(data + "/listings/big.xml", listingText) ||
        !writeFile(data + "/accounts.json",
                   "{\"accounts\": [{\"email\": \"anna.berg@example.com\", \"password\": \"correct horse\", \"name\": "
                   "\"Anna Berg\", \"currency\": \"EUR\", \"message\": \"\", \"listing\": \"listings/big.xml\"}]}") ||
        !writeFile(data + "/education.xml", "<vantorixtools version=\"1\" target=\"educational\"/>") ||
        !writeFile(data + "/installer.json", "{\"version\": \"2.06\", \"releaseSize\": 1, \"releases\": {}}")) {
        std::fprintf(stderr, "bench_manager: cannot write the stand-in's data\n");
        return 1;
    }
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(bin + "/vantorix-service", {"--data", data, "--port", "0"});
    QByteArray first;
    while (service.waitForReadyRead(20000)) {
        first += service.readAllStandardOutput();
        if (first.contains('\n'))
            break;
    }
    const int at = first.indexOf("http://");
    if (at < 0) {
        std::fprintf(stderr, "bench_manager: the stand-in did not start (%s)\n", first.constData());
        return 1;
    }
    const QByteArray url = first.mid(at, first.indexOf('\n', at) - at).trimmed();
    qputenv(ServiceAddress::urlVariable, url);
    QObject::connect(&service, &QProcess::readyReadStandardOutput, [&service]() { service.readAllStandardOutput(); });

    out() << "bench_manager: " << productCount << " products (" << listingText.size() / 1024
          << " KiB listing), " << hosts.size() << " hosts, stand-in at " << url << "\n";

    QElapsedTimer timer;
    timer.start();
    host.initialise();
    out() << "host discovery:        " << ms(timer) << " ms (" << host.getApplicationMap()->size() << " hosts)\n";

    timer.start();
    short code = 0;
    const bool signedIn = client.verifyDetails(String("anna.berg@example.com"), String("correct horse"), &code);
    const double signIn = ms(timer);
    out() << "sign-in:               " << signIn << " ms" << (signedIn ? "" : " FAILED") << "\n";

    manager.setDefault();
    timer.start();
    const bool rebuilt = manager.rebuild();
    const double rebuild = ms(timer);
    out() << "rebuild (manager):     " << rebuild << " ms, " << manager.getProductTree().productCount()
          << " tree products" << (rebuilt ? "" : " FAILED") << "\n";
    out() << "sign-in + rebuild:     " << signIn + rebuild << " ms\n";
    timer.start();
    const bool again = manager.rebuild();
    out() << "rebuild again:         " << ms(timer) << " ms" << (again ? "" : " FAILED") << "\n";

    // The rebuild's parts measured apart.
    timer.start();
    {
        InstallerReport report(true);
    }
    out() << "  machine report:      " << ms(timer) << " ms\n";
    {
        VantorixTools whole;
        VantorixTools asked;
        asked.setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
        timer.start();
        const ServiceAnswer got = ServiceCall::post(String("ProductListing"), asked, whole);
        out() << "  post and read:       " << ms(timer) << " ms" << (got.isSuccessful() ? "" : " FAILED") << "\n";
        timer.start();
    }
    out() << "  free the listing:    " << ms(timer) << " ms\n";
    VantorixTools request;
    request.setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
    const QByteArray envelope = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><soap:Envelope "
                                "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><ProductListing "
                                "xmlns=\"" +
                                QByteArray(ServiceAddress::baseURI) +
                                "\"><vantorixtools version=\"1\" target=\"commercial\"><client><email>anna.berg@"
                                "example.com</email><password>correct horse</password></client></vantorixtools>"
                                "</ProductListing></soap:Body></soap:Envelope>";
    WebServiceClient web(ServiceAddress::getHost(), ServiceAddress::isSecure());
    String answer;
    timer.start();
    const bool posted = web.postText(String(ServiceAddress::path), ServiceAddress::getAction(String("ProductListing")),
                                     envelope, &answer);
    out() << "  post and transfer:   " << ms(timer) << " ms (" << answer.toByteArray().size() / 1024 << " KiB)"
          << (posted ? "" : " FAILED") << "\n";
    const QByteArray text = answer.toByteArray();
    const int start = text.indexOf("<vantorixtools");
    const int end = text.indexOf("</vantorixtools>");
    VantorixTools catalogue;
    timer.start();
    DataBufferIn in(String(QString::fromUtf8(text.mid(start, end - start + 16))), Encoding::UTF8);
    const bool read = catalogue.readInstallation(in);
    out() << "  read the listing:    " << ms(timer) << " ms" << (read ? "" : " FAILED") << "\n";
    ProductTree tree;
    timer.start();
    tree.rebuild(*host.getApplicationMap(), catalogue);
    out() << "  build the tree:      " << ms(timer) << " ms (" << tree.productCount() << " products)\n";

    // Growth of the tree build with products x hosts.
    out() << "tree build by size (products x hosts -> ms):\n";
    for (const int products : {1250, 2500, 5000}) {
        VantorixTools part;
        DataBufferIn partIn(String(QString::fromUtf8(listing(products))), Encoding::UTF8);
        part.readInstallation(partIn);
        for (const std::size_t hostCount : {std::size_t(3), std::size_t(6)}) {
            ApplicationMap some;
            for (const auto& entry : *host.getApplicationMap()) {
                if (some.size() < hostCount)
                    some.insert(entry.first, std::make_unique<Application>(*entry.second));
            }
            ProductTree sized;
            timer.start();
            sized.rebuild(some, part);
            out() << "  " << products << " x " << hostCount << " -> " << ms(timer) << " ms\n";
        }
    }
    out().flush();
    service.terminate();
    service.waitForFinished(5000);
    return signedIn && rebuilt && posted && read ? 0 : 1;
}
