// The reference tables' hot paths against plain standard-library baselines, interleaved in one benchmark
// each (paired_timing.h):
//  - loading a 100,000-line brief-fundamentals file through TCsvFile + TPtrHashTable (the real loader)
//    against std::getline, a split at commas and std::unordered_map doing the same parsing;
//  - TPtrHashTable::Get against std::unordered_map::find on the same keys, at the load the package's
//    largest table runs at (4,000 codes in 4,000 buckets), all 4,000 keys per side and iteration.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "paired_timing.h"
#include "refdata/security_basic_manager.h"
#include "util/ptr_hash_table.h"
#include "util/strings.h"

namespace {

// Security codes as the markets write them: SH and SZ A shares, HK shares.
std::vector<std::string> Codes(int count) {
  std::vector<std::string> codes;
  codes.reserve(static_cast<std::size_t>(count));
  for (int i = 0; static_cast<int>(codes.size()) < count; ++i) {
    switch (i % 3) {
      case 0:
        codes.push_back(fmt::format("{:06}.SH", 600000 + i));
        break;
      case 1:
        codes.push_back(fmt::format("{:06}.SZ", i));
        break;
      default:
        codes.push_back(fmt::format("{:05}.HK", i));
        break;
    }
  }
  return codes;
}

const std::string& BriefFile() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() / "kdp-bench-Secbrief.dat").string();
    std::ofstream out(file, std::ios::binary);
    int n = 0;
    for (const std::string& code : Codes(100000)) {
      ++n;
      out << fmt::format("{},{:.2f},{:.2f},{:.4f},{:.4f},{},{:.4f},{:.4f},2026{:02}{:02}\r\n", code, 1000.0 + n * 1.5,
                         2000.0 + n * 2.25, 0.01 * (n % 300), 1.0 + 0.001 * n, 10000 + n * 7, 0.011 * (n % 280),
                         0.012 * (n % 310), n % 12 + 1, n % 28 + 1);
    }
    return file;
  }();
  return path;
}

// The baseline: what a plain reader of the same file does, with the same fields parsed and the same key.
struct BriefRecord {
  std::string code;
  double values[7];
  int reportDate;
};

double ParseOrZero(const std::string& text) {
  double value = 0.0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) return 0.0;
  return value;
}

std::size_t LoadWithGetlineAndUnorderedMap(const std::string& path) {
  std::unordered_map<std::string, BriefRecord> table;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::vector<std::string> fields;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    fields.clear();
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = line.find(',', start);
      fields.emplace_back(line, start, comma == std::string::npos ? std::string::npos : comma - start);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (fields.size() != 9) continue;
    BriefRecord record{fields[0], {}, 0};
    for (int i = 0; i < 7; ++i) record.values[i] = ParseOrZero(fields[static_cast<std::size_t>(i) + 1]);
    std::from_chars(fields[8].data(), fields[8].data() + fields[8].size(), record.reportDate);
    table.emplace(kdp::ToUpperAscii(fields[0]), std::move(record));
  }
  return table.size();
}

void BM_LoadBriefTable(benchmark::State& state) {
  const std::string& path = BriefFile();
  std::size_t records = 0;
  kdp::bench::Interleave(
      state, [&] { records += LoadWithGetlineAndUnorderedMap(path); },
      [&] { records += kdp::TkrSecurityBasicManager(path).Count(); });
  benchmark::DoNotOptimize(records);
}
BENCHMARK(BM_LoadBriefTable)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly();

constexpr int kTableCodes = 4000;

void BM_PtrHashTableGet(benchmark::State& state) {
  const std::vector<std::string> codes = Codes(kTableCodes);
  std::vector<int> values(codes.size());
  kdp::TPtrHashTable<int> table(kTableCodes);
  std::unordered_map<std::string, int*> map;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    table.Put(codes[i], &values[i]);
    map.emplace(codes[i], &values[i]);
  }
  std::size_t found = 0;
  kdp::bench::Interleave(
      state,
      [&] {
        for (const std::string& code : codes) {
          auto it = map.find(code);
          found += it == map.end() ? 0 : static_cast<std::size_t>(*it->second >= 0);
        }
      },
      [&] {
        for (const std::string& code : codes) {
          const int* value = table.Get(code);
          found += value == nullptr ? 0 : static_cast<std::size_t>(*value >= 0);
        }
      });
  benchmark::DoNotOptimize(found);
}
BENCHMARK(BM_PtrHashTableGet)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

}  // namespace
