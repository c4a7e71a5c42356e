#ifndef VANTORIX_TESTS_COMMON_CLIRUN_H
#define VANTORIX_TESTS_COMMON_CLIRUN_H

// Runs the command line in this process, with its input, output and errors
// in memory.

#include "cli/CommandLine.h"

#include <QBuffer>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result runCli(const QStringList& arguments, const QByteArray& input = QByteArray())
{
    QByteArray inputBytes = input;
    QBuffer in(&inputBytes);
    in.open(QIODevice::ReadOnly);
    Result result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    installer::CommandLine commandLine(&in, out, err);
    result.code = commandLine.run(arguments);
    out.flush();
    err.flush();
    return result;
}

} // namespace

#endif
