#include "host/MessageSink.h"

#include <iostream>

namespace tesser::host {

int32_t TerminalSink::ShowAlert(int32_t, const std::string& message,
                                const std::vector<std::string>&) {
    std::cerr << message << std::endl;
    return 1;
}
int32_t TerminalSink::ConfirmAlert(const std::string& message) {
    std::cerr << message << (confirm_ ? " [OK]" : " [Cancel]") << std::endl;
    return confirm_ ? 1 : 0;
}
void TerminalSink::ShowNote(const std::string& message) {
    std::cerr << message << std::endl;
}

namespace {
int32_t TakeAnswer(std::vector<int32_t>& queue) {
    if (queue.empty()) {
        return 1;
    }
    int32_t answer = queue.front();
    queue.erase(queue.begin());
    return answer;
}
} // namespace

int32_t RecordingSink::ShowAlert(int32_t iconKind, const std::string& message,
                                 const std::vector<std::string>& buttons) {
    messages.push_back({Message::Kind::Alert, iconKind, message, buttons});
    return TakeAnswer(alertAnswers);
}
int32_t RecordingSink::ConfirmAlert(const std::string& message) {
    messages.push_back({Message::Kind::Confirm, 0, message, {}});
    return TakeAnswer(confirmAnswers);
}
void RecordingSink::ShowNote(const std::string& message) {
    messages.push_back({Message::Kind::Note, 0, message, {}});
}

} // namespace tesser::host
