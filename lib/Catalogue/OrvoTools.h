#ifndef VANTORIX_CATALOGUE_ORVOTOOLS_H
#define VANTORIX_CATALOGUE_ORVOTOOLS_H

#include "Catalogue/Product.h"

#include <vector>

namespace vantorix {

class DataBufferIn;
class DataFile;

// The store that earlier versions of the program kept, one per ArchiCAD
// version, read only to migrate what it knows. It lives in the folder shared
// by all users, as "OrvoTools/ArchiCAD <version>.xml", and reads:
//
//     <orvotools version="17">
//         <client>
//             <name>Anna Berg</name>
//             <email>anna@example.com</email>
//         </client>
//         <addons>
//             <addon id="stairmaker" name="StairMaker" code="SM-17"
//                    version="1.20" folder="/Applications/ArchiCAD 17/Add-Ons/Vantorix"/>
//         </addons>
//     </orvotools>
//
// Each add-on was installed as the bundle "<folder>/<name>.apx". Only the
// client's name and e-mail and the add-ons are taken; anything else in the
// file is skipped.
class OrvoTools : public XMLAssembly {
public:
    static const char* const tag;
    static const char* const folderName;

    struct LegacyClient : public XMLAssembly {
        String name;
        String email;

        const char* getTag() const override { return "client"; }
        unsigned long shippingSize() const override { return 2; }
        bool hasAttributes() const override { return false; }
        ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
        ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
        void setDefault() override;
    };

    struct LegacyAddon : public XMLAssembly {
        String id;
        String name;
        String code;
        String version;
        String folder;

        const char* getTag() const override { return "addon"; }
        unsigned long shippingSize() const override { return 5; }
        ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
        ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
        void setDefault() override;
    };

    OrvoTools() = default;
    ~OrvoTools() override;

    // The record's own reading from text stays visible beside the two below.
    using XMLAssembly::read;

    // Reads the legacy store of an ArchiCAD version; false when there is
    // none or it does not parse.
    bool read(short hostVersion);
    bool read(DataBufferIn& in);
    // The legacy store file of an ArchiCAD version (it may not exist), or
    // null without a shared folder.
    static std::unique_ptr<DataFile> getStoreFile(short hostVersion);

    short getHostVersion() const { return m_version; }
    const LegacyClient& getClient() const { return m_client; }
    const std::vector<LegacyAddon>& getAddons() const { return m_addons.elements(); }

    // The add-ons as installation records: one product each with one
    // ArchiCAD platform of this store's version, carrying the add-on's
    // version and one installed file, the executable inside its bundle. Only
    // the add-on of that name when name is not empty.
    std::vector<Product> getProducts(const String& name) const;

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    short m_version = 0;
    LegacyClient m_client;
    XMLList<LegacyAddon> m_addons{"addons"};
};

} // namespace vantorix

#endif
