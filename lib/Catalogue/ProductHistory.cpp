#include "Catalogue/ProductHistory.h"

namespace vantorix {

const char* const ProductHistory::tag = "history";

ProductHistory::~ProductHistory() = default;

const PlatformHistory* ProductHistory::find(const PlatformSignature& signature) const
{
    for (const PlatformHistory& entry : elements()) {
        if (static_cast<const PlatformSignature&>(entry) == signature)
            return &entry;
    }
    return nullptr;
}

} // namespace vantorix
