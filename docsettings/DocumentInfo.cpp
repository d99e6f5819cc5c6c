#include "docsettings/DocumentInfo.h"

#include "docsettings/CosAccess.h"
#include "docsettings/TextString.h"
#include "model/TextEncoding.h"

namespace tesser::docsettings {

namespace pc = tesser::hostcalls;

namespace {

struct InfoEntry {
    bool InfoSettings::*flag;
    std::string InfoSettings::*text;
    const char* entry;
};

constexpr InfoEntry kInfoEntries[] = {
    {&InfoSettings::SetTitle, &InfoSettings::Title, "Title"},
    {&InfoSettings::SetSubject, &InfoSettings::Subject, "Subject"},
    {&InfoSettings::SetAuthor, &InfoSettings::Author, "Author"},
    {&InfoSettings::SetKeywords, &InfoSettings::Keywords, "Keywords"},
};

// The value under key, made (a new dictionary or array) when the key is missing. The container is
// put in place first and then looked up again, so that later writes go to the object the parent
// holds whether or not the host copies direct objects on DictPut.
HObject GetOrMake(HCosDoc cosDoc, HObject parent, const char* key, bool array) {
    HAtom atom = cos::Atom(key);
    if (pc::DictKnown(parent, atom)) {
        return pc::DictGet(parent, atom);
    }
    HObject made = array ? pc::NewArray(cosDoc, false, 5) : pc::NewDict(cosDoc, false, 10);
    pc::DictPut(parent, atom, made);
    return pc::DictGet(parent, atom);
}

HObject MakeIndexEntry(HCosDoc cosDoc, const std::string& indexFile) {
    HObject spec = pc::NewDict(cosDoc, false, 10);
    cos::Put(spec, "Type", cos::MakeName(cosDoc, "FileSpec"));
    cos::Put(spec, "F", pc::NewString(cosDoc, false, EncodeTextString(indexFile)));
    HObject entry = pc::NewDict(cosDoc, false, 10);
    cos::Put(entry, "Name", cos::MakeName(cosDoc, "PDX"));
    cos::Put(entry, "Index", spec);
    return entry;
}

void WriteIndex(HDoc doc, const std::string& indexFile) {
    HCosDoc cosDoc = pc::GetCosDocument(doc);
    HObject cat = pc::GetCatalog(cosDoc);
    HObject search = GetOrMake(cosDoc, cat, "Search", false);
    HObject indexes = GetOrMake(cosDoc, search, "Indexes", true);
    pc::ArrayPut(indexes, 0, MakeIndexEntry(cosDoc, indexFile));
}

void WriteBaseURL(HDoc doc, const std::string& baseURL) {
    HCosDoc cosDoc = pc::GetCosDocument(doc);
    HObject cat = pc::GetCatalog(cosDoc);
    HObject uri = GetOrMake(cosDoc, cat, "URI", false);
    cos::Put(uri, "Base", pc::NewString(cosDoc, false, EncodeTextString(baseURL)));
}

void RestoreIndex(HDoc doc, const IndexSnapshot& previous) {
    HObject cat = cos::Catalog(doc);
    if (!previous.hadSearch) {
        RestoreEntry(doc, cat, "Search", ObjectCopy::Absent());
        return;
    }
    HObject search = cos::Get(cat, "Search");
    if (!cos::IsDict(search)) {
        return;
    }
    if (!previous.hadIndexes) {
        RestoreEntry(doc, search, "Indexes", ObjectCopy::Absent());
        return;
    }
    HObject indexes = cos::Get(search, "Indexes");
    if (!cos::IsArray(indexes)) {
        return;
    }
    if (previous.firstEntry.absent()) {
        if (pc::ArrayLength(indexes) > 0) {
            pc::ArrayRemove(indexes, pc::ArrayGet(indexes, 0));
        }
        return;
    }
    pc::ArrayPut(indexes, 0, MakeObject(doc, previous.firstEntry));
}

void RestoreBaseURL(HDoc doc, const BaseURLSnapshot& previous) {
    HObject cat = cos::Catalog(doc);
    if (!previous.hadURI) {
        RestoreEntry(doc, cat, "URI", ObjectCopy::Absent());
        return;
    }
    HObject uri = cos::Get(cat, "URI");
    if (cos::IsDict(uri)) {
        RestoreEntry(doc, uri, "Base", previous.base);
    }
}

bool AnyInfoItem(const InfoSettings& settings) {
    for (const auto& item : kInfoEntries) {
        if (settings.*item.flag) {
            return true;
        }
    }
    return false;
}

bool IsEmptyDict(HObject dict) {
    bool empty = true;
    pc::DictEnumerate(dict, [&](HAtom, HObject) {
        empty = false;
        return false;
    });
    return empty;
}

void RestoreInfo(const InfoSettings& settings, HDoc doc, const InfoSnapshot& previous) {
    HCosDoc cosDoc = pc::GetCosDocument(doc);
    for (std::size_t i = 0; i < std::size(kInfoEntries); ++i) {
        const InfoEntry& item = kInfoEntries[i];
        if (!(settings.*item.flag)) {
            continue;
        }
        const ObjectCopy& copy = previous.entries[i];
        if (copy.kind() == ObjectCopy::Kind::String) {
            pc::SetDocInfo(doc, item.entry, copy.text());
            continue;
        }
        HObject info = pc::GetInfoDict(cosDoc);
        if (!cos::IsNull(info)) {
            RestoreEntry(doc, info, item.entry, copy);
        } else if (!copy.absent()) {
            // The entry held something other than a string: make the dictionary, then put it.
            pc::SetDocInfo(doc, item.entry, std::string());
            RestoreEntry(doc, pc::GetInfoDict(cosDoc), item.entry, copy);
        }
    }
    if (!previous.hadInfo) {
        HObject info = pc::GetInfoDict(cosDoc);
        if (cos::IsDict(info) && IsEmptyDict(info)) {
            pc::RemoveInfoDict(cosDoc);
        }
    }
}

InfoSnapshot CaptureInfoEntries(const InfoSettings& settings, HDoc doc) {
    InfoSnapshot snapshot;
    HObject info = pc::GetInfoDict(pc::GetCosDocument(doc));
    snapshot.hadInfo = cos::IsDict(info);
    if (!snapshot.hadInfo) {
        return snapshot;
    }
    for (std::size_t i = 0; i < std::size(kInfoEntries); ++i) {
        if (settings.*kInfoEntries[i].flag) {
            snapshot.entries[i] = CopyObject(doc, cos::Get(info, kInfoEntries[i].entry));
        }
    }
    return snapshot;
}

IndexSnapshot CaptureIndex(HDoc doc) {
    IndexSnapshot snapshot;
    HObject search = cos::Get(cos::Catalog(doc), "Search");
    snapshot.hadSearch = !cos::IsNull(search);
    if (!cos::IsDict(search)) {
        return snapshot;
    }
    HObject indexes = cos::Get(search, "Indexes");
    snapshot.hadIndexes = !cos::IsNull(indexes);
    if (cos::IsArray(indexes) && pc::ArrayLength(indexes) > 0) {
        snapshot.firstEntry = CopyObject(doc, pc::ArrayGet(indexes, 0));
        if (snapshot.firstEntry.absent()) {
            snapshot.firstEntry = ObjectCopy::Null();
        }
    }
    return snapshot;
}

BaseURLSnapshot CaptureBaseURL(HDoc doc) {
    BaseURLSnapshot snapshot;
    HObject uri = cos::Get(cos::Catalog(doc), "URI");
    snapshot.hadURI = !cos::IsNull(uri);
    if (cos::IsDict(uri)) {
        snapshot.base = CopyObject(doc, cos::Get(uri, "Base"));
    }
    return snapshot;
}

// The text of a string read from the document. A string with characters Windows-1252 cannot hold
// keeps its bytes: undo puts the entry back from the snapshot, not from this text.
std::string ReadText(const std::string& bytes) {
    return DecodeTextString(bytes).value_or(bytes);
}

std::string ReadText(const ObjectCopy& copy) {
    return copy.kind() == ObjectCopy::Kind::String ? ReadText(copy.text()) : std::string();
}

std::string InfoSettings::*TextOf(InfoItem item) {
    switch (item) {
    case InfoItem::Title:
        return &InfoSettings::Title;
    case InfoItem::Subject:
        return &InfoSettings::Subject;
    case InfoItem::Author:
        return &InfoSettings::Author;
    case InfoItem::Keywords:
        return &InfoSettings::Keywords;
    case InfoItem::IndexFile:
        return &InfoSettings::IndexFile;
    case InfoItem::BaseURL:
        return &InfoSettings::BaseURL;
    }
    return &InfoSettings::Title;
}

} // namespace

void ApplyInfo(const InfoSettings& settings, HDoc doc) {
    if (settings.PreviousInfo) {
        RestoreInfo(settings, doc, *settings.PreviousInfo);
    } else {
        for (const auto& item : kInfoEntries) {
            if (settings.*item.flag) {
                pc::SetDocInfo(doc, item.entry, EncodeTextString(settings.*item.text));
            }
        }
    }
    if (settings.SetIndex) {
        if (settings.PreviousIndex) {
            RestoreIndex(doc, *settings.PreviousIndex);
        } else {
            WriteIndex(doc, settings.IndexFile);
        }
    }
    if (settings.SetBaseURL) {
        if (settings.PreviousBaseURL) {
            RestoreBaseURL(doc, *settings.PreviousBaseURL);
        } else {
            WriteBaseURL(doc, settings.BaseURL);
        }
    }
}

void CaptureInfo(InfoSettings& settings, HDoc doc) {
    if (AnyInfoItem(settings)) {
        settings.PreviousInfo = CaptureInfoEntries(settings, doc);
    }
    for (const auto& item : kInfoEntries) {
        if (settings.*item.flag) {
            settings.*item.text = ReadText(pc::GetDocInfo(doc, item.entry, kInfoCaptureLimit));
        }
    }
    if (settings.SetIndex) {
        settings.PreviousIndex = CaptureIndex(doc);
        settings.IndexFile = ReadText(settings.PreviousIndex->firstEntry.Get("Index").Get("F"));
    }
    if (settings.SetBaseURL) {
        settings.PreviousBaseURL = CaptureBaseURL(doc);
        settings.BaseURL = ReadText(settings.PreviousBaseURL->base);
    }
}

std::string_view InfoItemLabel(InfoItem item) {
    switch (item) {
    case InfoItem::Title:
        return "Title";
    case InfoItem::Subject:
        return "Subject";
    case InfoItem::Author:
        return "Author";
    case InfoItem::Keywords:
        return "Keywords";
    case InfoItem::IndexFile:
        return "Index file";
    case InfoItem::BaseURL:
        return "Base URL";
    }
    return "";
}

void SetInfoTextFromUtf8(InfoSettings& settings, InfoItem item, std::string_view utf8) {
    try {
        settings.*TextOf(item) = model::Utf8ToWindows1252(utf8);
    } catch (const model::TextEncodingError& error) {
        throw SettingsTextError(std::string(InfoItemLabel(item)) + ": " + error.what());
    }
}

std::string InfoTextToUtf8(const InfoSettings& settings, InfoItem item) {
    return model::Windows1252ToUtf8(settings.*TextOf(item));
}

} // namespace tesser::docsettings
