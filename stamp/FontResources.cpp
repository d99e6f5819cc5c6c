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

// Symbol and ZapfDingbats are drawn in their built-in encodings; every other standard font in
// WinAnsiEncoding.
bool UsesBuiltInEncoding(const std::string& fontFace) {
    return fontFace == "Symbol" || fontFace == "ZapfDingbats";
}

std::string NameText(HObject name) { return plugin::GetAtomText(plugin::GetNameAtom(name)); }

// Whether a page's font with the stamp's BaseFont draws the stamp's bytes as the stamp means
// them without any change to it: a simple Type 1 font, not embedded, in the encoding the stamp
// uses. Any other font of that name is the page's own business.
bool IsReusable(HFont font, const std::string& fontFace) {
    const HObject dict = plugin::GetFontObject(font);
    const HObject subtype = plugin::DictGet(dict, plugin::CreateAtom("Subtype"));
    if (plugin::GetObjectType(subtype) != kHObjName || NameText(subtype) != "Type1") {
        return false;
    }
    const HObject descriptor = plugin::DictGet(dict, plugin::CreateAtom("FontDescriptor"));
    if (plugin::GetObjectType(descriptor) == kHObjDict) {
        for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
            if (plugin::DictKnown(descriptor, plugin::CreateAtom(key))) {
                return false;
            }
        }
    }
    const HObject encoding = plugin::DictGet(dict, plugin::CreateAtom("Encoding"));
    const int32_t type = plugin::GetObjectType(encoding);
    if (UsesBuiltInEncoding(fontFace)) {
        return type == kHObjNull;
    }
    return type == kHObjName && NameText(encoding) == "WinAnsiEncoding";
}

struct Lookup {
    const std::string* fontFace = nullptr;     // a reusable font with this BaseFont, or
    const std::string* resourceName = nullptr; // the font under this resource name
    bool found = false;
    bool failed = false;
    HFont font = nullptr;
    HAtom resourceAtom = 0;
};

HBool VisitFont(HFont font, HAtom resourceName, void* clientData) {
    auto& lookup = *static_cast<Lookup*>(clientData);
    try {
        bool match = false;
        if (lookup.resourceName != nullptr) {
            match = plugin::GetAtomText(resourceName) == *lookup.resourceName;
        } else {
            // The host hands names of at most 64 bytes, as the original 65-byte buffer held.
            std::string name = plugin::GetFontName(font);
            if (name.size() > 64) {
                name.resize(64);
            }
            match = name == *lookup.fontFace && IsReusable(font, *lookup.fontFace);
        }
        if (match) {
            lookup.found = true;
            lookup.font = font;
            lookup.resourceAtom = resourceName;
            return 0;
        }
        return 1;
    } catch (const plugin::HostError&) {
        // A font the host cannot name or read is not the one looked for.
        return 1;
    } catch (...) {
        // No exception may cross back into the host.
        lookup.failed = true;
        return 0;
    }
}

// Answers false after a failure (message shown); lookup.found tells whether the font is on the
// page.
bool LookUpFont(HPage page, Lookup& lookup) {
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
    lookup.fontFace = &fontFace;
    if (!LookUpFont(page, lookup)) {
        return false;
    }
    if (lookup.found) {
        const std::string name = ResourceNameText(lookup.resourceAtom);
        if (name.empty()) {
            return false;
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
        if (!UsesBuiltInEncoding(fontFace)) {
            putName("Encoding", "WinAnsiEncoding");
        }
        plugin::AddPageResource(page, "Font", name, dict);
        if (shared != nullptr) {
            shared->Fonts.emplace(name, dict);
        }
    });
    if (!created) {
        return false;
    }

    lookup = Lookup{};
    lookup.resourceName = &name;
    if (!LookUpFont(page, lookup) || !lookup.found) {
        return false;
    }
    found.name = name;
    found.font = lookup.font;
    return true;
}

} // namespace tesser::stamp
