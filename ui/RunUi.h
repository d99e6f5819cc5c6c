// What a run needs from a person: the progress window, the error box and "Confirm passwords".
//
// The desktop dialog implements it with windows; the command line with the terminal. All texts
// handed over are final (the caller shows them as they are) and UTF-8.
#pragma once

#include <string>

namespace tesser::ui {

inline constexpr const char* kProgressCaption = "Tesser Pro - Processing multiple documents";
inline constexpr const char* kErrorBoxTitle = "Tesser Pro";
inline constexpr const char* kAbortButton = "Abort";
inline constexpr const char* kProcessAborted = "Process aborted by user.";
inline constexpr const char* kPrintingAborted = "Printing aborted by user.";

// One step of a run, as it happens: for front ends that show or log progress (a progress bar, a
// list of results, a summary in a script's format) without taking the window's texts apart.
struct ProgressEvent {
    enum class Kind {
        Started,   // a document is taken up
        Processed, // it was stamped and saved, restored, or printed, whole
        Failed,    // it failed (Reason says why); it was left as it was unless Reason says not
        Aborted,   // the person stopped the run; no further document is taken up
        // Nothing was to be done to it (Reason says why: no Tesserion selected a page of it and
        // nothing else was asked): it was not saved and is not in the undo history.
        NotTouched,
    };
    Kind What = Kind::Started;
    std::string Name; // the file's path (UTF-8), "[Current]", or a folder that could not be read
    int Index = -1;   // 0-based number of the document among those taken up so far
    int Total = 0;    // documents the run expects to take up, folders' files included
    // Failed: the error box's text after the name. NotTouched: why. Processed: a note, such as
    // the Tesserions that selected no page of it, or empty.
    std::string Reason;
    int Pages = 0;     // Processed: pages that received a stamp (the most of any Tesserion)
    int Processed = 0; // the run's counts after this event
    int Failed = 0;
    int NotTouched = 0;
};

class RunUi {
public:
    virtual ~RunUi() = default;

    // Every step of a run, in order. The windows' texts (ShowProgress) come besides.
    virtual void Progress(const ProgressEvent& event) { (void)event; }
    // Within the document in hand (name): the stamping pass reached page of count. Called for
    // every page; a front end shows what it likes of it.
    virtual void PageProgress(const std::string& name, int page, int count) {
        (void)name;
        (void)page;
        (void)count;
    }

    // Creates and shows the modeless progress window; its go-on flag starts true.
    virtual void OpenProgress() = 0;
    // The window's handle for the host's modeless-window registration, or null for none.
    virtual void* ProgressWindowHandle() { return nullptr; }
    // New texts for the window: "Current file: " + name, and "Files processed: N".
    virtual void ShowProgress(const std::string& currentFile,
                              const std::string& filesProcessed) = 0;
    // The go-on flag: false once the user pressed "Abort" (or its stand-in, such as Ctrl-C).
    virtual bool ProgressGoOn() = 0;
    virtual void CloseProgress() = 0;

    // The error box: text, the title "Tesser Pro", Yes and No, the stop icon. True for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;

    // "Confirm passwords": true only when the person confirmed both given passwords (an empty
    // password needs no confirmation). The texts are Windows-1252 bytes as held by the settings.
    virtual bool ConfirmPasswords(const std::string& openPassword,
                                  const std::string& ownerPassword) = 0;

    // Called at the end of every apply, undo and print, so controls can follow the new state.
    virtual void RunEnded() {}
};

} // namespace tesser::ui
