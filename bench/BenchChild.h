#ifndef VANTORIX_BENCH_BENCHCHILD_H
#define VANTORIX_BENCH_BENCHCHILD_H

// Runs a benchmark's step as a child process of its own, so that its time and
// peak resident memory are its own, and keeps the best of a few rounds.

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace {

struct Figure {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

Figure runChild(const QStringList& arguments)
{
    QElapsedTimer clock;
    const pid_t pid = ::fork();
    if (pid == 0) {
        QByteArrayList bytes;
        for (const QString& argument : arguments)
            bytes << QFile::encodeName(argument);
        std::vector<char*> argv;
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    clock.start();
    int status = 0;
    rusage usage = {};
    ::wait4(pid, &status, 0, &usage);
    Figure figure;
    figure.seconds = clock.nsecsElapsed() / 1e9;
    figure.peakKiB = usage.ru_maxrss;
    figure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figure;
}

Figure best(int rounds, const std::function<void()>& prepare, const std::function<Figure()>& run)
{
    Figure result;
    for (int round = 0; round < rounds; ++round) {
        prepare();
        const Figure figure = run();
        if (!figure.ok)
            return figure;
        if (round == 0 || figure.seconds < result.seconds)
            result = figure;
        result.peakKiB = qMax(result.peakKiB, figure.peakKiB);
    }
    return result;
}

} // namespace

#endif
