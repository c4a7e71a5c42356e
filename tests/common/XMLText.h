#ifndef VANTORIX_TESTS_COMMON_XMLTEXT_H
#define VANTORIX_TESTS_COMMON_XMLTEXT_H

#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <QByteArray>

// Records written to and read from XML text, for the tests of every area.
namespace testrecords {

inline QByteArray writeXML(vantorix::XMLShipping& root, bool declaration = true, bool tabs = true,
                           bool lineFeeds = true, bool nameSpaces = true, bool* ok = nullptr)
{
    vantorix::MemoryBlock block;
    bool result;
    {
        vantorix::DataBufferOut out(&block);
        result = vantorix::XMLWriter(&out).exportFrom(root, declaration, tabs, lineFeeds, nameSpaces);
    }
    if (ok != nullptr)
        *ok = result;
    return block.get();
}

struct ReadResult {
    bool ok = false;
    int row = 0;
    int column = 0;
};

inline ReadResult readXML(vantorix::XMLShipping& root, const QByteArray& text)
{
    vantorix::DataBufferIn in;
    in.setSource(text, vantorix::Encoding::UTF8);
    vantorix::XMLReader reader(&in);
    ReadResult result;
    result.ok = reader.importTo(root);
    result.row = reader.getRowPosition();
    result.column = reader.getColPosition();
    return result;
}

// The text of root with declaration, tabs and line feeds; "write failed"
// when the writer fails.
inline QByteArray writeText(vantorix::XMLShipping& root)
{
    bool ok = false;
    const QByteArray text = writeXML(root, true, true, true, true, &ok);
    return ok ? text : QByteArray("write failed");
}

inline bool readText(vantorix::XMLShipping& root, const QByteArray& text)
{
    return readXML(root, text).ok;
}

} // namespace testrecords

#endif
