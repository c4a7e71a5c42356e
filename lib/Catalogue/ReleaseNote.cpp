#include "Catalogue/ReleaseNote.h"

namespace vantorix {

namespace {
// The note is the element's own text: a leaf without a tag of its own.
const char* const childTags[] = {"version", ""};
} // namespace

const char* const ReleaseNote::tag = "releaseNote";

ReleaseNote::~ReleaseNote() = default;

ShippingPtr ReleaseNote::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_version, childTags[0], true);
    case 1: return ship(m_note, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr ReleaseNote::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 1);
}

void ReleaseNote::setDefault()
{
    m_version = 0.0;
    m_note.clear();
}

bool ReleaseNote::read(const String& text)
{
    m_note += text;
    return true;
}

} // namespace vantorix
