#include "Applications/ApplicationMap.h"

#include <QDir>
#include <QFileInfo>

#include <map>

namespace vantorix {

namespace {

const char* const keyTag = "key";

// One entry as it is shipped: the application's own children preceded by
// the attribute "key". While reading, the entry owns the new application
// until the map takes it.
class ApplicationEntry : public XMLAssembly {
public:
    // Writing: a view of an application that the map owns.
    ApplicationEntry(const Guid& key, Application& application) : m_key(key), m_application(&application) {}
    // Reading: a new default application.
    ApplicationEntry() : m_owned(std::make_unique<Application>()), m_application(m_owned.get()) {}
    ~ApplicationEntry() override = default;

    const Guid& key() const { return m_key; }
    std::unique_ptr<Application> take() { return std::move(m_owned); }

    const char* getTag() const override { return Application::tag; }
    unsigned long shippingSize() const override { return 1 + m_application->shippingSize(); }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override
    {
        if (index == 0)
            return ship(m_key, keyTag, true);
        return m_application->getShipping(index - 1, forAttributes);
    }
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override
    {
        if (tag == keyTag)
            return ship(m_key, keyTag, true);
        return m_application->getShipping(tag, nameSpace);
    }
    void setDefault() override
    {
        m_key.clear();
        m_application->setDefault();
    }
    bool validate() override { return m_application->validate(); }

private:
    Guid m_key;
    std::unique_ptr<Application> m_owned;
    Application* m_application;
};

} // namespace

const char* const ApplicationMap::tag = "applicationMap";

ApplicationMap::~ApplicationMap() = default;

Guid ApplicationMap::getDefaultApplication() const
{
    std::map<short, Guid> byVersion;
    for (const auto& entry : *this) {
        if (entry.second)
            byVersion.emplace(entry.second->getSignature().getVersion(), entry.first);
    }
    if (byVersion.empty())
        return Guid();
    return byVersion.rbegin()->second;
}

namespace {

// A folder's path in one form: links resolved when it exists, else cleaned.
QString folderKey(const String& path)
{
    const QFileInfo info(path.qString());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

Guid ApplicationMap::findInstallation(const String& path) const
{
    if (path.empty())
        return Guid();
    const QString key = folderKey(path);
    for (const auto& entry : *this) {
        if (entry.second && !entry.second->getPath().empty() && folderKey(entry.second->getPath()) == key)
            return entry.first;
    }
    return Guid();
}

ShippingPtr ApplicationMap::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes || index >= size())
        return nullptr;
    auto it = begin();
    std::advance(it, static_cast<long>(index));
    if (!it->second)
        return nullptr;
    return std::make_unique<ApplicationEntry>(it->first, *it->second);
}

ShippingPtr ApplicationMap::addShipping(const String& tag, const String&)
{
    if (tag == Application::tag)
        return std::make_unique<ApplicationEntry>();
    // The map's own element: at the top of a file this is the map itself,
    // which is reset before its entries are read.
    if (tag == ApplicationMap::tag)
        return std::make_unique<XMLMapProxy>(*this);
    return nullptr;
}

bool ApplicationMap::insert(Shipping& element)
{
    auto* entry = dynamic_cast<ApplicationEntry*>(&element);
    if (entry == nullptr)
        return true;
    Guid key = entry->key();
    // An entry without a usable key is still a remembered host: file it
    // under a new Guid rather than lose it.
    if (!key)
        key.generate();
    insert(key, entry->take());
    return true;
}

} // namespace vantorix
