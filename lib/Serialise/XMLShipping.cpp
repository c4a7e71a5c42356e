#include "Serialise/XMLShipping.h"

namespace vantorix {

XMLShipping::~XMLShipping() = default;
XMLAssembly::~XMLAssembly() = default;
XMLArray::~XMLArray() = default;
XMLMap::~XMLMap() = default;
XMLUnit::~XMLUnit() = default;

long XMLAssembly::findTag(const String& tag, const char* const* tags, unsigned long count)
{
    // Tags are plain ASCII names; compare the UTF-16 text against each one
    // without building a String per entry.
    const QString& text = tag.qString();
    for (unsigned long i = 0; i < count; ++i) {
        if (tags[i] != nullptr && text == QLatin1String(tags[i]))
            return static_cast<long>(i);
    }
    return -1;
}

ShippingPtr XMLAssembly::childByTag(const String& tag, const char* const* tags, unsigned long count)
{
    const long index = findTag(tag, tags, count);
    if (index < 0)
        return nullptr;
    return getShipping(static_cast<unsigned long>(index), false);
}

} // namespace vantorix
