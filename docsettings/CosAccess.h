// Small conveniences over the plug-in's host calls for the document-settings code. Every call is
// made directly, so a host error is raised to the caller as plugin::HostError.
#pragma once

#include "plugin/HostCalls.h"

#include <string>

namespace tesser::docsettings::cos {

inline HAtom Atom(const std::string& text) { return plugin::CreateAtom(text); }

inline int32_t TypeOf(HObject object) { return plugin::GetObjectType(object); }

inline HObject Get(HObject dict, const std::string& key) {
    return plugin::DictGet(dict, Atom(key));
}
inline void Put(HObject dict, const std::string& key, HObject value) {
    plugin::DictPut(dict, Atom(key), value);
}
inline void Remove(HObject dict, const std::string& key) { plugin::DictRemove(dict, Atom(key)); }

inline bool IsDict(HObject object) { return TypeOf(object) == kHObjDict; }
inline bool IsArray(HObject object) { return TypeOf(object) == kHObjArray; }
inline bool IsNull(HObject object) { return TypeOf(object) == kHObjNull; }

// Names are compared as texts, byte by byte.
inline bool IsName(HObject object) { return TypeOf(object) == kHObjName; }
inline std::string NameText(HObject name) {
    return plugin::GetAtomText(plugin::GetNameAtom(name));
}
inline bool IsNameText(HObject object, const std::string& text) {
    return IsName(object) && NameText(object) == text;
}

inline HObject MakeName(HCosDoc cosDoc, const std::string& text) {
    return plugin::NewName(cosDoc, false, Atom(text));
}

inline HObject Catalog(HDoc doc) { return plugin::GetCatalog(plugin::GetCosDocument(doc)); }

} // namespace tesser::docsettings::cos
