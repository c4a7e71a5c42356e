#include "ArchiveMap.h"

using namespace vantorix;

namespace installer {

const char* const ArchiveMap::tag = "archiveMap";

ArchiveMap::~ArchiveMap() = default;

ProductArchive* ArchiveMap::fetch(const String& url, qintptr userData, const DownloadCheck& check)
{
    if (ProductArchive* archive = find(url)) {
        Downloader* downloader = archive->getDownloader();
        if (!check.empty() && downloader != nullptr && !downloader->isDone())
            downloader->setCheck(check);
        return archive;
    }
    auto archive = std::make_unique<ProductArchive>(url, userData, check);
    ProductArchive* stored = archive.get();
    insert(url, std::move(archive));
    return stored;
}

} // namespace installer
