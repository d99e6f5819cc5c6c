#include "stamp/StampingPass.h"

#include "hostcalls/Guarded.h"
#include "stamp/ContentsInsertion.h"

#include <vector>

namespace tesser::stamp {

namespace guarded = ::tesser::hostcalls::guarded;

std::string CropWarningText(const CropOverflow& overflow) {
    std::vector<const char*> sides;
    if (overflow.Left) {
        sides.push_back("left");
    }
    if (overflow.Right) {
        sides.push_back("right");
    }
    if (overflow.Top) {
        sides.push_back("top");
    }
    if (overflow.Bottom) {
        sides.push_back("bottom");
    }
    if (sides.empty()) {
        return {};
    }
    std::string list;
    for (const char* side : sides) {
        if (!list.empty()) {
            list += " and ";
        }
        list += side;
    }
    return "Some text may not be visible because it is outside the crop box\n\nThe affected "
           "text is to the " +
           list + " of the page.\n\nDo you wish to continue or cancel?";
}

namespace {

// Releases the page now; the message is shown only when report is true. (A host error thrown
// while the page was in use releases it quietly on the way out.)
bool Release(hostcalls::PageHandle& page, bool report) {
    try {
        page.Close();
        return true;
    } catch (const hostcalls::HostError&) {
        if (report) {
            hostcalls::ShowAlert(kHAlertError, "Failed to release page", "OK");
        }
        return false;
    }
}

} // namespace

bool StampDocument(const model::Tesserion& tesserion, HDoc doc, std::time_t runTime,
                   StampOutcome* outcome, const PageProgress& progress) {
    StampOutcome local;
    StampOutcome& out = outcome != nullptr ? *outcome : local;
    out = StampOutcome{};
    bool ok = true;

    void* security = nullptr;
    if (!guarded::GetSecurityData(doc, security)) {
        ok = false;
    } else if (security != nullptr) {
        int32_t granted = 0;
        if (!guarded::Authorise(doc, kHPermEdit, "", granted)) {
            ok = false;
        } else if ((granted & kHPermEdit) == 0) {
            hostcalls::ShowAlert(
                kHAlertError, "The security settings of this document do not allow changes", "OK");
            out.Refused = true;
            return false;
        }
    }

    CropOverflow overflow;
    int32_t count = 0;
    if (ok && !guarded::GetPageCount(doc, count)) {
        ok = false;
    }
    if (!ok) {
        out.Unreadable = true;
        return false;
    }
    for (int32_t page = 1; page <= count; ++page) {
        out.Selected += tesserion.Pages.IncludesPage(page) ? 1 : 0;
    }
    PassObjects shared;
    int32_t i = 0;
    for (; ok && i < count; ++i) {
        if (!tesserion.Pages.IncludesPage(i + 1)) {
            continue;
        }
        // The handles one page's stamping is handed end with the page, so that a long document
        // does not keep hundreds of thousands of them. A host without object scopes keeps them.
        const hostcalls::ObjectScopeHandle scope = hostcalls::TryBeginObjectScope(doc);
        HPage handle = nullptr;
        if (!guarded::AcquirePage(doc, i, handle)) {
            ok = false;
            break;
        }
        hostcalls::PageHandle page(handle);
        const bool stamped = StampPage(tesserion, doc, page.get(), runTime, overflow, &shared);
        if (stamped) {
            ++out.Stamped;
        } else {
            out.Skipped.push_back(i + 1);
        }
        if (!Release(page, stamped)) {
            ok = false;
            ++i;
            break;
        }
        if (progress) {
            progress(i + 1, count);
        }
    }
    if (!ok) {
        out.Stopped = true;
        for (; i < count; ++i) {
            if (tesserion.Pages.IncludesPage(i + 1)) {
                out.Skipped.push_back(i + 1);
            }
        }
    }

    const std::string warning = CropWarningText(overflow);
    if (!warning.empty() && hostcalls::ConfirmAlert(warning) == 0) {
        ok = false;
        out.Cancelled = true;
    }
    return ok;
}

bool UnstampDocument(const model::Tesserion& tesserion, HDoc doc,
                     const std::vector<std::int32_t>& skipped, std::int32_t* notRemoved) {
    if (notRemoved != nullptr) {
        *notRemoved = 0;
    }
    int32_t count = 0;
    if (!guarded::GetPageCount(doc, count)) {
        return false;
    }
    std::size_t nextSkipped = 0; // skipped is in ascending order
    for (int32_t i = 0; i < count; ++i) {
        if (!tesserion.Pages.IncludesPage(i + 1)) {
            continue;
        }
        while (nextSkipped < skipped.size() && skipped[nextSkipped] < i + 1) {
            ++nextSkipped;
        }
        if (nextSkipped < skipped.size() && skipped[nextSkipped] == i + 1) {
            continue;
        }
        const hostcalls::ObjectScopeHandle scope = hostcalls::TryBeginObjectScope(doc);
        HPage handle = nullptr;
        if (!guarded::AcquirePage(doc, i, handle)) {
            return false;
        }
        hostcalls::PageHandle page(handle);
        const bool removed = RemoveStampContent(page.get(), tesserion.Layer);
        if (!removed && notRemoved != nullptr) {
            ++*notRemoved;
        }
        if (!Release(page, removed)) {
            return false;
        }
    }
    return true;
}

} // namespace tesser::stamp
