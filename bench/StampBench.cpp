// Stamping benchmark: "Page <PageNumber> of <PageCount>" on every page of a generated
// 10,000-page file, from opening to saving, against a plain `qpdf in.pdf out.pdf` of the same
// file in the same run. Each side runs in its own process so that its peak memory (maximum
// resident set) is its own; times are wall-clock medians of several runs.
//
//   stamp_bench [pages] [runs] [folder]
//
// Also runs the host opening and saving the file without stamping, to show which part is the
// host's own rewrite. Prints the medians, the ratios, and a line "ratio time=<t> cpu=<c>
// memory=<m>" for scripts.
#include "host/Host.h"
#include "hostcalls/HostCalls.h"
#include "model/Tesserion.h"
#include "stamp/StampingPass.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A file like a long report: every page has its own content stream with a few lines of text in
// one shared font.
void WriteInput(const fs::path& path, int pages) {
    std::vector<std::string> bodies;
    bodies.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    bodies.push_back(""); // page tree, filled below
    bodies.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>");
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        const int pageNumber = static_cast<int>(bodies.size()) + 1;
        std::string content = "BT /R1 11 Tf 72 720 Td 14 TL";
        for (int line = 0; line < 8; ++line) {
            content += " (Line " + std::to_string(line + 1) + " of page " + std::to_string(i + 1) +
                       ", some ordinary body text to give the page weight.) '";
        }
        content += " ET";
        bodies.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                         std::to_string(pageNumber + 1) +
                         " 0 R /Resources << /Font << /R1 3 0 R >> >> >>");
        bodies.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                         content + "\nendstream");
        kids += std::to_string(pageNumber) + " 0 R ";
    }
    bodies[1] = "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(pages) + " >>";

    std::string out = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    std::ofstream(path, std::ios::binary) << out;
}

// The measured work of the stamping side, in this process.
// stamp false: the host opens and saves the file without stamping, to tell the host's own
// rewrite from the stamping.
int StampFile(const std::string& in, const std::string& out, bool stamp) {
    tesser::host::Host host;
    tesser::host::TerminalSink sink;
    host.SetMessageSink(&sink);
    if (!tesser::hostcalls::ConnectHost(host.GetHostCoreTable(), 1)) {
        return 2;
    }
    try {
        namespace hostcalls = tesser::hostcalls;
        const HFileSys files = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle inPath(files, hostcalls::PathFromPlatformPath(files, in));
        hostcalls::PathHandle outPath(files, hostcalls::PathFromPlatformPath(files, out));
        using Clock = std::chrono::steady_clock;
        const auto t0 = Clock::now();
        hostcalls::DocumentHandle document(
            hostcalls::OpenDocument(inPath.get(), files, nullptr, nullptr, true));
        const HDoc doc = document.get();
        const auto t1 = Clock::now();
        tesser::model::Tesserion t;
        t.Name = "Footer";
        t.Text = "Page <PageNumber> of <PageCount>";
        t.PosX = 72;
        t.PosY = 756;
        const bool ok = !stamp || tesser::stamp::StampDocument(t, doc, std::time(nullptr));
        const auto t2 = Clock::now();
        rusage self{};
        getrusage(RUSAGE_SELF, &self);
        const long peakAfterStamp = self.ru_maxrss;
        hostcalls::SaveDocument(doc, kHSaveFull, outPath.get(), files);
        const auto t3 = Clock::now();
        document.Close();
        if (std::getenv("STAMP_BENCH_PHASES") != nullptr) {
            const auto ms = [](auto d) {
                return std::chrono::duration<double, std::milli>(d).count();
            };
            std::fprintf(stderr,
                         "phases: open %.0f ms, stamp %.0f ms (peak %ld KiB), save %.0f ms\n",
                         ms(t1 - t0), ms(t2 - t1), peakAfterStamp, ms(t3 - t2));
        }
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "stamp_bench: " << e.what() << "\n";
        return 2;
    }
}

struct Measure {
    double seconds = 0;    // wall clock
    double cpuSeconds = 0; // user + system
    long peakKiB = 0;
};

// Runs argv as a child process; its wall time and maximum resident set.
Measure RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3)) {
        std::cerr << "stamp_bench: " << args[0] << " failed with status " << status << "\n";
        std::exit(1);
    }
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return Measure{std::chrono::duration<double>(end - start).count(), cpu, usage.ru_maxrss};
}

Measure Median(std::vector<Measure> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    Measure m = runs[runs.size() / 2];
    long peak = 0;
    for (const auto& r : runs) {
        peak = std::max(peak, r.peakKiB);
    }
    m.peakKiB = peak;
    return m;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--stamp") == 0) {
        return StampFile(argv[2], argv[3], true);
    }
    if (argc == 4 && std::strcmp(argv[1], "--rewrite") == 0) {
        return StampFile(argv[2], argv[3], false);
    }
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const fs::path folder =
        argc > 3 ? fs::path(argv[3])
                 : fs::temp_directory_path() / ("stamp_bench." + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path in = folder / "in.pdf";
    WriteInput(in, pages);
    std::cout << "input: " << pages << " pages, " << fs::file_size(in) / 1024 << " KiB\n";

    std::vector<Measure> plain;
    std::vector<Measure> stamped;
    std::vector<Measure> rewritten;
    const std::string self = fs::canonical("/proc/self/exe").string();
    for (int i = 0; i < runs; ++i) {
        plain.push_back(RunChild({"qpdf", in.string(), (folder / "plain.pdf").string()}));
        stamped.push_back(
            RunChild({self, "--stamp", in.string(), (folder / "stamped.pdf").string()}));
        rewritten.push_back(
            RunChild({self, "--rewrite", in.string(), (folder / "rewritten.pdf").string()}));
    }
    const Measure q = Median(plain);
    const Measure s = Median(stamped);
    const Measure h = Median(rewritten);
    std::printf("qpdf rewrite:  %.3f s wall, %.3f s cpu, peak %ld KiB\n", q.seconds, q.cpuSeconds,
                q.peakKiB);
    std::printf("stamp + save:  %.3f s wall, %.3f s cpu, peak %ld KiB\n", s.seconds, s.cpuSeconds,
                s.peakKiB);
    std::printf("host open + save, no stamp: %.3f s wall, %.3f s cpu, peak %ld KiB\n", h.seconds,
                h.cpuSeconds, h.peakKiB);
    std::printf("ratio time=%.2f cpu=%.2f memory=%.2f\n", s.seconds / q.seconds,
                s.cpuSeconds / q.cpuSeconds,
                static_cast<double>(s.peakKiB) / static_cast<double>(q.peakKiB));
    if (argc <= 3) {
        fs::remove_all(folder);
    }
    return 0;
}
