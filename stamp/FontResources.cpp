#include "stamp/FontResources.h"

#include "hostcalls/Guarded.h"

#include <optional>

namespace tesser::stamp {

namespace guarded = ::tesser::hostcalls::guarded;

bool PrepareProcSet(HPage page, PassObjects* shared) {
    bool result = true;
    const bool guardedOk = guarded::Guard("Failed to set page text procset", [&] {
        const HCosDoc cos = hostcalls::GetCosDocument(hostcalls::GetPageDocument(page));
        const HObject resources = hostcalls::GetPageResources(page);
        const HAtom procSetKey = hostcalls::CreateAtom("ProcSet");

        HObject array = nullptr;
        bool made = false;
        if (hostcalls::DictKnown(resources, procSetKey)) {
            array = hostcalls::DictGet(resources, procSetKey);
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
                array = hostcalls::DictGet(resources, key);
            }
        }

        const HAtom pdf = hostcalls::CreateAtom("PDF");
        const HAtom text = hostcalls::CreateAtom("Text");
        const int32_t n = hostcalls::ArrayLength(array);
        bool hasPdf = false;
        bool hasText = false;
        for (int32_t i = 0; i < n; ++i) {
            const HObject element = hostcalls::ArrayGet(array, i);
            if (hostcalls::GetObjectType(element) != kHObjName) {
                continue;
            }
            const HAtom atom = hostcalls::GetNameAtom(element);
            hasPdf = hasPdf || atom == pdf;
            hasText = hasText || atom == text;
        }

        int32_t index = n;
        if (!hasPdf) {
            HObject name = nullptr;
            if (guarded::NewName(cos, false, pdf, name) && guarded::ArrayPut(array, index, name)) {
                ++index;
            }
        }
        if (!hasText) {
            HObject name = nullptr;
            if (guarded::NewName(cos, false, text, name) && guarded::ArrayPut(array, index, name)) {
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

std::string NameText(HObject name) {
    return hostcalls::GetAtomText(hostcalls::GetNameAtom(name));
}

// Whether a page's font with the stamp's BaseFont draws the stamp's bytes as the stamp means
// them without any change to it: a simple Type 1 font, not embedded, in the encoding the stamp
// uses. Any other font of that name is the page's own business.
bool IsReusable(HFont font, const std::string& fontFace) {
    const HObject dict = hostcalls::GetFontObject(font);
    const HObject subtype = hostcalls::DictGet(dict, hostcalls::CreateAtom("Subtype"));
    if (hostcalls::GetObjectType(subtype) != kHObjName || NameText(subtype) != "Type1") {
        return false;
    }
    const HObject descriptor = hostcalls::DictGet(dict, hostcalls::CreateAtom("FontDescriptor"));
    if (hostcalls::GetObjectType(descriptor) == kHObjDict) {
        for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
            if (hostcalls::DictKnown(descriptor, hostcalls::CreateAtom(key))) {
                return false;
            }
        }
    }
    const HObject encoding = hostcalls::DictGet(dict, hostcalls::CreateAtom("Encoding"));
    const int32_t type = hostcalls::GetObjectType(encoding);
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
            match = hostcalls::GetAtomText(resourceName) == *lookup.resourceName;
        } else {
            // The host hands names of at most 64 bytes, as the original 65-byte buffer held.
            std::string name = hostcalls::GetFontName(font);
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
    } catch (const hostcalls::HostError&) {
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
        hostcalls::ShowAlert(kHAlertError, "Failed to enumerate page resources", "OK");
        return false;
    }
    return true;
}

std::string ResourceNameText(HAtom atom) {
    std::string name;
    if (!guarded::Guard("Failed to enumerate page resources",
                        [&] { name = hostcalls::GetAtomText(atom); })) {
        return {};
    }
    return name;
}

} // namespace

bool FindOrAddFontResource(HDoc doc, HPage page, const std::string& fontFace, FontResource& found,
                           PassObjects* shared) {
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
        const HObject resources = hostcalls::GetPageResources(page);
        const HObject fonts = hostcalls::DictGet(resources, hostcalls::CreateAtom("Font"));
        const bool noFonts = hostcalls::GetObjectType(fonts) == kHObjNull;
        for (int i = 1; i <= 9999; ++i) {
            std::string candidate = "F" + std::to_string(i);
            if (noFonts || !hostcalls::DictKnown(fonts, hostcalls::CreateAtom(candidate))) {
                name = std::move(candidate);
                return;
            }
        }
        throw hostcalls::HostError(kHErrNotFound, "Every font resource name F1 to F9999 is taken.");
    });
    if (!chosen) {
        return false;
    }

    const bool created = guarded::Guard("Failed to create new font resource on page", [&] {
        if (shared != nullptr) {
            const auto made = shared->Fonts.find(name);
            if (made != shared->Fonts.end()) {
                hostcalls::AddPageResource(page, "Font", name, made->second);
                return;
            }
        }
        const HCosDoc cos = hostcalls::GetCosDocument(doc);
        const HObject dict = hostcalls::NewDict(cos, true, 4);
        const auto putName = [&](const char* key, const std::string& value) {
            hostcalls::DictPut(dict, hostcalls::CreateAtom(key),
                               hostcalls::NewName(cos, false, hostcalls::CreateAtom(value)));
        };
        putName("Type", "Font");
        putName("Name", name);
        putName("Subtype", "Type1");
        putName("BaseFont", fontFace);
        if (!UsesBuiltInEncoding(fontFace)) {
            putName("Encoding", "WinAnsiEncoding");
        }
        hostcalls::AddPageResource(page, "Font", name, dict);
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
