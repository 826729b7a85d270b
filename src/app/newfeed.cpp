#include "app/newfeed.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

using namespace Qt::StringLiterals;

bool AskNewFeedInfo(QWidget* parent, NewFeedInfo& info) {
    QDialog dialog(parent);
    dialog.setWindowTitle(u"Create RSS Feed"_s);
    auto* title = new QLineEdit(&dialog);
    auto* link = new QLineEdit(u"https://"_s, &dialog);
    auto* category = new QLineEdit(&dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(u"&Title:"_s, title);
    form->addRow(u"&Link:"_s, link);
    form->addRow(u"&Category:"_s, category);
    form->addRow(buttons);
    dialog.setMinimumWidth(420);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    info.title = title->text().trimmed();
    info.link = link->text().trimmed();
    info.category = category->text().trimmed();
    return true;
}
