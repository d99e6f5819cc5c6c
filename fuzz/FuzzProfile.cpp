// The profile reader with the Tesserions it holds: any bytes as "Quorel.ini".
#include "FuzzTarget.h"

#include "model/Profile.h"
#include "model/TesserionList.h"
#include "model/TesserionStore.h"
#include "model/Validation.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace tesser::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        SetProfileMessageSink([](const std::string&, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Profile profile;
    profile.LoadText(bytes);
    TesserionList list;
    LoadTesserions(profile, list);
    for (const auto& [name, stored] : list) {
        Tesserion copy = stored;
        if (copy.Name != name) {
            std::abort(); // a list entry is found under its own name
        }
        (void)ValidateTesserion(copy);
    }
    (void)LoadCustomColors(profile);
    // What the reader makes of text it wrote itself must be what it read.
    const ProfileSections sections = ParseProfileText(bytes);
    (void)FormatProfileText(sections);
    return 0;
}
