// CTesserDialog: the modal tabbed dialog of the "Tesser Pro..." command.
//
// It owns every record its five pages edit while it is open (through the run engine, which holds
// the Tesserions, the settings records and the undo history), the profile with the named
// Tesserions and the 16 custom colours of the colour chooser, and the four command buttons
// "Print...", "Apply", "Undo" and "Close" in that order along the bottom right, where a property
// sheet has its standard buttons. "Print...", "Apply" and "Undo" act only while the Apply page is
// shown (the page enables them with EnableCommandButtons); "Close", Escape and the window's close
// box end the dialog with result 2, except while a run is in progress.
//
// On the way out, in this order: the host window registration ends; when the profile-changed
// flag is set, the profile is cleared and refilled with the custom colours and the Tesserion
// list, and written when the profile is released (otherwise the file is left as it was); and when
// no run remains undoable and the document had no unsaved changes when the dialog opened, its
// unsaved-changes flag is cleared again.
#pragma once

#include "dialog/DialogRunUi.h"
#include "dialog/LabelledComboBox.h"
#include "model/Profile.h"
#include "model/TesserionStore.h"
#include "ui/RunEngine.h"

#include <QDialog>

#include <array>
#include <cstdint>

class QPushButton;
class QTabWidget;

namespace tesser::dialog {

class CTesserPage;

// Control ids of the dialog's own buttons and the result "Close" ends it with.
inline constexpr int kPrintButtonId = 1102;
inline constexpr int kApplyButtonId = 1101;
inline constexpr int kUndoButtonId = 1032;
inline constexpr int kCloseButtonId = 1103;
inline constexpr int kCloseResult = 2;

// Tab images: a dark blue cross on light grey (nothing to change), a red tick (something to
// change).
inline constexpr int kImageNone = -1;
inline constexpr int kImageCross = 0;
inline constexpr int kImageTick = 1;

class CTesserDialog : public QDialog {
    Q_OBJECT
public:
    // view: the host's view of the active document, or null. parent: the host's main window.
    CTesserDialog(HView view, QWidget* parent);
    ~CTesserDialog() override;

    ui::RunEngine& Engine() { return engine_; }
    HView ActiveView() const { return view_; }
    std::int32_t DocumentFlagsAtOpen() const { return documentFlagsAtOpen_; }

    model::CustomColors& CustomColors() { return customColors_; }
    void SetProfileChanged() { profileChanged_ = true; }
    bool ProfileChanged() const { return profileChanged_; }

    void EnableCommandButtons(bool print, bool apply, bool undo);
    // True when page is the one the tabs show.
    bool IsShownPage(const QWidget* page) const;
    void SetTabImage(int tab, int image);

    // Runs a command of the Apply page with the dialog locked against closing: the pages and
    // the four buttons are disabled until it returns, so that while the run hands the event loop
    // a turn between documents only the progress window and the run's own boxes take input.
    template <typename Command> void RunLocked(Command&& command) {
        if (running_) {
            return;
        }
        BeginRun();
        try {
            command();
        } catch (...) {
            EndRun();
            throw;
        }
        EndRun();
    }
    bool RunInProgress() const { return running_; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void TabChanged(int index);
    void BeginRun();
    void EndRun();
    QPushButton* AddButton(const QString& text, int id, const QString& objectName);

    model::Profile profile_;
    bool profileChanged_ = false;
    model::CustomColors customColors_{};
    // First, so that the pages' drop-down lists are named by their labels from the start.
    LabelledComboBoxes labelledCombos_;
    DialogRunUi runUi_;
    ui::RunEngine engine_;
    HView view_ = nullptr;
    std::int32_t documentFlagsAtOpen_ = 1;
    HHostWindow hostWindow_ = nullptr;

    QTabWidget* tabs_ = nullptr;
    std::array<CTesserPage*, 5> pages_{};
    int shownTab_ = 0;
    bool switching_ = false;
    QPushButton* printButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    bool running_ = false;
};

} // namespace tesser::dialog
