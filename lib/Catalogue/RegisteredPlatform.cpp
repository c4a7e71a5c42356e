#include "Catalogue/RegisteredPlatform.h"

#include "Environment/Host.h"
#include "Serialise/XMLCurrency.h"
#include "Serialise/XMLDateTime.h"
#include "Serialise/XMLDecimal.h"

#include <cmath>

namespace vantorix {

namespace {

const char* const platformTags[] = {"owned", "purchasedate", "signature", "version", "details", "executables"};
const char* const detailTags[] = {"releaseDate", "agreementURL", "imageurl",       "productdescription",
                                  "price",       "producturl",   "trialavailable", "releasesize"};
const unsigned long detailFields = 8;
const double amountTolerance = 1e-5;

bool isSet(double amount)
{
    return std::fabs(amount) > amountTolerance;
}

PlatformSignature defaultSignature()
{
    return PlatformSignature(HostType::defaultID, Host::version);
}

} // namespace

const char* const RegisteredPlatform::tag = "platform";
const char* const RegisteredPlatform::PlatformDetail::tag = "details";

// ---- PlatformDetail

RegisteredPlatform::PlatformDetail::~PlatformDetail() = default;

String RegisteredPlatform::PlatformDetail::getReleaseUrl(const String& language) const
{
    return ReleaseUrl::choose(releaseList, language);
}

unsigned long RegisteredPlatform::PlatformDetail::shippingSize() const
{
    return detailFields + static_cast<unsigned long>(releaseList.size());
}

ShippingPtr RegisteredPlatform::PlatformDetail::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: {
        auto child = std::make_unique<XMLDateTime>(releaseDate, detailTags[0]);
        child->setEssential(!releaseDate.isZero());
        return child;
    }
    case 1: return shipIf(!agreementURL.empty(), agreementURL, detailTags[1]);
    case 2: return shipIf(!imageurl.empty(), imageurl, detailTags[2]);
    case 3: return shipIf(!productdescription.empty(), productdescription, detailTags[3]);
    case 4: {
        auto child = std::make_unique<XMLCurrency>(price, detailTags[4]);
        child->setEssential(isSet(price));
        return child;
    }
    case 5: return shipIf(!producturl.empty(), producturl, detailTags[5]);
    case 6: return shipIf(trialavailable, trialavailable, detailTags[6]);
    case 7: {
        auto child = std::make_unique<XMLDecimal>(releasesize, detailTags[7]);
        child->setEssential(isSet(releasesize));
        return child;
    }
    default:
        break;
    }
    const unsigned long entry = index - detailFields;
    if (entry >= releaseList.size())
        return nullptr;
    return ship(releaseList[entry], nullptr);
}

ShippingPtr RegisteredPlatform::PlatformDetail::getShipping(const String& tag, const String&)
{
    if (tag == ReleaseUrl::tag) {
        releaseList.emplace_back();
        return ship(releaseList.back(), nullptr);
    }
    return childByTag(tag, detailTags, detailFields);
}

void RegisteredPlatform::PlatformDetail::setDefault()
{
    releaseDate = Time(false);
    agreementURL.clear();
    imageurl.clear();
    productdescription.clear();
    price = 0.0;
    producturl.clear();
    trialavailable = false;
    releasesize = 0.0;
    releaseList.clear();
}

// ---- RegisteredPlatform

RegisteredPlatform::RegisteredPlatform() : m_signature(defaultSignature()) {}

RegisteredPlatform::RegisteredPlatform(const String& version, const PlatformSignature& signature)
    : m_signature(signature), m_version(version)
{
}

RegisteredPlatform::RegisteredPlatform(const RegisteredPlatform& other)
    : Shipping(other),
      XMLShipping(other),
      XMLAssembly(other),
      m_owned(other.m_owned),
      m_purchaseDate(other.m_purchaseDate),
      m_signature(other.m_signature),
      m_version(other.m_version),
      m_details(other.m_details ? std::make_unique<PlatformDetail>(*other.m_details) : nullptr),
      m_executables(other.m_executables ? std::make_unique<ExecutableMap>(*other.m_executables) : nullptr)
{
}

RegisteredPlatform& RegisteredPlatform::operator=(const RegisteredPlatform& other)
{
    if (this != &other) {
        m_owned = other.m_owned;
        m_purchaseDate = other.m_purchaseDate;
        m_signature = other.m_signature;
        m_version = other.m_version;
        m_details = other.m_details ? std::make_unique<PlatformDetail>(*other.m_details) : nullptr;
        m_executables = other.m_executables ? std::make_unique<ExecutableMap>(*other.m_executables) : nullptr;
    }
    return *this;
}

RegisteredPlatform::~RegisteredPlatform() = default;

RegisteredPlatform::PlatformDetail& RegisteredPlatform::details()
{
    if (!m_details)
        m_details = std::make_unique<PlatformDetail>();
    return *m_details;
}

void RegisteredPlatform::setDetails(const PlatformDetail& details)
{
    m_details = std::make_unique<PlatformDetail>(details);
}

Time RegisteredPlatform::getReleaseDate() const
{
    return m_details ? m_details->releaseDate : Time(false);
}

String RegisteredPlatform::getAgreementUrl() const
{
    return m_details ? m_details->agreementURL : String();
}

String RegisteredPlatform::getProductDescription() const
{
    return m_details ? m_details->productdescription : String();
}

String RegisteredPlatform::getProductURL() const
{
    return m_details ? m_details->producturl : String();
}

String RegisteredPlatform::getProductImage() const
{
    return m_details ? m_details->imageurl : String();
}

double RegisteredPlatform::getProductPrice() const
{
    return m_details ? m_details->price : 0.0;
}

double RegisteredPlatform::getReleaseSize() const
{
    return m_details ? m_details->releasesize : 0.0;
}

bool RegisteredPlatform::isTrialAvailable() const
{
    return m_details && m_details->trialavailable;
}

const std::vector<ReleaseUrl>* RegisteredPlatform::getReleaseList() const
{
    return m_details ? &m_details->releaseList : nullptr;
}

String RegisteredPlatform::getReleaseUrl(const String& language) const
{
    return m_details ? m_details->getReleaseUrl(language) : String();
}

bool RegisteredPlatform::mergeExecutable(const Executable& executable)
{
    if (!m_executables)
        m_executables = std::make_unique<ExecutableMap>();
    return m_executables->merge(executable);
}

bool RegisteredPlatform::isExecutable() const
{
    return m_executables && !m_executables->empty();
}

bool RegisteredPlatform::deregisterOldExecutables()
{
    if (!m_executables)
        return false;
    const bool removed = m_executables->removeVanished();
    if (m_executables->empty())
        m_executables.reset();
    return removed;
}

bool RegisteredPlatform::mergeInstallation(const RegisteredPlatform& other)
{
    bool changed = false;
    if (m_version != other.m_version) {
        m_version = other.m_version;
        changed = true;
    }
    if (other.m_executables) {
        for (const Executable& executable : other.m_executables->elements())
            changed = mergeExecutable(executable) || changed;
    }
    return changed;
}

ShippingPtr RegisteredPlatform::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return shipIf(m_owned, m_owned, platformTags[0], true);
    case 1: {
        auto child = std::make_unique<XMLDateTime>(m_purchaseDate, platformTags[1], true);
        child->setEssential(!m_purchaseDate.isZero());
        return child;
    }
    case 2: return ship(m_signature, platformTags[2]);
    case 3: return shipIf(!m_version.empty(), m_version, platformTags[3]);
    case 4: return m_details ? ship(*m_details, platformTags[4]) : nullptr;
    case 5: return m_executables ? shipIf(!m_executables->empty(), *m_executables, platformTags[5]) : nullptr;
    default: return nullptr;
    }
}

ShippingPtr RegisteredPlatform::getShipping(const String& tag, const String&)
{
    // The optional parts come into being when the text has them.
    if (tag == platformTags[4])
        details();
    else if (tag == platformTags[5] && !m_executables)
        m_executables = std::make_unique<ExecutableMap>();
    return childByTag(tag, platformTags, 6);
}

void RegisteredPlatform::setDefault()
{
    m_owned = false;
    m_purchaseDate = Time(false);
    m_signature = defaultSignature();
    m_version.clear();
    m_details.reset();
    m_executables.reset();
}

} // namespace vantorix
