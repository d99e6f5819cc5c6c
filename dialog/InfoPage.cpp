#include "dialog/InfoPage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

struct InfoItem {
    const char* caption; // with its mnemonic
    int boxId;
    int textId;
    const char* name; // object names: <name>Box, <name>Text
    bool docsettings::InfoSettings::*flag;
    std::string docsettings::InfoSettings::*text;
};

using S = docsettings::InfoSettings;
const InfoItem kItems[] = {
    {"&Title", 1081, 1082, "title", &S::SetTitle, &S::Title},
    {"&Subject", 1080, 1083, "subject", &S::SetSubject, &S::Subject},
    {"&Author", 1079, 1061, "author", &S::SetAuthor, &S::Author},
    {"&Keywords", 1078, 1062, "keywords", &S::SetKeywords, &S::Keywords},
    {"&Index", 1063, 1064, "index", &S::SetIndex, &S::IndexFile},
    {"Base &URL", 1065, 1066, "baseUrl", &S::SetBaseURL, &S::BaseURL},
};
constexpr size_t kIndexItem = 4;

} // namespace

CTesserInfoPage::CTesserInfoPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 1, 136, QStringLiteral("Info")), settings_(dialog->Engine().Info()) {
    auto* group = new QGroupBox(
        QStringLiteral("Info (check the items to be changed and enter their values)"), this);
    group->setObjectName(QStringLiteral("infoGroup"));
    group->setAccessibleName(group->title());
    auto* grid = new QGridLayout(group);
    for (size_t i = 0; i < std::size(kItems); ++i) {
        const InfoItem& item = kItems[i];
        const QString caption = QString::fromLatin1(item.caption);
        const QString plain = QString(caption).remove(QLatin1Char('&'));
        const QString name = QString::fromLatin1(item.name);
        boxes_[i] = new QCheckBox(caption, group);
        NameControl(boxes_[i], item.boxId, name + QStringLiteral("Box"), plain);
        texts_[i] = new QLineEdit(group);
        NameControl(texts_[i], item.textId, name + QStringLiteral("Text"), plain);
        const int row = static_cast<int>(i);
        grid->addWidget(boxes_[i], row, 0);
        grid->addWidget(texts_[i], row, 1);
        if (i == kIndexItem) {
            browse_ = new QPushButton(QStringLiteral("&Browse..."), group);
            NameControl(browse_, 1094, QStringLiteral("browseButton"), QStringLiteral("Browse..."));
            browse_->setAutoDefault(false);
            grid->addWidget(browse_, row, 2);
        }
        // The state, not the click: a screen reader's Toggle action and setChecked count too.
        connect(boxes_[i], &QCheckBox::toggled, this, &CTesserInfoPage::TabState);
    }
    grid->setColumnStretch(1, 1);
    connect(browse_, &QPushButton::clicked, this, &CTesserInfoPage::Browse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
}

void CTesserInfoPage::OnSetActive() {
    if (!initialised_) {
        initialised_ = true;
        Show();
        TabState();
    }
}

bool CTesserInfoPage::OnKillActive() {
    return !initialised_ || Store();
}

void CTesserInfoPage::Show() {
    for (size_t i = 0; i < std::size(kItems); ++i) {
        boxes_[i]->setChecked(settings_.*kItems[i].flag);
        texts_[i]->setText(FromRecord(settings_.*kItems[i].text));
    }
}

void CTesserInfoPage::TabState() {
    bool any = false;
    for (size_t i = 0; i < std::size(kItems); ++i) {
        texts_[i]->setEnabled(boxes_[i]->isChecked());
        any = any || boxes_[i]->isChecked();
    }
    browse_->setEnabled(boxes_[kIndexItem]->isChecked());
    Dialog()->SetTabImage(TabIndex(), any ? kImageTick : kImageCross);
}

bool CTesserInfoPage::Store() {
    std::array<std::string, 6> texts;
    for (size_t i = 0; i < std::size(kItems); ++i) {
        auto bytes =
            ToRecord(texts_[i]->text(),
                     QString::fromLatin1(kItems[i].caption).remove(QLatin1Char('&')), this);
        if (!bytes) {
            texts_[i]->setFocus();
            return false;
        }
        texts[i] = std::move(*bytes);
    }
    for (size_t i = 0; i < std::size(kItems); ++i) {
        settings_.*kItems[i].flag = boxes_[i]->isChecked();
        settings_.*kItems[i].text = std::move(texts[i]);
    }
    return true;
}

void CTesserInfoPage::Browse() {
    QFileDialog chooser(this, QString(), QString(), QString::fromLatin1(kIndexFileFilter));
    chooser.setObjectName(QStringLiteral("indexFileDialog"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty()) {
        texts_[kIndexItem]->setText(chooser.selectedFiles().constFirst());
    }
}

} // namespace tesser::dialog
