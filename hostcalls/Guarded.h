// Guarded host operations.
//
// Each function makes one host call. On success it answers true and writes its results; when
// the host raises an error it shows the operation's failure message once with ShowAlert (icon
// kind 1, button "OK"), leaves the out values unset and answers false. Nothing is rethrown.
// Guard() runs a group of calls under one message, for the steps that guard several calls
// together (ObjectsEqual, GetNameAtom, DictKnown, GetPageResources, AddPageResource,
// GetFontName and GetFontWidths are guarded that way by their callers).
#pragma once

#include "hostcalls/HostCalls.h"

#include <string>
#include <utility>

namespace tesser::hostcalls::guarded {

// Runs body(); a HostError inside it shows message and answers false.
template <typename Body> bool Guard(const char* message, Body&& body) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const HostError&) {
        ShowAlert(kHAlertError, message, "OK");
        return false;
    }
}

bool CreateAtom(const std::string& text, HAtom& atom);
bool GetObjectType(HObject object, int32_t& type);
bool NewNull(HObject& object);
bool NewInteger(HCosDoc doc, bool indirect, int32_t value, HObject& object);
bool NewName(HCosDoc doc, bool indirect, HAtom name, HObject& object);
bool NewArray(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object);
bool NewDict(HCosDoc doc, bool indirect, int32_t initialSize, HObject& object);
bool NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
               HObject attributes, HObject parameters, int64_t sourceLength, HObject& object);
bool DestroyObject(HObject object);
bool DictGet(HObject dict, HAtom key, HObject& value);
bool DictPut(HObject dict, HAtom key, HObject value);
bool ArrayLength(HObject array, int32_t& length);
bool ArrayGet(HObject array, int32_t index, HObject& element);
bool ArrayPut(HObject array, int32_t index, HObject element);
bool ArrayInsert(HObject array, int32_t index, HObject element);
bool ArrayRemove(HObject array, HObject element);
bool OpenMemoryReadStream(const char* bytes, size_t length, HStream& stream);
// The message is shown only when report is true.
bool CloseStream(HStream stream, bool report);
bool GetSecurityData(HDoc doc, void*& data);
bool Authorise(HDoc doc, int32_t requested, const std::string& password, int32_t& granted);
bool GetPageCount(HDoc doc, int32_t& count);
bool AcquirePage(HDoc doc, int32_t index, HPage& page);
bool ReleasePage(HPage page);
bool GetPageNumber(HPage page, int32_t& index);
bool GetPageDocument(HPage page, HDoc& doc);
bool GetCosDocument(HDoc doc, HCosDoc& cosDoc);
bool GetPageCosObject(HPage page, HObject& pageDict);
bool GetPageMediaBox(HPage page, HFixedRect& box);
bool GetPageCropBox(HPage page, HFixedRect& box);
bool EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData);
bool NotifyPageContentsChanged(HPage page, bool flag);

} // namespace tesser::hostcalls::guarded
