// store-write-bench: how long the local network's thread is held by putting a
// new version of a file in place over the old one, on the disk under a chosen
// folder (default: the system's temporary folder). First the plain way (write
// a side file, rename it over the old one), then through the store, whose
// flusher thread holds the old file open so that freeing its blocks happens
// there. A pause between writes lets the disk take what was written, as the
// server's writes are spread out between messages.
//
//   store-write-bench [--folder DIR] [--writes N] [--bytes B] [--pause MS]

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "server/core/Store.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    QString folder = QDir::tempPath();
    int writes = 1000;
    int bytes = 64 * 1024;
    int pauseMs = 2;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--folder")
            options.folder = QString::fromLocal8Bit(value);
        else if (arg == "--writes")
            options.writes = std::atoi(value);
        else if (arg == "--bytes")
            options.bytes = std::atoi(value);
        else if (arg == "--pause")
            options.pauseMs = std::atoi(value);
        else
            return false;
    }
    return options.writes > 0 && options.bytes > 0 && options.pauseMs >= 0;
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double>& times) {
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) { return times[std::min(times.size() - 1, size_t(q * times.size()))]; };
    std::printf("%-34s %6zu %9.3f %9.3f %9.3f\n", what, times.size(), at(0.5), at(0.99), times.back());
}

// The side file's write is the same either way; only the step that replaces
// the old file is timed, as that is where freeing the old blocks can wait.
bool PlainReplace(const QString& path, const QByteArray& bytes, double& replaceMs) {
    const QByteArray side = QFile::encodeName(path + ".side");
    const int fd = ::open(side.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    if (!written) return false;
    const auto start = Clock::now();
    const bool renamed = std::rename(side.constData(), QFile::encodeName(path).constData()) == 0;
    replaceMs = Milliseconds(Clock::now() - start);
    return renamed;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: store-write-bench [--folder DIR] [--writes N] [--bytes B] [--pause MS]\n");
        return 2;
    }
    QTemporaryDir dir(options.folder + "/store-write-bench-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a folder under %s\n", qPrintable(options.folder));
        return 1;
    }
    const QByteArray bytes(options.bytes, 'x');
    const auto pause = std::chrono::milliseconds(options.pauseMs);
    std::printf("%d writes of %d bytes over the same file, %d ms apart, under %s\n", options.writes,
                options.bytes, options.pauseMs, qPrintable(options.folder));
    std::printf("%-34s %6s %9s %9s %9s\n", "replacing the old file", "count", "p50 ms", "p99 ms",
                "max ms");

    std::vector<double> plain;
    const QString plainPath = dir.path() + "/plain";
    for (int i = 0; i < options.writes; ++i) {
        double ms = 0;
        if (!PlainReplace(plainPath, bytes, ms)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(plainPath));
            return 1;
        }
        plain.push_back(ms);
        std::this_thread::sleep_for(pause);
    }
    Report("rename over it", plain);

    localnet::Store store(dir.path() + "/store");
    QString error;
    if (!store.Load(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The whole call is timed here, side file included, so this column is an
    // upper bound for the step it replaces.
    std::vector<double> released;
    for (int i = 0; i < options.writes; ++i) {
        const auto start = Clock::now();
        if (!store.WriteFile("file", bytes)) {
            std::fprintf(stderr, "the store could not write its file\n");
            return 1;
        }
        released.push_back(Milliseconds(Clock::now() - start));
        std::this_thread::sleep_for(pause);
    }
    Report("store write (whole call)", released);
    store.FlushNow();
    return 0;
}
