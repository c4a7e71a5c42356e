#ifndef VANTORIX_CATALOGUE_PRODUCT_H
#define VANTORIX_CATALOGUE_PRODUCT_H

#include "Catalogue/PlatformMap.h"
#include "Catalogue/ProductHistory.h"
#include "Utility/Time.h"

#include <memory>

namespace vantorix {

// A product of the catalogue (tag "product"): its id (the key in a
// ProductMap), when the record last changed, display name, product code, the
// release notes (optional) and the host release lines it is made for. Owns
// its history and platforms; a copy is deep.
class Product : public XMLAssembly {
public:
    static const char* const tag;

    // true: a copy of the running application's own product record (empty
    // when there is none); false: empty, edited now, no history.
    explicit Product(bool fromRunningApplication = false);
    Product(const String& id, const String& name, const String& code);
    Product(const String& id, const String& name, const String& code, const RegisteredPlatform& platform);
    Product(const Product& other);
    Product& operator=(const Product& other);
    ~Product() override;

    const String& getID() const { return m_id; }
    const String& getName() const { return m_name; }
    const String& getCode() const { return m_code; }
    const Time& getEditTime() const { return m_edit; }
    PlatformMap& getPlatformList() { return m_platforms; }
    const PlatformMap& getPlatformList() const { return m_platforms; }
    // The release notes, or null when none were read.
    ProductHistory* getHistory() const { return m_history.get(); }
    void setHistory(const ProductHistory& history);

    void setID(const String& id) { m_id = id; }
    // Each marks the edit time when the value changes.
    void setName(const String& name);
    void setCode(const String& code);
    void markEditTime();
    void setEditTime(const Time& time) { m_edit = time; }

    // Same id, name and code.
    bool operator==(const Product& other) const;
    bool operator!=(const Product& other) const { return !(*this == other); }

    // The name in a form fit for file names: lower case, outer white space
    // removed, each inner white-space character replaced by "_". Names come
    // from the service and from files made elsewhere, so what could leave a
    // folder or hide a file is written as "%" and two hexadecimal digits:
    // "/", "\", control characters (NUL included) and a leading "." (so
    // neither "." nor ".." can come out). A form longer than maxURLNameBytes
    // bytes of UTF-8 (which with the installation file's prefix and
    // extension would pass the file system's 255) is cut and ends in "-" and
    // a digest of the whole form.
    // Other names keep the form they always had, so existing files are
    // found. Two names may share a form ("a/b" and "a%2fb"); the files named
    // after it hold keyed records, so both products live in the one file.
    static constexpr int maxURLNameBytes = 230;
    String getURLName() const;
    static String getURLName(const String& name);

    // Folds one platform's installation facts in (see PlatformMap).
    bool mergeInstallation(const RegisteredPlatform& platform);
    // Whether any platform has installed files recorded.
    bool isExecutable() const { return m_platforms.isExecutable(); }
    // Drops installed files that no longer exist; true when any was dropped.
    bool deregisterOldExecutables();

    // A heap copy owned by the caller.
    Product* clone() const { return new Product(*this); }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 6; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // Empty strings, no history, no platforms, and the edit time now: a
    // record read without an "edit" attribute counts as edited when read.
    void setDefault() override;

private:
    String m_id;
    Time m_edit;
    String m_name;
    String m_code;
    std::unique_ptr<ProductHistory> m_history;
    PlatformMap m_platforms;
};

} // namespace vantorix

#endif
