// Appending a document's changes to its file: the incremental save.
//
// The result is the file the document was read from, byte for byte, followed by every object
// changed or made since and a cross-reference section whose /Prev is the file's last one: a
// cross-reference stream when that one is a stream, else a table. The trailer keeps the file's
// /ID and /Encrypt. The earlier revisions stay as they were, so the signatures over them stay
// valid. After an incremental save the document's next one appends to the file it wrote.
//
// What changed is recorded as it happens: every change the host makes to an object of the
// document, for the plug-in or for itself, goes through Document::Changed(og), which names the
// indirect object changed (for a direct object, the indirect object it lives in). An object the
// file's cross-reference sections do not list is new; a new object that is null is left out
// (a reader takes a missing object for null). Existing streams keep their data (the host has no
// operation that replaces it), so a stream whose dictionary changed is written with the data it
// has in the file.
//
// Encrypted files: appended strings and stream data are encrypted with the file's key as its
// security handler says (RC4, AES-128, AES-256; an identity crypt filter leaves them plain, and
// so does a file that leaves its metadata unencrypted for its metadata streams).
//
// Refused, with the reason:
// - together with kHSaveFull, kHSaveLinearized or kHSaveCollectGarbage (linearisation and the
//   dropping of unused objects rewrite the whole file);
// - when the document's security is to change (a new handler needs every string re-encrypted);
// - after the document was saved in full (the written file numbers its objects anew);
// - when reading the file needed repairs, or QPDF warned about it since (the appended section
//   would sit on a cross-reference structure readers have to repair);
// - for a certified document (its certification allows no change to page content);
// - when a stream to append is encrypted by a crypt filter of its own.
#pragma once

#include "host/HostState.h"

#include <memory>
#include <string>
#include <unordered_set>

class Pipeline;

namespace tesser::host {

// A document's changes since the file it will append to was written.
class Revisions {
public:
    Revisions();
    ~Revisions();
    Revisions(const Revisions&) = delete;
    Revisions& operator=(const Revisions&) = delete;

    void Changed(QPDFObjGen og) { changed_.insert(og); }
    // The document was saved in full: no incremental save from now on.
    void Rewritten() { rewritten_ = true; }

    struct File; // the file the next incremental save appends to

private:
    friend class IncrementalSave;
    std::unordered_set<QPDFObjGen, ObjGenHash> changed_;
    std::unique_ptr<File> file_; // null until the first incremental save
    bool rewritten_ = false;
    std::string damage_; // the first repair QPDF made, once it made one
};

// Marks the document as saved in full (Revisions::Rewritten).
void MarkRewritten(Document& doc);

// One incremental save, in the steps of an atomic write.
class IncrementalSave {
public:
    // Checks that the document may be saved incrementally with these flags and reads where its
    // file ends; throws with the reason otherwise.
    IncrementalSave(Document& doc, int flags);
    ~IncrementalSave();
    IncrementalSave(const IncrementalSave&) = delete;
    IncrementalSave& operator=(const IncrementalSave&) = delete;

    // Writes the file's bytes, then the changes.
    void Write(Pipeline& out);
    // Keeps the written file open (by its temporary name, before it is renamed into place):
    // the next incremental save copies it.
    void Keep(const std::string& written);
    // The written file is in place: the document's changes are in it.
    void Done();

private:
    Document& doc_;
    Revisions& revisions_;
    std::unique_ptr<Revisions::File> next_;
};

} // namespace tesser::host
