// The package's name look-up: the host registries first, services created on demand once per process,
// Guid-published services and the context's provider by name, and plain objects.
#include "core/package_lookup.h"

#include <thread>

#include <gtest/gtest.h>

#include "core/service_catalog.h"
#include "kdp/error.h"
#include "kdp/host/context_services.h"
#include "kdp/refdata/related_data.h"
#include "kdp/ui/ui_resources.h"
#include "test_host.h"

namespace kdp {
namespace {

using testing::TestHost;

class ILookupProbe : public virtual host::IInterface {
 public:
  static constexpr host::Guid IID = "5E8EBF3D-14CA-4ADA-9BF8-37ED4754A319";
  virtual int Value() = 0;
};

class LookupProbe final : public host::Implements<ILookupProbe> {
 public:
  LookupProbe() { ++constructed; }
  int Value() override { return 42; }
  static inline int constructed = 0;
};

// An on-demand class that does not answer the Guid its record names.
class WrongFace final : public host::Implements<IURLMgr> {
 public:
  WrongFace() { ++constructed; }
  std::string GetURL(const std::string&) override { return {}; }
  void SetURL(const std::string&, const std::string&) override {}
  static inline int constructed = 0;
};

TEST(LookupTest, OnDemandServiceIsCreatedOnceAndThenAnsweredByTheHostRegistryIfItAnswersItsGuid) {
  TestHost h;
  LookupProbe::constructed = 0;
  G_RegisterDataIntf({"ILookupProbe", ILookupProbe::IID, [] { return std::make_shared<LookupProbe>(); }});

  EXPECT_EQ(h->Names().GetIntf("ILookupProbe"), nullptr);
  auto first = G_QueryInterface<ILookupProbe>("ILookupProbe");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Value(), 42);
  EXPECT_NE(h->Names().GetIntf("ILookupProbe"), nullptr);  // published on first look-up

  auto second = G_QueryInterface<ILookupProbe>("ILookupProbe");
  EXPECT_EQ(second, first);
  EXPECT_EQ(LookupProbe::constructed, 1);

  // Withdrawn from the registry, the next look-up creates it again.
  G_Remove("ILookupProbe");
  EXPECT_NE(G_QueryInterface<ILookupProbe>("ILookupProbe"), first);
  EXPECT_EQ(LookupProbe::constructed, 2);

  EXPECT_THROW(G_RegisterDataIntf({"ILookupProbe", ILookupProbe::IID, nullptr}), kdp::Error);

  // An object that does not answer the Guid its record names is made but never published.
  WrongFace::constructed = 0;
  G_RegisterDataIntf({"IWrongFace", ILookupProbe::IID, [] { return std::make_shared<WrongFace>(); }});
  EXPECT_EQ(G_QueryInterface("IWrongFace"), nullptr);
  EXPECT_EQ(h->Names().GetIntf("IWrongFace"), nullptr);
  EXPECT_EQ(WrongFace::constructed, 1);
}

TEST(LookupTest, AnotherThreadIsRefusedAndCreatesNothing) {
  TestHost h;
  LookupProbe::constructed = 0;
  G_RegisterDataIntf({"ILookupProbe", ILookupProbe::IID, [] { return std::make_shared<LookupProbe>(); }});
  host::InterfacePtr fromEngine = std::make_shared<LookupProbe>();
  std::thread([&] { fromEngine = G_QueryInterface("ILookupProbe"); }).join();
  EXPECT_EQ(fromEngine, nullptr);
  EXPECT_EQ(LookupProbe::constructed, 1);  // only the test's own probe
  EXPECT_EQ(h->Names().GetIntf("ILookupProbe"), nullptr);
  EXPECT_TRUE(h->Logger().Contains("G_QueryInterface ILookupProbe: refused off the main thread"));
  EXPECT_NE(G_QueryInterface("ILookupProbe"), nullptr);  // the main thread's first look-up creates it
  EXPECT_EQ(LookupProbe::constructed, 2);
}

TEST(LookupTest, TableBServicesAreCreatedOnDemand) {
  TestHost h;
  auto urls = G_QueryInterface<IURLMgr>("IURLMgr");
  ASSERT_NE(urls, nullptr);
  EXPECT_EQ(urls->GetURL("help"), "http://127.0.0.1:18080/help/index.html");
  EXPECT_EQ(G_QueryInterface<IURLMgr>("IURLMgr"), urls);

  auto industry = G_QueryInterface<IRelateIndustry>("IRelateIndustry");
  ASSERT_NE(industry, nullptr);
  EXPECT_EQ(industry->GetIndustrySectorID("600519.sh"), "IND.LIQUOR");
  EXPECT_EQ(industry->GetIndustrySectorID("00700.HK"), "");

  auto futures = G_QueryInterface<IFutureRelateIndex>("IFutureRelateIndex");
  ASSERT_NE(futures, nullptr);
  EXPECT_EQ(futures->GetRelateIndexCode("IF2612.CFE"), "000300.SH");
  EXPECT_EQ(futures->GetRelateIndexCode("im2612.cfe"), "000852.SH");
  EXPECT_EQ(futures->GetRelateIndexCode("AU2702.SHF"), "");
}

TEST(LookupTest, GuidPublishedAndContextServicesAreFoundByName) {
  TestHost h;
  ASSERT_TRUE(h->StartPackage());
  // Published by Guid only, yet found by name through the host service provider.
  EXPECT_EQ(h->Names().GetIntf("IKrHQStyleMgr"), nullptr);
  auto style = G_QueryInterface<IKrHQStyleMgr>("IKrHQStyleMgr");
  ASSERT_NE(style, nullptr);
  EXPECT_EQ(style->GetCurrentStyle()->GetColor("risecolor", 0), 0xFF3232u);

  // Answered by the host context's own provider.
  EXPECT_NE(G_QueryInterface<host::IBaseLog>("IBaseLog"), nullptr);
  EXPECT_NE(G_QueryInterface<host::IKrMultiLanguage>("IKrMultiLanguage"), nullptr);
  EXPECT_EQ(G_QueryInterface("IKrMultiScreen"), nullptr);  // a name the context knows but this host lacks
  EXPECT_EQ(G_QueryInterface("INoSuchService"), nullptr);
  EXPECT_NE(G_GetIComm(), nullptr);
}

TEST(LookupTest, AddIgnoresEmptyNamesAndNullServicesAndKeepsPlainObjectsInsideThePackage) {
  TestHost h;
  auto probe = std::make_shared<LookupProbe>();
  G_Add("", probe);
  G_Add("INullService", host::InterfacePtr());
  EXPECT_TRUE(h->Names().Entries().empty());
  G_Add("ILookupProbe2", probe);
  G_Add("ILookupProbe2", std::make_shared<LookupProbe>());  // a later add replaces
  ASSERT_EQ(h->Names().Entries().size(), 1u);
  EXPECT_NE(G_QueryInterface("ILookupProbe2"), host::InterfacePtr(probe));
  G_Remove("ILookupProbe2");
  G_Remove("ILookupProbe2");  // in neither registry: nothing happens
  EXPECT_TRUE(h->Names().Entries().empty());

  // Plain objects are found by name without ownership.
  LookupProbe plain;
  G_Add("IPlainProbe", static_cast<host::IInterface*>(&plain));
  auto found = G_QueryInterface<ILookupProbe>("IPlainProbe");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found.get(), &plain);
  EXPECT_TRUE(h->Names().Entries().empty());  // plain objects stay inside the package
  G_Remove("IPlainProbe");
  EXPECT_EQ(G_QueryInterface("IPlainProbe"), nullptr);
}

}  // namespace
}  // namespace kdp
