// An apply run over many files in worker processes (tesser -j N).
//
// The workers are forked from the process that set the run up, so each has the same engine
// settings, Tesserions, passwords and save places without handing them over. A worker takes up
// the list's next file through a counter the processes share (so it never waits for this process
// between files), applies the run to it alone, as a run of one file, and sends this process the
// file's progress events as they happen and then its undo record (with the kept security of the
// file, so that this process's journal can undo it). This process shows the events as the files
// finish, numbered in that order, sums the counts and joins the records into one, in the order of
// the list.
//
// Questions a worker's run asks (the error box, the crop-box warning) are asked by this process,
// by the terminal's own rules (a terminal, or --yes/--no, or the default No), one at a time;
// the asking worker waits for the answer. A No or Cancel stops the taking up of files before the
// answer reaches the worker; the files in hand are finished. Workers ignore SIGINT and SIGTERM:
// on either, this process's handler stops the taking at once, and the files in hand are finished
// and recorded, so every file is either untouched or complete.
#pragma once

#include "cli/TerminalUi.h"
#include "ui/RunEngine.h"

#include <string>
#include <vector>

namespace tesser::cli {

// The number of worker processes for jobs (0: one per core) and a number of documents: never
// more than the documents.
int WorkerCount(int jobs, std::size_t documents);

// Applies the engine's run to files (each a file, or a folder entry that cannot be listed) in
// `workers` processes; the events go to terminal. Answers the run's counts; the files changed
// are appended to the engine's UndoHistory as one record (none when no file changed).
ui::RunCounts ApplyInWorkers(ui::RunEngine& engine, TerminalUi& terminal,
                             const std::vector<std::string>& files, int workers);

} // namespace tesser::cli
