// Opens a PDF through the host's tables and saves it over itself (flags 33), the way a run
// saves each file. Prints the wall time in seconds and the peak resident memory in KiB.
//
//     host_open_save FILE
#include "host/Host.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 64;
    }
    tesser::host::Host host;
    tesser::host::TerminalSink sink;
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

    auto start = std::chrono::steady_clock::now();
    HPath path = nullptr;
    support->PathFromPlatformPath(nullptr, argv[1], &path);
    HDoc doc = nullptr;
    HErrorCode code = model->OpenDocument(path, nullptr, nullptr, nullptr, 0, &doc);
    if (code == kHErrNone) {
        code = model->SaveDocument(doc, kHSaveFull | kHSaveCollectGarbage, path, nullptr);
        model->CloseDocument(doc);
    }
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != kHErrNone) {
        std::fprintf(stderr, "%s\n", host.ErrorText(code).c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %ld\n", seconds, usage.ru_maxrss);
    support->ReleasePath(nullptr, path);
    return 0;
}
