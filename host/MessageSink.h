// Where the host's alerts go: the interface a program implements, and the two sinks the host
// brings (the terminal, and a recorder for tests).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesser::host {

// Where the host's alerts go: message boxes, the terminal, or a recorder in tests.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Answers the number of the button chosen: 1, 2 or 3 (button1 is 1).
    virtual int32_t ShowAlert(int32_t iconKind, const std::string& message,
                              const std::vector<std::string>& buttons) = 0;
    // Answers 0 for Cancel, 1 for OK.
    virtual int32_t ConfirmAlert(const std::string& message) = 0;
    virtual void ShowNote(const std::string& message) = 0;
};

// Writes each message to standard error. Alerts answer their first button; confirmations
// answer OK unless the sink was made with confirm = false.
class TerminalSink : public MessageSink {
public:
    explicit TerminalSink(bool confirm = true) : confirm_(confirm) {}
    int32_t ShowAlert(int32_t iconKind, const std::string& message,
                      const std::vector<std::string>& buttons) override;
    int32_t ConfirmAlert(const std::string& message) override;
    void ShowNote(const std::string& message) override;

private:
    bool confirm_;
};

// Keeps every message for tests. Answers are taken from the queues (alerts: the button number,
// confirmations: 0 or 1); an empty queue answers 1.
class RecordingSink : public MessageSink {
public:
    struct Message {
        enum class Kind { Alert, Confirm, Note } kind;
        int32_t iconKind = 0;
        std::string text;
        std::vector<std::string> buttons;
    };
    int32_t ShowAlert(int32_t iconKind, const std::string& message,
                      const std::vector<std::string>& buttons) override;
    int32_t ConfirmAlert(const std::string& message) override;
    void ShowNote(const std::string& message) override;

    std::vector<Message> messages;
    std::vector<int32_t> alertAnswers;
    std::vector<int32_t> confirmAnswers;
};

} // namespace tesser::host
