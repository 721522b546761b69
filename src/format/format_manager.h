// TKrHQFormatManager: the format items of every HQ type group, loaded once from the binary document
// "HQ/Base/FormatColumns.hqc" under the configuration root:
//   <FormatColumns>
//     <Group name="A.SH,A.SZ">                      HQ types sharing the group (blanks ignored)
//       <Item name="NewPrice" format="[FORMATNUMBER:0:0:2]" compareto="PreClose"
//             gtcolor="RiseColor" ltcolor="FallColor" eqcolor="EqualColor" defcolor="DefaultColor"
//             UsePriceStep="true" caption="最新价" expressions="..."/>
//     </Group>
//     <Group name="SUPERMARKET_FORMATITEMS">...</Group>   the fallback of every HQ type
//     <Script name="HQFormat">...</Script>                Lua source loaded into the package's script
//                                                          server (script/script_server.h)
//   </FormatColumns>
// Attribute names compare without regard to case; item and HQ type names are looked up in upper case.
// The scripts are loaded at construction; the groups and items are built from the document on the first
// look-up (BuildItems), read-only after that. Main thread only: nothing guards that first build.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "format/format_item.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/bin_document.h"
#include "kdp/refdata/security_manager.h"

namespace kdp {

class TKrHQDictionaryImpl;

class TKrHQFormatManager final : public host::Implements<IKrHQFormatManager>,
                                 public std::enable_shared_from_this<TKrHQFormatManager> {
 public:
  // The published instance: loads the configuration's document and uses the published security manager
  // and the process's field dictionary.
  static std::shared_ptr<TKrHQFormatManager> CreateInstance();
  // Loads `fileName` (a missing document leaves no groups); `securityManager` may be null, `dictionary`
  // null for the process's dictionary.
  TKrHQFormatManager(const std::string& fileName, std::shared_ptr<IKrHQSecurityManager> securityManager,
                     TKrHQDictionaryImpl* dictionary = nullptr);
  // From a loaded document (tools and fuzzing).
  TKrHQFormatManager(const host::IBinNode& root, std::shared_ptr<IKrHQSecurityManager> securityManager,
                     TKrHQDictionaryImpl* dictionary = nullptr);

  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(const std::string& code, const std::string& name) override;
  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(const std::shared_ptr<host::IKrSecurity>& security,
                                                          const std::string& name) override;
  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByName(int hqTypeID, const std::string& name) override;
  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(const std::string& code, int fieldID) override;
  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(const std::shared_ptr<host::IKrSecurity>& security,
                                                        int fieldID) override;
  std::shared_ptr<IKrHQFormatItem> GetDataFormatObjByID(int hqTypeID, int fieldID) override;

  // The same look-ups by HQ type name.
  std::shared_ptr<IKrHQFormatItem> GetItemByHQType(const std::string& hqType, const std::string& name);
  std::shared_ptr<IKrHQFormatItem> GetItemByHQTypeAndID(const std::string& hqType, int fieldID);
  // Upper-case names of the HQ types that have a group.
  std::vector<std::string> GetHQTypes();

 private:
  using Group = std::map<std::string, std::unique_ptr<TKrHQFormatItem>>;  // upper-case field name

  static bool IsScript(const host::IBinNode& node);
  void LoadScripts(const host::IBinNode& root);
  void AnalyseScript(const host::IBinNode& node);
  void LoadGroups(const host::IBinNode& root);
  // Builds what the first look-up needs and a start does not: the groups of a document read at
  // construction, then the items' expressions (the host's expression engine is costly) and their field
  // lists. The notices of what is wrong in them are logged then.
  void BuildItems();
  void InitExpressions();
  void CollectFields(TKrHQFormatItem& item, Group& group, std::vector<const TKrHQFormatItem*>& visiting);
  const Group* FindGroup(const std::string& hqType);
  std::shared_ptr<IKrHQFormatItem> Share(TKrHQFormatItem* item);
  std::string HQTypeOf(int hqTypeID);
  TKrHQDictionaryImpl& Dictionary();

  std::map<std::string, Group*> FMarketList;         // upper-case HQ type -> its group
  std::vector<std::unique_ptr<Group>> FLstAllItems;  // owner of the groups
  std::string Ffilename;
  std::shared_ptr<IKrHQSecurityManager> FHQSecInfo;
  std::map<int, std::string> FDicMarketID2Name;
  TKrHQDictionaryImpl* FDictionary = nullptr;
  // The document read at construction until its groups are built (BuildItems).
  std::shared_ptr<host::IBinDocument> FUnbuiltDocument;
  // Expression texts loaded and not yet parsed (InitExpressions), in load order.
  std::vector<std::pair<TKrHQFormatItem*, std::string>> FUnparsedExpressions;
};

// The group every HQ type falls back to.
inline constexpr const char* kSupermarketGroup = "SUPERMARKET_FORMATITEMS";
// The group by-ID look-ups use for HQ types without a group of their own, and the field whose item
// formats fields a group does not list.
inline constexpr const char* kDefaultFormatGroup = "A.SH";
inline constexpr const char* kDefaultFormatField = "NEWPRICE";

std::string FormatColumnsFileName();

}  // namespace kdp
