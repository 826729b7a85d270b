// orvan-editor-bench [POSTS] [open|typing|post]: the editor with a large feed and
// a large post, offscreen. Prints, as ratios against figures measured in the
// same run:
// - the time from opening a feed of POSTS posts (100,000 by default) until
//   the list shows, and until the first post is shown and editable, against
//   the whole `orvanctl list` of the same file;
// - the peak memory of the program and all its child processes (renderer,
//   GPU, utility) against the size of the file. "Together" counts every
//   page in memory once: the resident pages of all the processes, told
//   apart by physical frame (/proc/PID/pagemap, which needs root), so a
//   page several of them map (the web engine's library, the zygote's pages)
//   counts once, and in full even when programs outside the tree map it too.
//   Sampled every 50 ms from a second opening of the file (the first is
//   timed) until its first post has been shown for 2 s; the largest sample
//   is the peak. Without root, the sum of the
//   processes' proportional set sizes (PSS) stands in: it splits shared
//   pages with every other program that maps them, so it varies with what
//   else runs;
// - the processor time per keystroke typed into a 1 MB post against a small
//   one, and the same for a bare web view holding the post, which shows what
//   the web engine itself costs.
// - the time from opening a feed of one post until it takes keys, for a
//   small post, a 1 MB post on one line and a 1 MB post with a line break
//   after each paragraph.
// "open" measures only the first two, "typing" only the typing in the
// editor, "post" only the opening of one post: quicker when comparing
// changes.
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "feed/postfooter.h"
#include "feed/rssfeed.h"
#include "feedgenerator.h"
#include "htmlui/htmlsurface.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postsbarcommands.h"
#include "postsbar/postslistmodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Asks nothing: every question is answered "don't save".
class QuietUi final : public DesktopUiServices {
public:
    SaveAnswer AskSaveChanges(const QString&) override { return SaveAnswer::Discard; }
    void ShowError(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

QByteArray ReadProc(qint64 pid, const char* name) {
    QFile file(u"/proc/%1/%2"_s.arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/PID/stat after the command's closing parenthesis.
QList<QByteArray> StatFields(qint64 pid) {
    const QByteArray stat = ReadProc(pid, "stat");
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ');
}

// A "Name: value kB" line of a /proc file, in kB.
qint64 ProcKb(qint64 pid, const char* file, const QByteArray& name) {
    for (const QByteArray& line : ReadProc(pid, file).split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// This process and every process it started, however deep.
QList<qint64> ProcessTree() {
    const qint64 self = getpid();
    QHash<qint64, qint64> parents;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && pid != self)
            parents.insert(pid, StatFields(pid).value(1).toLongLong());
    }
    QList<qint64> tree{self};
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        for (qint64 up = it.value(); up > 1; up = parents.value(up, 0)) {
            if (up == self) {
                tree.append(it.key());
                break;
            }
        }
    }
    return tree;
}

// Processor time of each process of the tree, in clock ticks (utime + stime).
QHash<qint64, qint64> TreeTicks() {
    QHash<qint64, qint64> ticks;
    for (qint64 pid : ProcessTree()) {
        const QList<QByteArray> fields = StatFields(pid);
        if (fields.size() > 13)
            ticks.insert(pid, fields.at(11).toLongLong() + fields.at(12).toLongLong());
    }
    return ticks;
}

// The ticks spent since before, by processes alive now (one that ended
// meanwhile, such as the renderer of a closed window, takes its own along).
qint64 TicksSince(const QHash<qint64, qint64>& before) {
    const QHash<qint64, qint64> now = TreeTicks();
    qint64 spent = 0;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        spent += it.value() - before.value(it.key(), 0);
    return spent;
}

// The pages of a process that are in memory now, by physical frame number,
// added to frames; false when the frame numbers cannot be read (they need
// CAP_SYS_ADMIN). Only mappings with resident pages are looked at: the web
// engine reserves many gigabytes of address space it never touches.
bool AddResidentFrames(qint64 pid, std::vector<quint64>& frames) {
    QFile pagemap(u"/proc/%1/pagemap"_s.arg(pid));
    if (!pagemap.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const qint64 pageSize = sysconf(_SC_PAGESIZE);
    bool framesKnown = false;
    quint64 start = 0;
    quint64 end = 0;
    for (const QByteArray& line : ReadProc(pid, "smaps").split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        if (dash > 0 && space > dash && !line.startsWith("VmFlags")) {
            bool ok1 = false;
            bool ok2 = false;
            const quint64 s = line.left(dash).toULongLong(&ok1, 16);
            const quint64 e = line.mid(dash + 1, space - dash - 1).toULongLong(&ok2, 16);
            if (ok1 && ok2) {
                start = s;
                end = e;
                continue;
            }
        }
        if (!line.startsWith("Rss:") || line.mid(4).trimmed().split(' ').value(0).toLongLong() == 0)
            continue;
        const qint64 pages = qint64(end - start) / pageSize;
        QByteArray entries(pages * 8, Qt::Uninitialized);
        if (!pagemap.seek(qint64(start / pageSize) * 8) ||
            pagemap.read(entries.data(), entries.size()) != entries.size())
            continue;
        for (qint64 i = 0; i < pages; ++i) {
            quint64 entry = 0;
            std::memcpy(&entry, entries.constData() + i * 8, 8);
            if (!(entry >> 63))
                continue;
            const quint64 frame = entry & ((quint64(1) << 55) - 1);
            framesKnown = framesKnown || frame != 0;
            frames.push_back(frame);
        }
    }
    return framesKnown;
}

// The most memory the process tree held at once, sampled while it runs. A
// page in memory counts once however many of the processes map it, and in
// full, whether or not processes outside the tree (another program using the
// same libraries) map it too: what the program would hold on its own. Where
// frame numbers cannot be read, the sum of proportional set sizes stands in.
class MemoryPeak final {
public:
    // Samples on a thread of its own, so the program's own thread is not held up.
    MemoryPeak()
        : m_thread([this] {
              while (!m_stop) {
                  sample();
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~MemoryPeak() { stop(); }
    void sample() {
        std::vector<quint64> frames;
        qint64 pssKb = 0;
        qint64 programKb = 0;
        bool framesKnown = true;
        for (qint64 pid : ProcessTree()) {
            pssKb += ProcKb(pid, "smaps_rollup", "Pss:");
            const size_t before = frames.size();
            framesKnown = AddResidentFrames(pid, frames) && framesKnown;
            if (pid == getpid())
                programKb = qint64(frames.size() - before) * sysconf(_SC_PAGESIZE) / 1024;
        }
        std::sort(frames.begin(), frames.end());
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        const qint64 totalKb =
            framesKnown ? qint64(frames.size()) * sysconf(_SC_PAGESIZE) / 1024 : pssKb;
        m_byFrames = framesKnown;
        if (totalKb > m_peakKb) {
            m_peakKb = totalKb;
            m_programKb = framesKnown ? programKb : ProcKb(getpid(), "smaps_rollup", "Pss:");
        }
    }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    qint64 peakKb() const { return m_peakKb; }
    qint64 programAtPeakKb() const { return m_programKb; }
    bool byFrames() const { return m_byFrames; }

private:
    qint64 m_peakKb = 0;
    qint64 m_programKb = 0;
    bool m_byFrames = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A feed of one post with the given description.
QByteArray OnePostFeed(const QString& html) {
    QString body = html;
    EscapeForXml(body);
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
            u"<title>t</title><item><title>Long</title><description>"_s +
            body + u"</description></item></channel></rss>\n"_s)
        .toUtf8();
}

double Best(int runs, const std::function<qint64()>& once) {
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        const qint64 t = once();
        if (best < 0 || t < best)
            best = t;
    }
    return double(best);
}

// Waits until the editor of the active window shows its post and takes keys.
void WaitForPost(CMainFrame& frame) {
    CRSSEditView* view = frame.activeChildFrame()->view();
    view->waitUntilLoaded();
    view->surface()->flush();
}

struct TypingFigures {
    // Processor time of the whole process tree, in clock ticks: per key
    // while typing, and once for storing the post when typing pauses.
    double perKey = 0;
    double store = 0;
    // Wall time from opening the feed until its post is shown and takes keys.
    double shownMs = 0;
};

// Types at the end of the post of the feed at path, at a brisk typist's pace,
// in a few bursts; between them the editor stores the post, as it does when
// typing pauses. The least of the bursts counts: the machine may be busy.
TypingFigures MeasureTyping(CMainFrame& frame, const QString& path, int keys, int bursts) {
    QElapsedTimer shown;
    shown.start();
    frame.openDocumentFile(path);
    WaitForPost(frame);
    const double shownMs = double(shown.elapsed());
    CRSSEditView* view = frame.activeChildFrame()->view();
    QWidget* target = view->surface()->view()->focusProxy();
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(target->width() / 2, 200));
    QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
    QTest::qWait(1500);
    TypingFigures figures;
    figures.shownMs = shownMs;
    for (int burst = 0; burst < bursts; ++burst) {
        QHash<qint64, qint64> before = TreeTicks();
        for (int i = 0; i < keys; ++i) {
            QTest::keyClick(target, char('a' + i % 26));
            QTest::qWait(40);
        }
        // Less than the pause after which the editor stores the post.
        QTest::qWait(200);
        const double perKey = double(TicksSince(before)) / keys;
        before = TreeTicks();
        QTest::qWait(2500);
        const double store = double(TicksSince(before));
        if (burst == 0 || perKey < figures.perKey)
            figures.perKey = perKey;
        if (burst == 0 || store < figures.store)
            figures.store = store;
    }
    // Every key must have reached the post, or the figures mean nothing.
    view->SyncWithPage();
    QString typed;
    for (int i = 0; i < keys; ++i)
        typed += QLatin1Char(char('a' + i % 26));
    const QString stored = frame.activeChildFrame()->document()->GetFeed().GetDescription(0);
    if (stored.count(typed) != bursts)
        std::fprintf(stderr, "the post did not get every key typed (%lld of %d bursts)\n",
                     static_cast<long long>(stored.count(typed)), bursts);
    frame.activeChildFrame()->document()->SetModifiedFlag(false);
    frame.closeChildFrame(frame.activeChildFrame());
    return figures;
}

// Wall time from opening the feed of one post at path until it takes keys,
// the least of a few openings.
double OpeningMs(CMainFrame& frame, const QString& path, int runs) {
    return Best(runs, [&] {
        QElapsedTimer shown;
        shown.start();
        frame.openDocumentFile(path);
        WaitForPost(frame);
        const qint64 ms = shown.elapsed();
        frame.activeChildFrame()->document()->SetModifiedFlag(false);
        frame.closeChildFrame(frame.activeChildFrame());
        QTest::qWait(500);
        return ms;
    });
}

// The same typing into a bare web view whose whole page is the post, made
// editable: what the web engine itself costs, without the editor.
double BareTicksPerKey(const QString& html, int keys, int bursts) {
    QWebEngineView view;
    view.resize(1200, 800);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&] { loaded = true; });
    view.setHtml(u"<html><body contenteditable=\"true\">"_s + html + u"</body></html>"_s);
    while (!loaded)
        QTest::qWait(10);
    QTest::qWait(1000);
    QWidget* target = view.focusProxy();
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(600, 100));
    QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
    QTest::qWait(1500);
    double best = -1;
    for (int burst = 0; burst < bursts; ++burst) {
        const QHash<qint64, qint64> before = TreeTicks();
        for (int i = 0; i < keys; ++i) {
            QTest::keyClick(target, char('a' + i % 26));
            QTest::qWait(40);
        }
        QTest::qWait(200);
        const double perKey = double(TicksSince(before)) / keys;
        if (best < 0 || perKey < best)
            best = perKey;
        QTest::qWait(1000);
    }
    return best;
}

// The HTML of a post of about size characters.
// Paragraphs on one line, or each on a line of its own.
QString PostHtml(qsizetype size, bool lineBreaks = false) {
    QString body;
    for (int i = 0; body.size() < size; ++i) {
        body += u"<p>Paragraph %1 of a long post, with <em>some</em> words and a "
                u"<a href=\"https://bench.example/%1\">link</a> in it.</p>"_s.arg(i);
        if (lineBreaks)
            body += u'\n';
    }
    return body;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    InstallPostFooterFilter();

    const int posts = argc > 1 ? std::atoi(argv[1]) : 100000;
    const bool typingOnly = argc > 2 && std::strcmp(argv[2], "typing") == 0;
    const bool openOnly = argc > 2 && std::strcmp(argv[2], "open") == 0;
    const bool postOnly = argc > 2 && std::strcmp(argv[2], "post") == 0;
    const QString feedPath = home.filePath(u"large.xml"_s);
    qint64 fileBytes = 0;
    if (!typingOnly && !postOnly) {
        // Written and let go of, so the figures hold only what the program keeps.
        const QByteArray feed = GenerateFeed(posts);
        if (!WriteFile(feedPath, feed))
            return 1;
        fileBytes = feed.size();
    }
    malloc_trim(0);

    QuietUi ui;
    CMainFrame frame(&ui);
    ui.setParentWidget(&frame);
    frame.resize(1280, 900);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame))
        return 1;
    QTest::qWait(1500);

    if (!typingOnly && !postOnly) {
        // The baseline: the command-line tool listing the same file.
        const QString orvanctl = QCoreApplication::applicationDirPath() + u"/../src/cli/orvanctl"_s;
        const double listMs = Best(3, [&] {
            QElapsedTimer t;
            t.start();
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(orvanctl, {u"list"_s, feedPath});
            p.waitForFinished(-1);
            return t.elapsed();
        });

        QElapsedTimer t;
        t.start();
        if (!frame.openDocumentFile(feedPath))
            return 1;
        while (frame.activeChildFrame()->postsBar()->Model()->rowCount() < posts)
            QCoreApplication::processEvents();
        const double shownMs = double(t.elapsed());
        WaitForPost(frame);
        const double firstPostMs = double(t.elapsed()) - shownMs;
        frame.activeChildFrame()->document()->SetModifiedFlag(false);
        frame.closeChildFrame(frame.activeChildFrame());
        malloc_trim(0);
        QTest::qWait(1000);

        // Memory is measured on a second opening of the file: sampling it
        // takes processor time the first opening would have been timed with.
        MemoryPeak memory;
        if (!frame.openDocumentFile(feedPath))
            return 1;
        while (frame.activeChildFrame()->postsBar()->Model()->rowCount() < posts)
            QCoreApplication::processEvents();
        WaitForPost(frame);
        QTest::qWait(2000);
        memory.stop();
        memory.sample();
        qint64 ownPeaksKb = 0;
        for (qint64 pid : ProcessTree())
            ownPeaksKb += ProcKb(pid, "status", "VmHWM:");
        frame.activeChildFrame()->document()->SetModifiedFlag(false);
        frame.closeChildFrame(frame.activeChildFrame());

        const double fileMb = double(fileBytes) / 1048576.0;
        const double peakMb = double(memory.peakKb()) / 1024.0;
        const double programMb = double(memory.programAtPeakKb()) / 1024.0;
        const double ownPeaksMb = double(ownPeaksKb) / 1024.0;
        std::printf("Feed of %d posts, %.1f MB; orvanctl list: %.0f ms\n", posts, fileBytes / 1e6,
                    listMs);
        std::printf("  list shown after     %7.0f ms  (%.1fx orvanctl list)\n", shownMs,
                    shownMs / listMs);
        std::printf("  first post editable  %7.0f ms after the list  (%.1fx orvanctl list)\n",
                    firstPostMs, firstPostMs / listMs);
        std::printf("  peak memory          %7.0f MB  all processes together (%s)  = %.2fx the "
                    "file\n",
                    peakMb, memory.byFrames() ? "each page in memory once" : "sum of PSS",
                    peakMb / fileMb);
        std::printf("                       %7.0f MB  the program, and %.0f MB more in its web "
                    "engine processes, at that peak\n",
                    programMb, peakMb - programMb);
        std::printf("                       %7.0f MB  each process's own peak RSS added up, "
                    "shared pages counted in each  = %.2fx the file\n",
                    ownPeaksMb, ownPeaksMb / fileMb);
    }

    if (openOnly)
        return 0;
    const QString smallPath = home.filePath(u"small.xml"_s);
    const QString largePath = home.filePath(u"large-post.xml"_s);
    const QString smallHtml = PostHtml(200);
    const QString largeHtml = PostHtml(1000 * 1000);
    WriteFile(smallPath, OnePostFeed(smallHtml));
    WriteFile(largePath, OnePostFeed(largeHtml));
    const QString linesPath = home.filePath(u"large-post-lines.xml"_s);
    WriteFile(linesPath, OnePostFeed(PostHtml(1000 * 1000, true)));
    const double linesMs = OpeningMs(frame, linesPath, 3);
    if (postOnly) {
        const double smallMs = OpeningMs(frame, smallPath, 3);
        const double largeMs = OpeningMs(frame, largePath, 3);
        std::printf("Opening the feed of one post until it takes keys, best of 3: small post "
                    "%.0f ms, 1 MB post on one line %.0f ms (%.1fx), with a line break after "
                    "each paragraph %.0f ms (%.1fx)\n",
                    smallMs, largeMs, largeMs / smallMs, linesMs, linesMs / smallMs);
        return 0;
    }
    const int keys = 40;
    const TypingFigures small = MeasureTyping(frame, smallPath, keys, 5);
    const TypingFigures large = MeasureTyping(frame, largePath, keys, 5);
    const double tickMs = 1000.0 / double(sysconf(_SC_CLK_TCK));
    std::printf("Opening the feed of one post until it takes keys: small post %.0f ms, 1 MB "
                "post on one line %.0f ms (%.1fx), with a line break after each paragraph %.0f "
                "ms (best of 3, %.1fx)\n",
                small.shownMs, large.shownMs, large.shownMs / small.shownMs, linesMs,
                linesMs / small.shownMs);
    std::printf("Processor time of the program and its child processes, typing %d keys:\n", keys);
    std::printf("  per keystroke, small post  %7.2f ms\n", small.perKey * tickMs);
    std::printf("  per keystroke, 1 MB post   %7.2f ms  (%.2fx the small post)\n",
                large.perKey * tickMs, large.perKey / small.perKey);
    std::printf("  storing once typing pauses: small post %.0f ms, 1 MB post %.0f ms\n",
                small.store * tickMs, large.store * tickMs);
    if (!typingOnly) {
        const double bareSmall = BareTicksPerKey(smallHtml, keys, 5);
        const double bareLarge = BareTicksPerKey(largeHtml, keys, 5);
        std::printf("  a bare web view, the post its whole editable page: small %.2f ms, 1 MB "
                    "%.2f ms  (%.2fx)\n",
                    bareSmall * tickMs, bareLarge * tickMs, bareLarge / bareSmall);
    }
    return 0;
}
