#ifndef VANTORIX_CATALOGUE_EXECUTABLE_H
#define VANTORIX_CATALOGUE_EXECUTABLE_H

#include "Serialise/XMLRecord.h"

namespace vantorix {

// One installed add-on file as an installation record keeps it (tag
// "executable", all attributes): its full path (for a bundle, the executable
// inside it), the product version installed, the error text of the install
// that wrote it (empty on success) and the host edition ("full", "solo",
// "start"; empty when unknown). Two entries are the same when path and
// variant are equal.
class Executable : public XMLAssembly {
public:
    static const char* const tag;

    Executable() = default;
    Executable(const String& path, const String& version, const String& errorMessage = String(),
               const String& variant = String());
    Executable(const Executable& other) = default;
    Executable& operator=(const Executable& other) = default;
    ~Executable() override;

    const String& getPath() const { return m_path; }
    const String& getVersion() const { return m_version; }
    const String& getErrorMessage() const { return m_errorMessage; }
    const String& getVariant() const { return m_variant; }
    void setPath(const String& path) { m_path = path; }
    void setVersion(const String& version) { m_version = version; }
    void setErrorMessage(const String& errorMessage) { m_errorMessage = errorMessage; }
    void setVariant(const String& variant) { m_variant = variant; }

    // Whether the file exists at the path; for the executable inside an
    // add-on bundle (".apx", ".gdx"), whether the bundle folder exists.
    bool existsOnDisk() const;

    // Same entry: same path and variant.
    bool operator==(const Executable& other) const
    {
        return m_path == other.m_path && m_variant == other.m_variant;
    }
    bool operator!=(const Executable& other) const { return !(*this == other); }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 4; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    String m_path;
    String m_version;
    String m_errorMessage;
    String m_variant;
};

} // namespace vantorix

#endif
