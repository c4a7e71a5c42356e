#ifndef VANTORIX_CATALOGUE_REGISTEREDPLATFORM_H
#define VANTORIX_CATALOGUE_REGISTEREDPLATFORM_H

#include "Catalogue/ExecutableMap.h"
#include "Catalogue/PlatformSignature.h"
#include "Catalogue/ReleaseUrl.h"
#include "Utility/Time.h"

#include <memory>
#include <vector>

namespace vantorix {

// One product on one host release line (tag "platform"): whether the account
// owns it and since when, the signature, the product's current version, and
// two optional parts: the release details of the service's listing and the
// installed files of an installation record. The platform owns both.
class RegisteredPlatform : public XMLAssembly {
public:
    static const char* const tag;

    // What the service tells about the release (tag "details").
    class PlatformDetail : public XMLAssembly {
    public:
        static const char* const tag;

        PlatformDetail() = default;
        PlatformDetail(const PlatformDetail& other) = default;
        PlatformDetail& operator=(const PlatformDetail& other) = default;
        ~PlatformDetail() override;

        Time releaseDate;
        String agreementURL;
        String imageurl;
        String productdescription;
        double price = 0.0;
        String producturl;
        bool trialavailable = false;
        double releasesize = 0.0;
        std::vector<ReleaseUrl> releaseList;

        // The URL of the release for a language: the first entry of that
        // language (letter case ignored), else the last "INT" entry, else
        // empty.
        String getReleaseUrl(const String& language) const;

        const char* getTag() const override { return tag; }
        unsigned long shippingSize() const override;
        ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
        ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
        void setDefault() override;
    };

    // Empty version, signature of every host at the host environment's
    // version, no details, no installed files, not owned.
    RegisteredPlatform();
    RegisteredPlatform(const String& version, const PlatformSignature& signature);
    RegisteredPlatform(const RegisteredPlatform& other);
    RegisteredPlatform& operator=(const RegisteredPlatform& other);
    ~RegisteredPlatform() override;

    const PlatformSignature& getSignature() const { return m_signature; }
    void setSignature(const PlatformSignature& signature) { m_signature = signature; }
    const String& getVersion() const { return m_version; }
    void setVersion(const String& version) { m_version = version; }
    bool isOwned() const { return m_owned; }
    void setOwned(bool owned) { m_owned = owned; }
    const Time& getPurchaseDate() const { return m_purchaseDate; }
    void setPurchaseDate(const Time& date) { m_purchaseDate = date; }

    // The details, or null when the listing gave none.
    PlatformDetail* getDetails() const { return m_details.get(); }
    // The details, created when there are none yet.
    PlatformDetail& details();
    void setDetails(const PlatformDetail& details);
    void clearDetails() { m_details.reset(); }

    // Read through the details; empty values without them.
    Time getReleaseDate() const;
    String getAgreementUrl() const;
    String getProductDescription() const;
    String getProductURL() const;
    String getProductImage() const;
    double getProductPrice() const;
    double getReleaseSize() const;
    bool isTrialAvailable() const;
    // The release list, or null without details.
    const std::vector<ReleaseUrl>* getReleaseList() const;
    String getReleaseUrl(const String& language) const;

    // The installed files, or null when none were ever recorded.
    ExecutableMap* getExecutables() const { return m_executables.get(); }
    // Appends or updates one installed file (the list is created on first
    // need); true when anything changed.
    bool mergeExecutable(const Executable& executable);
    // Whether at least one installed file is recorded.
    bool isExecutable() const;
    // Drops the installed files that no longer exist; an emptied list is
    // removed. True when anything was dropped.
    bool deregisterOldExecutables();

    // Folds an installation's facts for the same signature in: a differing
    // version text is taken, and each installed file is merged. True when
    // anything changed.
    bool mergeInstallation(const RegisteredPlatform& other);

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 6; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    bool m_owned = false;
    Time m_purchaseDate;
    PlatformSignature m_signature;
    String m_version;
    std::unique_ptr<PlatformDetail> m_details;
    std::unique_ptr<ExecutableMap> m_executables;
};

} // namespace vantorix

#endif
