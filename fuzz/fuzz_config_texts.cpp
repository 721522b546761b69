// The small parsers of outside text, one per run, chosen by the input's first byte: the language
// catalogue, the stock type variables, the history request configuration, the URL configuration (XML
// files of the configuration root), the zone records of the supplementary zone file, the host settings and
// the quote-field file (JSON), format-expression text run through the package, the stand-in host's
// expression engine on its own, and the date-time and number texts a user types. None may crash, hang or
// throw anything but the errors their contracts name.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/string_catalog.h"
#include "expression_engine.h"
#include "fields/format_exp.h"
#include "kdp/host/date_time.h"
#include "kdp/host/display_text.h"
#include "kdp/host/host_environment.h"
#include "kdp/host/number_text.h"
#include "kdp/host/services.h"
#include "kdp/speed/speed_request_config.h"
#include "refdata/related_data_services.h"
#include "refdata/stock_type_manager.h"
#include "refdata/stock_type_variable.h"
#include "registries.h"
#include "script/script_server.h"
#include "settings.h"
#include "sim_market.h"
#include "util/strings.h"

namespace {

// Just enough host for the loaders: a configuration root in a scratch directory, the expression engine
// and the script server. The log is dropped; the scratch directory goes when the run ends.
class FuzzHost final : public kdp::host::IHostEnvironment {
 public:
  FuzzHost() : provider_(std::make_shared<kdp::minihost::MiniServiceProvider>()) {
    const auto root = std::filesystem::temp_directory_path() / ("kdp-fuzz-config-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "HQ" / "Base");
    std::filesystem::create_directories(root / "Base");
    paths_ = {root.string() + "/", root.string() + "/user/", root.string() + "/", root.string() + "/", ""};
    provider_->Add(kdp::host::IKrExpressionEngine::IID, std::make_shared<kdp::minihost::MiniExpressionEngine>());
    kdp::CreateScriptServer();
    kdp::host::InstallHostEnvironment(this);
  }
  ~FuzzHost() override {
    kdp::FreeScriptServer();
    kdp::host::InstallHostEnvironment(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(paths_.etc, ec);
  }
  std::shared_ptr<kdp::host::IKrServiceProvider> ServiceProvider() override { return provider_; }
  kdp::host::InterfacePtr QueryRegisteredService(const kdp::host::Guid&) override { return nullptr; }
  void Log(std::string_view, std::string_view, int) override {}
  bool IsDetailedLogOn() const override { return true; }  // the costly diagnostic texts are built too
  void FlushLog() override {}
  const kdp::host::HostPaths& Paths() const override { return paths_; }
  kdp::host::IMainLoop& Loop() override { throw std::logic_error("no main loop in the fuzz host"); }
  void ShowErrorMessage(std::string_view, std::string_view) override {}
  std::uint64_t SecuritiesRevision() const override { return 0; }

  // Writes the configuration file `relative` (below the root) with `bytes`.
  std::string Write(const std::string& relative, const std::string& bytes) const {
    const std::string path = paths_.etc + relative;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  std::shared_ptr<kdp::minihost::MiniServiceProvider> provider_;
  kdp::host::HostPaths paths_;
};

FuzzHost& Host() {
  static FuzzHost host;
  return host;
}

void Catalogue(const std::string& text) {
  Host().Write("HQ/Base/HQStrings.xml", text);
  kdp::THQStrCatch catalogue;
  catalogue.GetLanguageStrDef(38701, "万");
  catalogue.GetLanguageStrDef(-1, "");
}

void StockTypeVariables(const std::string& text) {
  kdp::TStockTypeVariable variables(Host().Write("HQ/Base/StockTypeVariables.xml", text), nullptr);
  variables.GetVariableByHQType("A.SH", "LotSize");
  variables.GetVariableByHQType("", "");
  variables.GetVariableByStockType(std::shared_ptr<kdp::IKrHQSecurityInfo>(), "LotSize");
}

void HistoryRequests(const std::string& text) {
  kdp::TKrSpeedReqParamAnalyse config(Host().Write("HQ/HisDataReqCfg.xml", text));
  for (const char* id : {"3040", "3050", "97Fix", ""}) {
    if (const auto* params = config.GetIndicatorParamsByCmdID(id)) {
      for (int i = -1; i <= params->GetParamCount(); ++i) params->GetParameterByID(i);
      params->GetParamFieldByKey("KoraCode");
    }
    config.GetReqIDByCmdID(id);
  }
  config.GetCmdIDByReqID(3040);
  config.GetIndicatorParamsByReqID(-1);
}

void UrlConfiguration(const std::string& text) {
  Host().Write("Base/URLConfig.xml", text);
  kdp::TURLMgr urls;
  urls.GetURL("KUDSDATASERVER");
  urls.SetURL(text.substr(0, 16), text);
  urls.GetURL(text.substr(0, 16));
}

void ZoneRecords(const std::string& text) {
  for (const std::string& line : kdp::SplitString(text, '\n')) {
    std::string why;
    if (const auto zone = kdp::TimeZoneFromRecord(kdp::SplitString(line, ','), why)) {
      kdp::TKrWorldClock::IsInSummerTimeZone(kdp::host::DateTime::FromParts(2026, 7, 1), *zone);
      if (!kdp::host::IsPlainText(zone->City)) __builtin_trap();  // a zone's city is always text
    }
  }
}

void HostSettings(const std::string& text) {
  kdp::minihost::HostSettings settings;
  std::string error;
  if (kdp::minihost::ParseHostSettings(text, settings, error)) {
    if (!kdp::minihost::IsPlainName(settings.userId)) __builtin_trap();  // never a path outside the data dir
  } else if (!kdp::host::IsPlainText(error)) {
    __builtin_trap();  // what the operator reads is text
  }
}

void QuoteFields(const std::string& text) {
  kdp::minihost::QuoteFieldMap fields;
  std::string error;
  if (fields.LoadText(text, error)) {
    for (const auto& [id, role] : fields.All()) fields.IdOf(role);
  }
}

void FormatExpression(const std::string& text) {
  kdp::TKrHQFormatExp expression;
  if (!expression.ParserHQExp(text)) return;
  for (int i = 0; i < expression.GetVarCount(); ++i) expression.SetVarValue(i, 1.5 * i - 2);
  try {
    expression.Exec();
  } catch (const kdp::EHQExpExecError&) {
    // the engine failed while running: the contract's one error
  }
  expression.GetVarValue(expression.GetVarName(0));
  kdp::TrimSecondGuide(text);
  kdp::ParseText(text);
}

// A script of the format columns: loaded into a server of its own (within its sandbox's bounds), then
// its function F called.
void ScriptSource(const std::string& text) {
  kdp::TKrScriptServer server;
  std::string error;
  if (!server.LoadScript("HQFormat", text, error)) return;
  server.CallFunction("HQFormat", "F", {1.5, -2});
  server.CallFunction("HQFormat", "F", {});
}

void ExpressionEngine(const std::string& text) {
  auto expression = kdp::minihost::MiniExpressionEngine().CreateExpression();
  std::string error;
  if (!expression->Parse(text, error) || !expression->GenCode(error)) return;
  for (int i = 0; i <= expression->VarCount(); ++i) expression->SetVar(i, i * 0.25);
  try {
    expression->Exec();
  } catch (const std::runtime_error&) {
    // the engine's failure while running
  }
  expression->GetVar(0);
}

void TypedTexts(const std::string& text) {
  if (const auto when = kdp::host::DateTime::Parse(text)) {
    const auto again = kdp::host::DateTime::Parse(when->ToString());
    if (!again || again->ToString() != when->ToString()) __builtin_trap();  // what it shows, it reads back
  }
  kdp::host::ParseDouble(text);
  kdp::host::ParseInt32(text);
  kdp::host::ParseInt64(text);
  kdp::host::ParseBool(text);
  const std::string shown = kdp::host::EscapeControlChars(text);
  if (!kdp::host::IsPlainText(shown)) __builtin_trap();  // escaped text is plain
}

using Parser = void (*)(const std::string&);
constexpr Parser kParsers[] = {Catalogue,        StockTypeVariables, HistoryRequests, UrlConfiguration,
                               ZoneRecords,      HostSettings,       QuoteFields,     FormatExpression,
                               ExpressionEngine, TypedTexts,         ScriptSource};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Parser parse = kParsers[data[0] % std::size(kParsers)];
  parse(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
