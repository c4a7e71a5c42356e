#include "Catalogue/PlatformHistory.h"

namespace vantorix {

namespace {
const unsigned long signatureChildren = 2;
}

const char* const PlatformHistory::tag = "platformHistory";

PlatformHistory::~PlatformHistory() = default;

unsigned long PlatformHistory::shippingSize() const
{
    return signatureChildren + static_cast<unsigned long>(m_notes.size());
}

ShippingPtr PlatformHistory::getShipping(unsigned long index, bool forAttributes)
{
    if (index < signatureChildren)
        return PlatformSignature::getShipping(index, forAttributes);
    const unsigned long note = index - signatureChildren;
    if (note >= m_notes.size())
        return nullptr;
    return ship(m_notes[note], nullptr);
}

ShippingPtr PlatformHistory::getShipping(const String& tag, const String& nameSpace)
{
    if (tag == ReleaseNote::tag) {
        m_notes.emplace_back();
        return ship(m_notes.back(), nullptr);
    }
    return PlatformSignature::getShipping(tag, nameSpace);
}

void PlatformHistory::setDefault()
{
    PlatformSignature::setDefault();
    m_notes.clear();
}

} // namespace vantorix
