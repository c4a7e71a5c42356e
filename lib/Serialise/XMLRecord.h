#ifndef VANTORIX_SERIALISE_XMLRECORD_H
#define VANTORIX_SERIALISE_XMLRECORD_H

// Shipping: how records become XML and back.
//
// A record never writes XML itself. It describes its children, and the XML
// writer and reader (Serialise/XMLWriter.h, Serialise/XMLReader.h) walk that
// description. A record derives from XMLAssembly and gives:
//   - getTag(): its element name (a static string);
//   - shippingSize() and getShipping(index, forAttributes): one new child per
//     member, in a fixed order, made with ship() (a proxy bound to the member;
//     the caller owns and soon destroys it); null past the last index;
//   - getShipping(tag, nameSpace): the child for an element name, usually
//     childByTag(tag, childTags, count);
//   - setDefault(): every member back to its default;
//   - optionally validate() (checks after reading) and hasAttributes() (false
//     when no child is an attribute).
//
//     class DialogSize : public vantorix::XMLAssembly {
//     public:
//         short width = 0;
//         short height = 0;
//
//         const char* getTag() const override { return "size"; }
//         unsigned long shippingSize() const override { return 2; }
//         vantorix::ShippingPtr getShipping(unsigned long index, bool) override
//         {
//             switch (index) {
//             case 0: return vantorix::ship(width, childTags[0], true);   // attribute
//             case 1: return vantorix::ship(height, childTags[1], true);
//             default: return nullptr;
//             }
//         }
//         vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String&) override
//         {
//             return childByTag(tag, childTags, 2);
//         }
//         void setDefault() override { width = height = 0; }
//
//     private:
//         static constexpr const char* childTags[] = {"width", "height"};
//     };
//
// Nested records are shipped the same way: ship(m_mainSize, "size") gives an
// XMLAssemblyProxy that writes the member under the tag "size"; lists and maps
// are members of type XMLList<V> or a class derived from XMLKeyedMap<K, V>
// (or any XMLArray / XMLMap of your own) and are shipped with ship() too.
// Leaves: short, String, bool, Guid, double and every enumeration with an
// XMLEnumTable (Status, ...); other value types either specialise
// XMLValueText<T> or derive a leaf from XMLUnit and are shipped with ship() as
// well (an XMLUnit member is forwarded through XMLUnitProxy). shipIf(false,
// ...) leaves a member out of the written text.
//
// Writing and reading:
//     DataBufferOut out(&file);
//     XMLWriter(&out).exportFrom(prefs, true, true, true, true);
//     DataBufferIn in(&file, Encoding::UTF8);
//     XMLReader reader(&in);
//     if (!reader.importTo(prefs))
//         report(reader.getRowPosition(), reader.getColPosition());

#include "Serialise/Map.h"
#include "Serialise/Shipping.h"
#include "Serialise/Status.h"
#include "Serialise/XMLList.h"
#include "Serialise/XMLProxy.h"
#include "Serialise/XMLShipping.h"
#include "Serialise/XMLTypeProxy.h"

#endif
