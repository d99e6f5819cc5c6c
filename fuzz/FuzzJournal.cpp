// The undo journal reader on any bytes; what it accepts is written and read back the same.
#include "FuzzTarget.h"

#include "cli/Journal.h"

#include <cstdlib>
#include <string>

using namespace tesser::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<JournalRecord> records;
    try {
        records = ParseJournal(text);
    } catch (const JournalError&) {
        return 0;
    }
    const std::string written = FormatJournal(records);
    try {
        if (FormatJournal(ParseJournal(written)) != written) {
            std::abort(); // the journal changes when read back
        }
    } catch (const JournalError&) {
        std::abort(); // the journal cannot read what it wrote
    }
    return 0;
}
