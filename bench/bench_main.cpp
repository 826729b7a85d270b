// orvan-bench [POSTS...]: times the feed model on generated feeds of 1,000,
// 10,000 and 100,000 posts (or the sizes given) and prints the figures, with
// bare pugixml's load and walk of the same file as the baseline.
#include "feed/postlisting.h"
#include "feed/rssfeed.h"
#include "feedgenerator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Best of a few runs, in milliseconds.
double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
long StatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Processor time of this thread, in milliseconds: what time other programs
// take from a busy machine does not count.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The best wall time and the best processor time of the runs so far.
struct Best {
    double wall = 1e300;
    double cpu = 1e300;
    void Run(const std::function<void()>& work) {
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMs();
        timer.start();
        work();
        wall = std::min(wall, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        cpu = std::min(cpu, ThreadCpuMs() - cpuStart);
    }
};

volatile size_t g_sink = 0;

void BareWalk(const QString& path) {
    pugi::xml_document doc;
    doc.load_file(path.toLocal8Bit().constData());
    size_t total = 0;
    for (pugi::xml_node item : doc.child("rss").child("channel").children("item")) {
        total += std::strlen(item.child_value("title")) + std::strlen(item.child_value("pubDate")) +
                 std::strlen(item.child_value("link"));
    }
    g_sink = g_sink + total;
}

// What orvanctl list does after loading: one line per post.
QByteArray ListLines(const CRssFeed& feed) {
    return FormatPostList(feed, PostOrder::ByPosition, QString());
}

// Peak resident memory above the starting point, in kilobytes, of one kind
// of work on a file, measured in a fresh process so that nothing an earlier
// run left in the heap hides it.
long PeakKb(const char* mode, const QString& path) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const QByteArray file = path.toLocal8Bit();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/proc/self/exe", "orvan-bench", "--peak", mode, file.constData(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[64] = {};
    const ssize_t n = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    return n > 0 ? std::atol(text) : -1;
}

// The child's side of PeakKb.
int RunPeak(const char* mode, const char* path) {
    const long start = StatusKb("VmRSS");
    const QString file = QString::fromLocal8Bit(path);
    if (std::strcmp(mode, "bare") == 0) {
        BareWalk(file);
    } else {
        CRssFeed feed;
        feed.LoadFile(file);
        g_sink = g_sink + ListLines(feed).size();
        g_sink = g_sink + feed.SortedIndices(PostOrder::ByTitle).size();
        g_sink = g_sink + feed.SortedIndices(PostOrder::ByDate).size();
    }
    std::printf("%ld\n", StatusKb("VmHWM") - start);
    return 0;
}

void RunSize(int posts) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("feed.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(GenerateFeed(posts)) < 0) {
            std::fprintf(stderr, "orvan-bench: cannot write %s\n", qPrintable(path));
            return;
        }
    }
    const double sizeMb = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);
    const int runs = posts >= 100000 ? 10 : 25;

    // The baseline and the model take turns, so a busy machine slows both
    // alike; each keeps its best run.
    Best bare;
    Best load;
    Best loadAndList;
    for (int i = 0; i < runs; ++i) {
        bare.Run([&] { BareWalk(path); });
        load.Run([&] {
            CRssFeed feed;
            feed.LoadFile(path);
        });
        loadAndList.Run([&] {
            CRssFeed feed;
            feed.LoadFile(path);
            g_sink = g_sink + ListLines(feed).size();
        });
    }
    CRssFeed feed;
    feed.LoadFile(path);
    const double list = BestMs(runs, [&] { g_sink = g_sink + ListLines(feed).size(); });
    const double byTitle =
        BestMs(runs, [&] { g_sink = g_sink + feed.SortedIndices(PostOrder::ByTitle).size(); });
    const double byDate =
        BestMs(runs, [&] { g_sink = g_sink + feed.SortedIndices(PostOrder::ByDate).size(); });
    const double filter = BestMs(runs, [&] {
        g_sink =
            g_sink + FormatPostList(feed, PostOrder::ByPosition, QStringLiteral("Linux")).size();
    });
    const double setField = BestMs(
        runs, [&] { feed.SetTitle(feed.GetPostCount() - 1, QStringLiteral("Changed title")); });
    const QString savePath = dir.filePath(QStringLiteral("saved.xml"));
    const double save = BestMs(runs, [&] { feed.SaveFile(savePath); });

    const long fileKb = static_cast<long>(QFile(path).size() / 1024);
    const long barePeak = PeakKb("bare", path);
    const long ourPeak = PeakKb("feed", path);

    std::printf("\n%d posts, file %.1f MB\n", posts, sizeMb);
    std::printf("  bare pugixml load + walk  %9.2f ms  (baseline; processor %.2f ms)\n", bare.wall,
                bare.cpu);
    std::printf("  load                      %9.2f ms\n", load.wall);
    std::printf("  list titles and dates     %9.2f ms\n", list);
    std::printf("  load + list (orvanctl list) %7.2f ms  %.2fx baseline"
                " (processor %.2f ms, %.2fx)\n",
                loadAndList.wall, loadAndList.wall / bare.wall, loadAndList.cpu,
                loadAndList.cpu / bare.cpu);
    std::printf("  sort by title             %9.2f ms  %.2f of load\n", byTitle,
                byTitle / load.wall);
    std::printf("  sort by date              %9.2f ms  %.2f of load\n", byDate, byDate / load.wall);
    std::printf("  filter titles             %9.2f ms\n", filter);
    std::printf("  set title of last post    %9.3f ms\n", setField);
    std::printf("  save                      %9.2f ms\n", save);
    std::printf("  peak memory (load, list, sorts) %ld KB = %.2fx file size"
                " (bare pugixml %ld KB = %.2fx)\n",
                ourPeak, static_cast<double>(ourPeak) / static_cast<double>(fileKb), barePeak,
                static_cast<double>(barePeak) / static_cast<double>(fileKb));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0)
        return RunPeak(argv[2], argv[3]);
    // glibc moves its mmap and trim thresholds with the sizes freed so far, so
    // whether a run gets warm heap memory or fresh pages (a page fault costs
    // tens of microseconds on a virtual machine) depended on which sizes ran
    // before; the baseline swung tenfold that way. Fixed thresholds give both
    // sides the same reused memory.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 10000, 100000};
    for (int posts : sizes) {
        if (posts > 0)
            RunSize(posts);
    }
    return 0;
}
