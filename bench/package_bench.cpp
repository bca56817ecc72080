// Benchmark driver for the package stage (not a test): packs a folder the
// way the report's first attempt does (fresh archive at level 8, then the
// DES container) and prints wall time, throughput and peak memory; or
// measures the block cipher's throughput on one core.
//   package_bench pack CORPUS_FOLDER WORK_FOLDER   archive and package go to WORK_FOLDER
//   package_bench des [MiB]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/descrypt.h"
#include "app/report_archive.h"
#include "platform/file_io.h"
#include "platform/text.h"

using namespace velto;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKib() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double CpuSeconds() {  // all threads, user + system
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Pack(const std::string& corpus, const std::string& work) {
  PackContext ctx;
  ctx.program_folder = FromUtf8(work + "/");
  ctx.output_file_name = FromUtf8(work + "/qn_logs_bench.log");
  ctx.local_date_text = [] { return UString(u"20261209"); };
  const auto start = std::chrono::steady_clock::now();
  const int count = PackReport({FromUtf8(corpus) + u"\\*.*"}, ctx);
  const double seconds = Seconds(start);
  File pkg = File::Open(ctx.output_file_name, File::Mode::kRead);
  const double pkg_mb = pkg.IsOpen() ? pkg.Size() / 1e6 : 0;
  std::printf("files=%d seconds=%.2f cpu_seconds=%.2f package_mb=%.1f peak_rss_mib=%.1f\n", count,
              seconds, CpuSeconds(), pkg_mb, PeakKib() / 1024.0);
  return count > 0 ? 0 : 1;
}

int Des(size_t mib) {
  std::vector<uint8_t> buffer(mib << 20, 0x5A);
  const DesKeySchedule schedule(DeriveKey(kReportPassPhrase));
  schedule.EncryptBlocks(buffer.data(), buffer.data(), 4096);  // warm the tables
  const auto start = std::chrono::steady_clock::now();
  schedule.EncryptBlocks(buffer.data(), buffer.data(), buffer.size() / 8);
  const double seconds = Seconds(start);
  std::printf("des_mb_per_s=%.1f\n", buffer.size() / seconds / 1e6);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "pack" && argc == 4) return Pack(argv[2], argv[3]);
  if (mode == "des") return Des(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256);
  std::fprintf(stderr, "usage: package_bench pack CORPUS WORK | package_bench des [MiB]\n");
  return 2;
}
