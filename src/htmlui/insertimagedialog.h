// Edits an image's source and attributes on an HTML page with a live sample
// of the image between two words, and gives back the record and an IMG tag.
#pragma once

#include "html/linkhtml.h"
#include "htmlui/htmldialog.h"

#include <QTimer>

class InsertImageDialog final : public HtmlFocusDialog {
    Q_OBJECT
public:
    // A new image starts from the page's usual border and spacing; an
    // existing one shows what it has and gains nothing it did not have.
    enum Purpose { NewImage, EditImage };

    // An empty source is replaced by the suggested one.
    explicit InsertImageDialog(const ImageInfo& info, QWidget* parent = nullptr,
                               Purpose purpose = NewImage);

    // Shows the page modally: ResultClose when confirmed, ResultCancel when
    // cancelled, closed or when the page is missing.
    int run();
    // The record and the tag as confirmed (until then the record handed in
    // and no tag).
    ImageInfo imageInfo() const { return m_info; }
    QString imageTag() const { return m_tag; }

    // An image address on the clipboard, else the program's sample image.
    static QString suggestedSource();

    void done(int result) override;

protected:
    void pageLoaded() override;

private:
    // The fields as the page holds them now.
    ImageTagTexts fieldTexts() const;
    // Brings the sample image and the message up to date with the fields.
    void rebuildSample();
    void onPageEvent(const HtmlEvent& event);
    // Fits the window to the page once the sample has settled.
    void refit();

    ImageInfo m_info;
    Purpose m_purpose;
    QString m_tag;
    NamedValues m_values;
    bool m_confirmed = false;
    QTimer m_refit;
};
