#ifndef VANTORIX_BENCH_BENCHTEXT_H
#define VANTORIX_BENCH_BENCHTEXT_H

#include <QByteArray>

// Deterministic text that deflates about as well as source code does.
inline QByteArray makeText(int size, unsigned seed)
{
    static const char* const words[] = {"install", "archive", "vantorix", "tool",  "bundle", "library",
                                        "host",    "version", "manifest", "entry", "folder", "file",
                                        "(",       ")",       "{",        "}",     ";",      "\n"};
    QByteArray text;
    text.reserve(size + 16);
    unsigned state = seed * 2654435761u + 1;
    while (text.size() < size) {
        state = state * 1103515245u + 12345u;
        text += words[(state >> 16) % (sizeof words / sizeof *words)];
        if ((state >> 8) % 7 == 0)
            text += QByteArray::number(state % 100000);
        text += ' ';
    }
    text.resize(size);
    return text;
}

#endif
