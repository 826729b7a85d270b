// The post's properties beyond its title, body, link and author: date, guid,
// categories, comments, source, enclosure and the podcast tags, as a pane
// under the editor that folds to one line (folded unless the user opened it
// last time). Edits go into the post through the document when a field is
// left or a choice made, and whenever the document stores the current post
// (save, switch, close). The pane follows its post by the post's element, so
// an edit still pending when the post changes lands in the post it was made
// in, wherever the list has moved it.
#pragma once

#include "propsui/fieldform.h"

#include <QWidget>
#include <pugixml.hpp>

class CRSSEditDoc;
class CategoryTable;
class DocumentListener;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QCheckBox;
class QPushButton;
class QScrollArea;
class QToolButton;

class PostPropertiesPane final : public QWidget {
    Q_OBJECT
public:
    // sender is who the document names when the pane changes a post (the
    // editor view the pane belongs to).
    PostPropertiesPane(CRSSEditDoc* doc, DocumentListener* sender, QWidget* parent = nullptr);

    // Stores what is pending into the post shown so far, then shows post index.
    void showPost(int index);
    // Forgets the post without storing (its tree is gone, as after a reload).
    void forgetPost();
    // Stores the pending edits into the post they were made in; false when
    // that post is gone or the document refused them.
    bool flush();
    // Shows the post's fields anew (after another window changed them),
    // unless an edit is pending.
    void refresh();
    // The index of the post on show, -1 for none.
    int shownPost() const;

    // A feed the program shows but cannot edit takes no edits here either.
    void setReadOnlyFeed(bool readOnly);

    bool isFolded() const;
    // Folds or unfolds and remembers the choice for the next windows.
    void setFolded(bool folded);

    // Fills the enclosure from a media file on this computer (off the GUI
    // thread); the URL is the feed's media base URL and the file's name.
    void useLocalMediaFile(const QString& path);
    // Asks the server for the enclosure URL's length and type (off the GUI thread).
    void fetchEnclosureFacts();

signals:
    // A media probe finished (its outcome is in the pane's status line).
    void mediaProbeFinished(bool ok);

private:
    QWidget* buildPostGroup();
    QWidget* buildEnclosureGroup();
    QWidget* buildPodcastGroup();
    void chooseMediaFile();
    void setStatus(const QString& text, bool error = false);

    CRSSEditDoc* m_doc;
    DocumentListener* m_sender;
    FieldForm m_form;
    pugi::xml_node m_item;
    int m_index = -1;
    bool m_readOnly = false;
    // Grows whenever the pane shows another post, so a late answer from the
    // network can tell it no longer belongs here.
    quint64 m_generation = 0;

    QToolButton* m_toggle = nullptr;
    QScrollArea* m_body = nullptr;
    QLabel* m_status = nullptr;
    QDateTimeEdit* m_date = nullptr;
    QLineEdit* m_guid = nullptr;
    QCheckBox* m_permaLink = nullptr;
    QLineEdit* m_comments = nullptr;
    QLineEdit* m_sourceUrl = nullptr;
    QLineEdit* m_sourceTitle = nullptr;
    CategoryTable* m_categories = nullptr;
    QLineEdit* m_enclosureUrl = nullptr;
    QLineEdit* m_enclosureLength = nullptr;
    QLineEdit* m_enclosureType = nullptr;
    QPushButton* m_chooseFile = nullptr;
    QPushButton* m_fetch = nullptr;
    QLineEdit* m_duration = nullptr;
};
