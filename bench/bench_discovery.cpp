// Host discovery without Spotlight: how long the walk over the search roots
// takes when they hold many folders that are not ArchiCAD installations.
// Prints the best and the median of several runs for a flat root of 10,000
// folders and for a nested one (100 folders of 100 folders), each also
// holding two installations that must be found.
#include "Applications/ApplicationMap.h"
#include "Applications/BundleSearch.h"
#include "Environment/Host.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace vantorix;

namespace {

const int runs = 7;

bool makeInstallation(const QString& folder, int version)
{
    if (!QDir().mkpath(folder + QStringLiteral("/ArchiCAD %1.app/Contents/MacOS").arg(version)))
        return false;
    QFile file(folder + QStringLiteral("/ProductVersion.xml"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("<productversion><shortversionstring>%1</shortversionstring>"
                              "<gslanguage>INT</gslanguage><gsprodtype>full</gsprodtype>"
                              "<prefspostfix>%1.0.0 INT R1</prefspostfix></productversion>\n")
                   .arg(version)
                   .toUtf8());
    return true;
}

struct Figures {
    double best;
    double median;
};

template <typename Work>
Figures measure(Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

bool run(const QString& label, const QString& root, QTextStream& out)
{
    std::size_t found = 0;
    const Figures search = measure([&] {
        const QByteArray paths = BundleSearch("archicad", ".app").find({root});
        found = static_cast<std::size_t>(paths.count('\n'));
    });
    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(root));
    std::size_t filed = 0;
    const Figures discovery = measure([&] {
        ApplicationMap map;
        Host::loadArchiCAD(map);
        filed = map.size();
    });
    out << label << ": bundles found " << found << ", installations filed " << filed << "\n"
        << "  search only:      best " << QString::number(search.best, 'f', 2) << " ms, median "
        << QString::number(search.median, 'f', 2) << " ms\n"
        << "  whole discovery:  best " << QString::number(discovery.best, 'f', 2) << " ms, median "
        << QString::number(discovery.median, 'f', 2) << " ms\n";
    out.flush();
    return found == 2 && filed == 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir flat;
    QTemporaryDir nested;
    if (!flat.isValid() || !nested.isValid())
        return 1;

    QElapsedTimer setup;
    setup.start();
    for (int i = 0; i < 10000; ++i) {
        if (!QDir().mkdir(flat.path() + QStringLiteral("/folder %1").arg(i)))
            return 1;
    }
    for (int i = 0; i < 100; ++i) {
        for (int j = 0; j < 100; ++j) {
            if (!QDir().mkpath(nested.path() + QStringLiteral("/vendor %1/product %2").arg(i).arg(j)))
                return 1;
        }
    }
    for (const QString& root : {flat.path(), nested.path()}) {
        if (!makeInstallation(root + QStringLiteral("/GRAPHISOFT/ArchiCAD 19"), 19)
            || !makeInstallation(root + QStringLiteral("/vendor 7/ArchiCAD 18"), 18))
            return 1;
    }
    out << "setup: " << setup.elapsed() << " ms; " << runs << " runs each\n";

    bool ok = run(QStringLiteral("flat root, 10,000 folders"), flat.path(), out);
    ok = run(QStringLiteral("nested root, 100 x 100 folders"), nested.path(), out) && ok;
    return ok ? 0 : 1;
}
