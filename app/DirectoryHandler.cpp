#include "DirectoryHandler.h"

#include "Catalogue/Product.h"
#include "Environment/Addon.h"
#include "Environment/Platform.h"
#include "File/DataFile.h"
#include "File/Directory.h"

using namespace vantorix;

namespace installer {

const char* const DirectoryHandler::tempFolderName = "Vantorix Installer";
const char* const DirectoryHandler::toolsFolderName = "Vantorix Tools";
const char* const DirectoryHandler::installationFolderName = "Installation";
const char* const DirectoryHandler::logFolderName = "Logs";
const char* const DirectoryHandler::preferenceFolderName = "Vantorix";

std::unique_ptr<Directory> DirectoryHandler::m_tempDirectory;

namespace {

// name inside parent; when missing, made only if create is set, and then
// opened to all users when shared is set. Null when it is not there.
std::unique_ptr<Directory> folderIn(const Directory* parent, const char* name, bool create, bool shared)
{
    if (!parent)
        return nullptr;
    auto folder = std::make_unique<Directory>(*parent, String(name), false);
    if (folder->exists())
        return folder;
    if (!create)
        return nullptr;
    int error = 0;
    folder.reset(Directory::create(*parent, String(name), error));
    if (!folder)
        return nullptr;
    if (shared)
        folder->allowFullAccess();
    return folder;
}

std::unique_ptr<DataFile> fileIn(const Directory* folder, DataFile::Permission permission, bool create, bool shared)
{
    const String name = DirectoryHandler::getPreferenceFileName();
    if (!folder || name.empty())
        return nullptr;
    const bool existed = DataFile(*folder, name, permission, false).exists();
    auto file = std::make_unique<DataFile>(*folder, name, permission, create);
    if (!file->exists())
        return nullptr;
    if (shared && !existed)
        file->allowFullAccess();
    return file;
}

} // namespace

Directory* DirectoryHandler::getTempDirectory()
{
    if (m_tempDirectory) {
        // The shut-down (or a user) may have erased it; the object stays the same.
        if (!m_tempDirectory->exists())
            Directory(m_tempDirectory->getURL(), true);
        return m_tempDirectory.get();
    }
    const std::unique_ptr<Directory> systemTemp = platform.getTempDirectory();
    if (!systemTemp)
        return nullptr;
    int error = 0;
    std::unique_ptr<Directory> folder(Directory::create(*systemTemp, String(tempFolderName), error));
    if (!folder || error != 0)
        return nullptr;
    m_tempDirectory = std::move(folder);
    return m_tempDirectory.get();
}

std::unique_ptr<Directory> DirectoryHandler::getVantorixDirectory(bool create)
{
    const std::unique_ptr<Directory> shared = platform.getSharedDataDirectory();
    return folderIn(shared.get(), toolsFolderName, create, true);
}

std::unique_ptr<Directory> DirectoryHandler::getInstallationDirectory(bool create)
{
    const std::unique_ptr<Directory> tools = getVantorixDirectory(create);
    return folderIn(tools.get(), installationFolderName, create, true);
}

std::unique_ptr<Directory> DirectoryHandler::getLogDirectory()
{
    const std::unique_ptr<Directory> prefs = platform.getUserPrefsDirectory();
    const std::unique_ptr<Directory> tools = folderIn(prefs.get(), toolsFolderName, false, false);
    return folderIn(tools.get(), logFolderName, false, false);
}

std::unique_ptr<Directory> DirectoryHandler::getPreferenceDirectory(bool create)
{
    const std::unique_ptr<Directory> prefs = platform.getUserPrefsDirectory();
    return folderIn(prefs.get(), preferenceFolderName, create, false);
}

std::unique_ptr<DataFile> DirectoryHandler::getPreferenceFile(bool create)
{
    if (getPreferenceFileName().empty())
        return nullptr;
    const std::unique_ptr<Directory> folder = getPreferenceDirectory(create);
    return fileIn(folder.get(), DataFile::readWrite, create, false);
}

std::unique_ptr<DataFile> DirectoryHandler::getSharedPreferenceFile(bool create)
{
    if (getPreferenceFileName().empty())
        return nullptr;
    const std::unique_ptr<Directory> shared = platform.getSharedDataDirectory();
    const std::unique_ptr<Directory> folder = folderIn(shared.get(), preferenceFolderName, create, true);
    return fileIn(folder.get(), create ? DataFile::readWrite : DataFile::readOnly, create, true);
}

String DirectoryHandler::getPreferenceFileName()
{
    // The file-name form of the program's product record; an application
    // object without one falls back on its name, under the same rule.
    if (!addon)
        return String();
    const Product* product = addon->getProductInfo();
    return "com.vantorixhq." + (product ? product->getURLName() : fileNameForm(addon->getName())) + ".xml";
}

String DirectoryHandler::fileNameForm(const String& name)
{
    QString text = name.qString().toLower();
    const auto isBlank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    };
    int start = 0;
    int end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    text = text.mid(start, end - start);
    for (QChar& c : text)
        if (isBlank(c))
            c = QLatin1Char('_');
    return String(text);
}

} // namespace installer
