#ifndef VANTORIX_TESTS_FUZZ_OFFLINEFUZZTARGET_H
#define VANTORIX_TESTS_FUZZ_OFFLINEFUZZTARGET_H

// One input of the offline install file fuzz target: arbitrary bytes are
// written to a scratch file and read as an offline install file into fresh
// records, unpacking into a folder of their own. The reading must end with one
// of its codes; what it leaves in the folder are archives named as the writer
// names them, each listed in the archive records, and nothing at all after a
// refusal; nothing else appears beside the scratch file.

#include "OfflinePackage.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"
#include "support/InstallerReport.h"

#include "Catalogue/VantorixTools.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <set>

namespace offlinefuzz {

// The version the inputs are read as written by.
const char* const version = "2.05";

// scratchFolder must exist and be empty; it is emptied again afterwards.
inline bool runOne(const std::uint8_t* data, std::size_t size, const QString& scratchFolder)
{
    const QDir scratch(scratchFolder);
    const QString input = scratch.filePath(QStringLiteral("input.zfinstall"));
    const QString unpack = scratch.filePath(QStringLiteral("unpack"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            return false;
    }
    if (!QDir().mkpath(unpack))
        return false;

    vantorix::VantorixTools catalogue;
    catalogue.setDefault();
    catalogue.setReport(std::make_unique<installer::InstallerReport>(false));
    installer::ImageMap images;
    installer::ArchiveMap archives;
    installer::EULAMap eulas;
    installer::OfflineContents contents{catalogue, images, archives, eulas};
    vantorix::String detail;
    const short result =
        installer::OfflinePackage::read(input, unpack, vantorix::String(version), contents, detail);

    bool holds = result == 0 || result == 4 || result == 8 || result == 9;
    if (result != 0 && detail.empty() && result != 4)
        holds = false;
    std::set<QString> listed;
    for (const auto& entry : archives)
        listed.insert(entry.second->getName().qString() + QStringLiteral(".zfpkg"));
    const QStringList left = QDir(unpack).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : left) {
        if (result != 0 || !installer::OfflinePackage::isArchiveEntryName(name) || listed.count(name) == 0)
            holds = false;
    }
    // Every archive record kept has its copy.
    if (result == 0 && listed.size() != std::size_t(left.size()))
        holds = false;
    if (catalogue.getClient() != nullptr && !catalogue.getClient()->getPassword().empty())
        holds = false;
    const QStringList beside = scratch.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (beside != QStringList({QStringLiteral("input.zfinstall"), QStringLiteral("unpack")}))
        holds = false;

    QDir(unpack).removeRecursively();
    QFile::remove(input);
    return holds;
}

} // namespace offlinefuzz

#endif
