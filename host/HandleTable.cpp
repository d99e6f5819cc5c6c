#include "host/HostState.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tesser::host {

namespace {

// A handle is the record's index + 1 in the high half and its generation in the low half.
constexpr unsigned kIndexShift = sizeof(uintptr_t) * 4;
static_assert(sizeof(uintptr_t) >= 8, "handles need a 64-bit address space");

} // namespace

HandleTable::HandleTable() {
    ObjectRec& null = records_.emplace_back();
    null.kind = RecKind::Object;
    null.object = QPDFObjectHandle::newNull();
}

ObjectRec& HandleTable::Add(RecKind kind, Document* doc, QPDFObjectHandle object) {
    uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (records_.size() >= (uint64_t{1} << 31)) {
            Fail("The host has no room for another object handle.");
        }
        index = static_cast<uint32_t>(records_.size());
        records_.emplace_back().index = index;
    }
    ObjectRec& rec = records_[index];
    rec.kind = kind;
    rec.doc = doc;
    rec.object = std::move(object);
    rec.holder = QPDFObjGen();
    return rec;
}

void HandleTable::Free(uint32_t index) {
    if (index == 0 || index >= records_.size() || records_[index].kind == RecKind::Free) {
        return;
    }
    ObjectRec& rec = records_[index];
    rec.kind = RecKind::Free;
    rec.doc = nullptr;
    rec.object = QPDFObjectHandle();
    // A generation of 0 never names a record, so a wrapped generation skips it.
    rec.generation = rec.generation == UINT32_MAX ? 1 : rec.generation + 1;
    free_.push_back(index);
}

ObjectRec* HandleTable::Find(const void* handle, RecKind kind) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t slot = value >> kIndexShift;
    auto generation = static_cast<uint32_t>(value & ((uintptr_t{1} << kIndexShift) - 1));
    if (slot == 0 || slot > records_.size()) {
        return nullptr;
    }
    ObjectRec& rec = records_[slot - 1];
    if (rec.kind != kind || rec.generation != generation) {
        return nullptr;
    }
    return &rec;
}

const void* HandleTable::HandleOf(const ObjectRec& rec) const {
    return reinterpret_cast<const void*>((static_cast<uintptr_t>(rec.index) + 1) << kIndexShift |
                                         rec.generation);
}

HObject ToHandle(const ObjectRec* rec) {
    return static_cast<HObject>(const_cast<void*>(S().handles.HandleOf(*rec)));
}

HFont ToFontHandle(const FontRec* rec) {
    return static_cast<HFont>(const_cast<void*>(S().handles.HandleOf(*rec)));
}

DocumentHandles::~DocumentHandles() {
    Host* host = Host::Current();
    if (host == nullptr) {
        return; // the whole table goes with the host
    }
    HandleTable& table = host->state().handles;
    EndScopes(1);
    for (uint32_t index : kept) {
        table.Free(index);
    }
}

void DocumentHandles::EndScopes(size_t depth) {
    Host* host = Host::Current();
    while (scopes.size() >= depth && !scopes.empty()) {
        if (host != nullptr) {
            HandleTable& table = host->state().handles;
            for (uint32_t index : scopes.back()) {
                const ObjectRec& rec = table.At(index);
                if (rec.kind == RecKind::Object && rec.object.isIndirect()) {
                    auto it = indirect.find(rec.object.getObjGen());
                    if (it != indirect.end() && it->second == index) {
                        indirect.erase(it);
                    }
                }
                table.Free(index);
            }
        }
        scopes.pop_back();
    }
}

namespace {

// The record of an object or font of the document: an indirect one has one record at a time
// (found again in byIdentity), for the document's life when kept is true, else owned by the
// innermost object scope as any other object's new record is, with the indirect object it lives
// in (holder).
ObjectRec* WrapAs(RecKind kind, Document& doc,
                  std::unordered_map<QPDFObjGen, uint32_t, ObjGenHash>& byIdentity,
                  QPDFObjectHandle object, bool kept, QPDFObjGen holder) {
    HandleTable& table = S().handles;
    if (object.isIndirect()) {
        QPDFObjGen og = object.getObjGen();
        auto it = byIdentity.find(og);
        if (it != byIdentity.end()) {
            return &table.At(it->second);
        }
        ObjectRec& rec = table.Add(kind, &doc, std::move(object));
        if (kept) {
            doc.handles.kept.push_back(rec.index);
        } else {
            doc.handles.Own(rec.index);
        }
        byIdentity.emplace(og, rec.index);
        return &rec;
    }
    ObjectRec& rec = table.Add(kind, &doc, std::move(object));
    rec.holder = holder;
    doc.handles.Own(rec.index);
    return &rec;
}

} // namespace

ObjectRec* Document::Wrap(QPDFObjectHandle object, QPDFObjGen holder) {
    return WrapAs(RecKind::Object, *this, handles.indirect, std::move(object), false, holder);
}

ObjectRec* Document::WrapNew(QPDFObjectHandle object) {
    return WrapAs(RecKind::Object, *this, handles.indirect, std::move(object), true, {});
}

FontRec* Document::WrapFont(QPDFObjectHandle font, QPDFObjGen holder) {
    return WrapAs(RecKind::Font, *this, handles.fonts, std::move(font), true, holder);
}

Document* CheckDoc(HDoc doc) {
    auto* d = reinterpret_cast<Document*>(doc);
    if (d == nullptr || !S().documents.Contains(d)) {
        throw HostException(kHErrBadParameter, "Bad document handle.");
    }
    return d;
}

Document* CheckCosDoc(HCosDoc doc) {
    return CheckDoc(reinterpret_cast<HDoc>(doc));
}

ObjectRec* CheckObject(HObject object) {
    ObjectRec* rec = S().handles.Find(object, RecKind::Object);
    if (rec == nullptr) {
        throw HostException(kHErrBadParameter, "Bad object handle.");
    }
    return rec;
}
PageRec* CheckPage(HPage page) {
    auto* rec = reinterpret_cast<PageRec*>(page);
    // A page given back, or one of a closed document, is gone: its address is looked up among
    // the open documents' pages before anything is read through it.
    const bool live = rec != nullptr && S().documents.AnyOf([rec](const Document& doc) {
        return doc.pages.Contains(rec);
    });
    if (!live || rec->magic != kMagicPage) {
        throw HostException(kHErrBadParameter, "Bad page handle.");
    }
    return rec;
}
FontRec* CheckFont(HFont font) {
    FontRec* rec = S().handles.Find(font, RecKind::Font);
    if (rec == nullptr) {
        throw HostException(kHErrBadParameter, "Bad font handle.");
    }
    return rec;
}
namespace {

// The live record of the set that a handle names.
template <typename Rec, typename Handle>
Rec* CheckIn(const RecordSet<Rec>& records, Handle handle, const char* refusal) {
    auto* rec = reinterpret_cast<Rec*>(handle);
    if (rec == nullptr || !records.Contains(rec)) {
        throw HostException(kHErrBadParameter, refusal);
    }
    return rec;
}

} // namespace

StreamRec* CheckStream(HStream stream) {
    return CheckIn(S().streams, stream, "Bad stream handle.");
}
PathRec* CheckPath(HPath path) {
    return CheckIn(S().paths, path, "Bad path handle.");
}
ViewRec* CheckView(HView view) {
    return CheckIn(S().views, view, "Bad view handle.");
}
void CheckOut(const void* out) {
    if (out == nullptr) {
        throw HostException(kHErrBadParameter, "");
    }
}

void CopyText(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) {
        throw HostException(kHErrBadParameter, "");
    }
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

namespace {

HErrorCode BeginObjectScope(HDoc handle, int32_t* scope) {
    return Entry("BeginObjectScope", [&] {
        CheckOut(scope);
        Document* doc = CheckDoc(handle);
        if (doc->handles.scopes.size() >= INT32_MAX) {
            Fail("Too many object scopes are open.");
        }
        doc->handles.scopes.emplace_back();
        *scope = static_cast<int32_t>(doc->handles.scopes.size());
    });
}

HErrorCode EndObjectScope(HDoc handle, int32_t scope) {
    return Entry("EndObjectScope", [&] {
        Document* doc = CheckDoc(handle);
        if (scope < 1 || static_cast<size_t>(scope) > doc->handles.scopes.size()) {
            throw HostException(kHErrBadParameter, "No object scope " + std::to_string(scope) +
                                                       " is open in " + doc->path + ".");
        }
        doc->handles.EndScopes(static_cast<size_t>(scope));
    });
}

} // namespace

void FillObjectScopeFunctions(HostModelTable& t) {
    t.BeginObjectScope = BeginObjectScope;
    t.EndObjectScope = EndObjectScope;
}

} // namespace tesser::host
