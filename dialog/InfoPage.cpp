#include "dialog/InfoPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tesser::dialog {

CTesserInfoPage::CTesserInfoPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 1, 136, QStringLiteral("Info")) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Document information (Title, Subject, Author, "
                                           "Keywords), search index and base URL."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addStretch(1);
}

} // namespace tesser::dialog
