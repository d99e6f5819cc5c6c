// Text field expansion: page numbers and counts with formats, dates and times with strftime
// formats, over any text and run time.
#include "FuzzTarget.h"

#include "stamp/TextTokens.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

using namespace tesser::stamp;

namespace {

class Fields final : public FieldSource {
public:
    Fields(std::int64_t number, std::int64_t count, bool fail)
        : number_(number), count_(count), fail_(fail) {}
    bool PageNumber(std::int64_t& number) override {
        number = number_;
        return !fail_;
    }
    bool PageCount(std::int64_t& count) override {
        count = count_;
        return !fail_;
    }
    void Alert(const std::string&) override {}

private:
    std::int64_t number_, count_;
    bool fail_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool locale = [] {
        std::setlocale(LC_ALL, "C.UTF-8");
        return true;
    }();
    (void)locale;
    if (size < 9) {
        return 0;
    }
    std::int64_t seconds = 0;
    std::memcpy(&seconds, data, sizeof seconds);
    const std::time_t runTime = static_cast<std::time_t>(seconds);
    Fields fields(seconds % 100000, seconds % 1000000, (data[8] & 0x80) != 0);
    const std::string_view text(reinterpret_cast<const char*>(data) + 9, size - 9);
    bool ok = true;
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] != '<') {
            out += text[pos++];
            continue;
        }
        ++pos;
        const std::size_t before = pos;
        out += ExpandToken(text, pos, fields, runTime, ok);
        if (pos < before || pos > text.size()) {
            __builtin_trap(); // the reader must move forward within the text
        }
    }
    return 0;
}
