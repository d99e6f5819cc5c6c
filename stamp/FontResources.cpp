#include "stamp/FontResources.h"

#include "plugin/Guarded.h"

#include <optional>

namespace tesser::stamp {

namespace guarded = ::tesser::plugin::guarded;

bool PrepareProcSet(HPage page, PassObjects* shared) {
    bool result = true;
    const bool guardedOk = guarded::Guard("Failed to set page text procset", [&] {
        const HCosDoc cos = plugin::GetCosDocument(plugin::GetPageDocument(page));
        const HObject resources = plugin::GetPageResources(page);
        const HAtom procSetKey = plugin::CreateAtom("ProcSet");

        HObject array = nullptr;
        bool made = false;
        if (plugin::DictKnown(resources, procSetKey)) {
            array = plugin::DictGet(resources, procSetKey);
        } else if (shared != nullptr && shared->ProcSet != nullptr) {
            // Already names "PDF" and "Text".
            guarded::DictPut(resources, procSetKey, shared->ProcSet);
            return;
        } else {
            if (!guarded::NewArray(cos, shared != nullptr, 5, array)) {
                result = false;
                return;
            }
            made = true;
            HAtom key = 0;
            // Direct objects are copied into place: work on the stored copy when there is one.
            if (guarded::CreateAtom("ProcSet", key) && guarded::DictPut(resources, key, array)) {
                array = plugin::DictGet(resources, key);
            }
        }

        const HAtom pdf = plugin::CreateAtom("PDF");
        const HAtom text = plugin::CreateAtom("Text");
        const int32_t n = plugin::ArrayLength(array);
        bool hasPdf = false;
        bool hasText = false;
        for (int32_t i = 0; i < n; ++i) {
            const HObject element = plugin::ArrayGet(array, i);
            if (plugin::GetObjectType(element) != kHObjName) {
                continue;
            }
            const HAtom atom = plugin::GetNameAtom(element);
            hasPdf = hasPdf || atom == pdf;
            hasText = hasText || atom == text;
        }

        int32_t index = n;
        if (!hasPdf) {
            HObject name = nullptr;
            if (guarded::NewName(cos, false, pdf, name) &&
                guarded::ArrayPut(array, index, name)) {
                ++index;
            }
        }
        if (!hasText) {
            HObject name = nullptr;
            if (guarded::NewName(cos, false, text, name) &&
                guarded::ArrayPut(array, index, name)) {
                ++index;
            }
        }
        // Later pages get the new array only when it names both.
        if (made && shared != nullptr && index == n + 2) {
            shared->ProcSet = array;
        }
    });
    return guardedOk && result;
}

namespace {

struct Lookup {
    const std::string* fontFace = nullptr;
    bool found = false;
    bool failed = false;
    HFont font = nullptr;
    HAtom resourceName = 0;
};

HBool VisitFont(HFont font, HAtom resourceName, void* clientData) {
    auto& lookup = *static_cast<Lookup*>(clientData);
    try {
        // The host hands names of at most 64 bytes, as the original 65-byte buffer held.
        std::string name = plugin::GetFontName(font);
        if (name.size() > 64) {
            name.resize(64);
        }
        if (name == *lookup.fontFace) {
            lookup.found = true;
            lookup.font = font;
            lookup.resourceName = resourceName;
            return 0;
        }
        return 1;
    } catch (const plugin::HostError&) {
        // A font the host cannot name is not the one looked for.
        return 1;
    } catch (...) {
        // No exception may cross back into the host.
        lookup.failed = true;
        return 0;
    }
}

// Answers false after a failure (message shown); found tells whether fontFace is on the page.
bool LookUpFont(HPage page, const std::string& fontFace, Lookup& lookup) {
    lookup = Lookup{};
    lookup.fontFace = &fontFace;
    if (!guarded::EnumeratePageFonts(page, &VisitFont, &lookup)) {
        return false;
    }
    if (lookup.failed) {
        plugin::ShowAlert(kHAlertError, "Failed to enumerate page resources", "OK");
        return false;
    }
    return true;
}

std::string ResourceNameText(HAtom atom) {
    std::string name;
    if (!guarded::Guard("Failed to enumerate page resources",
                        [&] { name = plugin::GetAtomText(atom); })) {
        return {};
    }
    return name;
}

} // namespace

bool FindOrAddFontResource(HDoc doc, HPage page, const std::string& fontFace,
                           FontResource& found, PassObjects* shared) {
    Lookup lookup;
    if (!LookUpFont(page, fontFace, lookup)) {
        return false;
    }
    if (lookup.found) {
        const std::string name = ResourceNameText(lookup.resourceName);
        if (name.empty()) {
            return false;
        }
        const HObject fontDict = plugin::GetFontObject(lookup.font);
        const HAtom encoding = plugin::CreateAtom("Encoding");
        if (!plugin::DictKnown(fontDict, encoding)) {
            const HObject winAnsi = plugin::NewName(plugin::GetCosDocument(doc), false,
                                                    plugin::CreateAtom("WinAnsiEncoding"));
            plugin::DictPut(fontDict, encoding, winAnsi);
        }
        found.name = name;
        found.font = lookup.font;
        return true;
    }

    std::string name;
    const bool chosen = guarded::Guard("Failed to choose new font resource name on page", [&] {
        const HObject resources = plugin::GetPageResources(page);
        const HObject fonts = plugin::DictGet(resources, plugin::CreateAtom("Font"));
        const bool noFonts = plugin::GetObjectType(fonts) == kHObjNull;
        for (int i = 1; i <= 9999; ++i) {
            std::string candidate = "F" + std::to_string(i);
            if (noFonts || !plugin::DictKnown(fonts, plugin::CreateAtom(candidate))) {
                name = std::move(candidate);
                return;
            }
        }
        throw plugin::HostError(kHErrNotFound, "Every font resource name F1 to F9999 is taken.");
    });
    if (!chosen) {
        return false;
    }

    const bool created = guarded::Guard("Failed to create new font resource on page", [&] {
        if (shared != nullptr) {
            const auto made = shared->Fonts.find(name);
            if (made != shared->Fonts.end()) {
                plugin::AddPageResource(page, "Font", name, made->second);
                return;
            }
        }
        const HCosDoc cos = plugin::GetCosDocument(doc);
        const HObject dict = plugin::NewDict(cos, true, 4);
        const auto putName = [&](const char* key, const std::string& value) {
            plugin::DictPut(dict, plugin::CreateAtom(key),
                            plugin::NewName(cos, false, plugin::CreateAtom(value)));
        };
        putName("Type", "Font");
        putName("Name", name);
        putName("Subtype", "Type1");
        putName("BaseFont", fontFace);
        putName("Encoding", "WinAnsiEncoding");
        plugin::AddPageResource(page, "Font", name, dict);
        if (shared != nullptr) {
            shared->Fonts.emplace(name, dict);
        }
    });
    if (!created) {
        return false;
    }

    if (!LookUpFont(page, fontFace, lookup) || !lookup.found) {
        return false;
    }
    found.name = ResourceNameText(lookup.resourceName);
    found.font = lookup.font;
    return !found.name.empty();
}

} // namespace tesser::stamp
