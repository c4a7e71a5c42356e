#ifndef VANTORIX_TESTS_WEB_TESTPAYLOAD_H
#define VANTORIX_TESTS_WEB_TESTPAYLOAD_H

#include "Serialise/XMLEncryptedString.h"
#include "Serialise/XMLProxy.h"

#include <memory>

// A small payload in the shape of the tools store, for the SOAP tests: the
// "vantorixtools" element with its "version" and "target" attributes and a
// "client" record whose password travels enciphered (left out when empty).
class TestClient : public vantorix::XMLAssembly {
public:
    vantorix::String name;
    vantorix::String email;
    vantorix::String password;

    const char* getTag() const override { return "client"; }
    unsigned long shippingSize() const override { return 3; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return vantorix::ship(name, childTags[0]);
        case 1: return vantorix::ship(email, childTags[1]);
        case 2: {
            vantorix::ShippingPtr leaf = std::make_unique<vantorix::XMLEncryptedString>(password, childTags[2]);
            leaf->setEssential(!password.empty());
            return leaf;
        }
        default: return nullptr;
        }
    }
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String&) override
    {
        return childByTag(tag, childTags, 3);
    }
    void setDefault() override
    {
        name.clear();
        email.clear();
        password.clear();
    }

private:
    static constexpr const char* childTags[] = {"name", "email", "password"};
};

class TestTools : public vantorix::XMLAssembly {
public:
    short version = 1;
    vantorix::String target{"commercial"};
    TestClient client;

    const char* getTag() const override { return "vantorixtools"; }
    unsigned long shippingSize() const override { return 3; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return vantorix::ship(version, childTags[0], true);
        case 1: return vantorix::ship(target, childTags[1], true);
        case 2: return vantorix::ship(client, childTags[2]);
        default: return nullptr;
        }
    }
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String&) override
    {
        return childByTag(tag, childTags, 3);
    }
    void setDefault() override
    {
        version = 1;
        target = "commercial";
        client.setDefault();
    }

private:
    static constexpr const char* childTags[] = {"version", "target", "client"};
};

#endif
