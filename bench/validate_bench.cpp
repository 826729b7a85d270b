// orvan-validate-bench [ORVANCTL]: how long validating a feed takes next to
// loading it. Two figures, each a ratio measured in the same run:
//   - in process, loading and validating a 10,000-post feed against loading
//     it alone (what orvanctl count does);
//   - whole processes, `orvanctl validate` against `orvanctl count` on a
//     4,500-post feed, start-up and output included.
//   - the Problems pane's print of a 100,000-post feed on the window's thread,
//     in slices: the longest slice (what the window waits at most) and the
//     whole print, against one print in a piece (what a save does).
// The generated feeds carry a finding or two in every post (addresses without
// names, weekdays that do not match their dates), so the findings' cost is
// part of the figure.
#include "feed/feedprintjob.h"
#include "feed/rssfeed.h"
#include "feedgenerator.h"
#include "platform/readfile.h"
#include "validate/feedvalidator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double Ms(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

bool WriteFeed(const QString& path, int posts) {
    QFile file(path);
    const QByteArray bytes = GenerateFeed(posts);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

volatile size_t g_sink = 0;

// Load alone, and load + validate as orvanctl validate does it (the file
// read once, the tree loaded from those bytes, which then give the lines and
// columns); the two take turns and each keeps its best run.
void InProcess(const QString& path, int posts, int runs) {
    double load = 1e300;
    double validate = 1e300;
    size_t findings = 0;
    for (int i = 0; i < runs; ++i) {
        load = std::min(load, Ms([&] {
                            CRssFeed feed;
                            feed.LoadFile(path);
                            g_sink = g_sink + static_cast<size_t>(feed.GetPostCount());
                        }));
        validate = std::min(validate, Ms([&] {
                                FileBytes file;
                                QString error;
                                ReadRegularFile(path, 0, file, error);
                                const QByteArray bytes = QByteArray::fromRawData(
                                    file.data.get(), static_cast<qsizetype>(file.size));
                                CRssFeed feed;
                                feed.LoadFromMemory(bytes);
                                const std::vector<Finding> found = ValidateLoadedFeed(feed, bytes);
                                findings = found.size();
                            }));
    }
    std::printf("%d posts, %zu findings, in process (best of %d)\n", posts, findings, runs);
    std::printf("  load (orvanctl count)     %9.2f ms  (baseline)\n", load);
    std::printf("  load + validate           %9.2f ms  %.2fx baseline (at most 3x)\n", validate,
                validate / load);
}

double ProcessMs(const QString& program, const QStringList& args) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    process.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void WholeProcess(const QString& orvanctl, const QString& path, int posts, int runs) {
    double count = 1e300;
    double validate = 1e300;
    for (int i = 0; i < runs; ++i) {
        count = std::min(count, ProcessMs(orvanctl, {QStringLiteral("count"), path}));
        validate = std::min(validate, ProcessMs(orvanctl, {QStringLiteral("validate"), path}));
    }
    std::printf("%d posts, whole processes (best of %d)\n", posts, runs);
    std::printf("  orvanctl count            %9.2f ms  (baseline)\n", count);
    std::printf("  orvanctl validate         %9.2f ms  %.2fx baseline (at most 2x)\n", validate,
                validate / count);
}

void SlicedPrint(int posts, int runs) {
    CRssFeed feed;
    if (!feed.LoadFromMemory(GenerateFeed(posts))) {
        std::fprintf(stderr, "orvan-validate-bench: the generated feed does not load\n");
        return;
    }
    double whole = 1e300;
    double sliced = 1e300;
    double longest = 0;
    // The same in processor time: on a busy machine the wall clock also
    // counts the time other programs had the processor.
    double longestCpu = 0;
    double finish = 1e300;
    size_t slices = 0;
    qsizetype size = 0;
    for (int i = 0; i < runs; ++i) {
        whole = std::min(whole, Ms([&] { size = feed.SaveToMemory().size(); }));
        std::vector<std::string> parts;
        FeedFileForm form;
        double longestHere = 0;
        const double total = Ms([&] {
            FeedPrintJob job(feed);
            form = job.Form();
            DocumentPrinter::Step step = DocumentPrinter::Step::More;
            while (step == DocumentPrinter::Step::More) {
                parts.emplace_back();
                const double cpuBefore = ThreadCpuMs();
                longestHere = std::max(
                    longestHere, Ms([&] { step = job.PrintFor(parts.back(), kPrintSliceNs); }));
                longestCpu = std::max(longestCpu, ThreadCpuMs() - cpuBefore);
            }
        });
        slices = parts.size();
        sliced = std::min(sliced, total);
        // The longest slice of any run: that is what the window may wait.
        longest = std::max(longest, longestHere);
        finish = std::min(finish, Ms([&] {
                              g_sink = g_sink +
                                       static_cast<size_t>(FeedBytesFromText(parts, form).size());
                          }));
    }
    std::printf("%d posts, %.1f MB, the Problems pane's print (best of %d)\n", posts,
                static_cast<double>(size) / 1e6, runs);
    std::printf("  one print (a save)        %9.2f ms  (baseline)\n", whole);
    std::printf("  %5zu slices, in all       %9.2f ms  %.2fx baseline\n", slices, sliced,
                sliced / whole);
    std::printf(
        "  longest slice             %9.2f ms  %.3fx baseline (the window's longest wait)\n",
        longest, longest / whole);
    std::printf("  longest slice, CPU time   %9.2f ms  %.3fx baseline\n", longestCpu,
                longestCpu / whole);
    std::printf("  bytes from the parts      %9.2f ms  %.2fx baseline (on the worker)\n", finish,
                finish / whole);
}

} // namespace

int main(int argc, char** argv) {
    const QString orvanctl =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ORVANCTL_PATH);
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("10000.xml"));
    const QString medium = dir.filePath(QStringLiteral("4500.xml"));
    if (!WriteFeed(large, 10000) || !WriteFeed(medium, 4500)) {
        std::fprintf(stderr, "orvan-validate-bench: cannot write the feeds\n");
        return 1;
    }
    InProcess(large, 10000, 15);
    std::printf("\n");
    WholeProcess(orvanctl, medium, 4500, 15);
    std::printf("\n");
    SlicedPrint(100000, 3);
    return 0;
}
