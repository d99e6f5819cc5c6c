#include "app/MessageBoxSink.h"

#include "app/TextConversion.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace tesser::app {

QWidget* MessageBoxSink::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return mainWindow_;
}

QString MessageBoxSink::Title() const {
    // A box over a plug-in's dialog speaks for that dialog, as the dialog's own boxes do.
    const QWidget* owner = Owner();
    if (owner != nullptr && owner != mainWindow_ && !owner->window()->windowTitle().isEmpty()) {
        return owner->window()->windowTitle();
    }
    return QApplication::applicationDisplayName();
}

int32_t MessageBoxSink::ShowAlert(int32_t iconKind, const std::string& message,
                                  const std::vector<std::string>& buttons) {
    QMessageBox box(iconKind == kHAlertInfo ? QMessageBox::Information : QMessageBox::Critical,
                    Title(), FromWindows1252(message), QMessageBox::NoButton, Owner());
    box.setObjectName(QStringLiteral("hostAlert"));
    std::vector<QAbstractButton*> added;
    for (const std::string& text : buttons) {
        added.push_back(box.addButton(FromWindows1252(text), QMessageBox::AcceptRole));
    }
    if (added.empty()) {
        added.push_back(box.addButton(QMessageBox::Ok));
    }
    box.exec();
    for (size_t i = 0; i < added.size(); ++i) {
        if (box.clickedButton() == added[i]) {
            return static_cast<int32_t>(i + 1);
        }
    }
    return 1;
}

int32_t MessageBoxSink::ConfirmAlert(const std::string& message) {
    QMessageBox box(QMessageBox::Warning, Title(), FromWindows1252(message),
                    QMessageBox::Ok | QMessageBox::Cancel, Owner());
    box.setObjectName(QStringLiteral("hostConfirm"));
    return box.exec() == QMessageBox::Ok ? 1 : 0;
}

void MessageBoxSink::ShowNote(const std::string& message) {
    QMessageBox box(QMessageBox::Information, Title(), FromWindows1252(message), QMessageBox::Ok,
                    Owner());
    box.setObjectName(QStringLiteral("hostNote"));
    box.exec();
}

} // namespace tesser::app
