#ifndef VANTORIX_TESTS_FUZZ_XMLFUZZTARGET_H
#define VANTORIX_TESTS_FUZZ_XMLFUZZTARGET_H

// One input of the XML fuzz target: arbitrary bytes are read into a record
// with nested records, a list, a map, a list of plain values and every leaf
// kind. Whatever is read must write out and read back to the same text.

#include "../Serialise/TestRecords.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <cstddef>
#include <cstdint>

namespace xmlfuzz {

inline bool readInto(testrecords::Catalogue& record, const QByteArray& bytes)
{
    vantorix::DataBufferIn in;
    in.setSource(bytes, vantorix::Encoding::UTF8);
    vantorix::XMLReader reader(&in);
    const bool ok = reader.importTo(record);
    // The failure position must be somewhere within the text.
    if (reader.getRowPosition() < 1 || reader.getColPosition() < 0)
        __builtin_trap();
    return ok;
}

inline QByteArray writeOut(testrecords::Catalogue& record)
{
    vantorix::MemoryBlock block;
    {
        vantorix::DataBufferOut out(&block);
        if (!vantorix::XMLWriter(&out).exportFrom(record, true, true, true, true))
            return QByteArray();
    }
    return block.get();
}

// Returns false when a property does not hold.
inline bool runOne(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    testrecords::Catalogue first;
    if (!readInto(first, input))
        return true; // rejected input: only crashes and leaks matter
    const QByteArray text = writeOut(first);
    if (text.isEmpty())
        return true; // an enumeration out of range cannot be written, by design
    testrecords::Catalogue second;
    if (!readInto(second, text))
        return false;
    return writeOut(second) == text;
}

} // namespace xmlfuzz

#endif
