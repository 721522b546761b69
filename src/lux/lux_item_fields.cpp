// The well-known fields of a Lux item and the small text helpers of the Lux declarations.
#include <array>
#include <utility>

#include "kdp/lux/lux_data.h"
#include "util/strings.h"

namespace kdp {
namespace {

std::string FieldOf(const std::shared_ptr<IKrLuxDataItem>& item, std::string_view name) {
  return item ? item->GetIndexValue(name) : std::string();
}

}  // namespace

std::string GetIDFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "ID"); }
std::string GetNewsDateFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "NewsDate"); }
std::string GetURLFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "URL"); }
std::string GetTitleFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Title"); }
std::string GetColumnFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Column"); }
std::string GetSourceFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Source"); }
bool GetBrowsedFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Browsed") == "True"; }
std::string GetAbstractFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Abstract"); }

TAttechmentType GetAttechmentTypeFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) {
  static constexpr std::array<std::pair<std::string_view, TAttechmentType>, 9> kWords{{
      {"NONE", atNone},
      {"PDF", atPdf},
      {"DOC", atWord},
      {"HTML", atHtml},
      {"MANY", atMany},
      {"INTERNET", atInternet},
      {"XLS", atXls},
      {"INTERNET_TWO", atInternetTwo},
      {"PPT", atPPT},
  }};
  const std::string word = FieldOf(item, "AttechmentType");
  for (const auto& [text, type] : kWords) {
    if (word == text) return type;
  }
  return atNone;
}

std::string GetAttechmentUrlFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) {
  return FieldOf(item, "AttechmentUrl");
}
bool GetNeedGetResearchReportAttachment(const std::shared_ptr<IKrLuxDataItem>& item) {
  return FieldOf(item, "UserStockType") == "ResearchReport";
}
std::string GetTagcode(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Tagcode"); }
std::string GetRpgendatetime(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "Rpgendatetime"); }
std::string GetAnnouncementContentFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) {
  return FieldOf(item, "Content");
}
bool GetLuxImportantMark(const std::shared_ptr<IKrLuxDataItem>& item) {
  return !FieldOf(item, "luximportantmark").empty();
}
std::string GetSectionFromDataItem(const std::shared_ptr<IKrLuxDataItem>& item) { return FieldOf(item, "section"); }

std::string StrToAttechmentType(std::string_view extension) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kExtensions{{
      {"PDF", "PDF"},
      {"DOC", "DOC"},
      {"DOCX", "DOC"},
      {"RTF", "DOC"},
      {"XLS", "XLS"},
      {"XLSX", "XLS"},
      {"XLSM", "XLS"},
      {"PPT", "PPT"},
      {"HTML", "HTML"},
  }};
  const std::string upper = ToUpperAscii(extension);
  for (const auto& [ext, word] : kExtensions) {
    if (upper == ext) return std::string(word);
  }
  return "NONE";
}

std::string FormateDate(std::string_view compact) {
  auto piece = [compact](std::size_t from, std::size_t length) {
    return from < compact.size() ? compact.substr(from, length) : std::string_view();
  };
  std::string date;
  date.reserve(10);
  date += piece(0, 4);
  date += '-';
  date += piece(4, 2);
  date += '-';
  date += piece(6, 2);
  return date;
}

}  // namespace kdp
