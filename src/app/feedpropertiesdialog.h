// Feed > Properties…: the channel's fields on three tabs (General, Image,
// Podcast) and the feed's own options. Nothing changes until OK, which puts
// every changed field into the feed at once, as one modification; fields the
// user left alone stay in the file exactly as they are.
#pragma once

#include "feed/feedoptions.h"
#include "propsui/fieldform.h"

#include <QDialog>

class CRSSEditDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

class FeedPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    FeedPropertiesDialog(CRSSEditDoc* doc, QWidget* parent = nullptr);

    void accept() override;

    // The image preview is loaded (or failed); for tests and the status.
    QString previewState() const;

signals:
    void previewDone(bool ok);

private:
    QWidget* buildGeneral();
    QWidget* buildImage();
    QWidget* buildPodcast();
    void loadPreview();
    void showPreview(const QByteArray& bytes, const QString& error);
    void fillSubcategories(const QString& category, const QString& chosen);
    void computePodcastGuid();
    FeedOptions chosenOptions() const;
    // Shows why OK did not close the dialog, on the field at fault.
    void refuse(QWidget* field, const QString& why);

    CRSSEditDoc* m_doc;
    FieldForm m_form;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_error = nullptr;
    QLineEdit* m_selfUrl = nullptr;
    QLineEdit* m_lastBuildDate = nullptr;
    QCheckBox* m_writeGenerator = nullptr;
    QCheckBox* m_renewBuildDate = nullptr;
    QCheckBox* m_renewPostDate = nullptr;
    QLineEdit* m_mediaBaseUrl = nullptr;
    QLineEdit* m_imageUrl = nullptr;
    QLabel* m_preview = nullptr;
    QString m_previewState;
    quint64 m_previewGeneration = 0;
    QComboBox* m_category = nullptr;
    QComboBox* m_subcategory = nullptr;
    QLineEdit* m_podcastGuid = nullptr;
};
