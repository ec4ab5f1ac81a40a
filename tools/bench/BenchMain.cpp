// velsetup_bench: one measurement per call, printed as one line of "name=value" pairs for
// scripts/bench, which repeats them and prints the table.
//   velsetup_bench download product|hashed|bare|floor URL FILE
//   velsetup_bench extract product|hashed|bare|floor ARCHIVE FOLDER
//   velsetup_bench size URL
//   velsetup_bench run VELSETUP.EXE PARAM STALL_MS
//   velsetup_bench start EXE        (EXE started with "nothing")
//   velsetup_bench nothing
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchDownload.h"
#include "BenchExtract.h"
#include "BenchRun.h"
#include "BenchSupport.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: velsetup_bench download product|hashed|bare|floor URL FILE\n"
               "       velsetup_bench extract product|hashed|bare|floor ARCHIVE FOLDER\n"
               "       velsetup_bench size URL\n"
               "       velsetup_bench run VELSETUP.EXE PARAM STALL_MS\n"
               "       velsetup_bench start EXE\n"
               "       velsetup_bench nothing\n");
  return 2;
}

int Report(double milliseconds, size_t peak, bool ok, int status = 0) {
  std::printf("ms=%.1f peak=%zu ok=%d status=%d\n", milliseconds, peak, ok ? 1 : 0, status);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "nothing") return 0;
  if ((command == "download" || command == "extract") && argc == 5) {
    const bool product = std::strcmp(argv[2], "product") == 0;
    const bool hashed = std::strcmp(argv[2], "hashed") == 0;
    const bool floor = std::strcmp(argv[2], "floor") == 0;
    if (!product && !hashed && !floor && std::strcmp(argv[2], "bare") != 0) return Usage();
    const std::string first = WindowsPath(argv[3]);
    const std::string second = WindowsPath(argv[4]);
    const CStopwatch clock;
    bool ok;
    if (command == "download") {
      ok = product  ? ProductDownload(argv[3], second.c_str())
           : hashed ? HashedDownload(argv[3], second.c_str())
           : floor  ? FloorDownload(argv[3], second.c_str())
                    : BareDownload(argv[3], second.c_str());
    } else {
      ok = product  ? ProductExtract(first.c_str(), second.c_str())
           : hashed ? HashedExtract(first.c_str(), second.c_str())
           : floor  ? FloorExtract(first.c_str(), second.c_str())
                    : BareExtract(first.c_str(), second.c_str());
    }
    return Report(clock.Milliseconds(), PeakWorkingSet(), ok);
  }
  if (command == "size" && argc == 3) {
    const CStopwatch clock;
    const bool ok = SizeRequest(argv[2]);
    return Report(clock.Milliseconds(), PeakWorkingSet(), ok);
  }
  if (command == "run" && argc == 5) {
    const CRunFigures figures =
        TimeSetupRun(WindowsPath(argv[2]), argv[3], std::strtoul(argv[4], nullptr, 10));
    std::printf("manifest=%.1f list=%.1f install=%.1f ", figures.manifestAt, figures.listAt,
                figures.installAt);
    return Report(figures.milliseconds, figures.peakWorkingSet, !figures.timedOut, figures.lastStatus);
  }
  if (command == "start" && argc == 3) {
    const CRunFigures figures = TimeProcessStart(WindowsPath(argv[2]), "nothing");
    return Report(figures.milliseconds, figures.peakWorkingSet, figures.milliseconds > 0);
  }
  return Usage();
}
