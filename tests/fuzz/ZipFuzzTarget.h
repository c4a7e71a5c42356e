#ifndef VANTORIX_TESTS_FUZZ_ZIPFUZZTARGET_H
#define VANTORIX_TESTS_FUZZ_ZIPFUZZTARGET_H

// One input of the zip fuzz target: arbitrary bytes are written to a scratch
// file and read as a zip archive, every entry into memory and streamed to a
// buffer. Whatever is handed out must have a safe path, and both ways of
// reading an entry must agree.

#include "Utility/ZipArchive.h"

#include <QBuffer>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace zipfuzz {

// Entries looked at per input, so that a central directory of many tiny
// records does not make one input take seconds.
const unsigned maxEntries = 4096;
// Inflated bytes allowed per entry.
const qint64 entryLimit = 1 << 22;

// Returns false when a property does not hold.
inline bool runOne(const std::uint8_t* data, std::size_t size, const QString& scratchPath)
{
    {
        QFile scratch(scratchPath);
        if (!scratch.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        if (scratch.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size))
            != static_cast<qint64>(size))
            return false;
    }
    vantorix::ZipArchive zip{vantorix::String(scratchPath)};
    zip.setEntryLimit(entryLimit);
    const unsigned count = zip.getEntryCount();
    if (count == 0)
        return zip.getEntry(0) == nullptr;
    for (unsigned i = 0; i < count && i < maxEntries; ++i) {
        const auto entry = zip.getEntry(i);
        if (!entry) {
            // Only an entry stored without a name is not handed out.
            if (!zip.getEntryPath(i).empty())
                return false;
            continue;
        }
        const QByteArray name = entry->getPath().toByteArray();
        if (name.isEmpty() || !vantorix::ZipArchive::isSafeName(name))
            return false;
        if (entry->isDirectory()) {
            if (entry->getData())
                return false;
            continue;
        }
        QBuffer streamed;
        streamed.open(QIODevice::WriteOnly);
        const bool read = zip.readEntry(i, streamed, entryLimit);
        if (read != bool(entry->getData()))
            return false;
        if (read && streamed.data() != entry->getData()->get())
            return false;
    }
    return zip.getEntry(count) == nullptr;
}

} // namespace zipfuzz

#endif
