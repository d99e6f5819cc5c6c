#include "plugin/Guarded.h"

namespace tesser::plugin::guarded {

bool CreateAtom(const std::string& text, HAtom& atom) {
    return Guard("Failed to create atom from string",
                 [&] { atom = plugin::CreateAtom(text); });
}

bool GetObjectType(HObject object, int32_t& type) {
    return Guard("Failed to get objects type", [&] { type = plugin::GetObjectType(object); });
}

bool NewNull(HObject& object) {
    return Guard("Failed to create new null", [&] { object = plugin::NewNull(); });
}

bool NewInteger(HCosDoc doc, bool indirect, int32_t value, HObject& object) {
    return Guard("Failed to create new integer",
                 [&] { object = plugin::NewInteger(doc, indirect, value); });
}

bool NewName(HCosDoc doc, bool indirect, HAtom name, HObject& object) {
    return Guard("Failed to create new name",
                 [&] { object = plugin::NewName(doc, indirect, name); });
}

bool NewArray(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object) {
    return Guard("Failed to create new array",
                 [&] { object = plugin::NewArray(doc, indirect, initialSize); });
}

bool NewDict(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object) {
    return Guard("Failed to create new dict",
                 [&] { object = plugin::NewDict(doc, indirect, initialSize); });
}

bool NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
               HObject attributes, HObject parameters, int64_t sourceLength, HObject& object) {
    return Guard("Failed to create new stream", [&] {
        object = plugin::NewStream(doc, indirect, source, sourceOffset, decode, attributes,
                                   parameters, sourceLength);
    });
}

bool DestroyObject(HObject object) {
    return Guard("Failed to destroy object", [&] { plugin::DestroyObject(object); });
}

bool DictGet(HObject dict, HAtom key, HObject& value) {
    return Guard("Failed to get value from dictionary",
                 [&] { value = plugin::DictGet(dict, key); });
}

bool DictPut(HObject dict, HAtom key, HObject value) {
    return Guard("Failed to put value in dictionary", [&] { plugin::DictPut(dict, key, value); });
}

bool ArrayLength(HObject array, int32_t& length) {
    return Guard("Failed to get array length", [&] { length = plugin::ArrayLength(array); });
}

bool ArrayGet(HObject array, int32_t index, HObject& element) {
    return Guard("Failed to get object from array",
                 [&] { element = plugin::ArrayGet(array, index); });
}

bool ArrayPut(HObject array, int32_t index, HObject element) {
    return Guard("Failed to put object into array",
                 [&] { plugin::ArrayPut(array, index, element); });
}

bool ArrayInsert(HObject array, int32_t index, HObject element) {
    return Guard("Failed to insert object into array",
                 [&] { plugin::ArrayInsert(array, index, element); });
}

bool ArrayRemove(HObject array, HObject element) {
    return Guard("Failed to remove object from array",
                 [&] { plugin::ArrayRemove(array, element); });
}

bool OpenMemoryReadStream(const char* bytes, size_t length, HStream& stream) {
    return Guard("Failed to open read stream from memory",
                 [&] { stream = plugin::OpenMemoryReadStream(bytes, length); });
}

bool CloseStream(HStream stream, bool report) {
    try {
        plugin::CloseStream(stream);
        return true;
    } catch (const HostError&) {
        if (report) {
            ShowAlert(kHAlertError, "Failed to close stream", "OK");
        }
        return false;
    }
}

bool GetSecurityData(HDoc doc, void*& data) {
    return Guard("Failed to get security data", [&] { data = plugin::GetSecurityData(doc); });
}

bool Authorise(HDoc doc, int32_t requested, const std::string& password, int32_t& granted) {
    return Guard("Failed to authorise",
                 [&] { granted = plugin::Authorise(doc, requested, password); });
}

bool GetPageCount(HDoc doc, int32_t& count) {
    return Guard("Failed to get number of pages", [&] { count = plugin::GetPageCount(doc); });
}

bool AcquirePage(HDoc doc, int32_t index, HPage& page) {
    return Guard("Failed to acquire page", [&] { page = plugin::AcquirePage(doc, index); });
}

bool ReleasePage(HPage page) {
    return Guard("Failed to release page", [&] { plugin::ReleasePage(page); });
}

bool GetPageNumber(HPage page, int32_t& index) {
    return Guard("Failed to get page number", [&] { index = plugin::GetPageNumber(page); });
}

bool GetPageDocument(HPage page, HDoc& doc) {
    return Guard("Failed to get page document", [&] { doc = plugin::GetPageDocument(page); });
}

bool GetCosDocument(HDoc doc, HCosDoc& cosDoc) {
    return Guard("Failed to get Cos document", [&] { cosDoc = plugin::GetCosDocument(doc); });
}

bool GetPageCosObject(HPage page, HObject& pageDict) {
    return Guard("Failed to get page Cos object",
                 [&] { pageDict = plugin::GetPageCosObject(page); });
}

bool GetPageMediaBox(HPage page, HFixedRect& box) {
    return Guard("Failed to get page media box", [&] { box = plugin::GetPageMediaBox(page); });
}

bool GetPageCropBox(HPage page, HFixedRect& box) {
    return Guard("Failed to get page media box", [&] { box = plugin::GetPageCropBox(page); });
}

bool EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData) {
    return Guard("Failed to enumerate page resources",
                 [&] { plugin::EnumeratePageFonts(page, visitor, clientData); });
}

bool NotifyPageContentsChanged(HPage page, bool flag) {
    return Guard("Failed to notify page contents did change",
                 [&] { plugin::NotifyPageContentsChanged(page, flag); });
}

} // namespace tesser::plugin::guarded
