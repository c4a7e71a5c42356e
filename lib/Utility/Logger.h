#ifndef VANTORIX_UTILITY_LOGGER_H
#define VANTORIX_UTILITY_LOGGER_H

#include "Utility/String.h"

#include <QStringList>

namespace vantorix {

// The program's diagnostic log: time-stamped lines, indented by nested
// blocks, kept in memory and written once, at shut-down, by appending to a
// log file. A file grown above the limit is first cut down to its last part
// (half the limit, at most 2 MiB). The lines kept in memory are capped at
// the limit too (never below memoryFloor characters): past it the oldest
// lines go, and the first line then says how many. Static members only;
// used from the GUI thread.
class Logger {
public:
    static constexpr qint64 defaultMaxSize = 4194304;
    static constexpr qint64 retainedTail = 2097152;
    static constexpr qint64 memoryFloor = 65536;

    static void initialise(qint64 maxSize);
    static void write(const String& text);
    // Writes "-------- <title>" and indents the lines that follow.
    static void startBlock(const String& title);
    static void endBlock();
    // Appends the lines to the file at path (trimming it first when it is
    // larger than the limit) and re-initialises the logger. The in-memory
    // lines are dropped even when the file cannot be written. False when they
    // could not be written; a failed write leaves the old file as it was.
    static bool flush(const String& path);

    // The lines written since the last initialise or flush, oldest first.
    static const QStringList& lines() { return log; }
    static short depth() { return indentCount; }
    static qint64 limit() { return maxSize; }

private:
    static void keepWithinMemory();

    static QStringList log;
    static short indentCount;
    static qint64 maxSize;
    // The characters held in log (each line counted with its line feed), and
    // how many of the oldest lines were dropped to stay within the cap.
    static qint64 logSize;
    static qint64 droppedLines;
};

} // namespace vantorix

#endif
