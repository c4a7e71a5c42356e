#ifndef VANTORIX_CATALOGUE_PLATFORMSIGNATURE_H
#define VANTORIX_CATALOGUE_PLATFORMSIGNATURE_H

#include "Catalogue/HostType.h"
#include "Serialise/XMLProxy.h"

namespace vantorix {

// One host application release line: the host family and its major version
// (tag "signature", both as attributes). Signatures order by host, then by
// version; a default signature stands for every host and every version.
class PlatformSignature : public XMLAssembly {
public:
    static const char* const tag;
    // The version that stands for every version of a host.
    static constexpr short allVersions = 0;

    PlatformSignature() = default;
    PlatformSignature(HostType::ID host, short version);
    PlatformSignature(const PlatformSignature& other) = default;
    PlatformSignature& operator=(const PlatformSignature& other) = default;
    ~PlatformSignature() override;

    const HostType& getHost() const { return m_host; }
    HostType::ID getHostID() const { return m_host.getID(); }
    short getVersion() const { return m_version; }
    void setHost(HostType::ID host) { m_host.setID(host); }
    void setVersion(short version) { m_version = version; }

    // The host name, a blank and the version, e.g. "ArchiCAD 17".
    virtual String getName() const;

    bool operator<(const PlatformSignature& other) const;
    bool operator==(const PlatformSignature& other) const;
    bool operator!=(const PlatformSignature& other) const { return !(*this == other); }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

protected:
    HostType m_host;
    short m_version = allVersions;
};

} // namespace vantorix

#endif
