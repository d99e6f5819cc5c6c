// Opens one PDF file through the host's tables, reads its pages and saves a copy of it.
// Exit status: 0 opened (and saved, or refused to save with a clear error), 1 refused with a
// clear error (printed), 2 refused without a message. Used with a time limit over files
// written by others.
#include "host/Host.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

HBool OfferEmptyPassword(HDoc doc, void* data) {
    auto* model = static_cast<const HostModelTable*>(data);
    int32_t granted = 0;
    return model->Authorise(doc, 0, "", &granted) == kHErrNone;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE SCRATCH_FOLDER\n", argv[0]);
        return 64;
    }
    tesser::host::Host host;
    tesser::host::RecordingSink sink;
    host.SetMessageSink(&sink);
    const HostCoreTable* core = host.GetHostCoreTable();
    auto table = [&](const char* name) {
        HAtom atom = 0;
        const void* t = nullptr;
        core->CreateAtom(name, &atom);
        core->ImportFunctionTable(atom, HOST_TABLE_VERSION_2_2, &t);
        return t;
    };
    auto* support = static_cast<const HostSupportTable*>(table(HOST_TABLE_ACROSUPPORT));
    auto* model = static_cast<const HostModelTable*>(table(HOST_TABLE_PDMODEL));
    auto report = [&](HErrorCode code) {
        std::string text = host.ErrorText(code);
        std::printf("%s\n", text.c_str());
        return text.empty() ? 2 : 1;
    };

    std::filesystem::path copy = std::filesystem::path(argv[2]) / "copy.pdf";
    std::error_code ec;
    std::filesystem::copy_file(argv[1], copy, std::filesystem::copy_options::overwrite_existing,
                               ec);
    if (ec) {
        std::printf("cannot copy %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    HPath path = nullptr;
    support->PathFromPlatformPath(nullptr, copy.c_str(), &path);
    HDoc doc = nullptr;
    HErrorCode code = model->OpenDocument(path, nullptr, OfferEmptyPassword,
                                          const_cast<HostModelTable*>(model), 0, &doc);
    if (code != kHErrNone) {
        return report(code);
    }
    int32_t pages = 0;
    if ((code = model->GetPageCount(doc, &pages)) != kHErrNone) {
        return report(code);
    }
    for (int32_t i = 0; i < pages && i < 200; ++i) {
        HPage page = nullptr;
        if ((code = model->AcquirePage(doc, i, &page)) != kHErrNone) {
            return report(code);
        }
        HFixedRect box{};
        model->GetPageMediaBox(page, &box);
        model->GetPageCropBox(page, &box);
        HObject resources = nullptr;
        model->GetPageResources(page, &resources);
        model->ReleasePage(page);
    }
    code = model->SaveDocument(doc, kHSaveFull | kHSaveCollectGarbage, path, nullptr);
    if (code != kHErrNone && host.ErrorText(code).empty()) {
        return 2;
    }
    std::printf("opened, %d pages, save: %s\n", pages,
                code == kHErrNone ? "ok" : host.ErrorText(code).c_str());
    model->CloseDocument(doc);
    support->ReleasePath(nullptr, path);
    return 0;
}
