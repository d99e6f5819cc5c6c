// The host's table of object and font handles, and the handles each document has handed out.
// Internal to host/.
#pragma once

#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

namespace tesser::host {

struct Document;

enum class RecKind : uint8_t { Free, Object, Font };

// One object or font handle handed out. Records live in the host's handle table and are reused
// once freed; a handle carries its record's index and generation, so that a handle whose record
// was freed (its object scope ended, its document closed) is refused instead of misread.
struct ObjectRec {
    uint32_t index = 0;
    uint32_t generation = 1;
    RecKind kind = RecKind::Free;
    Document* doc = nullptr; // null for objects that belong to no document (NewNull, ...)
    QPDFObjectHandle object; // a font's dictionary for a font record
    // For a direct object of a document: the indirect object it lives in (none for one that is
    // in no object of the document yet). A change made through the record changes that object.
    QPDFObjGen holder;
    QPDFObjGen Holder() const { return object.isIndirect() ? object.getObjGen() : holder; }
};
using FontRec = ObjectRec;

// Every object and font record of the host. Record 0 is the shared null object.
class HandleTable {
public:
    HandleTable();
    ObjectRec& Add(RecKind kind, Document* doc, QPDFObjectHandle object);
    void Free(uint32_t index);
    ObjectRec& At(uint32_t index) { return records_[index]; }
    // The live record a handle names, or null for a stale, foreign or wrong-kind handle.
    ObjectRec* Find(const void* handle, RecKind kind);
    const void* HandleOf(const ObjectRec& rec) const;
    ObjectRec& Null() { return records_.front(); }
    size_t LiveCount() const { return records_.size() - free_.size(); }

private:
    std::deque<ObjectRec> records_; // a deque: records keep their address while it grows
    std::vector<uint32_t> free_;
};

struct ObjGenHash {
    size_t operator()(const QPDFObjGen& og) const noexcept {
        return std::hash<uint64_t>()((static_cast<uint64_t>(og.getObj()) << 16) ^
                                     static_cast<uint64_t>(og.getGen()));
    }
};

// The object and font handles a document has handed out. An indirect object has at most one
// record at a time (indirect). Records of the indirect objects made through the host and of
// indirect font dictionaries last as long as the document. Other records, found indirect
// objects' included, belong to the innermost object scope open when they were made, or, with
// no scope open, to the document: a long pass that looks at every page keeps no record per page.
struct DocumentHandles {
    std::unordered_map<QPDFObjGen, uint32_t, ObjGenHash> indirect;
    std::unordered_map<QPDFObjGen, uint32_t, ObjGenHash> fonts;
    std::vector<uint32_t> kept;
    std::vector<std::vector<uint32_t>> scopes;

    DocumentHandles() = default;
    DocumentHandles(const DocumentHandles&) = delete;
    DocumentHandles& operator=(const DocumentHandles&) = delete;
    ~DocumentHandles(); // frees every record of the document
    // Ends the scopes from depth (1-based) inwards, freeing their records.
    void EndScopes(size_t depth);
    void Own(uint32_t index) { (scopes.empty() ? kept : scopes.back()).push_back(index); }
};

} // namespace tesser::host
