#ifndef INSTALLER_PRODUCTS_PRODUCTARCHIVE_H
#define INSTALLER_PRODUCTS_PRODUCTARCHIVE_H

#include "Downloader.h"
#include "Serialise/XMLRecord.h"

#include <memory>

namespace vantorix {
class DataFile;
}

namespace installer {

// One downloaded product archive (tag "product"): where it comes from ("url",
// its key in the archive map) and the name stem of its local copy ("name", a
// Guid's text). The copy is "<name>.zfpkg" in the installer's temporary
// folder. Owns its downloader and file object; not copyable.
class ProductArchive : public vantorix::XMLAssembly {
public:
    static const char* const tag;
    static const char* const productArchiveExtension;  // "zfpkg"

    // With a URL, a new local file is named and its download starts at once;
    // without one (an archive read from an offline package) nothing happens.
    explicit ProductArchive(const vantorix::String& url = {}, qintptr userData = 0,
                            const DownloadCheck& check = {});
    ProductArchive(const ProductArchive&) = delete;
    ProductArchive& operator=(const ProductArchive&) = delete;
    ~ProductArchive() override;

    // True when installing from an offline file, when there is no URL, or
    // when the download has ended (successfully or not: ask the downloader).
    bool isReady() const;
    // The local copy when it exists on disk, or null. After an offline
    // package was unpacked this finds the copy by name.
    vantorix::DataFile* getFile();
    void setFile(vantorix::DataFile* file);
    Downloader* getDownloader() const { return m_downloader.get(); }
    const vantorix::String& getUrl() const { return m_url; }
    const vantorix::String& getName() const { return m_name; }
    void setName(const vantorix::String& name) { m_name = name; }

    // Starts a failed download again, continuing from the bytes on disk when
    // the server allows it. False when there is nothing to retry.
    bool retry();

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    // Clears URL and name and drops the downloader and file object; the file
    // on disk stays.
    void setDefault() override;

private:
    vantorix::String m_url;
    vantorix::String m_name;
    std::unique_ptr<Downloader> m_downloader;
    std::unique_ptr<vantorix::DataFile> m_file;
};

} // namespace installer

#endif
