#include "util/csv_file.h"

#include <filesystem>
#include <fstream>
#include <list>
#include <random>

#include <gtest/gtest.h>

#include "config_files.h"
#include "kdp/host/ansi.h"
#include "test_host.h"
#include "util/ptr_hash_table.h"

namespace kdp {
namespace {

using Fields = std::vector<std::string>;

Fields Split(std::string_view line, int maxFieldLength = 255) {
  Fields recs{"stale", "values", "from", "before"};
  TCsvFile(maxFieldLength).CsvExtractStrings(line, recs);
  return recs;
}

TEST(CsvFileTest, SplitsQuotedFieldsAsTheTerminalDoes) {
  struct Case {
    const char* line;
    Fields fields;
  };
  const Case cases[] = {
      {"a,\"b,c\",d", {"a", "b,c", "d"}},             // a quoted comma stays in its field
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},  // a doubled quote is one quote
      {"\"ab\"cd,e", {"abd", "e"}},                   // the character after a closing quote is dropped
      {"\"ab\"中文,e", {"ab文", "e"}},                // ... also when it is a multi-byte character
      {"a,b,", {"a", "b", ""}},                       // a trailing comma gives an empty last field
      {"", {""}},                                     // an empty line is one empty field
      {"\"unterminated,still inside", {"unterminated,still inside"}},
      {"浦发银行,600000.SH", {"浦发银行", "600000.SH"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Split(c.line), c.fields);
  }
}

TEST(CsvFileTest, LongFieldIsCutAndTheRestOfTheLineIgnoredWithOneLogLine) {
  testing::TestHost h;
  const std::string line = std::string(300, 'x') + ",next";
  const Fields fields = Split(line);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0].size(), 254u);
  EXPECT_EQ(h->Logger().CountContaining("数组越界"), 1u);

  // The limit counts UTF-16 characters, not bytes: 254 Chinese characters fit, the 255th does not.
  std::string chinese;
  for (int i = 0; i < 255; ++i) chinese += "价";
  const Fields wide = Split(chinese);
  EXPECT_EQ(wide[0].size(), 254u * 3);
  // The check comes before every character, stored or not: even the comma after a full field ends the line.
  EXPECT_EQ(Split(std::string(254, 'y') + ",z"), (Fields{std::string(254, 'y')}));
  EXPECT_EQ(Split(std::string(253, 'y') + ",z"), (Fields{std::string(253, 'y'), "z"}));
  EXPECT_EQ(h->Logger().CountContaining("数组越界"), 3u);
}

// Reading a GBK file record by record and again from the top; a path that is missing, or exists but is
// no readable file, fails to open and says so, and nothing is read from it.
TEST(CsvFileTest, ReadsRecordsOfAGbkFileAndRewindsAndOpenErrorsReadNothing) {
  testing::TestHost h;
  const testing::ScratchDir dir;
  std::ofstream(dir.File("Currency.dat"), std::ios::binary)
      << host::Utf8ToAnsi("USD,美元,7.1\r\n\nHKD,港币,0.91\nJPY,日元,0.047");
  TCsvFile csv;
  ASSERT_TRUE(csv.OpenFile(dir.File("Currency.dat")));
  Fields recs;
  std::vector<Fields> records;
  while (csv.GetRecord(recs)) records.push_back(recs);
  EXPECT_EQ(records,
            (std::vector<Fields>{{"USD", "美元", "7.1"}, {""}, {"HKD", "港币", "0.91"}, {"JPY", "日元", "0.047"}}));
  EXPECT_TRUE(recs.empty());
  csv.MoveFirst();
  ASSERT_TRUE(csv.GetRecord(recs));
  EXPECT_EQ(recs[0], "USD");
  csv.Close();
  EXPECT_FALSE(csv.GetRecord(recs));

  EXPECT_FALSE(csv.OpenFile(dir.File("Missing.dat")));
  EXPECT_TRUE(h->Logger().Contains("not FileExists: " + dir.File("Missing.dat")));
  std::filesystem::create_directory(dir.File("Folder.dat"));
  recs = {"stale"};
  EXPECT_FALSE(csv.OpenFile(dir.File("Folder.dat")));
  EXPECT_TRUE(h->Logger().Contains("Open File Error: " + dir.File("Folder.dat")));
  EXPECT_FALSE(csv.GetRecord(recs));
  EXPECT_TRUE(recs.empty());

  const std::string locked = dir.File("Locked.dat");
  std::ofstream(locked) << "USD,美元,7.1\n";
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  if (std::ifstream(locked)) {
    // The super-user reads any file: the permission case cannot happen for this process.
    EXPECT_TRUE(csv.OpenFile(locked));
  } else {
    EXPECT_FALSE(csv.OpenFile(locked));
    EXPECT_TRUE(h->Logger().Contains("Open File Error: " + locked + " (Permission denied)"));
  }
}

// Files are read in 64 KiB pieces: lines that span pieces, and a CR LF split between two pieces, must
// read as anywhere else.
TEST(CsvFileTest, LinesAcrossReadBuffersAndEveryLineEnd) {
  testing::TestHost h;
  const testing::ScratchDir dir;
  constexpr std::size_t kPiece = 64 * 1024;
  const std::string path = dir.File("Secbrief.dat");
  for (std::size_t crAt : {kPiece - 1, kPiece, kPiece + 1, 2 * kPiece - 1}) {
    SCOPED_TRACE(crAt);
    // Lines of three fields, with a Chinese name now and then; a CR LF is placed at byte `crAt`.
    std::string gbk;
    std::vector<Fields> expected;
    int n = 0;
    while (gbk.size() < 3 * kPiece) {
      const std::string code = std::to_string(600000 + n);
      const std::string name = n % 7 == 0 ? "浦发银行" : "SPD";
      std::string line = host::Utf8ToAnsi(code + "," + name + "," + std::to_string(n));
      expected.push_back({code, name, std::to_string(n)});
      ++n;
      if (gbk.size() <= crAt && crAt - gbk.size() < 2 * line.size() + 40) {
        // Pad this line so that its CR lands exactly at `crAt`.
        const std::size_t pad = crAt - gbk.size() - line.size();
        ASSERT_LT(pad, 100u);
        line += std::string(pad, 'x');
        expected.back().back() += std::string(pad, 'x');
      }
      const char* ends[] = {"\r\n", "\n", "\r"};
      gbk += line + (gbk.size() + line.size() == crAt ? "\r\n" : ends[n % 3]);
    }
    // A last line without a line end, longer than a piece.
    gbk += std::string(kPiece + 10, 'z');
    expected.push_back({std::string(254, 'z')});
    std::ofstream(path, std::ios::binary | std::ios::trunc) << gbk;
    ASSERT_EQ(gbk.substr(crAt, 2), "\r\n");

    TCsvFile csv;
    ASSERT_TRUE(csv.OpenFile(path));
    Fields recs;
    std::vector<Fields> records;
    while (csv.GetRecord(recs)) records.push_back(recs);
    EXPECT_EQ(records.size(), expected.size());
    EXPECT_TRUE(records == expected);
    csv.MoveFirst();
    ASSERT_TRUE(csv.GetRecord(recs));
    EXPECT_EQ(recs, expected.front());
  }
}

// Random Put, Remove, Modify and Get on few keys and few buckets, against a plain model of the chains:
// a second put shadows the first and its removal reveals it again, the look-up index must always name
// the item the chain order makes first, and enumeration must follow the chains, also after removed items
// were reused.
TEST(PtrHashTableTest, BehavesAsItsChainsThroughShadowingRemovalAndReuse) {
  constexpr std::size_t kBuckets = 3;
  // Few keys shadow and reveal each other often; many keys make the look-up index grow.
  std::vector<std::string> keys{"a", "b", "c", "d", "600000.SH", "600003.SH", "价"};
  for (int i = 0; i < 60; ++i) keys.push_back(std::to_string(600100 + i * 3) + ".SH");
  int values[16];
  std::vector<std::list<std::pair<std::string, int*>>> model(kBuckets);  // each chain, head first
  auto chainOf = [&](const std::string& key) -> auto& { return model[HashOf(key) % kBuckets]; };
  auto firstOf = [&](const std::string& key) {
    auto& chain = chainOf(key);
    return std::find_if(chain.begin(), chain.end(), [&](const auto& e) { return e.first == key; });
  };

  TPtrHashTable<int> table(kBuckets);
  std::mt19937 random(20261204);
  for (int step = 0; step < 20000; ++step) {
    // Mostly the first few keys, so that the same key is put several times.
    const std::string& key = keys[random() % 2 ? random() % 7 : random() % keys.size()];
    int* value = &values[random() % std::size(values)];
    SCOPED_TRACE(std::to_string(step) + " " + key);
    switch (random() % 4) {
      case 0:
        table.Put(key, value);
        chainOf(key).emplace_front(key, value);
        break;
      case 1: {
        auto it = firstOf(key);
        const bool present = it != chainOf(key).end();
        ASSERT_EQ(table.Remove(key), present);
        if (present) chainOf(key).erase(it);
        break;
      }
      case 2: {
        auto it = firstOf(key);
        const bool present = it != chainOf(key).end();
        ASSERT_EQ(table.Modify(key, value), present);
        if (present) it->second = value;
        break;
      }
      default: {
        auto it = firstOf(key);
        ASSERT_EQ(table.Get(key), it == chainOf(key).end() ? nullptr : it->second);
      }
    }
  }
  std::vector<std::pair<std::string, int*>> enumerated, expected;
  table.SetOnEnumProc([&](auto* item) { enumerated.emplace_back(item->Key, item->Value); });
  table.StartEnum();
  for (const auto& chain : model) expected.insert(expected.end(), chain.begin(), chain.end());
  EXPECT_EQ(enumerated, expected);
  EXPECT_EQ(table.Size(), expected.size());
  table.Put("a", &values[0]);
  EXPECT_EQ(table.Get("A"), nullptr);  // keys are case-sensitive
  table.Clear();
  EXPECT_EQ(table.Size(), 0u);
  EXPECT_EQ(table.Get("a"), nullptr);
  enumerated.clear();
  table.StartEnum();
  EXPECT_TRUE(enumerated.empty());  // nothing put before is left in a chain

  // By hand: HashOf("a") = 97, "b" = 98, "c" = 99 land in buckets 1, 2 and 0 of 3; one bucket chains them
  // with the most recent put first.
  int a = 1, b = 2, c = 3;
  for (const auto& [buckets, order] : {std::pair{1, "cba"}, {3, "cab"}}) {
    TPtrHashTable<int> small(buckets);
    small.Put("a", &a);
    small.Put("b", &b);
    small.Put("c", &c);
    std::string seen;
    small.SetOnEnumProc([&](auto* item) { seen += item->Key; });
    small.StartEnum();
    EXPECT_EQ(seen, order);
  }
}

TEST(PtrHashTableTest, HashOfFollowsUtf16CodeUnits) {
  EXPECT_EQ(HashOf(""), 0u);
  EXPECT_EQ(HashOf("A"), 65u);
  EXPECT_EQ(HashOf("AB"), (65u << 2) ^ 66u);
  // "价" is U+4EF7: one UTF-16 unit, not its three UTF-8 bytes.
  EXPECT_EQ(HashOf("价"), 0x4EF7u);
  EXPECT_EQ(HashOf("A价"), (65u << 2) ^ 0x4EF7u);
  // The rotation wraps: 17 steps of "A" move bits through the top.
  std::uint32_t expected = 0;
  for (int i = 0; i < 17; ++i) expected = ((expected << 2) | (expected >> 30)) ^ 65u;
  EXPECT_EQ(HashOf(std::string(17, 'A')), expected);
}

}  // namespace
}  // namespace kdp
