// The Problems pane of a document window: what the offline validator finds in
// the feed as it stands, with a Fix button where the repair is certain.
// Validation runs on a worker over the bytes a save would write, so the
// window never waits for it; while the pane is open it follows every save,
// and every edit once typing pauses for a second. The feed is printed on the
// window's thread a few milliseconds at a time, between the window's other
// work, and the print starts over when the feed changes under it.
#pragma once

#include "document/documentlistener.h"
#include "feed/feedprintjob.h"
#include "validate/feedfixes.h"
#include "validate/feedvalidator.h"

#include <QByteArray>
#include <QDockWidget>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class CRSSEditDoc;
class FeedPrintJob;
class QLabel;
class QPushButton;
class QTreeView;
class ProblemsModel;
struct ProblemsChannel;

class CProblemsDock final : public QDockWidget, public DocumentListener {
    Q_OBJECT
public:
    // The document is not owned and must outlive the pane.
    explicit CProblemsDock(CRSSEditDoc* doc, QWidget* parent = nullptr);
    ~CProblemsDock() override;

    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override;
    // The document's modified flag or path changed: a save (or a reload)
    // when it is no longer modified, else an edit.
    void documentTitleChanged();

    // Validates now (or as soon as the run under way ends). collect asks the
    // editor first for what its page holds; right after a save the document
    // has it all, and asking again would store the post again.
    void validateNow(bool collect = true);
    // True while findings are awaited.
    bool isValidating() const { return m_running || m_collecting || m_print; }
    // True when the findings on show describe the document as it is.
    bool isCurrent() const { return m_validated && !m_dirty && !m_running && !m_print; }
    // How many prints were given up because the feed changed under them.
    int abandonedPrints() const { return m_abandoned; }
    // For tests: while held, a print stops after the slice under way, and a slice prints
    // at most this many nodes (0: as many as fit in a few milliseconds).
    void holdPrintForTests(bool hold);
    void setSliceNodesForTests(size_t nodes) { m_sliceNodes = nodes; }
    bool isPrinting() const { return m_print != nullptr; }
    const std::vector<Finding>& findings() const { return m_findings; }
    QTreeView* list() const { return m_list; }
    QPushButton* fixButton() const { return m_fixButton; }
    QLabel* summary() const { return m_summary; }

    // Goes to where finding row points: its post, then its field.
    void goToFinding(int row);
    // Applies the fix of finding row, asking for what it needs; false when
    // nothing was changed.
    bool fixFinding(int row);

    // The menu text of a fix, empty for none.
    static QString FixText(FixKind kind);

signals:
    // Per post index, whether the post has errors; empty when nothing is known.
    void errorPostsChanged(const std::vector<bool>& posts);
    // The editor should show field ("title", "link", "author", "description")
    // of the current post.
    void focusFieldRequested(const QString& field);
    // A fix changed post (-1: the channel) under the views; they show it again.
    void postChangedByFix(int post);
    // Runs in tests: findings arrived and are shown.
    void validated();

private:
    void scheduleValidation();
    void startValidation(bool collect = true);
    // Prints the next part of the feed; the last part hands the text to a worker.
    void printSlice();
    void abandonPrint();
    // True when part is what the last print had at the same place.
    bool matchesLastPrint(const std::string& part);
    void finishPrint(bool failed);
    void takeReport(int run, ValidationReport report);
    void markDirty();
    // Tells the posts list which posts the findings on show put errors in.
    void emitErrorPosts();
    void updateFixButton();
    void updateSummary();
    // Asks what the fix of finding needs; false when the user declined.
    bool askFixInput(const Finding& finding, FixInput& input);

    CRSSEditDoc* m_doc;
    ProblemsModel* m_model;
    QTreeView* m_list;
    QLabel* m_summary;
    QPushButton* m_fixButton;
    QTimer m_quietTimer;

    std::vector<Finding> m_findings;
    // Errors, warnings and notes among them.
    int m_counts[3] = {0, 0, 0};
    bool m_loaded = true;
    // The print under way, the feed's revision it started at and its text so far.
    std::unique_ptr<FeedPrintJob> m_print;
    quint64 m_printRevision = 0;
    std::vector<std::string> m_parts;
    QTimer m_sliceTimer;
    int m_abandoned = 0;
    bool m_holdPrint = false;
    size_t m_sliceNodes = 0;
    // The last print's text, to leave out a second run over the same one, and
    // how far the print under way agrees with it.
    std::shared_ptr<const std::vector<std::string>> m_lastParts;
    FeedFileForm m_lastForm;
    size_t m_matchPart = 0;
    size_t m_matchOffset = 0;
    bool m_matching = false;
    std::shared_ptr<ProblemsChannel> m_channel;
    int m_run = 0;
    bool m_running = false;
    bool m_again = false;
    bool m_validated = false;
    bool m_dirty = true;
    // Set while the pane itself asks the editor for its edits or fixes the
    // feed: the hints that causes are its own.
    bool m_collecting = false;
    bool m_fixing = false;
};
