// orvan-startup-bench [RUNS]: the whole orvanctl process against a bare
// pugixml program (orvan-bare-list) doing the same listing, on a 60-byte
// feed and on a generated 10,000-post feed. Both programs are started in
// turn, so a busy machine slows both alike; the figures are medians, and
// the ratio is the result, measured in this one run.
#include "feedgenerator.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

double NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Times {
    // From start to exit.
    double wall;
    // Processor time, user and system: what a busy machine changes least.
    double cpu;
};

// Milliseconds of one process, its output discarded; wall -1 when it could
// not run or failed.
Times RunOnce(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const double start = NowMs();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {-1, -1};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double elapsed = NowMs() - start;
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, -1};
    return {elapsed, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Pair {
    Times ours;
    Times bare;
};

Pair Compare(const std::vector<std::string>& ours, const std::vector<std::string>& bare, int runs) {
    std::vector<double> wallA, wallB, cpuA, cpuB;
    // One of each first, unmeasured: the file and the programs in the cache.
    RunOnce(ours);
    RunOnce(bare);
    for (int i = 0; i < runs; ++i) {
        const Times a = RunOnce(ours);
        const Times b = RunOnce(bare);
        if (a.wall < 0 || b.wall < 0)
            return {{-1, -1}, {-1, -1}};
        wallA.push_back(a.wall);
        wallB.push_back(b.wall);
        cpuA.push_back(a.cpu);
        cpuB.push_back(b.cpu);
    }
    return {{Median(wallA), Median(cpuA)}, {Median(wallB), Median(cpuB)}};
}

void Print(const char* what, const Pair& pair) {
    std::printf(
        "  %s  wall %6.2f ms vs %6.2f ms = %.2fx   processor %6.2f ms vs %6.2f ms = %.2fx\n", what,
        pair.ours.wall, pair.bare.wall, pair.ours.wall / pair.bare.wall, pair.ours.cpu,
        pair.bare.cpu, pair.ours.cpu / pair.bare.cpu);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    QTemporaryDir dir;
    const std::string tiny = dir.filePath(QStringLiteral("tiny.xml")).toStdString();
    const std::string large = dir.filePath(QStringLiteral("feed10k.xml")).toStdString();
    {
        QFile file(QString::fromStdString(tiny));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("<rss><channel><item><title>a</title></item></channel></rss>\n") < 0)
            return 1;
    }
    {
        QFile file(QString::fromStdString(large));
        if (!file.open(QIODevice::WriteOnly) || file.write(GenerateFeed(10000)) < 0)
            return 1;
    }
    const std::string orvanctl = ORVANCTL_PATH;
    const std::string bare = BARE_LIST_PATH;
    const Pair small = Compare({orvanctl, "count", tiny}, {bare, tiny}, runs);
    const Pair list = Compare({orvanctl, "list", large}, {bare, large}, runs);
    if (small.ours.wall < 0 || list.ours.wall < 0) {
        std::fprintf(stderr, "orvan-startup-bench: a program failed\n");
        return 1;
    }
    std::printf("whole processes, orvanctl vs a bare pugixml program, median of %d runs each, "
                "taken in turn\n",
                runs);
    Print("count, 60-byte feed:      ", small);
    Print("list, 10,000-post feed:   ", list);
    return 0;
}
