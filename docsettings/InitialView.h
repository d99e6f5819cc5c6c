// How one open document opens: page mode, page layout, the open action (first page and
// magnification) and five viewer preferences, all kept in the document catalogue.
//
// ApplyView writes an OpenSettings record; CaptureView records the document's present state in a
// copy of the record so that "Undo" gives the catalogue back by calling ApplyView with the copy.
// Host calls are made directly: a host error ends the operation with hostcalls::HostError and
// whatever was written before stays in the document.
#pragma once

#include "docsettings/ObjectCopy.h"
#include "hostapi/HostTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tesser::docsettings {

// Values of the six option fields.
inline constexpr int32_t kOptionOff = 0;
inline constexpr int32_t kOptionOn = 1;
inline constexpr int32_t kOptionKeep = 2;    // do not change
inline constexpr int32_t kOptionAbsent = -1; // capture only: the entry is not there

// Capture-only value of Page (no destination page found), View (the document has no page mode)
// and Layout (the document has no PageLayout).
inline constexpr int32_t kNotPresent = -1;

// Rows of the View list and the page mode each writes (row 0 keeps the document's own mode,
// row 1 writes the empty name).
inline constexpr std::array<std::string_view, 5> kViewRows = {
    "[Do not change]", "Default", "Page only", "Bookmarks and page", "Thumbnails and page"};
inline constexpr std::array<std::string_view, 5> kViewPageModes = {"", "", "UseNone", "UseOutlines",
                                                                   "UseThumbs"};

// Rows of the Magnification list. Rows 1-8 are XYZ destinations with the magnification (16.16)
// and null left and top, rows 9-11 the destination kinds Fit, FitH and FitBH.
struct ZoomRow {
    std::string_view text;
    HFixed magnification;         // rows 1-8, else 0
    std::string_view destination; // "XYZ", "Fit", "FitH", "FitBH"; empty for rows 0 and 12
};
inline constexpr std::array<ZoomRow, 13> kZoomRows = {{
    {"[Do not change]", 0, ""},
    {"50", 0x8000, "XYZ"},
    {"75", 0xC000, "XYZ"},
    {"100", 0x10000, "XYZ"},
    {"125", 0x14000, "XYZ"},
    {"150", 0x18000, "XYZ"},
    {"200", 0x20000, "XYZ"},
    {"400", 0x40000, "XYZ"},
    {"800", 0x80000, "XYZ"},
    {"Fit page", 0, "Fit"},
    {"Fit width", 0, "FitH"},
    {"Fit visible", 0, "FitBH"},
    {"Default", 0, ""},
}};
inline constexpr int32_t kZoomDefault = 12;

// Rows of the Page layout list; row 1 removes PageLayout.
inline constexpr std::array<std::string_view, 5> kLayoutRows = {
    "[Do not change]", "Default", "Single page", "Continuous", "Continuous - facing pages"};
inline constexpr std::array<std::string_view, 5> kLayoutNames = {"", "", "SinglePage", "OneColumn",
                                                                 "TwoColumnRight"};

// Captions of the six options, in field order (FitWindow, CenterWindow, FullScreen, HideToolBar,
// HideMenuBar, HideWindowUI).
inline constexpr std::array<std::string_view, 6> kOptionCaptions = {"Resize window to initial page",
                                                                    "Centre window on screen",
                                                                    "Open in full screen mode",
                                                                    "Hide toolbar",
                                                                    "Hide menubar",
                                                                    "Hide windowbar"};

// The catalogue entries ApplyView may change, as they were before a run. Absent copies stand for
// missing entries.
struct ViewSnapshot {
    ObjectCopy pageMode;
    ObjectCopy pageLayout;
    ObjectCopy openAction;
    bool hadViewerPreferences = false;
    // ViewerPreferences entries: NonFullScreenPageMode and the five options.
    ObjectCopy nonFullScreenPageMode;
    std::array<ObjectCopy, 5> preferences; // FitWindow, CenterWindow, HideToolbar, HideMenubar,
                                           // HideWindowUI
    friend bool operator==(const ViewSnapshot&, const ViewSnapshot&) = default;
};

// The Open page's settings.
struct OpenSettings {
    int32_t Page = 0;   // 1-based page to open at; 0 not set; -1 not found (capture only)
    int32_t View = 0;   // kViewRows; -1 no page mode (capture only)
    int32_t Zoom = 0;   // kZoomRows
    int32_t Layout = 0; // kLayoutRows; -1 no PageLayout (capture only)
    int32_t FitWindow = kOptionKeep;
    int32_t CenterWindow = kOptionKeep;
    int32_t FullScreen = kOptionKeep;
    int32_t HideToolBar = kOptionKeep;
    int32_t HideMenuBar = kOptionKeep;
    int32_t HideWindowUI = kOptionKeep;

    // Capture only: when set, ApplyView puts these entries back exactly and ignores the fields
    // above.
    std::optional<ViewSnapshot> Previous;

    bool operator==(const OpenSettings&) const = default;
};

// Edits the catalogue from the fields:
//   - a catalogue without ViewerPreferences gains an empty dictionary;
//   - page mode: View row 0 keeps the present mode m (PageMode, or NonFullScreenPageMode when in
//     full screen), row 1 writes the empty name, rows 2-4 their mode, -1 no mode. FullScreen 1
//     writes PageMode /FullScreen and keeps m in NonFullScreenPageMode; 0 and -1 write m as
//     PageMode (removed when there is none) and remove NonFullScreenPageMode; 2 keeps the
//     document's full-screen state;
//   - page layout: row 0 nothing, rows 1 and -1 remove PageLayout, rows 2-4 their name;
//   - open action: Zoom 0 and 12 remove an OpenAction that is a GoTo action and keep any other;
//     rows 1-11 make or update a GoTo action whose destination goes to Page (1 when Page is 0 and
//     the destination has no page yet, or when Page is beyond the page count) with the row's kind
//     and magnification (rows 1-8: [page /XYZ null null zoom]), other destination elements kept
//     for rows 9-11;
//   - each option: 2 nothing, -1 remove the key, 0 and 1 write the boolean. The keys are
//     FitWindow, CenterWindow, HideToolbar, HideMenubar and HideWindowUI; removing also takes away
//     the spellings HideToolBar and HideMenuBar, which files written before may carry.
// A captured record (Previous set) instead puts back PageMode, PageLayout, OpenAction,
// NonFullScreenPageMode and the five options exactly as captured, and removes ViewerPreferences
// when the document had none. An open action that is a dictionary both then and now gets back
// its S and D entries only (nothing else in it was changed), so keys the copy does not know
// survive; one that was removed or replaced is rebuilt from the copy.
void ApplyView(const OpenSettings& settings, HDoc doc);

// Overwrites the ten fields with the document's present state (View -1 when it has no page mode,
// Layout -1 when it has no PageLayout, Page -1 and Zoom 0 when there is no GoTo destination,
// options -1 when absent; HideToolbar and HideMenubar read HideToolBar and HideMenuBar when they
// are absent) and records Previous.
void CaptureView(OpenSettings& settings, HDoc doc);

} // namespace tesser::docsettings
