// SimCloudService: the stand-in host's cloud data service. It answers, with generated but consistent
// values, the requests the report service gets for cloud indicators and cloud reports:
//   report name=F5.Handicap.FundInfo21 koraCode=000001.OF          an indicator report (one code, or a
//                                                                   comma list under a "KoraCodes" name)
//   Matrix2 functions=RS(KoraCode,20);s_dq_close(KoraCode,20261203) KoraCode=600000.SH,000001.SZ
//   KSS('600000.SH,000001.SZ','s_val_mv(KoraCode),s_dq_close(KoraCode)','tradeDate=20261204')
//   report name=X ..., ksv('X','a=1',...), KSD('X','a=1',...)       a generated report
// Indicator answers are rows of (KoraCode, IndexName, IndexValue, Authorized): for an indicator report one
// per code and field ID the description lists, for a function set one per code and function, named by the
// function's text as asked. Every value is derived from a hash of the code, the indicator (or column and
// row) and the day, so the same question on the same day gets the same answer, on any machine.
//
// The description ("Host/Reports/CloudService.json") names the indicator reports with their field IDs,
// the codes whose values are not authorized, the generated reports with their columns (a text column
// may list the values its rows take in turn, "of"; a number column may give its "range" [low, high),
// and "above" an earlier column whose value it adds to, so an accumulated value never falls below its
// part), and the generated report each HTTP path answers. A history's dates run backwards from its end.
//
// The command arrives on whichever road the package sent it (report_requests.h); the stand-in Lux client
// wraps the answer in that road's reply form.
//
// Read-only after loading, so any thread may ask (the Lux client answers on its own).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kdp/host/kuds.h"

namespace kdp::minihost {

class SimCloudService {
 public:
  bool Load(const std::string& path, std::string& error);
  bool LoadText(const std::string& json, std::string& error);

  // The stream answering `command` on the server date `day` (yyyymmdd), rewound; nullopt when the command
  // is not one this service answers (the sample report data may).
  std::optional<host::MemoryStream> Answer(const std::string& command, int day) const;
  // The stream answering an HTTP post to `path` (a report of the HTTP road carries no command: its URL
  // names it); nullopt for a path the service does not serve.
  std::optional<host::MemoryStream> AnswerHttp(const std::string& path, int day) const;

  // The value the service gives `code`'s `indicator` on `day`: a number with two decimals, as text.
  static std::string IndicatorValue(const std::string& code, const std::string& indicator, int day);

  std::size_t IndicatorReportCount() const { return indicator_reports_.size(); }

 private:
  enum class ValueKind { kCode, kDate, kNumber, kText };
  struct GeneratedColumn {
    std::string name;
    ValueKind kind;
    std::vector<std::string> choices;  // a text column's values, taken in row order ("" for generated ones)
    double low = 0, high = 100;        // a number column's values lie in [low, high) ...
    int above = -1;                    // ... added to an earlier column's value when >= 0
  };
  struct GeneratedReport {
    std::vector<GeneratedColumn> columns;
    int rowsPerCode = 1;
    std::vector<std::string> codes;  // answered when the command names none
  };

  host::MemoryStream IndicatorRows(const std::string& name, const std::vector<std::string>& codes,
                                   const std::vector<std::string>& indicators, int day) const;
  host::MemoryStream GeneratedRows(const std::string& name, const GeneratedReport& report,
                                   const std::map<std::string, std::string>& params, int day) const;

  std::map<std::string, std::vector<std::string>> indicator_reports_;  // report name -> field IDs
  std::vector<std::string> denied_codes_;
  std::map<std::string, GeneratedReport> generated_reports_;
  std::map<std::string, std::string> http_reports_;  // URL path -> generated report
};

}  // namespace kdp::minihost
