#include "ProductArchive.h"

#include "DirectoryHandler.h"
#include "InstallerManager.h"
#include "Database/Guid.h"
#include "File/DataFile.h"
#include "File/Directory.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const childTags[] = {"url", "name"};
} // namespace

const char* const ProductArchive::tag = "product";
const char* const ProductArchive::productArchiveExtension = "zfpkg";

ProductArchive::ProductArchive(const String& url, qintptr userData, const DownloadCheck& check) : m_url(url)
{
    if (m_url.empty())
        return;  // read from an offline package: the name comes from there
    Directory* temp = DirectoryHandler::getTempDirectory();
    if (temp == nullptr)
        return;
    m_name = Guid().generate().toString();
    int error = 0;
    m_file.reset(DataFile::create(*temp, m_name, DataFile::readWrite, error, String(productArchiveExtension)));
    if (!m_file || error != 0) {
        m_file.reset();
        return;
    }
    m_downloader = std::make_unique<Downloader>(m_url, m_file.get(), userData);
    m_downloader->setCheck(check);
}

ProductArchive::~ProductArchive()
{
    // The downloader writes into the file object: it goes first.
    m_downloader.reset();
}

bool ProductArchive::isReady() const
{
    if (manager.getInstallerAction() == InstallerManager::installFromOfflineFile || m_url.empty())
        return true;
    return m_downloader && m_downloader->isDone();
}

DataFile* ProductArchive::getFile()
{
    if (!m_file && !m_name.empty()) {
        if (Directory* temp = DirectoryHandler::getTempDirectory()) {
            auto file = std::make_unique<DataFile>(*temp, m_name + "." + productArchiveExtension,
                                                   DataFile::readWrite, false);
            if (file->exists())
                m_file = std::move(file);
        }
    }
    // A download in progress or failed has no file on disk yet.
    if (m_file && !m_file->exists())
        return nullptr;
    return m_file.get();
}

void ProductArchive::setFile(DataFile* file)
{
    if (m_file.get() == file)
        return;
    m_downloader.reset();
    m_file.reset(file);
}

bool ProductArchive::retry()
{
    return m_downloader && m_downloader->resume();
}

ShippingPtr ProductArchive::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_url, childTags[0]);
    case 1: return ship(m_name, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr ProductArchive::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void ProductArchive::setDefault()
{
    m_url.clear();
    m_name.clear();
    m_downloader.reset();
    m_file.reset();
}

} // namespace installer
