#include "stamp/ContentsInsertion.h"

#include "hostcalls/Guarded.h"

#include <climits>
#include <optional>
#include <set>
#include <vector>

namespace tesser::stamp {

namespace guarded = ::tesser::hostcalls::guarded;

namespace {

bool MakeStream(HDoc doc, std::string_view data, HObject& stream) {
    HCosDoc cos = nullptr;
    HObject null = nullptr;
    HObject attributes = nullptr;
    HObject length = nullptr;
    HAtom lengthKey = 0;
    if (!guarded::GetCosDocument(doc, cos) || !guarded::NewNull(null) ||
        !guarded::NewDict(cos, false, 5, attributes)) {
        return false;
    }
    if (data.size() > static_cast<std::size_t>(INT32_MAX)) {
        hostcalls::ShowAlert(kHAlertError, "Failed to create new integer", "OK");
        return false;
    }
    const auto size = static_cast<int32_t>(data.size());
    if (!guarded::NewInteger(cos, false, size, length) ||
        !guarded::CreateAtom("Length", lengthKey) ||
        !guarded::DictPut(attributes, lengthKey, length)) {
        return false;
    }
    HStream source = nullptr;
    if (!guarded::OpenMemoryReadStream(data.data(), data.size(), source)) {
        return false;
    }
    const bool created =
        guarded::NewStream(cos, true, source, 0, true, attributes, null, size, stream);
    const bool closed = guarded::CloseStream(source, created);
    if (created && !closed) {
        guarded::DestroyObject(stream);
        return false;
    }
    return created;
}

// What one insertion changed, so that a failure part-way can put the page back.
struct Insertion {
    HObject pageDict = nullptr;
    HAtom contentsKey = 0;
    bool replacedContents = false; // "Contents" was not an array and now is one of ours
    HObject previousContents = nullptr;
    bool hadContents = false;
    std::vector<HObject> inserted;
};

bool ReadContents(HPage page, HObject& pageDict, HAtom& key, HObject& contents, int32_t& type) {
    HDoc doc = nullptr;
    HCosDoc cos = nullptr;
    return guarded::GetPageDocument(page, doc) && guarded::GetCosDocument(doc, cos) &&
           guarded::GetPageCosObject(page, pageDict) && guarded::CreateAtom("Contents", key) &&
           guarded::DictGet(pageDict, key, contents) && guarded::GetObjectType(contents, type);
}

using SharedArrays = std::optional<std::set<int32_t>>;

// The object numbers of the indirect "Contents" arrays named by more than one page of doc.
bool FindSharedContents(HDoc doc, std::set<int32_t>& sharedArrays) {
    int32_t count = 0;
    HAtom key = 0;
    if (!guarded::GetPageCount(doc, count) || !guarded::CreateAtom("Contents", key)) {
        return false;
    }
    std::set<int32_t> seen;
    return guarded::Guard("Failed to get page contents", [&] {
        for (int32_t i = 0; i < count; ++i) {
            const hostcalls::ObjectScopeHandle scope = hostcalls::TryBeginObjectScope(doc);
            const hostcalls::PageHandle page(hostcalls::AcquirePage(doc, i));
            const HObject contents =
                hostcalls::DictGet(hostcalls::GetPageCosObject(page.get()), key);
            if (hostcalls::GetObjectType(contents) != kHObjArray) {
                continue;
            }
            const int32_t number = hostcalls::GetObjectNumber(contents);
            if (number != 0 && !seen.insert(number).second) {
                sharedArrays.insert(number);
            }
        }
    });
}

// Tells in isShared whether the page's "Contents" array is an indirect one that another page
// names too; answers false when that could not be found out (its message shown). A host that
// cannot tell object numbers apart answers "not shared", as before it could.
bool ArrayIsShared(HPage page, HObject array, SharedArrays& sharedArrays, bool& isShared) {
    isShared = false;
    int32_t number = 0;
    try {
        number = hostcalls::GetObjectNumber(array);
    } catch (const hostcalls::HostError& e) {
        return e.code() == kHErrNotFound;
    }
    if (number == 0) {
        return true;
    }
    if (!sharedArrays) {
        HDoc doc = nullptr;
        std::set<int32_t> walked;
        if (!guarded::GetPageDocument(page, doc) || !FindSharedContents(doc, walked)) {
            return false;
        }
        sharedArrays = std::move(walked);
    }
    isShared = sharedArrays->count(number) != 0;
    return true;
}

bool PutIntoContents(HPage page, HObject stream, bool front, Insertion& insertion,
                     SharedArrays& sharedArrays) {
    HDoc doc = nullptr;
    HCosDoc cos = nullptr;
    HObject pageDict = nullptr;
    HAtom key = 0;
    HObject contents = nullptr;
    int32_t type = 0;
    if (!guarded::GetPageDocument(page, doc) || !guarded::GetCosDocument(doc, cos) ||
        !ReadContents(page, pageDict, key, contents, type)) {
        return false;
    }
    insertion.pageDict = pageDict;
    insertion.contentsKey = key;

    HObject array = contents;
    bool isShared = false;
    if (type == kHObjArray && !ArrayIsShared(page, contents, sharedArrays, isShared)) {
        return false;
    }
    if (isShared) {
        // Another page names the same array: this page gets a copy of its own, so that the
        // stamp shows on this page alone and its removal finds it there.
        int32_t length = 0;
        HObject own = nullptr;
        if (!guarded::ArrayLength(contents, length) ||
            !guarded::NewArray(cos, false, length + 3, own)) {
            return false;
        }
        for (int32_t i = 0; i < length; ++i) {
            HObject element = nullptr;
            if (!guarded::ArrayGet(contents, i, element) || !guarded::ArrayPut(own, i, element)) {
                return false;
            }
        }
        if (!guarded::DictPut(pageDict, key, own) || !guarded::DictGet(pageDict, key, array)) {
            return false;
        }
        insertion.replacedContents = true;
        insertion.previousContents = contents;
        insertion.hadContents = true;
    } else if (type != kHObjArray) {
        if (!guarded::NewArray(cos, false, type == kHObjNull ? 1 : 2, array)) {
            return false;
        }
        if (type != kHObjNull && !guarded::ArrayPut(array, 0, contents)) {
            return false;
        }
        if (!guarded::DictPut(pageDict, key, array)) {
            return false;
        }
        insertion.replacedContents = true;
        insertion.previousContents = contents;
        insertion.hadContents = type != kHObjNull;
        // The array was copied into the page: go on with the page's own.
        if (!guarded::DictGet(pageDict, key, array)) {
            return false;
        }
    }

    int32_t index = 0;
    if (!front && !guarded::ArrayLength(array, index)) {
        return false;
    }
    if (!guarded::ArrayInsert(array, index, stream)) {
        return false;
    }
    insertion.inserted.push_back(stream);
    return true;
}

// Puts "Contents" back as it was before the insertion and destroys the streams it made.
void Undo(const Insertion& insertion, const std::vector<HObject>& created) {
    if (insertion.pageDict != nullptr) {
        if (insertion.replacedContents) {
            if (insertion.hadContents) {
                guarded::DictPut(insertion.pageDict, insertion.contentsKey,
                                 insertion.previousContents);
            } else {
                guarded::Guard("Failed to remove value from dictionary", [&] {
                    hostcalls::DictRemove(insertion.pageDict, insertion.contentsKey);
                });
            }
        } else {
            HObject array = nullptr;
            if (guarded::DictGet(insertion.pageDict, insertion.contentsKey, array)) {
                for (auto it = insertion.inserted.rbegin(); it != insertion.inserted.rend(); ++it) {
                    guarded::ArrayRemove(array, *it);
                }
            }
        }
    }
    for (HObject stream : created) {
        guarded::DestroyObject(stream);
    }
}

} // namespace

bool InsertStampContent(HDoc doc, HPage page, std::string_view content, model::Layer layer,
                        PassObjects* shared) {
    const bool background = layer == model::Layer::Background;
    Insertion insertion;
    std::vector<HObject> created;
    SharedArrays ownCache;
    SharedArrays& sharedArrays = shared != nullptr ? shared->SharedContents : ownCache;

    const auto add = [&](std::string_view data, bool front) {
        HObject stream = nullptr;
        if (!MakeStream(doc, data, stream)) {
            return false;
        }
        created.push_back(stream);
        return PutIntoContents(page, stream, front, insertion, sharedArrays);
    };
    // A shared stream is made on first use and stays for the pass's later pages even when this
    // page fails.
    const auto addShared = [&](HObject& kept, std::string_view data, bool front) {
        if (shared == nullptr) {
            return add(data, front);
        }
        if (kept == nullptr && !MakeStream(doc, data, kept)) {
            kept = nullptr;
            return false;
        }
        return PutIntoContents(page, kept, front, insertion, sharedArrays);
    };
    HObject unused = nullptr;
    HObject& save = shared != nullptr ? shared->Save : unused;
    HObject& restore = shared != nullptr ? shared->Restore : unused;

    if (addShared(restore, "Q", background) && add(content, background) &&
        addShared(save, "q", true) && guarded::NotifyPageContentsChanged(page, true)) {
        return true;
    }
    Undo(insertion, created);
    return false;
}

namespace {

const char* const kStampNotOnPage =
    "The stamp to remove is not on this page; its contents were left unchanged";

bool IsSingleOperatorStream(HObject object, const char* op) {
    int32_t type = 0;
    if (!guarded::GetObjectType(object, type)) {
        return false;
    }
    if (type != kHObjStream) {
        return false;
    }
    std::string data;
    if (!guarded::Guard("Failed to get stream data",
                        [&] { data = hostcalls::GetStreamData(object); })) {
        return false;
    }
    return data == op;
}

// The stamp's "q" at index 0 and its "Q" where the removal will look for it.
bool CarriesStamp(HObject array, int32_t length, bool background) {
    if (length < 3) {
        return false;
    }
    HObject save = nullptr;
    HObject restore = nullptr;
    return guarded::ArrayGet(array, 0, save) && IsSingleOperatorStream(save, "q") &&
           guarded::ArrayGet(array, background ? 2 : length - 2, restore) &&
           IsSingleOperatorStream(restore, "Q");
}

// Removes one element of the page's "Contents", the first or the last; destroys it when destroy
// is true.
bool TakeOff(HPage page, bool first, bool destroy) {
    HObject pageDict = nullptr;
    HAtom key = 0;
    HObject array = nullptr;
    int32_t type = 0;
    int32_t length = 0;
    HObject element = nullptr;
    return ReadContents(page, pageDict, key, array, type) && guarded::ArrayLength(array, length) &&
           guarded::ArrayGet(array, first ? 0 : length - 1, element) &&
           guarded::ArrayRemove(array, element) && (!destroy || guarded::DestroyObject(element));
}

} // namespace

bool RemoveStampContent(HPage page, model::Layer layer) {
    const bool background = layer == model::Layer::Background;
    HDoc doc = nullptr;
    HCosDoc cos = nullptr;
    if (!guarded::GetPageDocument(page, doc) || !guarded::GetCosDocument(doc, cos)) {
        return false;
    }

    HObject pageDict = nullptr;
    HAtom key = 0;
    HObject contents = nullptr;
    int32_t type = 0;
    int32_t length = 0;
    if (!ReadContents(page, pageDict, key, contents, type)) {
        return false;
    }
    if (type == kHObjArray && !guarded::ArrayLength(contents, length)) {
        return false;
    }
    if (type != kHObjArray || !CarriesStamp(contents, length, background)) {
        hostcalls::ShowAlert(kHAlertError, kStampNotOnPage, "OK");
        return false;
    }

    // The "q" and "Q" streams may be on other pages too: only the stamp's own stream is
    // destroyed.
    return TakeOff(page, true, false) && TakeOff(page, background, true) &&
           TakeOff(page, background, false) && guarded::NotifyPageContentsChanged(page, true);
}

} // namespace tesser::stamp
