#ifndef VANTORIX_CATALOGUE_PRODUCTHISTORY_H
#define VANTORIX_CATALOGUE_PRODUCTHISTORY_H

#include "Catalogue/PlatformHistory.h"

namespace vantorix {

// The release notes of a product, one entry per host release line (tag
// "history"). Reading takes "platformHistory" children and skips the rest.
class ProductHistory : public XMLList<PlatformHistory> {
public:
    static const char* const tag;

    ProductHistory() : XMLList<PlatformHistory>(tag) {}
    ProductHistory(const ProductHistory& other) = default;
    ProductHistory& operator=(const ProductHistory& other) = default;
    ~ProductHistory() override;

    bool empty() const { return elements().empty(); }
    // The entry for a signature, or null.
    const PlatformHistory* find(const PlatformSignature& signature) const;
};

} // namespace vantorix

#endif
