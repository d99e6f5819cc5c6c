// The "PDModel" table, pages and fonts.
#include "host/HostState.h"
#include "host/Std14Widths.h"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tesser::host {

namespace {

// Inheritable page attributes are looked up through the page tree; a loop in /Parent ends the
// search. holder (when given) is set to the node the value was found in.
QPDFObjectHandle Inherited(QPDFObjectHandle page, const std::string& key,
                           QPDFObjectHandle* holder = nullptr) {
    QPDFObjectHandle node = page;
    std::set<QPDFObjGen> seen;
    while (node.isDictionary()) {
        QPDFObjectHandle value = node.getKey(key);
        if (!value.isNull()) {
            if (holder != nullptr) {
                *holder = node;
            }
            return value;
        }
        if (node.isIndirect() && !seen.insert(node.getObjGen()).second) {
            break;
        }
        node = node.getKey("/Parent");
    }
    return QPDFObjectHandle::newNull();
}

struct Box {
    double llx, lly, urx, ury;
};

bool ReadBox(QPDFObjectHandle value, Box& box) {
    if (!value.isArray() || value.getArrayNItems() != 4) {
        return false;
    }
    double v[4];
    for (int i = 0; i < 4; ++i) {
        QPDFObjectHandle item = value.getArrayItem(i);
        if (!item.isNumber()) {
            return false;
        }
        v[i] = item.getNumericValue();
        if (!std::isfinite(v[i])) {
            return false;
        }
    }
    box = {std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
    return true;
}

Box MediaBox(QPDFObjectHandle page) {
    Box box{};
    if (!ReadBox(Inherited(page, "/MediaBox"), box)) {
        box = {0, 0, 612, 792}; // US Letter, what readers assume when the box is missing
    }
    return box;
}

Box CropBox(QPDFObjectHandle page) {
    Box media = MediaBox(page);
    Box crop{};
    if (!ReadBox(Inherited(page, "/CropBox"), crop)) {
        return media;
    }
    // The visible region is the crop box clipped to the media box.
    Box clipped{std::max(crop.llx, media.llx), std::max(crop.lly, media.lly),
                std::min(crop.urx, media.urx), std::min(crop.ury, media.ury)};
    if (clipped.llx >= clipped.urx || clipped.lly >= clipped.ury) {
        return media;
    }
    return clipped;
}

HFixed Fix(double v) {
    double scaled = std::round(v * 65536.0);
    scaled = std::clamp(scaled, -2147483648.0, 2147483647.0);
    return static_cast<HFixed>(scaled);
}

HFixedRect ToRect(const Box& box) {
    return HFixedRect{Fix(box.llx), Fix(box.ury), Fix(box.urx), Fix(box.lly)};
}

HErrorCode GetPageCount(HDoc handle, int32_t* count) {
    return Entry("GetPageCount", [&] {
        CheckOut(count);
        *count = static_cast<int32_t>(CheckDoc(handle)->Pages().size());
    });
}

HErrorCode AcquirePage(HDoc handle, int32_t index, HPage* page) {
    return Entry("AcquirePage", [&] {
        CheckOut(page);
        Document* doc = CheckDoc(handle);
        const auto& pages = doc->Pages();
        if (index < 0 || static_cast<size_t>(index) >= pages.size()) {
            throw HostException(kHErrBadParameter, "There is no page " + std::to_string(index + 1) +
                                                       " in " + doc->path + " (it has " +
                                                       std::to_string(pages.size()) + " pages).");
        }
        auto rec = std::make_unique<PageRec>();
        rec->doc = doc;
        rec->page = pages[static_cast<size_t>(index)];
        rec->index = index;
        *page = reinterpret_cast<HPage>(doc->pages.Add(std::move(rec)));
    });
}

HErrorCode ReleasePage(HPage page) {
    return Entry("ReleasePage", [&] {
        PageRec* rec = CheckPage(page);
        rec->doc->pages.Erase(rec);
    });
}

HErrorCode GetPageNumber(HPage page, int32_t* index) {
    return Entry("GetPageNumber", [&] {
        CheckOut(index);
        // Not QPDF's findPage: it flattens the page tree and pushes inherited attributes down
        // to every page, changing the document to answer a question.
        *index = CheckPage(page)->index;
    });
}

HErrorCode GetPageDocument(HPage page, HDoc* doc) {
    return Entry("GetPageDocument", [&] {
        CheckOut(doc);
        *doc = ToHandle(CheckPage(page)->doc);
    });
}

HErrorCode GetPageCosObject(HPage page, HObject* pageDict) {
    return Entry("GetPageCosObject", [&] {
        CheckOut(pageDict);
        PageRec* rec = CheckPage(page);
        *pageDict = ToHandle(rec->doc->Wrap(rec->page));
    });
}

HErrorCode GetPageResources(HPage page, HObject* resources) {
    return Entry("GetPageResources", [&] {
        CheckOut(resources);
        PageRec* rec = CheckPage(page);
        *resources =
            ToHandle(rec->doc->Wrap(OwnResources(*rec->doc, rec->page), rec->page.getObjGen()));
    });
}

HErrorCode GetPageMediaBox(HPage page, HFixedRect* box) {
    return Entry("GetPageMediaBox", [&] {
        CheckOut(box);
        *box = ToRect(MediaBox(CheckPage(page)->page));
    });
}

HErrorCode GetPageCropBox(HPage page, HFixedRect* box) {
    return Entry("GetPageCropBox", [&] {
        CheckOut(box);
        *box = ToRect(CropBox(CheckPage(page)->page));
    });
}

HErrorCode NotifyPageContentsChanged(HPage page, HBool) {
    return Entry("NotifyPageContentsChanged", [&] {
        Document* doc = CheckPage(page)->doc;
        doc->Changed();
        if (HostObserver* observer = S().observer) {
            observer->PageContentsChanged(ToHandle(doc));
        }
    });
}

HErrorCode EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData) {
    return Entry("EnumeratePageFonts", [&] {
        CheckOut(reinterpret_cast<const void*>(visitor));
        PageRec* rec = CheckPage(page);
        QPDFObjectHandle node;
        QPDFObjectHandle resources = Inherited(rec->page, "/Resources", &node);
        if (!resources.isDictionary()) {
            return;
        }
        QPDFObjectHandle fonts = resources.getKey("/Font");
        if (!fonts.isDictionary()) {
            return;
        }
        // Where a direct font dictionary lives.
        const QPDFObjGen holder = fonts.isIndirect()       ? fonts.getObjGen()
                                  : resources.isIndirect() ? resources.getObjGen()
                                                           : node.getObjGen();
        for (auto [key, font] : fonts.getDictAsMap()) {
            if (!font.isDictionary()) {
                continue;
            }
            HFont handle = ToFontHandle(rec->doc->WrapFont(font, holder));
            HAtom name = S().Atom(key.substr(1));
            bool more = true;
            try {
                more = visitor(handle, name, clientData) != 0;
            } catch (...) {
                more = false;
            }
            if (!more) {
                break;
            }
        }
    });
}

HErrorCode GetFontName(HFont font, char* buffer, size_t bufferSize) {
    return Entry("GetFontName", [&] {
        // A Type 3 font (or a damaged font dictionary) has no base font name: it is named by
        // the empty text, which no standard font matches.
        QPDFObjectHandle base = CheckFont(font)->object.getKey("/BaseFont");
        CopyText(base.isName() ? base.getName().substr(1) : std::string(), buffer, bufferSize);
    });
}

HErrorCode GetFontWidths(HFont font, int16_t widths[256]) {
    return Entry("GetFontWidths", [&] {
        CheckOut(widths);
        QPDFObjectHandle dict = CheckFont(font)->object;
        QPDFObjectHandle list = dict.getKey("/Widths");
        QPDFObjectHandle first = dict.getKey("/FirstChar");
        if (list.isArray() && first.isInteger()) {
            int16_t missing = 0;
            QPDFObjectHandle descriptor = dict.getKey("/FontDescriptor");
            if (descriptor.isDictionary() && descriptor.getKey("/MissingWidth").isNumber()) {
                missing = static_cast<int16_t>(
                    std::clamp(std::lround(descriptor.getKey("/MissingWidth").getNumericValue()),
                               -32768L, 32767L));
            }
            std::fill(widths, widths + 256, missing);
            long long firstChar = first.getIntValue();
            int n = list.getArrayNItems();
            for (int i = 0; i < n; ++i) {
                long long code = firstChar + i;
                QPDFObjectHandle w = list.getArrayItem(i);
                if (code < 0 || code > 255 || !w.isNumber()) {
                    continue;
                }
                widths[code] = static_cast<int16_t>(
                    std::clamp(std::lround(w.getNumericValue()), -32768L, 32767L));
            }
            return;
        }
        QPDFObjectHandle base = dict.getKey("/BaseFont");
        const int16_t* standard =
            base.isName() ? StandardFontWidths(base.getName().substr(1)) : nullptr;
        if (standard == nullptr) {
            throw HostException(kHErrBadObject,
                                "The font has no widths and is not a standard font.");
        }
        std::memcpy(widths, standard, 256 * sizeof(int16_t));
    });
}

HErrorCode GetFontObject(HFont font, HObject* fontDict) {
    return Entry("GetFontObject", [&] {
        CheckOut(fontDict);
        FontRec* rec = CheckFont(font);
        *fontDict = ToHandle(rec->doc->Wrap(rec->object, rec->holder));
    });
}

HErrorCode AddPageResource(HPage page, const char* category, const char* resourceName,
                           HObject object) {
    return Entry("AddPageResource", [&] {
        CheckOut(category);
        CheckOut(resourceName);
        if (*category == '\0' || *resourceName == '\0') {
            throw HostException(kHErrBadParameter, "The resource needs a category and a name.");
        }
        PageRec* rec = CheckPage(page);
        ObjectRec* value = CheckObject(object);
        if (value->doc != nullptr && value->doc != rec->doc) {
            throw HostException(kHErrBadParameter, "The resource belongs to another document.");
        }
        QPDFObjectHandle resources = OwnResources(*rec->doc, rec->page);
        std::string key = "/" + std::string(category);
        QPDFObjectHandle dict = resources.getKey(key);
        if (!dict.isDictionary()) {
            dict = QPDFObjectHandle::newDictionary();
            resources.replaceKey(key, dict);
            dict = resources.getKey(key);
        } else if (dict.isIndirect()) {
            dict = dict.shallowCopy();
            resources.replaceKey(key, dict);
            dict = resources.getKey(key);
        }
        QPDFObjectHandle stored =
            value->object.isIndirect() ? value->object : value->object.shallowCopy();
        dict.replaceKey("/" + std::string(resourceName), stored);
        rec->doc->Changed(resources.isIndirect() ? resources.getObjGen() : rec->page.getObjGen());
    });
}

HErrorCode TranslateText(const char* in, char* out, size_t length) {
    return Entry("TranslateText", [&] {
        if (length == 0) {
            return;
        }
        CheckOut(in);
        CheckOut(out);
        std::memmove(out, in, length);
    });
}

} // namespace

QPDFObjectHandle EffectiveResources(QPDFObjectHandle page) {
    return Inherited(page, "/Resources");
}

QPDFObjectHandle OwnResources(Document& doc, QPDFObjectHandle page) {
    QPDFObjectHandle own = page.getKey("/Resources");
    const auto id = static_cast<size_t>(page.getObjectID());
    bool made = id < doc.ownResources.size() && doc.ownResources[id];
    if (made && own.isDictionary()) {
        return own;
    }
    QPDFObjectHandle effective = EffectiveResources(page);
    QPDFObjectHandle copy =
        effective.isDictionary() ? effective.shallowCopy() : QPDFObjectHandle::newDictionary();
    if (!(own.isDictionary() && !own.isIndirect())) {
        page.replaceKey("/Resources", copy);
        own = page.getKey("/Resources");
        doc.Changed(page.getObjGen());
    }
    // The categories the host and the plug-in write into are made the page's own as well: an
    // indirect /Font or /ProcSet may be shared with other pages.
    for (const char* category : {"/Font", "/ProcSet"}) {
        QPDFObjectHandle value = own.getKey(category);
        if (value.isIndirect() && (value.isDictionary() || value.isArray())) {
            own.replaceKey(category, value.shallowCopy());
            doc.Changed(own.isIndirect() ? own.getObjGen() : page.getObjGen());
        }
    }
    if (id >= doc.ownResources.size()) {
        doc.ownResources.resize(id + 1);
    }
    doc.ownResources[id] = true;
    return own;
}

void FillModelTable(HostModelTable& t) {
    t.size = sizeof(HostModelTable);
    t.version = HOST_TABLE_VERSION_2_2;
    FillDocumentFunctions(t);
    t.GetPageCount = GetPageCount;
    t.AcquirePage = AcquirePage;
    t.ReleasePage = ReleasePage;
    t.GetPageNumber = GetPageNumber;
    t.GetPageDocument = GetPageDocument;
    t.GetPageCosObject = GetPageCosObject;
    t.GetPageResources = GetPageResources;
    t.GetPageMediaBox = GetPageMediaBox;
    t.GetPageCropBox = GetPageCropBox;
    t.NotifyPageContentsChanged = NotifyPageContentsChanged;
    t.EnumeratePageFonts = EnumeratePageFonts;
    t.GetFontName = GetFontName;
    t.GetFontWidths = GetFontWidths;
    t.GetFontObject = GetFontObject;
    t.AddPageResource = AddPageResource;
    t.TranslateText = TranslateText;
}

} // namespace tesser::host
