// The undo journal of the command line: the undo history kept between invocations.
//
// The journal lives in $XDG_STATE_HOME/tesser/journal (~/.local/state/tesser/journal). It holds
// the passwords that runs set or used, so the folder is made 0700 and the file 0600, and the
// file is replaced atomically. A lock file next to it keeps two invocations from losing each
// other's records.
#pragma once

#include "fileio/UniqueFd.h"
#include "ui/ApplySettings.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tesser::cli {

// One recorded run, with what an undo needs to reopen its files.
struct JournalRecord {
    ui::UndoRecord Record; // with the password that reopens its files
    // The run's number, for --history and --undo=ID: one more than the largest in the journal
    // when the run was recorded (records of journals before version 4 are numbered by place).
    std::int64_t Id = 0;
    std::int64_t Time = 0; // when the run was recorded, seconds since 1970 UTC (0: not known)
    // The encryption of files whose password the host could not read back stands in the
    // security snapshots as a marker of the host's kept security; the host keeps it only in
    // memory. Here each marker of the record goes with the host's export of it (marker, bytes),
    // so that an undo in a later process can put that encryption back.
    std::vector<std::pair<std::string, std::string>> KeptSecurity;

    bool operator==(const JournalRecord&) const = default;
};

// The journal keeps the newest runs only, this many: the passwords an older run used or set do
// not stay on disk, and that run can no longer be undone.
inline constexpr std::size_t kJournalRuns = 20;

class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The file is not a journal this version can read: cut short, changed by hand, emptied.
class JournalDamagedError : public JournalError {
public:
    using JournalError::JournalError;
};
// The journal was written by a newer version of tesser; it is left alone.
class JournalVersionError : public JournalError {
public:
    using JournalError::JournalError;
};

// $XDG_STATE_HOME/tesser when the variable is an absolute path, else $HOME/.local/state/tesser.
std::filesystem::path DefaultJournalFolder();

// The history as text and back. Parsing throws JournalVersionError for a journal of a newer
// version and JournalError for other text it cannot read. Containers grow as items are read, so
// a damaged count costs no memory.
// A value that is read but does not fit its field (an enumeration out of range, a number too
// large for its field, a Tesserion that does not validate) refuses what holds it: a file's entry
// is left out of its run, a run whose own fields or Tesserions are wrong is left out whole, and a
// run with no entry left is left out too. Each refusal is appended to refused, naming the run and
// the file, and the rest of the journal is read; with refused null the first one throws
// JournalError instead.
std::string FormatJournal(const std::vector<JournalRecord>& records);
std::vector<JournalRecord> ParseJournal(const std::string& text,
                                        std::vector<std::string>* refused = nullptr);

// Fills record.KeptSecurity from the live host for each kept-security marker of the record's
// security snapshots that it does not hold yet. Throws JournalError when the host cannot give
// one.
void KeepSecurityOf(JournalRecord& record);
// Hands each kept security of the record to the live host and puts the marker the host answers
// in place of the recorded one, in the snapshots and in KeptSecurity. A marker the record holds
// no kept security for (a journal of the first version) stood for a host that has ended: it
// becomes the host's lost marker, so that its undo fails saying so instead of meaning something
// this host keeps under the same number. Throws JournalError for bytes the host refuses; the
// record is then unchanged.
void RestoreKeptSecurity(JournalRecord& record);

// The journal file in a folder, locked for as long as the object lives.
class Journal {
public:
    // Creates the folder (0700) when missing and takes the lock. Throws JournalError.
    explicit Journal(std::filesystem::path folder);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The recorded runs, oldest first; none when the file does not exist. Kept security is
    // handed to the live host (RestoreKeptSecurity); a run whose kept security the host refuses
    // is refused as a whole. Refusals (ParseJournal) are appended to refused, each beginning
    // with the journal's path. Throws JournalDamagedError for a file it cannot read as a
    // journal, JournalVersionError for one of a newer version, JournalError when the file cannot
    // be read at all.
    std::vector<JournalRecord> Load(std::vector<std::string>& refused) const;
    // Load, except that a damaged journal is renamed to "journal.damaged-<local time>" (kept for
    // whoever wants to look at it) and an empty history is answered; notice then says what was
    // wrong and names the file it was moved to, or tells the refusals, one a line; it is empty
    // otherwise. Refused entries are gone from the journal at its next Save.
    std::vector<JournalRecord> LoadOrSetAside(std::string& notice) const;
    // Writes and removes a probe of the given size next to the journal: a run checks before it
    // touches a document that the journal it will save fits. Throws JournalError saying so.
    void CheckWritable(std::size_t bytes) const;
    // Replaces the file atomically (a new one is created 0600) with the newest kJournalRuns
    // records, with the live host's kept security behind the records' markers (KeepSecurityOf).
    // Answers the numbers of the older runs left out. On failure the file is left as it was, or
    // absent when there was none: never empty or cut short. Throws JournalError.
    std::vector<std::int64_t> Save(std::vector<JournalRecord> records) const;

    // The write-ahead log of a run in progress, "journal.pending" beside the journal, so that a
    // run killed at any moment leaves every file it changed undoable. Before a file is saved
    // over, the run appends the file's entry (one is the record's settings with that one entry
    // and the fingerprint of the file as the run found it), durably (fsync) when durable is
    // true; after the save, the entry again with the fingerprint of what was written. Each
    // append is one write, so that the run's worker processes may append side by side. Throws
    // JournalError: a run that cannot record a file ahead does not save it.
    // An undo appends (undo true) the entry of each file just before it saves it, durably.
    void AppendPending(const JournalRecord& one, bool durable, bool undo = false) const;
    // A run that ended removes its log after its record is in the journal.
    void RemovePending() const;
    // The log of a run that did not end (killed, or its journal could not be saved): its
    // entries are added to records as that run's record, unless records already holds the run,
    // and the journal is saved and the log removed. Of an entry recorded ahead only, the file
    // is kept as changed when its bytes are no longer those the run found (the save happened),
    // and left out when they still are. Of a file an undo was saving (undo true), the file counts
    // as restored when its bytes are no longer those the run wrote: it leaves its record, and the
    // older records that knew the file as the run found it know it as the undo left it. Answers
    // a notice for the person (empty without a log).
    std::string RecoverPending(std::vector<JournalRecord>& records) const;

private:
    std::filesystem::path PendingPath() const;

    std::filesystem::path path_;
    fileio::UniqueFd lock_; // the journal's lock file, held (flock) while the journal is open
};

} // namespace tesser::cli
