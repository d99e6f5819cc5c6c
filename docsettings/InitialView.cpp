#include "docsettings/InitialView.h"

#include "docsettings/CosAccess.h"

#include <string>

namespace tesser::docsettings {

namespace pc = tesser::hostcalls;

namespace {

constexpr const char* kPreferenceKeys[5] = {"FitWindow", "CenterWindow", "HideToolbar",
                                            "HideMenubar", "HideWindowUI"};
// The spelling files written before carry for the same option, or null. Readers know only the keys
// above; capture falls back to this one and removal takes both away.
constexpr const char* kOtherSpelling[5] = {nullptr, nullptr, "HideToolBar", "HideMenuBar", nullptr};

int32_t OptionField(const OpenSettings& s, int i) {
    const int32_t fields[5] = {s.FitWindow, s.CenterWindow, s.HideToolBar, s.HideMenuBar,
                               s.HideWindowUI};
    return fields[i];
}

int32_t* OptionField(OpenSettings& s, int i) {
    int32_t* fields[5] = {&s.FitWindow, &s.CenterWindow, &s.HideToolBar, &s.HideMenuBar,
                          &s.HideWindowUI};
    return fields[i];
}

// The present mode m: PageMode unless it is FullScreen, then NonFullScreenPageMode. Empty
// optional for none.
std::optional<std::string> PresentMode(HObject cat, HObject vp) {
    HObject mode = cos::Get(cat, "PageMode");
    if (!cos::IsName(mode)) {
        return std::nullopt;
    }
    std::string text = cos::NameText(mode);
    if (text != "FullScreen") {
        return text;
    }
    if (cos::IsDict(vp)) {
        HObject nonFull = cos::Get(vp, "NonFullScreenPageMode");
        if (cos::IsName(nonFull)) {
            return cos::NameText(nonFull);
        }
    }
    return std::nullopt;
}

// The ViewerPreferences dictionary as ApplyView finds it; one is made on the first write when the
// document had none.
class Preferences {
public:
    Preferences(HCosDoc cosDoc, HObject cat, HObject found)
        : cosDoc_(cosDoc), cat_(cat), vp_(found), made_(cos::IsDict(found)) {}

    void Put(const char* key, HObject value) {
        if (!made_) {
            pc::DictPut(cat_, cos::Atom("ViewerPreferences"), pc::NewDict(cosDoc_, false, 1));
            vp_ = cos::Get(cat_, "ViewerPreferences");
            made_ = true;
        }
        cos::Put(vp_, key, value);
    }

    void Remove(const char* key) {
        if (made_ && !cos::IsNull(cos::Get(vp_, key))) {
            cos::Remove(vp_, key);
        }
    }

    void RemoveOption(int i) {
        Remove(kPreferenceKeys[i]);
        if (kOtherSpelling[i] != nullptr) {
            Remove(kOtherSpelling[i]);
        }
    }

private:
    HCosDoc cosDoc_;
    HObject cat_;
    HObject vp_;
    bool made_;
};

void ApplyPageMode(const OpenSettings& s, HCosDoc cosDoc, HObject cat, HObject foundVp,
                   Preferences& vp) {
    std::optional<std::string> mode;
    if (s.View == 0) {
        mode = PresentMode(cat, foundVp);
    } else if (s.View >= 1 && s.View < static_cast<int32_t>(kViewPageModes.size())) {
        mode = std::string(kViewPageModes[static_cast<size_t>(s.View)]);
    }
    bool full = false;
    if (s.FullScreen == kOptionOn) {
        full = true;
    } else if (s.FullScreen == kOptionKeep) {
        full = cos::IsNameText(cos::Get(cat, "PageMode"), "FullScreen");
    }
    if (full) {
        cos::Put(cat, "PageMode", cos::MakeName(cosDoc, "FullScreen"));
        if (mode) {
            vp.Put("NonFullScreenPageMode", cos::MakeName(cosDoc, *mode));
        }
        return;
    }
    if (mode) {
        cos::Put(cat, "PageMode", cos::MakeName(cosDoc, *mode));
    } else if (!cos::IsNull(cos::Get(cat, "PageMode"))) {
        cos::Remove(cat, "PageMode");
    }
    vp.Remove("NonFullScreenPageMode");
}

void ApplyLayout(const OpenSettings& s, HCosDoc cosDoc, HObject cat) {
    if (s.Layout == 1 || s.Layout == kNotPresent) {
        if (!cos::IsNull(cos::Get(cat, "PageLayout"))) {
            cos::Remove(cat, "PageLayout");
        }
    } else if (s.Layout >= 2 && s.Layout < static_cast<int32_t>(kLayoutNames.size())) {
        cos::Put(cat, "PageLayout",
                 cos::MakeName(cosDoc, std::string(kLayoutNames[static_cast<size_t>(s.Layout)])));
    }
}

bool IsGoToAction(HObject action) {
    return cos::IsDict(action) && cos::IsNameText(cos::Get(action, "S"), "GoTo");
}

void ApplyOpenAction(const OpenSettings& s, HDoc doc, HCosDoc cosDoc, HObject cat) {
    if (s.Zoom < 1 || s.Zoom > 11) {
        if (IsGoToAction(cos::Get(cat, "OpenAction"))) {
            cos::Remove(cat, "OpenAction");
        }
        return;
    }
    HObject oa = cos::Get(cat, "OpenAction");
    if (!cos::IsDict(oa)) {
        cos::Put(cat, "OpenAction", pc::NewDict(cosDoc, false, 2));
        oa = cos::Get(cat, "OpenAction");
    }
    if (!cos::IsNameText(cos::Get(oa, "S"), "GoTo")) {
        cos::Put(oa, "S", cos::MakeName(cosDoc, "GoTo"));
    }
    HObject d = cos::Get(oa, "D");
    if (!cos::IsArray(d)) {
        cos::Put(oa, "D", pc::NewArray(cosDoc, false, 1));
        d = cos::Get(oa, "D");
    }
    // Elements are written in index order, so a short array grows by one element at a time.
    auto put = [&](int32_t index, HObject value) { pc::ArrayPut(d, index, value); };
    const bool noPage = pc::ArrayLength(d) == 0 || cos::IsNull(pc::ArrayGet(d, 0));
    if (noPage || s.Page != 0) {
        const int32_t count = pc::GetPageCount(doc);
        const int32_t page = (s.Page >= 1 && s.Page <= count) ? s.Page : 1;
        pc::PageHandle handle(pc::AcquirePage(doc, page - 1));
        put(0, pc::GetPageCosObject(handle.get()));
    }
    const ZoomRow& row = kZoomRows[static_cast<size_t>(s.Zoom)];
    put(1, cos::MakeName(cosDoc, std::string(row.destination)));
    if (s.Zoom <= 8) {
        // Null left and top keep the position the reader has, so only the magnification changes.
        put(2, pc::NewNull());
        put(3, pc::NewNull());
        put(4, pc::NewFixed(cosDoc, false, row.magnification));
    }
}

void ApplyFields(const OpenSettings& s, HDoc doc) {
    HCosDoc cosDoc = pc::GetCosDocument(doc);
    HObject cat = pc::GetCatalog(cosDoc);
    HObject foundVp = cos::Get(cat, "ViewerPreferences");
    if (cos::IsNull(foundVp)) {
        cos::Put(cat, "ViewerPreferences", pc::NewDict(cosDoc, false, 10));
    }
    Preferences vp(cosDoc, cat, foundVp);
    ApplyPageMode(s, cosDoc, cat, foundVp, vp);
    ApplyLayout(s, cosDoc, cat);
    ApplyOpenAction(s, doc, cosDoc, cat);
    for (int i = 0; i < 5; ++i) {
        const int32_t value = OptionField(s, i);
        if (value == kOptionAbsent) {
            vp.RemoveOption(i);
        } else if (value == kOptionOff || value == kOptionOn) {
            vp.Put(kPreferenceKeys[i], pc::NewBoolean(cosDoc, false, value == kOptionOn));
        }
    }
}

void RestoreOpenAction(HDoc doc, HObject cat, const ObjectCopy& previous) {
    HObject present = cos::Get(cat, "OpenAction");
    if (previous.kind() == ObjectCopy::Kind::Dictionary && cos::IsDict(present)) {
        // ApplyView changes an existing action dictionary only in S and D.
        RestoreEntry(doc, present, "S", previous.Get("S"));
        RestoreEntry(doc, present, "D", previous.Get("D"));
        return;
    }
    if (CopyObject(doc, present) == previous) {
        return; // untouched: keep the object as it is (it may be indirect)
    }
    RestoreEntry(doc, cat, "OpenAction", previous);
}

void RestoreView(const ViewSnapshot& previous, HDoc doc) {
    HObject cat = cos::Catalog(doc);
    RestoreEntry(doc, cat, "PageMode", previous.pageMode);
    RestoreEntry(doc, cat, "PageLayout", previous.pageLayout);
    RestoreOpenAction(doc, cat, previous.openAction);
    if (!previous.hadViewerPreferences) {
        RestoreEntry(doc, cat, "ViewerPreferences", ObjectCopy::Absent());
        return;
    }
    HObject vp = cos::Get(cat, "ViewerPreferences");
    if (!cos::IsDict(vp)) {
        return;
    }
    RestoreEntry(doc, vp, "NonFullScreenPageMode", previous.nonFullScreenPageMode);
    for (int i = 0; i < 5; ++i) {
        RestoreEntry(doc, vp, kPreferenceKeys[i], previous.preferences[static_cast<size_t>(i)]);
    }
}

void CaptureDestination(OpenSettings& s, HDoc doc, HObject cat) {
    s.Page = kNotPresent;
    s.Zoom = 0;
    HObject oa = cos::Get(cat, "OpenAction");
    if (!IsGoToAction(oa)) {
        return;
    }
    HObject d = cos::Get(oa, "D");
    if (!cos::IsArray(d)) {
        return;
    }
    const int32_t length = pc::ArrayLength(d);
    if (length < 1) {
        return;
    }
    HObject target = pc::ArrayGet(d, 0);
    const int32_t count = pc::GetPageCount(doc);
    for (int32_t i = 0; i < count; ++i) {
        pc::PageHandle page(pc::AcquirePage(doc, i));
        if (pc::ObjectsEqual(pc::GetPageCosObject(page.get()), target)) {
            s.Page = i + 1;
            break;
        }
    }
    if (length >= 2) {
        HObject kind = pc::ArrayGet(d, 1);
        if (cos::IsName(kind)) {
            const std::string text = cos::NameText(kind);
            if (text == "Fit") {
                s.Zoom = 9;
            } else if (text == "FitH") {
                s.Zoom = 10;
            } else if (text == "FitBH") {
                s.Zoom = 11;
            } else if (text == "XYZ" && length >= 5) {
                s.Zoom = kZoomDefault;
                HObject zoom = pc::ArrayGet(d, 4);
                const int32_t type = cos::TypeOf(zoom);
                if (type == kHObjInteger || type == kHObjReal) {
                    const HFixed value = pc::GetFixedValue(zoom);
                    for (int32_t row = 1; row <= 8; ++row) {
                        if (kZoomRows[static_cast<size_t>(row)].magnification == value) {
                            s.Zoom = row;
                            break;
                        }
                    }
                }
            }
        }
    }
}

} // namespace

void ApplyView(const OpenSettings& settings, HDoc doc) {
    if (settings.Previous) {
        RestoreView(*settings.Previous, doc);
    } else {
        ApplyFields(settings, doc);
    }
}

void CaptureView(OpenSettings& settings, HDoc doc) {
    HObject cat = cos::Catalog(doc);
    HObject vp = cos::Get(cat, "ViewerPreferences");
    ViewSnapshot snapshot;
    snapshot.pageMode = CopyObject(doc, cos::Get(cat, "PageMode"));
    snapshot.pageLayout = CopyObject(doc, cos::Get(cat, "PageLayout"));
    snapshot.openAction = CopyObject(doc, cos::Get(cat, "OpenAction"));
    snapshot.hadViewerPreferences = !cos::IsNull(vp);

    OpenSettings s;
    HObject pageMode = cos::Get(cat, "PageMode");
    s.View = kNotPresent;
    s.FullScreen = kOptionAbsent;
    if (cos::IsName(pageMode)) {
        s.FullScreen = cos::NameText(pageMode) == "FullScreen" ? kOptionOn : kOptionOff;
        const std::optional<std::string> mode = PresentMode(cat, vp);
        s.View = !mode                    ? kNotPresent
                 : *mode == "UseNone"     ? 2
                 : *mode == "UseOutlines" ? 3
                 : *mode == "UseThumbs"   ? 4
                                          : 1;
    }
    HObject layout = cos::Get(cat, "PageLayout");
    s.Layout = cos::IsNull(layout) ? kNotPresent : 1;
    if (cos::IsName(layout)) {
        const std::string text = cos::NameText(layout);
        for (size_t row = 2; row < kLayoutNames.size(); ++row) {
            if (text == kLayoutNames[row]) {
                s.Layout = static_cast<int32_t>(row);
            }
        }
    }
    CaptureDestination(s, doc, cat);
    for (int i = 0; i < 5; ++i) {
        int32_t* field = OptionField(s, i);
        *field = kOptionAbsent;
        if (cos::IsDict(vp)) {
            HObject value = cos::Get(vp, kPreferenceKeys[i]);
            // Only the key ApplyView writes is put back; the other spelling is never changed
            // by a run that writes values.
            snapshot.preferences[static_cast<size_t>(i)] = CopyObject(doc, value);
            if (cos::IsNull(value) && kOtherSpelling[i] != nullptr) {
                value = cos::Get(vp, kOtherSpelling[i]);
            }
            if (cos::TypeOf(value) == kHObjBoolean) {
                *field = pc::GetBooleanValue(value) ? kOptionOn : kOptionOff;
            }
        }
    }
    if (cos::IsDict(vp)) {
        snapshot.nonFullScreenPageMode = CopyObject(doc, cos::Get(vp, "NonFullScreenPageMode"));
    }
    s.Previous = std::move(snapshot);
    settings = std::move(s);
}

} // namespace tesser::docsettings
