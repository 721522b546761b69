// The answers the security manager keeps for codes asked again: the table they sit in (every code finds
// its own answer, exactly as written, through growth and after a reset), its bound, and which calls may
// use it (the main thread of the host installed now, however the manager was made).
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "refdata/answers_by_code.h"
#include "refdata/stock_type_info.h"
#include "refdata/stock_type_manager.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

std::shared_ptr<TKrHQStockTypeInfoImpl> NewAnswer() { return std::make_shared<TKrHQStockTypeInfoImpl>(nullptr); }

// Codes of every length from 0 to 40 (each branch of the word-wise reading): all zeros, and all zeros
// but one digit at each place, the way security codes differ from one another.
std::vector<std::string> VariedCodes() {
  std::vector<std::string> codes;
  for (std::size_t length = 0; length <= 40; ++length) {
    const std::string zeros(length, '0');
    codes.push_back(zeros);
    for (std::size_t at = 0; at < length; ++at) {
      for (char digit = '1'; digit <= '9'; ++digit) {
        codes.push_back(zeros);
        codes.back()[at] = digit;
      }
    }
  }
  return codes;
}

TEST(SameShortTextTest, EveryByteOfEveryLengthCounts) {
  for (std::size_t length = 0; length <= 40; ++length) {
    const std::string text(length, 'a');
    EXPECT_TRUE(SameShortText(text, std::string(length, 'a'))) << length;
    EXPECT_FALSE(SameShortText(text, std::string(length + 1, 'a'))) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = text;
      other[at] = 'b';
      EXPECT_FALSE(SameShortText(text, other)) << length << " differing at " << at;
    }
  }
}

TEST(AnswersByCodeTest, EachCodeFindsItsOwnAnswerThroughGrowth) {
  const std::vector<std::string> codes = VariedCodes();
  ASSERT_EQ(codes.size(), 41u + 9u * (40u * 41u / 2u));
  TAnswersByCode table;
  std::vector<std::shared_ptr<TKrHQStockTypeInfoImpl>> answers;
  for (const std::string& code : codes) {
    answers.push_back(NewAnswer());
    table.Keep(code, answers.back());
  }
  EXPECT_EQ(table.Size(), codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const auto* found = table.Find(codes[i]);
    ASSERT_NE(found, nullptr) << codes[i];
    EXPECT_EQ(*found, answers[i]) << codes[i];
  }
  EXPECT_EQ(table.Find("600000.SHX"), nullptr);
  EXPECT_EQ(table.Find("00000000000000000000000000000000000000000"), nullptr);  // 41 characters
}

TEST(AnswersByCodeTest, CodesAreExactAnswersAreReplacedAndAResetForgetsAll) {
  TAnswersByCode table;
  const auto upper = NewAnswer();
  const auto lower = NewAnswer();
  table.Keep("600000.SH", upper);
  table.Keep("600000.sh", lower);
  table.Keep(" 600000.SH", NewAnswer());
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_EQ(*table.Find("600000.SH"), upper);
  EXPECT_EQ(*table.Find("600000.sh"), lower);

  const auto again = NewAnswer();
  table.Keep("600000.SH", again);
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_EQ(*table.Find("600000.SH"), again);

  table.Clear();
  EXPECT_EQ(table.Size(), 0u);
  EXPECT_EQ(table.Find("600000.SH"), nullptr);
  EXPECT_EQ(table.Find("600000.sh"), nullptr);
  table.Keep("600000.sh", upper);
  EXPECT_EQ(*table.Find("600000.sh"), upper);
  EXPECT_EQ(table.Find("600000.SH"), nullptr);
}

constexpr const char* kMapXml = R"xml(<Map><StockTypeMap>
  <type id="1" StockType="A" Suffix=".SH" HQType="A.SH"/>
</StockTypeMap></Map>)xml";

class KeptAnswersTest : public ::testing::Test {
 protected:
  void SetUp() override { manager_->LoadStockTypeMapXml(kMapXml); }

  TestHost host_;
  std::shared_ptr<TKrHQStockTypeManagerImpl> manager_ = std::make_shared<TKrHQStockTypeManagerImpl>(8);
};

// Codes from outside cannot grow the kept answers without bound: up to kMaxAnswers codes every one keeps
// its answer; one code more and the manager starts afresh.
TEST_F(KeptAnswersTest, KeptCodesStopAtTheirBound) {
  constexpr std::size_t kBound = TKrHQStockTypeManagerImpl::kMaxAnswers;
  constexpr std::size_t kEvery = 4096;
  const auto code = [](std::size_t i) { return fmt::format("Z{}.XX", i); };
  auto first = manager_->GetSecurityInfo("600000.SH");
  std::vector<std::shared_ptr<IKrHQSecurityInfo>> sampled;
  for (std::size_t i = 1; i < kBound; ++i) {
    auto info = manager_->GetSecurityInfo(code(i));
    if (i % kEvery == 0) sampled.push_back(info);
  }
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), first);
  ASSERT_EQ(sampled.size(), kBound / kEvery - 1);
  for (std::size_t k = 0; k < sampled.size(); ++k) EXPECT_EQ(manager_->GetSecurityInfo(code((k + 1) * kEvery)), sampled[k]);

  manager_->GetSecurityInfo("ONE.MORE");
  auto fresh = manager_->GetSecurityInfo("600000.SH");
  EXPECT_NE(fresh, first);
  EXPECT_EQ(fresh->GetHQType(), "A.SH");
  EXPECT_NE(manager_->GetSecurityInfo(code(kEvery)), sampled[0]);
}

// A host whose main thread is a thread that has ended: no call is on its main thread.
class ElsewhereHost final : public host::IHostEnvironment {
 public:
  ElsewhereHost() {
    std::thread([this] { loop_.BindToCurrentThread(); }).join();
  }
  std::shared_ptr<host::IKrServiceProvider> ServiceProvider() override { return nullptr; }
  host::InterfacePtr QueryRegisteredService(const host::Guid&) override { return nullptr; }
  void Log(std::string_view, std::string_view, int) override {}
  bool IsDetailedLogOn() const override { return false; }
  void FlushLog() override {}
  const host::HostPaths& Paths() const override { return paths_; }
  host::IMainLoop& Loop() override { return loop_; }
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

 private:
  host::HostPaths paths_;
  minihost::MiniMainLoop loop_;
};

// The manager remembers the thread and the host it was made under; with another host installed, that
// host says which thread is its main one.
TEST_F(KeptAnswersTest, UnderAnotherHostOnlyItsMainThreadUsesTheKeptAnswers) {
  auto kept = manager_->GetSecurityInfo("600000.SH");
  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), kept);

  ElsewhereHost elsewhere;
  host::InstallHostEnvironment(&elsewhere);
  auto first = manager_->GetSecurityInfo("600000.SH");
  auto second = manager_->GetSecurityInfo("600000.SH");
  host::InstallHostEnvironment(&*host_);
  EXPECT_NE(first, kept);
  EXPECT_NE(second, first);
  EXPECT_EQ(first->GetHQType(), "A.SH");

  EXPECT_EQ(manager_->GetSecurityInfo("600000.SH"), kept);  // untouched meanwhile
}

// A manager made off the main thread knows no main thread of its own and asks the host each time.
TEST_F(KeptAnswersTest, AManagerMadeOffTheMainThreadKeepsTheMainThreadsAnswers) {
  std::shared_ptr<TKrHQStockTypeManagerImpl> made;
  std::thread([&made] { made = std::make_shared<TKrHQStockTypeManagerImpl>(8); }).join();
  made->LoadStockTypeMapXml(kMapXml);
  auto kept = made->GetSecurityInfo("600000.SH");
  EXPECT_EQ(made->GetSecurityInfo("600000.SH"), kept);
  std::shared_ptr<IKrHQSecurityInfo> fromThread;
  std::thread([&] { fromThread = made->GetSecurityInfo("600000.SH"); }).join();
  EXPECT_NE(fromThread, kept);
  EXPECT_EQ(fromThread->GetHQType(), "A.SH");
}

}  // namespace
}  // namespace kdp
