#ifndef VANTORIX_CATALOGUE_CLIENT_H
#define VANTORIX_CATALOGUE_CLIENT_H

#include "Serialise/XMLRecord.h"
#include "Utility/Time.h"

namespace vantorix {

// The account's record (tag "client"): when it last changed (attribute
// "edited"), name, e-mail, the password (stored enciphered), and the
// currency and message the service gives at sign-in.
class Client : public XMLAssembly {
public:
    static const char* const tag;

    Client() = default;
    Client(const Client& other) = default;
    Client& operator=(const Client& other) = default;
    ~Client() override;

    const Time& getEditTime() const { return m_edited; }
    const String& getName() const { return m_name; }
    const String& getEmail() const { return m_email; }
    const String& getPassword() const { return m_password; }
    const String& getCurrency() const { return m_currency; }
    const String& getMessage() const { return m_message; }

    // Each setter marks the edit time when the value changes.
    void setName(const String& name);
    void setEmail(const String& email);
    void setPassword(const String& password);
    void setCurrency(const String& currency);
    void setMessage(const String& message);
    void setEditTime(const Time& time) { m_edited = time; }
    void markEditTime();

    // Takes every field of other (edit time included) when force is set or
    // other was edited later than this record. True when it was taken.
    bool merge(const Client& other, bool force);

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 6; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // Every field empty, the edit time the zero time (never edited).
    void setDefault() override;

private:
    bool change(String& field, const String& value);

    Time m_edited;
    String m_name;
    String m_email;
    String m_password;
    String m_currency;
    String m_message;
};

} // namespace vantorix

#endif
