#ifndef VANTORIX_TESTS_SERIALISE_TESTRECORDS_H
#define VANTORIX_TESTS_SERIALISE_TESTRECORDS_H

// Small records for the XML tests, the fuzz target and the benchmark.

#include "Serialise/XMLRecord.h"

namespace testrecords {

using namespace vantorix;

// A window size: both children are attributes.
class DialogSize : public XMLAssembly {
public:
    short width = 0;
    short height = 0;

    const char* getTag() const override { return "size"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(width, tags[0], true);
        case 1: return ship(height, tags[1], true);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 2); }
    void setDefault() override { width = height = 0; }

    static constexpr const char* tags[] = {"width", "height"};
};

// The shape of the installer's preference record.
class Prefs : public XMLAssembly {
public:
    DialogSize size;
    DialogSize releaseSize;
    DialogSize eulaSize;
    String application;
    Status status = myTools;
    int validations = 0;

    const char* getTag() const override { return "installerPreferences"; }
    unsigned long shippingSize() const override { return 5; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(size, tags[0]);
        case 1: return ship(releaseSize, tags[1]);
        case 2: return ship(eulaSize, tags[2]);
        case 3: return ship(application, tags[3]);
        case 4: return ship(status, tags[4]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 5); }
    void setDefault() override
    {
        size.setDefault();
        releaseSize.setDefault();
        eulaSize.setDefault();
        application.clear();
        status = myTools;
    }
    bool validate() override
    {
        ++validations;
        return true;
    }

    static constexpr const char* tags[] = {"size", "releaseSize", "eulaSize", "application", "status"};
};

// A product-like record with every plain leaf kind.
class Product : public XMLAssembly {
public:
    String name;
    Guid id;
    short version = 0;
    bool trial = false;
    double price = 0;
    Status status = myTools;
    String description;

    const char* getTag() const override { return "product"; }
    unsigned long shippingSize() const override { return 7; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(name, tags[0], true);
        case 1: return ship(id, tags[1], true);
        case 2: return ship(version, tags[2]);
        case 3: return ship(trial, tags[3]);
        case 4: return shipIf(price != 0, price, tags[4]);
        case 5: return ship(status, tags[5]);
        case 6: return ship(description, tags[6]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 7); }
    void setDefault() override
    {
        name.clear();
        id.clear();
        version = 0;
        trial = false;
        price = 0;
        status = myTools;
        description.clear();
    }

    static constexpr const char* tags[] = {"name", "id", "version", "trial", "price", "status", "description"};
};

class ProductMap : public XMLKeyedMap<String, Product> {
public:
    ProductMap() : XMLKeyedMap("products") {}

protected:
    String getKey(const Product& product) const override { return product.name; }
};

// Nested records, a list, a map, a list of plain values, and a namespaced
// child: every kind of child the walker knows.
class Catalogue : public XMLAssembly {
public:
    String title;
    DialogSize size;
    XMLList<Product> featured{"featured"};
    ProductMap products;
    XMLList<String> notes{"notes", "note"};
    bool flag = false;
    Catalogue* child = nullptr; // optional nested catalogue, owned

    Catalogue() = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    ~Catalogue() override { delete child; }

    const char* getTag() const override { return "catalogue"; }
    const char* getNameSpace() const override { return "vx"; }
    unsigned long shippingSize() const override { return 7; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(title, tags[0], true);
        case 1: return ship(size, tags[1]);
        case 2: return ship(featured, tags[2]);
        case 3: return ship(products, tags[3]);
        case 4: return ship(notes, tags[4]);
        case 5: return ship(flag, tags[5], false, "vx");
        case 6: return child != nullptr ? ship(*child, tags[6]) : nullptr;
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override
    {
        if (child == nullptr && tag == tags[6])
            child = new Catalogue();
        return childByTag(tag, tags, 7);
    }
    void setDefault() override
    {
        title.clear();
        size.setDefault();
        featured.setDefault();
        products.setDefault();
        notes.setDefault();
        flag = false;
        delete child;
        child = nullptr;
    }

    static constexpr const char* tags[] = {"title", "size", "featured", "products", "notes", "flag", "child"};
};

} // namespace testrecords

#endif
