#ifndef INSTALLER_PRODUCTS_EULA_H
#define INSTALLER_PRODUCTS_EULA_H

#include "DownloadedRecord.h"
#include "UrlRecordMap.h"

namespace installer {

// One licence agreement text (tag "eula"): its URL and the text ("text"),
// downloaded to memory when the record is made with a URL.
class EULA : public DownloadedRecord {
public:
    static const char* const tag;

    explicit EULA(const vantorix::String& url = {});
    ~EULA() override;

    // The text; taken from a successful download the first time. Empty when
    // the download failed.
    vantorix::String getText();

    const char* getTag() const override { return tag; }

protected:
    void takeDownload() override { getText(); }
};

// Agreement texts keyed by URL (tag "eulaMap", children "eula").
class EULAMap : public UrlRecordMap<EULA> {
public:
    static const char* const tag;

    EULAMap() : UrlRecordMap(tag) {}
    ~EULAMap() override;

    EULA* getEULA(const vantorix::String& url) const { return find(url); }
};

} // namespace installer

#endif
