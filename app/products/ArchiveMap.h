#ifndef INSTALLER_PRODUCTS_ARCHIVEMAP_H
#define INSTALLER_PRODUCTS_ARCHIVEMAP_H

#include "ProductArchive.h"

namespace installer {

// The downloaded product archives keyed by URL (tag "archiveMap", children
// "product"), so that one URL is downloaded once. Owns its archives; reading
// keeps the first of two archives with the same URL.
class ArchiveMap : public vantorix::XMLKeyedMap<vantorix::String, ProductArchive> {
public:
    static const char* const tag;

    ArchiveMap() : XMLKeyedMap(tag) {}
    ArchiveMap(const ArchiveMap&) = delete;
    ArchiveMap& operator=(const ArchiveMap&) = delete;
    ~ArchiveMap() override;

    // The archive for url, or null.
    ProductArchive* getArchive(const vantorix::String& url) const { return find(url); }
    // The archive for url, made (and its download started) when absent. A
    // check given here applies to a download that has not ended yet.
    ProductArchive* fetch(const vantorix::String& url, qintptr userData = 0, const DownloadCheck& check = {});

protected:
    vantorix::String getKey(const ProductArchive& archive) const override { return archive.getUrl(); }
};

} // namespace installer

#endif
