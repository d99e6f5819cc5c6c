// Small conveniences over the plug-in's host calls for the document-settings code. Every call is
// made directly, so a host error is raised to the caller as hostcalls::HostError.
#pragma once

#include "hostcalls/HostCalls.h"

#include <string>

namespace tesser::docsettings::cos {

inline HAtom Atom(const std::string& text) {
    return hostcalls::CreateAtom(text);
}

inline int32_t TypeOf(HObject object) {
    return hostcalls::GetObjectType(object);
}

inline HObject Get(HObject dict, const std::string& key) {
    return hostcalls::DictGet(dict, Atom(key));
}
inline void Put(HObject dict, const std::string& key, HObject value) {
    hostcalls::DictPut(dict, Atom(key), value);
}
inline void Remove(HObject dict, const std::string& key) {
    hostcalls::DictRemove(dict, Atom(key));
}

inline bool IsDict(HObject object) {
    return TypeOf(object) == kHObjDict;
}
inline bool IsArray(HObject object) {
    return TypeOf(object) == kHObjArray;
}
inline bool IsNull(HObject object) {
    return TypeOf(object) == kHObjNull;
}

// Names are compared as texts, byte by byte.
inline bool IsName(HObject object) {
    return TypeOf(object) == kHObjName;
}
inline std::string NameText(HObject name) {
    return hostcalls::GetAtomText(hostcalls::GetNameAtom(name));
}
inline bool IsNameText(HObject object, const std::string& text) {
    return IsName(object) && NameText(object) == text;
}

inline HObject MakeName(HCosDoc cosDoc, const std::string& text) {
    return hostcalls::NewName(cosDoc, false, Atom(text));
}

inline HObject Catalog(HDoc doc) {
    return hostcalls::GetCatalog(hostcalls::GetCosDocument(doc));
}

} // namespace tesser::docsettings::cos
