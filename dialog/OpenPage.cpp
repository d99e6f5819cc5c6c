#include "dialog/OpenPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tesser::dialog {

CTesserOpenPage::CTesserOpenPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 2, 137, QStringLiteral("Open")) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("How the document opens: page mode, magnification, "
                                           "page layout, first page and window options."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addStretch(1);
}

} // namespace tesser::dialog
