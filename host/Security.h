// The standard security handler of the host: the 528-byte security record, the mapping of the
// host's four permission bits onto PDF permissions, and how the original encryption of a file is
// kept so that it can be put back exactly.
//
// Record layout (little-endian; kHSecurityRecordSize bytes):
//   0   u32  record size, 528
//   4   u16  1 when a new open (user) password is given
//   6   u16  1 when the document has an open password
//   8   256  open password, Windows-1252, zero-terminated
//   264 u16  1 when a new owner password is given
//   266 u16  1 when the document has an owner password
//   268 256  owner password, Windows-1252, zero-terminated
//   524 u32  permission bits: 4 print, 8 change the document, 16 copy, 32 notes and forms
//
// Writing (SetSecurityData, SetDocumentFlags(kHDocNewSecurity), SaveDocument): the document is
// saved with AES-256 (revision 6). A password counts when either of its two flags is set; the
// passwords go to the file as UTF-8, as revision 6 requires, so any reader opens it with the
// same password. The four bits map onto the PDF permissions like this:
//   print (4)   -> print at high and low quality (high-quality print follows print)
//   change (8)  -> modify other, assemble (insert, rotate, delete pages)
//   copy (16)   -> extract text and graphics
//   notes (32)  -> modify annotations and fill in forms
//   accessibility (text for screen readers) is always allowed.
// An empty owner password stays empty. Such a file opens without a password when the open
// password is empty too and carries the permission bits, but a reader that tries the owner
// password first (as revision 6 says) gives the empty password every right. We do not invent a
// random owner password: nobody could ever change or remove that security again, this host
// included.
//
// SetSecurityHandler with the atom of "None" makes the next save write the file without
// encryption.
//
// Reading (GetStandardSecurityData): the record of the file as opened. Permission bits are the
// file's; a password is given as text when the host knows it (it matched, or, for revisions
// 2 to 4, the user password was recovered through the owner password). A password the host
// cannot know (the owner password of a file opened with the user password, the user password of
// an AES-256 file opened with the owner password) is given as a kept-security marker: the text
// ESC "TesserKeptSecurity:" followed by a number. The host keeps the file's encryption exactly
// (its encryption dictionary, ID and a password that opens it) under that number for the life of
// the host; a program that keeps undo data longer exports it and imports it into a later host
// (ExportKeptSecurity, ImportKeptSecurity below). A record given back to SetSecurityData with a
// marker in either password field makes the next save put that encryption back exactly (same
// algorithm, same passwords, same permissions), whatever the other fields say. This is what an undo
// of a security change needs. Likewise, a record byte for byte equal to one that
// GetStandardSecurityData gave for the same file (same path) puts that file's encryption back
// exactly, so an undo of an RC4 file gives RC4 again; any other record is written as AES-256.
#pragma once

#include "hostapi/HostTypes.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class QPDF;
class QPDFObjectHandle;
class QPDFWriter;

namespace tesser::host {

struct SecurityRecord {
    bool newOpen = false;
    bool hasOpen = false;
    std::string open; // Windows-1252, at most 255 bytes
    bool newOwner = false;
    bool hasOwner = false;
    std::string owner;
    uint32_t permissions = 0;
};

using RecordBytes = std::array<unsigned char, kHSecurityRecordSize>;

RecordBytes EncodeSecurityRecord(const SecurityRecord& record);
// Throws (bad parameter) when the size field is not 528.
SecurityRecord DecodeSecurityRecord(const unsigned char* bytes);

// What the file's encryption is and what the passwords given so far unlocked.
struct FileSecurity {
    bool encrypted = false;
    int revision = 0;
    int32_t filePermissions = kHPermAll; // the bits the user password gives
    int32_t granted = kHPermAll;         // union of what was granted so far
    bool emptyUserPassword = false;      // the empty password opens the file
    bool userKnown = false;
    std::string userPassword; // Windows-1252
    bool ownerKnown = false;
    std::string ownerPassword;  // Windows-1252
    std::string unlockPassword; // as given to QPDF, opened the document's instance
};

// What the next save writes.
struct PendingSecurity {
    bool handlerSet = false;
    bool handlerNone = false; // "None": write without encryption
    bool hasRecord = false;
    RecordBytes record{};
    bool active = false; // a save applies it (kHDocNewSecurity was set at least once)
};

// The original encryption of files, kept by number for the kept-security marker.
class SnapshotStore {
public:
    // Keeps the encryption of the opened QPDF; password (as QPDF takes it) must open it.
    int Keep(QPDF& pdf, const std::string& password);
    // A fresh QPDF carrying the kept encryption (for QPDFWriter::copyEncryptionParameters)
    // and the password that opens it. Throws for an unknown number.
    std::pair<std::unique_ptr<QPDF>, std::string> Open(int number) const;
    // Remembers that the record was given for the file and stands for the kept number.
    void Remember(const std::string& file, const RecordBytes& record, int number);
    // The kept number a record given for the file stands for, or 0.
    int Find(const std::string& file, const RecordBytes& record) const;
    // The kept encryption as bytes that Import of this or a later host takes back: a small PDF
    // that carries only the encryption dictionary and the ID, and the password that opens it.
    // Throws for an unknown number.
    std::string Export(int number) const;
    // Keeps exported bytes under a new number. Throws, saying so, for bytes that are not an
    // export or that the password in them does not open.
    int Import(const std::string& bytes);

private:
    struct Snapshot {
        std::string pdf;
        std::string password;
    };
    std::map<int, Snapshot> snapshots_;
    std::map<std::pair<std::string, RecordBytes>, int> records_;
    int next_ = 1;
};

std::string KeptMarker(int number);
// The number of a kept-security marker, or 0 when the text is not one.
int ParseKeptMarker(const std::string& text);

// For programs that keep undo data beyond the life of the host (the command line's journal):
// the live host's kept encryption behind a marker as bytes (SnapshotStore::Export), and back.
// The bytes hold a password that opens the original file's encryption: store them as privately
// as the passwords themselves. ImportKeptSecurity answers the marker under which the live host
// now keeps the encryption; a record that carries it puts that encryption back on save. Both
// throw std::runtime_error with a text that says what is wrong (no live host, not a marker, a
// number this host does not know, bytes it cannot read).
std::string ExportKeptSecurity(const std::string& marker);
std::string ImportKeptSecurity(const std::string& bytes);
// A marker under which no host ever keeps anything, for undo data whose kept security is gone
// (kept by a host that has ended, never exported): a save with it fails and says why, instead of
// the number meaning another file's encryption in a later host.
std::string LostKeptMarker();

// Windows-1252 <-> UTF-8. Bytes with no character map to '?'.
std::string Cp1252ToUtf8(const std::string& text);
std::string Utf8ToCp1252(const std::string& text);
// A Windows-1252 password in the encoding the security revision wants: UTF-8 from revision 5,
// PDFDocEncoding before.
std::string PasswordForRevision(const std::string& cp1252, int revision);
// And back: a password recovered from the file (PDFDocEncoding) as Windows-1252.
std::string PasswordFromPdfDoc(const std::string& pdfDoc);

// The host permission bits the opened QPDF's password gives.
int32_t PermissionsOf(QPDF& pdf);

// Sets AES-256 encryption on the writer from a record.
void SetWriterEncryption(QPDFWriter& writer, const SecurityRecord& record);

// The revision of the opened QPDF's encryption, 0 when it has none.
int RevisionOf(QPDF& pdf);

// QPDF marks a file it writes with AES-256 encryption by the ADBE developer extension in the
// catalogue (/Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>, level 3 for
// revision 5), and keeps the mark when such a file is written again without that encryption.
// While this lives, a catalogue that holds exactly the mark of the revision the file was opened
// with (openedRevision, 5 or 6) has it taken out when the save writes no encryption or one of a
// revision below 5 (writtenRevision); an /Extensions dictionary left empty goes too, other
// extensions stay. The catalogue is put back as it was when this goes, so the document in
// memory is unchanged. Only that exact mark is taken: an ADBE extension of another level, or a
// file that was not opened with revision 5 or 6, is left alone. The PDF version stays the
// file's own (1.7 after AES-256): the version the file had before it was encrypted is not
// recorded anywhere, and a higher version is harmless where a lower one could misstate what
// the content needs.
class EncryptionMarkDrop {
public:
    EncryptionMarkDrop(QPDF& pdf, int openedRevision, int writtenRevision);
    ~EncryptionMarkDrop();
    EncryptionMarkDrop(const EncryptionMarkDrop&) = delete;
    EncryptionMarkDrop& operator=(const EncryptionMarkDrop&) = delete;
    bool dropped() const { return dropped_; }

private:
    QPDF& pdf_;
    std::unique_ptr<QPDFObjectHandle> original_; // the catalogue's /Extensions value
    bool dropped_ = false;
};

} // namespace tesser::host
