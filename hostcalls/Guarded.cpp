#include "hostcalls/Guarded.h"

namespace tesser::hostcalls::guarded {

bool CreateAtom(const std::string& text, HAtom& atom) {
    return Guard("Failed to create atom from string", [&] { atom = hostcalls::CreateAtom(text); });
}

bool GetObjectType(HObject object, int32_t& type) {
    return Guard("Failed to get objects type", [&] { type = hostcalls::GetObjectType(object); });
}

bool NewNull(HObject& object) {
    return Guard("Failed to create new null", [&] { object = hostcalls::NewNull(); });
}

bool NewInteger(HCosDoc doc, bool indirect, int32_t value, HObject& object) {
    return Guard("Failed to create new integer",
                 [&] { object = hostcalls::NewInteger(doc, indirect, value); });
}

bool NewName(HCosDoc doc, bool indirect, HAtom name, HObject& object) {
    return Guard("Failed to create new name",
                 [&] { object = hostcalls::NewName(doc, indirect, name); });
}

bool NewArray(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object) {
    return Guard("Failed to create new array",
                 [&] { object = hostcalls::NewArray(doc, indirect, initialSize); });
}

bool NewDict(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object) {
    return Guard("Failed to create new dict",
                 [&] { object = hostcalls::NewDict(doc, indirect, initialSize); });
}

bool NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
               HObject attributes, HObject parameters, int64_t sourceLength, HObject& object) {
    return Guard("Failed to create new stream", [&] {
        object = hostcalls::NewStream(doc, indirect, source, sourceOffset, decode, attributes,
                                      parameters, sourceLength);
    });
}

bool DestroyObject(HObject object) {
    return Guard("Failed to destroy object", [&] { hostcalls::DestroyObject(object); });
}

bool DictGet(HObject dict, HAtom key, HObject& value) {
    return Guard("Failed to get value from dictionary",
                 [&] { value = hostcalls::DictGet(dict, key); });
}

bool DictPut(HObject dict, HAtom key, HObject value) {
    return Guard("Failed to put value in dictionary",
                 [&] { hostcalls::DictPut(dict, key, value); });
}

bool ArrayLength(HObject array, int32_t& length) {
    return Guard("Failed to get array length", [&] { length = hostcalls::ArrayLength(array); });
}

bool ArrayGet(HObject array, int32_t index, HObject& element) {
    return Guard("Failed to get object from array",
                 [&] { element = hostcalls::ArrayGet(array, index); });
}

bool ArrayPut(HObject array, int32_t index, HObject element) {
    return Guard("Failed to put object into array",
                 [&] { hostcalls::ArrayPut(array, index, element); });
}

bool ArrayInsert(HObject array, int32_t index, HObject element) {
    return Guard("Failed to insert object into array",
                 [&] { hostcalls::ArrayInsert(array, index, element); });
}

bool ArrayRemove(HObject array, HObject element) {
    return Guard("Failed to remove object from array",
                 [&] { hostcalls::ArrayRemove(array, element); });
}

bool OpenMemoryReadStream(const char* bytes, size_t length, HStream& stream) {
    return Guard("Failed to open read stream from memory",
                 [&] { stream = hostcalls::OpenMemoryReadStream(bytes, length); });
}

bool CloseStream(HStream stream, bool report) {
    try {
        hostcalls::CloseStream(stream);
        return true;
    } catch (const HostError&) {
        if (report) {
            ShowAlert(kHAlertError, "Failed to close stream", "OK");
        }
        return false;
    }
}

bool GetSecurityData(HDoc doc, void*& data) {
    return Guard("Failed to get security data", [&] { data = hostcalls::GetSecurityData(doc); });
}

bool Authorise(HDoc doc, int32_t requested, const std::string& password, int32_t& granted) {
    return Guard("Failed to authorise",
                 [&] { granted = hostcalls::Authorise(doc, requested, password); });
}

bool GetPageCount(HDoc doc, int32_t& count) {
    return Guard("Failed to get number of pages", [&] { count = hostcalls::GetPageCount(doc); });
}

bool AcquirePage(HDoc doc, int32_t index, HPage& page) {
    return Guard("Failed to acquire page", [&] { page = hostcalls::AcquirePage(doc, index); });
}

bool ReleasePage(HPage page) {
    return Guard("Failed to release page", [&] { hostcalls::ReleasePage(page); });
}

bool GetPageNumber(HPage page, int32_t& index) {
    return Guard("Failed to get page number", [&] { index = hostcalls::GetPageNumber(page); });
}

bool GetPageDocument(HPage page, HDoc& doc) {
    return Guard("Failed to get page document", [&] { doc = hostcalls::GetPageDocument(page); });
}

bool GetCosDocument(HDoc doc, HCosDoc& cosDoc) {
    return Guard("Failed to get Cos document", [&] { cosDoc = hostcalls::GetCosDocument(doc); });
}

bool GetPageCosObject(HPage page, HObject& pageDict) {
    return Guard("Failed to get page Cos object",
                 [&] { pageDict = hostcalls::GetPageCosObject(page); });
}

bool GetPageMediaBox(HPage page, HFixedRect& box) {
    return Guard("Failed to get page media box", [&] { box = hostcalls::GetPageMediaBox(page); });
}

bool GetPageCropBox(HPage page, HFixedRect& box) {
    return Guard("Failed to get page media box", [&] { box = hostcalls::GetPageCropBox(page); });
}

bool EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData) {
    return Guard("Failed to enumerate page resources",
                 [&] { hostcalls::EnumeratePageFonts(page, visitor, clientData); });
}

bool NotifyPageContentsChanged(HPage page, bool flag) {
    return Guard("Failed to notify page contents did change",
                 [&] { hostcalls::NotifyPageContentsChanged(page, flag); });
}

} // namespace tesser::hostcalls::guarded
