// Related securities: both files, the A/H lists, the order GetAllRelatedSymbol shows, and rebuilding
// from fresher data with the after-loaded call-backs.
#include "refdata/related_symbol.h"

#include <map>

#include <gtest/gtest.h>

#include "config_files.h"
#include "core/security_fake.h"
#include "kdp/host/ansi.h"
#include "test_host.h"

namespace kdp {
namespace {

using Codes = std::vector<std::string>;

using RelatedSymbolTest = testing::ReferenceFileTest;

TEST_F(RelatedSymbolTest, PairsRelateBothWaysAndLocalRowsOneWay) {
  TKrRelatedSymbol related(Write("RelatedSymbols.dat",
                                 "601318.SH,02318.HK,1\n"
                                 "600028.SH,00386.HK,1\n"
                                 "601318.SH,000001.SZ,3\n"
                                 "601318.sh,02318.HK,4\n"
                                 "601318.SH,82318.HK,1\n"
                                 "110059.SH,600000.SH\n"  // two fields: skipped
                                 "113052.SH,601166.SH,2\n"),
                           Write("RelatedSymbolsLocal.dat",
                                 "000300.SH,510300.SH,4\n"
                                 "601318.SH,510050.SH,4\n"));
  Codes list{"stale"};
  related.GetRelatedSymbol("601318.SH", 0, list);
  EXPECT_EQ(list, (Codes{"02318.HK", "000001.SZ", "02318.HK", "82318.HK", "510050.SH"}));
  related.GetRelatedSymbol("601318.sh", 1, list);
  EXPECT_EQ(list, (Codes{"02318.HK", "82318.HK"}));
  related.GetRelatedSymbol("02318.HK", 0, list);
  EXPECT_EQ(list, (Codes{"601318.SH", "601318.sh"}));
  related.GetRelatedSymbol("510300.SH", 0, list);  // the local file relates one way only
  EXPECT_TRUE(list.empty());
  related.GetRelatedSymbol("000300.SH", 4, list);
  EXPECT_EQ(list, (Codes{"510300.SH"}));
  related.GetRelatedSymbol("600000.SH", 0, list);
  EXPECT_TRUE(list.empty());
  related.GetRelatedSymbol("601166.SH", 2, list);
  EXPECT_EQ(list, (Codes{"113052.SH"}));

  EXPECT_EQ(related.GetAHRelateCode("601318.SH"), "82318.HK");  // the last A/H relation
  EXPECT_EQ(related.GetAHRelateCode("00386.HK"), "600028.SH");
  EXPECT_EQ(related.GetAHRelateCode("000001.SZ"), "");

  EXPECT_EQ(related.GetAHKoraCodeCount(), 3);
  related.GetAHKoraCodeList("A", list);
  EXPECT_EQ(list, (Codes{"601318.SH", "600028.SH", "601318.SH"}));
  related.GetAHKoraCodeList("H", list);
  EXPECT_EQ(list, (Codes{"02318.HK", "00386.HK", "82318.HK"}));
  const std::tuple<const char*, int, const char*> byIndex[] = {
      {"A", 1, "600028.SH"}, {"H", 0, "02318.HK"}, {"whatever", 2, "82318.HK"}, {"A", 3, ""}, {"H", -1, ""},
  };
  for (const auto& [side, index, code] : byIndex) {
    SCOPED_TRACE(std::string(side) + " " + std::to_string(index));
    EXPECT_EQ(related.GetAHKoraCodeByIndex(side, index), code);
  }
}

TEST_F(RelatedSymbolTest, ABadRelationTypeEndsTheLoadOfThatFile) {
  TKrRelatedSymbol related(Write("RelatedSymbols.dat",
                                 "601318.SH,02318.HK,1\n"
                                 "600028.SH,00386.HK,one\n"
                                 "601398.SH,01398.HK,1\n"),
                           Write("RelatedSymbolsLocal.dat", "000300.SH,510300.SH,4\n"));
  Codes list;
  related.GetRelatedSymbol("600028.SH", 0, list);
  EXPECT_TRUE(list.empty());
  related.GetRelatedSymbol("601398.SH", 0, list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(related.GetAHKoraCodeCount(), 1);
  related.GetRelatedSymbol("000300.SH", 0, list);  // the local file is still read
  EXPECT_EQ(list, (Codes{"510300.SH"}));
  EXPECT_TRUE(h->Logger().Contains("RelatedSymbols.dat: line 2: 'one' is not a valid integer value"));
}

// Securities the sample master lacks (B shares), answered ahead of the host's master, as a security
// service a module registered would.
class BShareSecurities final : public host::Implements<host::IKrSecurityMgrHQ> {
 public:
  explicit BShareSecurities(minihost::MiniSecurityMaster& master) : master_(master) {
    for (const char* code : {"900901.SH", "200002.SZ"}) {
      auto security = std::make_shared<TKrSecurityFake>();
      security->SetKoraCode(code);
      security->SetStockType("B");
      own_[code] = security;
    }
  }
  std::shared_ptr<host::IKrSecurity> GetSecurity(const std::string& code) override {
    auto it = own_.find(code);
    return it != own_.end() ? it->second : master_.GetSecurity(code);
  }
  std::shared_ptr<host::IKrSecuritys> GetSecuritys(const std::vector<std::string>& codes) override {
    auto list = std::make_shared<List>();
    for (const std::string& code : codes) {
      if (auto security = GetSecurity(code)) list->items.push_back(security);
    }
    return list;
  }

 private:
  struct List final : host::Implements<host::IKrSecuritys> {
    int GetCount() override { return static_cast<int>(items.size()); }
    std::shared_ptr<host::IKrSecurity> GetItem(int i) override {
      return i >= 0 && i < GetCount() ? items[static_cast<std::size_t>(i)] : nullptr;
    }
    std::vector<std::shared_ptr<host::IKrSecurity>> items;
  };
  minihost::MiniSecurityMaster& master_;
  std::map<std::string, std::shared_ptr<host::IKrSecurity>> own_;
};

TEST_F(RelatedSymbolTest, AllRelatedPutsAHPartnersThenAThenBSharesThenTheRest) {
  h->Registry().RegisterService(host::IKrSecurityMgrHQ::IID, 0, std::make_shared<BShareSecurities>(h->Securities()));
  TKrRelatedSymbol related(Write("RelatedSymbols.dat",
                                 // a group headed by GRP.SH, listed in file order
                                 "600000.SH,GRP.SH,3\n"
                                 "900901.SH,GRP.SH,3\n"  // B share
                                 "600036.SH,GRP.SH,3\n"  // A share
                                 "00001.HK,GRP.SH,3\n"   // neither
                                 "200002.SZ,GRP.SH,3\n"  // B share
                                 "688008.SH,GRP.SH,3\n"  // STAR share: class A
                                 "NOSUCH.SH,GRP.SH,3\n"  // unknown to the host: left out
                                 // the asked code's own relations after its group
                                 "600000.SH,00939.HK,1\n"
                                 "600000.SH,BABA.N,4\n"
                                 "600000.SH,110059.SH,2\n"),  // convertible: not shown
                           Write("RelatedSymbolsLocal.dat", "600000.SH,510050.SH,4\n600000.SH,00005.HK,1\n"));
  Codes list{"stale"};
  related.GetAllRelatedSymbol("600000.sh", list);  // the asked code itself is left out, whatever its case
  EXPECT_EQ(list, (Codes{"00005.HK", "00939.HK", "600036.SH", "688008.SH", "200002.SZ", "900901.SH", "00001.HK",
                         "BABA.N", "510050.SH"}));

  // A member asks: its group's other members, A shares first.
  related.GetAllRelatedSymbol("900901.SH", list);
  EXPECT_EQ(list, (Codes{"600000.SH", "600036.SH", "688008.SH", "200002.SZ", "00001.HK"}));
  related.GetAllRelatedSymbol("UNKNOWN", list);
  EXPECT_TRUE(list.empty());
}

TEST_F(RelatedSymbolTest, FresherDataRebuildsTheTableAndCallsTheAfterLoadedCallBacks) {
  TKrRelatedSymbol related(Write("RelatedSymbols.dat", "601318.SH,02318.HK,1\n"),
                           Write("RelatedSymbolsLocal.dat", "000300.SH,510300.SH,4\n"));
  int first = 0, second = 0;
  host::IInterface* sender = nullptr;
  const int id1 = related.RegAfterLoadedCallBack([&](host::IInterface* s) {
    sender = s;
    ++first;
  });
  const int id2 = related.RegAfterLoadedCallBack([&](host::IInterface*) { ++second; });
  EXPECT_NE(id1, id2);
  related.UnRegAfterLoadedCallBack(id2);

  related.NotifyHqRelatedData(2, {{"600028.SH", "00386.HK"}});  // too few columns: ignored
  EXPECT_EQ(first, 0);
  EXPECT_EQ(related.GetAHRelateCode("601318.SH"), "02318.HK");

  related.NotifyHqRelatedData(
      3, {{"600028.SH", "00386.HK", "1", "extra"}, {"short", "row"}, {"601988.SH", "03988.HK", "3"}});
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(sender, static_cast<host::IInterface*>(static_cast<IRelatedSymbol*>(&related)));
  Codes list;
  related.GetRelatedSymbol("000300.SH", 0, list);  // everything before is gone, the local rows too
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(related.GetAHRelateCode("601318.SH"), "");
  EXPECT_EQ(related.GetAHRelateCode("00386.HK"), "600028.SH");
  EXPECT_EQ(related.GetAHKoraCodeCount(), 1);
  related.GetRelatedSymbol("03988.HK", 3, list);
  EXPECT_EQ(list, (Codes{"601988.SH"}));

  // Row updates go to the front of the code's list, once.
  related.OnCloudDataUpdate({{"600028.SH", "600028.HK", "4"},
                             {"600028.SH", "00386.HK", "1"},
                             {"600028.SH", "600028.HK", "4"},
                             {"600028.SH", "x", "bad"}});
  related.GetRelatedSymbol("600028.SH", 0, list);
  EXPECT_EQ(list, (Codes{"600028.HK", "00386.HK"}));
}

}  // namespace
}  // namespace kdp
