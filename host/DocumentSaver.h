// Saving a document over a file, atomically.
//
// The document is written to a temporary file in the target's folder through an output that
// checks every write, then flushed, fsynced and closed (each checked), reopened with QPDF and
// checked (it must parse without recovery, without warnings, and its page tree must count the
// document's pages), renamed over
// the target, and the folder fsynced. The target keeps its mode and, where the process may set
// it, its owner; when the path is a symbolic link the link stays and its target is written. On
// any failure the temporary file is removed, the target is left byte for byte, and the error
// names the target file.
//
// Flags: kHSaveLinearized (4) writes a linearised file; every save is a full rewrite in which
// objects no longer referenced are dropped, except with kHSaveIncremental (64), which appends
// the changes to the file instead (host/IncrementalSave.h). A document with signed signature
// fields is refused a full rewrite, which would break the signatures; an incremental save
// keeps them.
//
// Security: the file keeps its encryption unless SetDocumentFlags(kHDocNewSecurity) made the
// pending security (Security.h) active; from then on every save of the document writes it.
#pragma once

#include <string>

class QPDF;

namespace tesser::host {

struct Document;

// With kHSaveCheckOnly it makes the checks up to writing (the document, the flags, the target
// file and folder) and writes nothing.
void SaveDocumentAtomically(Document& doc, int flags, const std::string& path);

// Whether the document has signed signature fields, whose signatures a full rewrite would break.
bool HasSignedSignatures(QPDF& pdf);

// Writes a QPDF to path atomically as above (no encryption, no page-count check against a
// document): used for print files.
void WritePdfAtomically(QPDF& pdf, const std::string& path);

} // namespace tesser::host
