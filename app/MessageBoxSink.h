// The host's alerts as message boxes: ShowAlert with the icon of its kind and its buttons,
// ConfirmAlert with OK and Cancel, ShowNote with OK. Texts arrive as Windows-1252 bytes.
#pragma once

#include <QString>

#include "host/Host.h"

class QWidget;

namespace tesser::app {

class MessageBoxSink : public host::MessageSink {
public:
    // Boxes belong to the modal window in front, else to mainWindow.
    explicit MessageBoxSink(QWidget* mainWindow) : mainWindow_(mainWindow) {}

    int32_t ShowAlert(int32_t iconKind, const std::string& message,
                      const std::vector<std::string>& buttons) override;
    int32_t ConfirmAlert(const std::string& message) override;
    void ShowNote(const std::string& message) override;

private:
    QWidget* Owner() const;
    // The owner's title when a modal window is in front, else the application's name.
    QString Title() const;
    QWidget* mainWindow_;
};

} // namespace tesser::app
