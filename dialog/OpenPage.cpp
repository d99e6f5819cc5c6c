#include "dialog/OpenPage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"
#include "docsettings/InitialView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

using S = docsettings::OpenSettings;

struct OptionItem {
    const char* caption; // with its mnemonic
    int id;
    const char* name;
    int32_t S::*field;
};

// In the order of the page: the window options, then the user-interface options.
const OptionItem kOptions[] = {
    {"&Resize window to initial page", 1085, "fitWindow", &S::FitWindow},
    {"&Centre window on screen", 1086, "centerWindow", &S::CenterWindow},
    {"Open in &full screen mode", 1087, "fullScreen", &S::FullScreen},
    {"&Hide menubar", 1088, "hideMenuBar", &S::HideMenuBar},
    {"Hide &toolbar", 1072, "hideToolBar", &S::HideToolBar},
    {"Hide &windowbar", 1073, "hideWindowUI", &S::HideWindowUI},
};

template <size_t N>
QComboBox* RowList(QWidget* parent, QFormLayout* form, const QString& caption, int id,
                   const QString& name, const std::array<std::string_view, N>& rows) {
    // The label first: a screen reader reads the children in the order they were made.
    auto* label = new QLabel(caption, parent);
    auto* list = new QComboBox(parent);
    NameControl(list, id, name, QString(caption).remove(QLatin1Char('&')));
    for (std::string_view row : rows) {
        list->addItem(QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
    }
    label->setBuddy(list);
    form->addRow(label, list);
    return list;
}

Qt::CheckState ToCheckState(int32_t value) {
    return value == docsettings::kOptionOff  ? Qt::Unchecked
           : value == docsettings::kOptionOn ? Qt::Checked
                                             : Qt::PartiallyChecked;
}

int32_t FromCheckState(Qt::CheckState state) {
    return state == Qt::Unchecked ? docsettings::kOptionOff
           : state == Qt::Checked ? docsettings::kOptionOn
                                  : docsettings::kOptionKeep;
}

int Row(const QComboBox* list) {
    return list->currentIndex() < 0 ? 0 : list->currentIndex();
}

} // namespace

CTesserOpenPage::CTesserOpenPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 2, 137, QStringLiteral("Open")), settings_(dialog->Engine().Open()) {
    auto* initialView = new QGroupBox(QStringLiteral("Initial view"), this);
    initialView->setObjectName(QStringLiteral("initialViewGroup"));
    initialView->setAccessibleName(initialView->title());
    auto* form = new QFormLayout(initialView);
    std::array<std::string_view, 13> zoomRows;
    for (size_t i = 0; i < zoomRows.size(); ++i) {
        zoomRows[i] = docsettings::kZoomRows[i].text;
    }
    view_ = RowList(initialView, form, QStringLiteral("&View"), 1074, QStringLiteral("viewList"),
                    docsettings::kViewRows);
    zoom_ = RowList(initialView, form, QStringLiteral("&Magnification"), 1070,
                    QStringLiteral("magnificationList"), zoomRows);
    layout_ = RowList(initialView, form, QStringLiteral("P&age layout"), 1071,
                      QStringLiteral("pageLayoutList"), docsettings::kLayoutRows);
    auto* pageLabel = new QLabel(QStringLiteral("Page &number"), initialView);
    page_ = new QLineEdit(initialView);
    NameControl(page_, 1084, QStringLiteral("pageNumber"), QStringLiteral("Page number"));
    page_->setAlignment(Qt::AlignRight);
    // Digits only, as the field is typed; the length is checked when the page is left.
    page_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), page_));
    pageLabel->setBuddy(page_);
    form->addRow(pageLabel, page_);

    auto* window = new QGroupBox(QStringLiteral("Window options"), this);
    window->setObjectName(QStringLiteral("windowOptionsGroup"));
    window->setAccessibleName(window->title());
    auto* windowLayout = new QVBoxLayout(window);
    auto* userInterface = new QGroupBox(QStringLiteral("User interface options"), this);
    userInterface->setObjectName(QStringLiteral("userInterfaceOptionsGroup"));
    userInterface->setAccessibleName(userInterface->title());
    auto* userInterfaceLayout = new QVBoxLayout(userInterface);
    for (size_t i = 0; i < std::size(kOptions); ++i) {
        QGroupBox* group = i < 3 ? window : userInterface;
        const QString caption = QString::fromLatin1(kOptions[i].caption);
        options_[i] = new QCheckBox(caption, group);
        NameControl(options_[i], kOptions[i].id, QString::fromLatin1(kOptions[i].name),
                    QString(caption).remove(QLatin1Char('&')));
        options_[i]->setTristate(true);
        (i < 3 ? windowLayout : userInterfaceLayout)->addWidget(options_[i]);
        // The state, not the click: a screen reader's Toggle action and setCheckState count too.
        connect(options_[i], &QCheckBox::stateChanged, this, &CTesserOpenPage::TabState);
    }

    for (QComboBox* list : {view_, zoom_, layout_}) {
        connect(list, &QComboBox::currentIndexChanged, this, &CTesserOpenPage::TabState);
    }
    connect(page_, &QLineEdit::textChanged, this, &CTesserOpenPage::TabState);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(initialView);
    layout->addWidget(window);
    layout->addWidget(userInterface);
    layout->addStretch(1);
}

void CTesserOpenPage::OnSetActive() {
    if (!initialised_) {
        initialised_ = true;
        Show();
    }
}

bool CTesserOpenPage::OnKillActive() {
    if (!initialised_) {
        return true;
    }
    if (!CheckPageNumber()) {
        return false;
    }
    Store();
    return true;
}

void CTesserOpenPage::Show() {
    view_->setCurrentIndex(settings_.View);
    zoom_->setCurrentIndex(settings_.Zoom);
    layout_->setCurrentIndex(settings_.Layout);
    page_->setText(settings_.Page != 0 ? QString::number(settings_.Page) : QString());
    for (size_t i = 0; i < std::size(kOptions); ++i) {
        options_[i]->setCheckState(ToCheckState(settings_.*kOptions[i].field));
    }
    TabState();
}

void CTesserOpenPage::TabState() {
    bool change =
        Row(view_) != 0 || Row(zoom_) != 0 || Row(layout_) != 0 || page_->text().toLongLong() > 0;
    for (QCheckBox* option : options_) {
        change = change || option->checkState() != Qt::PartiallyChecked;
    }
    Dialog()->SetTabImage(TabIndex(), change ? kImageTick : kImageCross);
}

bool CTesserOpenPage::CheckPageNumber() {
    const QString text = page_->text();
    bool digits = text.size() <= 9;
    for (QChar c : text) {
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }
    if (!digits) {
        ShowPageMessage(this, QString::fromLatin1(kBadPageNumber));
        page_->setFocus();
    }
    return digits;
}

void CTesserOpenPage::Store() {
    settings_.View = Row(view_);
    settings_.Zoom = Row(zoom_);
    settings_.Layout = Row(layout_);
    settings_.Page = page_->text().toInt();
    for (size_t i = 0; i < std::size(kOptions); ++i) {
        settings_.*kOptions[i].field = FromCheckState(options_[i]->checkState());
    }
}

} // namespace tesser::dialog
