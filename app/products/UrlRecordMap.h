#ifndef INSTALLER_PRODUCTS_URLRECORDMAP_H
#define INSTALLER_PRODUCTS_URLRECORDMAP_H

#include "Serialise/XMLList.h"
#include "Utility/String.h"

#include <memory>

namespace installer {

// Downloaded records (agreements, images) keyed by their URL, so that one URL
// is fetched once for the whole run however many callers ask for it. Owns its
// records; Record is made from a URL and answers getUrl().
template <typename Record>
class UrlRecordMap : public vantorix::XMLKeyedMap<vantorix::String, Record> {
public:
    explicit UrlRecordMap(const char* tag) : vantorix::XMLKeyedMap<vantorix::String, Record>(tag) {}
    UrlRecordMap(const UrlRecordMap&) = delete;
    UrlRecordMap& operator=(const UrlRecordMap&) = delete;

    // The record for url, made (and its download started) when absent.
    Record* fetch(const vantorix::String& url)
    {
        if (Record* record = this->find(url))
            return record;
        auto record = std::make_unique<Record>(url);
        Record* stored = record.get();
        this->insert(url, std::move(record));
        return stored;
    }

protected:
    vantorix::String getKey(const Record& record) const override { return record.getUrl(); }
};

} // namespace installer

#endif
