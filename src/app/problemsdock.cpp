#include "app/problemsdock.h"

#include "app/problemsmodel.h"
#include "document/rsseditdoc.h"
#include "feed/feedprintjob.h"
#include "feed/rssfeed.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QStyle>
#include <QThreadPool>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

// How a worker reaches the pane: the pane clears dock when it goes, under the
// lock, so a result is either posted to a living pane or dropped.
struct ProblemsChannel {
    QMutex mutex;
    CProblemsDock* dock = nullptr;
};

namespace {

// The pause after the last edit before the feed is checked again.
constexpr int kQuietMs = 1000;

// A print's text runs to a hundred megabytes on a large feed, and its findings
// to hundreds of thousands: handing them back to the system takes a moment,
// which a worker spends rather than the window.
template <typename T> void ReleaseOnWorker(std::vector<T>& items) {
    if (items.empty())
        return;
    QThreadPool::globalInstance()->start([held = std::move(items)] {});
    items.clear();
}

// The enclosures of a post, as the user tells them apart: address, type, length.
QStringList EnclosureTexts(const CRssFeed& feed, int post) {
    QStringList texts;
    const pugi::xml_node item = feed.GetItemNode(post);
    for (pugi::xml_node node = item.child("enclosure"); node;
         node = node.next_sibling("enclosure")) {
        QString text = QString::fromUtf8(node.attribute("url").value());
        const QString type = QString::fromUtf8(node.attribute("type").value());
        const QString length = QString::fromUtf8(node.attribute("length").value());
        if (!type.isEmpty() || !length.isEmpty())
            text += u" (%1, %2 bytes)"_s.arg(type, length);
        texts.append(u"%1. %2"_s.arg(texts.size() + 1).arg(text));
    }
    return texts;
}

} // namespace

CProblemsDock::CProblemsDock(CRSSEditDoc* doc, QWidget* parent)
    : QDockWidget(u"Problems"_s, parent), m_doc(doc),
      m_channel(std::make_shared<ProblemsChannel>()) {
    setObjectName(u"problemsDock"_s);
    m_channel->dock = this;

    auto* body = new QWidget(this);
    m_summary = new QLabel(body);
    m_summary->setObjectName(u"problemsSummary"_s);
    m_fixButton = new QPushButton(u"Fix"_s, body);
    m_fixButton->setObjectName(u"problemsFix"_s);
    m_fixButton->setEnabled(false);
    m_model = new ProblemsModel(m_doc->GetFeed(), m_findings, this);
    m_list = new QTreeView(body);
    m_list->setObjectName(u"problemsList"_s);
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->resizeSection(1, 120);
    m_list->header()->resizeSection(2, 50);
    m_list->header()->resizeSection(3, 150);
    m_list->header()->setMinimumSectionSize(40);

    auto* top = new QHBoxLayout;
    top->addWidget(m_summary, 1);
    top->addWidget(m_fixButton);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    setWidget(body);

    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(kQuietMs);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] { startValidation(); });
    // A zero timer: the next slice comes after what the window has queued.
    m_sliceTimer.setSingleShot(true);
    m_sliceTimer.setInterval(0);
    connect(&m_sliceTimer, &QTimer::timeout, this, &CProblemsDock::printSlice);
    connect(m_list, &QTreeView::activated, this,
            [this](const QModelIndex& index) { goToFinding(index.row()); });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CProblemsDock::updateFixButton);
    connect(m_fixButton, &QPushButton::clicked, this, [this] {
        const QModelIndex current = m_list->currentIndex();
        if (current.isValid())
            fixFinding(current.row());
    });
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) {
            if (m_dirty)
                validateNow();
            else
                emitErrorPosts();
        } else if (isHidden()) {
            // Closed: nothing follows the feed any more, so no stale marks.
            m_quietTimer.stop();
            if (m_print) {
                abandonPrint();
                m_dirty = true;
            }
            emit errorPostsChanged({});
        }
    });
    updateSummary();
}

CProblemsDock::~CProblemsDock() {
    QMutexLocker lock(&m_channel->mutex);
    m_channel->dock = nullptr;
}

QString CProblemsDock::FixText(FixKind kind) {
    switch (kind) {
    case FixKind::None:
        break;
    case FixKind::AddGuid:
        return u"Add a guid"_s;
    case FixKind::RewriteDate:
        return u"Rewrite the date"_s;
    case FixKind::AddSelfLink:
        return u"Add the feed's address…"_s;
    case FixKind::FillDescription:
        return u"Fill in the description…"_s;
    case FixKind::AbsoluteLinks:
        return u"Make the links absolute"_s;
    case FixKind::MoveItems:
        return u"Move the items last"_s;
    case FixKind::RemoveDuplicateEnclosure:
        return u"Remove an enclosure…"_s;
    }
    return QString();
}

void CProblemsDock::onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) {
    (void)sender;
    (void)param;
    switch (hint) {
    case HintSetDescription:
    case HintTitleChanged:
    case HintLinkOrAuthorChanged:
    case HintPostsInserted:
    case HintPostDeleted:
    case HintFeedLoaded:
        markDirty();
        break;
    case HintStorePost:
    case HintStorePostQuietly:
        // Someone else is about to store the editor's post, and maybe change
        // more of the tree (a save writes its own elements): a print under way
        // stops here rather than trust that every such change is counted.
        if (m_print && !m_collecting) {
            abandonPrint();
            ++m_abandoned;
            markDirty();
        }
        break;
    default:
        break;
    }
}

void CProblemsDock::documentTitleChanged() {
    if (m_collecting || m_fixing)
        return;
    if (!m_doc->IsModified()) {
        // Saved or reloaded: the file as it now is, at once.
        m_dirty = true;
        if (isVisible())
            validateNow(false);
        return;
    }
    markDirty();
}

void CProblemsDock::markDirty() {
    if (m_collecting || m_fixing)
        return;
    // Said at once, not a second later: the findings on show are older than the feed.
    const bool wasDirty = m_dirty;
    m_dirty = true;
    if (!wasDirty)
        updateSummary();
    updateFixButton();
    scheduleValidation();
}

void CProblemsDock::scheduleValidation() {
    if (isVisible())
        m_quietTimer.start();
}

void CProblemsDock::validateNow(bool collect) {
    m_quietTimer.stop();
    startValidation(collect);
}

void CProblemsDock::startValidation(bool collect) {
    if (m_running) {
        m_again = true;
        return;
    }
    // A print under way may be of an older feed: this one starts afresh.
    abandonPrint();
    // What the page holds but has not handed over yet belongs in the check.
    // The editor waits for its page meanwhile; the hints that causes are ours.
    // A document that is not modified holds every edit already (the page
    // marks it at the first key), and the editor would store its post again.
    m_collecting = true;
    if (collect && m_doc->IsModified())
        m_doc->StorePendingEdits();
    m_collecting = false;
    m_dirty = false;
    m_print = std::make_unique<FeedPrintJob>(m_doc->GetFeed());
    m_printRevision = m_doc->GetFeed().GetRevision();
    m_matching = m_validated && m_lastParts && m_print->Form().kind == m_lastForm.kind &&
                 m_print->Form().encoding == m_lastForm.encoding &&
                 m_print->Form().bom == m_lastForm.bom;
    m_matchPart = 0;
    m_matchOffset = 0;
    updateSummary();
    updateFixButton();
    printSlice();
}

void CProblemsDock::abandonPrint() {
    m_sliceTimer.stop();
    m_print.reset();
    ReleaseOnWorker(m_parts);
}

bool CProblemsDock::matchesLastPrint(const std::string& part) {
    size_t pos = 0;
    while (pos < part.size()) {
        if (m_matchPart >= m_lastParts->size())
            return false;
        const std::string& last = (*m_lastParts)[m_matchPart];
        const size_t length = std::min(last.size() - m_matchOffset, part.size() - pos);
        if (std::memcmp(last.data() + m_matchOffset, part.data() + pos, length) != 0)
            return false;
        pos += length;
        m_matchOffset += length;
        if (m_matchOffset == last.size()) {
            ++m_matchPart;
            m_matchOffset = 0;
        }
    }
    return true;
}

void CProblemsDock::holdPrintForTests(bool hold) {
    m_holdPrint = hold;
    if (!hold && m_print)
        m_sliceTimer.start();
}

void CProblemsDock::printSlice() {
    if (!m_print)
        return;
    if (m_doc->GetFeed().GetRevision() != m_printRevision) {
        // The feed changed under the print (the nodes it stood on may be
        // gone): start over once the edits pause.
        abandonPrint();
        ++m_abandoned;
        m_dirty = true;
        if (!m_quietTimer.isActive())
            scheduleValidation();
        updateSummary();
        updateFixButton();
        return;
    }
    // The window's thread prints the feed in short slices, so it answers
    // keys and paints between them.
    std::string part;
    const DocumentPrinter::Step step = m_sliceNodes > 0 ? m_print->Print(part, m_sliceNodes)
                                                        : m_print->PrintFor(part, kPrintSliceNs);
    if (m_matching)
        m_matching = matchesLastPrint(part);
    if (!part.empty())
        m_parts.push_back(std::move(part));
    if (step == DocumentPrinter::Step::More) {
        if (!m_holdPrint)
            m_sliceTimer.start();
        return;
    }
    finishPrint(step == DocumentPrinter::Step::Failed);
}

void CProblemsDock::finishPrint(bool failed) {
    const FeedFileForm form = m_print->Form();
    m_print.reset();
    // A feed a save would refuse to write gives no bytes, as a save writes none.
    if (failed)
        ReleaseOnWorker(m_parts);
    if (m_matching && !failed) {
        while (m_matchPart < m_lastParts->size() && (*m_lastParts)[m_matchPart].empty())
            ++m_matchPart;
        if (m_matchPart == m_lastParts->size() && m_matchOffset == 0) {
            ReleaseOnWorker(m_parts);
            updateFixButton();
            updateSummary();
            return;
        }
    }
    auto parts = std::make_shared<const std::vector<std::string>>(std::move(m_parts));
    m_parts.clear();
    // The last print's text goes with the worker, which lets go of it there
    // rather than on the window's thread.
    std::shared_ptr<const std::vector<std::string>> last = std::move(m_lastParts);
    m_lastParts = failed ? nullptr : parts;
    m_lastForm = form;
    m_running = true;
    const int run = ++m_run;
    updateSummary();
    updateFixButton();
    std::shared_ptr<ProblemsChannel> channel = m_channel;
    QThreadPool::globalInstance()->start(
        [channel, parts = std::move(parts), last = std::move(last), form, failed, run]() mutable {
            last.reset();
            const QByteArray bytes = failed ? QByteArray() : FeedBytesFromText(*parts, form);
            parts.reset();
            ValidationReport report = ValidateFeedBytes(bytes);
            QMutexLocker lock(&channel->mutex);
            if (CProblemsDock* dock = channel->dock) {
                QMetaObject::invokeMethod(
                    dock,
                    [dock, run, report = std::move(report)]() mutable {
                        dock->takeReport(run, std::move(report));
                    },
                    Qt::QueuedConnection);
            }
        });
}

void CProblemsDock::takeReport(int run, ValidationReport report) {
    if (run != m_run)
        return;
    m_running = false;
    m_validated = true;
    m_loaded = report.loaded;
    // The finding the user was on stays chosen when it is still there (new
    // findings above it move its row); after a fix, the one that took its row.
    int row = m_list->currentIndex().row();
    std::optional<Finding> chosen;
    if (row >= 0 && static_cast<size_t>(row) < m_findings.size())
        chosen = m_findings[static_cast<size_t>(row)];
    m_model->beginReset();
    ReleaseOnWorker(m_findings);
    m_findings = std::move(report.findings);
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    for (const Finding& finding : m_findings)
        ++m_counts[static_cast<int>(finding.severity())];
    m_model->endReset();
    if (chosen) {
        const auto same = std::find_if(m_findings.begin(), m_findings.end(), [&](const Finding& f) {
            return f.msg == chosen->msg && f.post == chosen->post && f.field == chosen->field &&
                   f.which == chosen->which;
        });
        if (same != m_findings.end())
            row = static_cast<int>(same - m_findings.begin());
    }
    if (row >= 0 && static_cast<size_t>(row) < m_findings.size())
        m_list->setCurrentIndex(m_model->index(row, 0));
    emitErrorPosts();
    updateSummary();
    updateFixButton();
    if (m_again || m_dirty) {
        m_again = false;
        scheduleValidation();
    }
    emit validated();
}

void CProblemsDock::emitErrorPosts() {
    // A check that ends after the pane was closed marks nothing.
    if (isHidden()) {
        emit errorPostsChanged({});
        return;
    }
    std::vector<bool> errors;
    for (const Finding& finding : m_findings) {
        if (finding.post < 0 || finding.severity() != Severity::Error)
            continue;
        if (errors.size() <= static_cast<size_t>(finding.post))
            errors.resize(static_cast<size_t>(finding.post) + 1);
        errors[static_cast<size_t>(finding.post)] = true;
    }
    emit errorPostsChanged(errors);
}

void CProblemsDock::updateSummary() {
    const bool checking = m_running || m_print;
    // With nothing to show yet, or nothing but a verdict, the check is the news.
    if (!m_validated || (checking && (!m_loaded || m_findings.empty()))) {
        m_summary->setText(u"Checking the feed…"_s);
        return;
    }
    if (!m_loaded) {
        m_summary->setText(u"The feed does not load."_s);
        return;
    }
    const int* counts = m_counts;
    if (m_findings.empty()) {
        m_summary->setText(u"No problems found."_s);
        return;
    }
    QStringList parts;
    const auto add = [&parts](int count, const QString& one, const QString& many) {
        if (count > 0)
            parts.append(u"%1 %2"_s.arg(count).arg(count == 1 ? one : many));
    };
    add(counts[0], u"error"_s, u"errors"_s);
    add(counts[1], u"warning"_s, u"warnings"_s);
    add(counts[2], u"note"_s, u"notes"_s);
    m_summary->setText(parts.join(u", "_s) + (checking  ? u" (checking…)"_s
                                              : m_dirty ? u" (checking again soon)"_s
                                                        : QString()));
}

void CProblemsDock::updateFixButton() {
    const int row = m_list->currentIndex().row();
    const bool fixable = row >= 0 && static_cast<size_t>(row) < m_findings.size() &&
                         m_findings[static_cast<size_t>(row)].fix != FixKind::None;
    m_fixButton->setEnabled(fixable && isCurrent());
    m_fixButton->setText(fixable ? FixText(m_findings[static_cast<size_t>(row)].fix) : u"Fix"_s);
}

void CProblemsDock::goToFinding(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_findings.size())
        return;
    const Finding finding = m_findings[static_cast<size_t>(row)];
    if (finding.post < 0 || finding.post >= m_doc->GetPostCount())
        return;
    if (finding.post != m_doc->GetCurrentPost())
        m_doc->NotifyViews(this, HintSelectPost, finding.post);
    // What the editor shows of a post; the rest is reached through the post.
    const QString field = finding.field.section(u'/', 0, 0).section(u'@', 0, 0);
    if (field == "title"_L1 || field == "link"_L1)
        emit focusFieldRequested(field);
    else if (field == "author"_L1 || field == "dc:creator"_L1)
        emit focusFieldRequested(u"author"_s);
    else
        emit focusFieldRequested(u"description"_s);
}

bool CProblemsDock::askFixInput(const Finding& finding, FixInput& input) {
    bool ok = false;
    switch (finding.fix) {
    case FixKind::AddSelfLink: {
        const QString url = QInputDialog::getText(
            this, u"Feed Address"_s,
            u"The address the feed is published at (it becomes its atom:link rel=\"self\"):"_s,
            QLineEdit::Normal, QString(), &ok);
        input.url = url.trimmed();
        return ok && !input.url.isEmpty();
    }
    case FixKind::FillDescription: {
        const QString text = QInputDialog::getText(this, u"Channel Description"_s,
                                                   u"A sentence or two about the feed:"_s,
                                                   QLineEdit::Normal, QString(), &ok);
        input.text = text.trimmed();
        return ok && !input.text.isEmpty();
    }
    case FixKind::RemoveDuplicateEnclosure: {
        const QStringList texts = EnclosureTexts(m_doc->GetFeed(), finding.post);
        if (texts.size() < 2)
            return false;
        const QString chosen = QInputDialog::getItem(
            this, u"Remove Enclosure"_s, u"A post carries one enclosure. Remove this one:"_s, texts,
            std::clamp(finding.which, 0, static_cast<int>(texts.size()) - 1), false, &ok);
        input.which = static_cast<int>(texts.indexOf(chosen));
        return ok && input.which >= 0;
    }
    default:
        return true;
    }
}

bool CProblemsDock::fixFinding(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_findings.size() ||
        m_findings[static_cast<size_t>(row)].fix == FixKind::None)
        return false;
    // The fix acts on the post the finding names: only while no post was
    // added, removed or edited since the check.
    if (!isCurrent()) {
        validateNow();
        return false;
    }
    // What the page still holds goes in first, so the fix works on it and
    // the editor, shown the fixed post, loses none of it. Storing only
    // writes the current post's fields; the posts stay where they were.
    // Keys may be typed that the page has not even reported yet: the
    // editor is always asked, and it waits for them.
    m_collecting = true;
    m_doc->StorePendingEdits();
    m_collecting = false;
    const Finding finding = m_findings[static_cast<size_t>(row)];
    FixInput input;
    if (!askFixInput(finding, input))
        return false;
    m_fixing = true;
    const bool fixed = ApplyFix(m_doc->GetFeed(), finding, input);
    // The fix edits the tree directly: a print in progress must not go on.
    m_doc->GetFeed().NoteChanged();
    if (fixed) {
        m_doc->SetModifiedFlag(true);
        // The list shows the post's title and date; the editor and the
        // preview show its body.
        if (finding.post >= 0)
            m_doc->NotifyViews(this, HintTitleChanged, finding.post);
        emit postChangedByFix(finding.post);
    }
    m_fixing = false;
    if (!fixed)
        QApplication::beep();
    m_dirty = true;
    validateNow();
    return fixed;
}
