#include "cli/JobJson.h"

#include "cli/Options.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace tesser::cli {

namespace {

// A JSON reader for the values a job holds: objects, arrays, strings, true, false, null and
// numbers (taken as their text).
class Reader {
public:
    Reader(const std::string& text, const std::string& source) : text_(text), source_(source) {}

    [[noreturn]] void Fail(const std::string& what) const {
        throw UsageError("--job-json " + source_ + ": " + what + " (at byte " +
                         std::to_string(at_) + ")");
    }

    void Space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Space();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) {
            Fail(std::string("\"") + c + "\" expected");
        }
    }
    bool AtEnd() {
        Space();
        return at_ == text_.size();
    }
    char Peek() {
        Space();
        return at_ < text_.size() ? text_[at_] : '\0';
    }

    std::string String() {
        Expect('"');
        std::string out;
        while (true) {
            if (at_ >= text_.size()) {
                Fail("unterminated string");
            }
            const char c = text_[at_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("a control character in a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                Fail("unterminated string");
            }
            const char e = text_[at_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                AppendUtf8(out, CodePoint());
                break;
            default:
                Fail(std::string("unknown escape \\") + e);
            }
        }
    }

    // A bare word or number: true, false, null, or a number's text.
    std::string Word() {
        Space();
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '-' ||
                text_[at_] == '+' || text_[at_] == '.')) {
            ++at_;
        }
        if (at_ == start) {
            Fail("a value expected");
        }
        return text_.substr(start, at_ - start);
    }

private:
    unsigned Hex4() {
        if (at_ + 4 > text_.size()) {
            Fail("a \\u escape needs four hexadecimal digits");
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                Fail("a \\u escape needs four hexadecimal digits");
            }
        }
        return value;
    }
    char32_t CodePoint() {
        const unsigned high = Hex4();
        if (high >= 0xD800 && high <= 0xDBFF) {
            if (at_ + 2 > text_.size() || text_[at_] != '\\' || text_[at_ + 1] != 'u') {
                Fail("a lone surrogate in a \\u escape");
            }
            at_ += 2;
            const unsigned low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                Fail("a lone surrogate in a \\u escape");
            }
            return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
        }
        if (high >= 0xDC00 && high <= 0xDFFF) {
            Fail("a lone surrogate in a \\u escape");
        }
        return high;
    }
    static void AppendUtf8(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    const std::string& text_;
    const std::string& source_;
    std::size_t at_ = 0;
};

// One value of an option: a string, true (a flag), false or null (left out); numbers are
// taken as their text. Answers false for a value that gives nothing.
bool OptionValue(Reader& r, const std::string& key, std::string& value, bool& flag) {
    if (r.Peek() == '"') {
        value = r.String();
        flag = false;
        return true;
    }
    if (r.Peek() == '{' || r.Peek() == '[') {
        r.Fail("\"" + key + "\" takes a string, true or an array of strings");
    }
    const std::string word = r.Word();
    if (word == "true") {
        flag = true;
        return true;
    }
    if (word == "false" || word == "null") {
        return false;
    }
    if (word.find_first_not_of("0123456789+-.eE") != std::string::npos) {
        r.Fail("\"" + word + "\" is not a JSON value");
    }
    value = word;
    flag = false;
    return true;
}

} // namespace

JobArguments ParseJobJson(const std::string& text, const std::string& source) {
    Reader r(text, source);
    JobArguments job;
    r.Expect('{');
    if (!r.Take('}')) {
        do {
            const std::string key = r.String();
            r.Expect(':');
            if (key == "job-json") {
                r.Fail("a job cannot name another job");
            }
            if (key == "paths") {
                r.Expect('[');
                if (!r.Take(']')) {
                    do {
                        if (r.Peek() != '"') {
                            r.Fail("\"paths\" takes an array of strings");
                        }
                        job.Paths.push_back(r.String());
                    } while (r.Take(','));
                    r.Expect(']');
                }
                continue;
            }
            auto add = [&](const std::string& value, bool flag) {
                job.Options.push_back(flag ? "--" + key : "--" + key + "=" + value);
            };
            std::string value;
            bool flag = false;
            if (r.Take('[')) {
                if (!r.Take(']')) {
                    do {
                        if (OptionValue(r, key, value, flag)) {
                            add(value, flag);
                        }
                    } while (r.Take(','));
                    r.Expect(']');
                }
            } else if (OptionValue(r, key, value, flag)) {
                add(value, flag);
            }
        } while (r.Take(','));
        r.Expect('}');
    }
    if (!r.AtEnd()) {
        r.Fail("text after the object");
    }
    return job;
}

JobArguments ReadJobJson(const std::string& file) {
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            throw UsageError("--job-json: cannot read " + file);
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return ParseJobJson(text, file == "-" ? "standard input" : file);
}

} // namespace tesser::cli
