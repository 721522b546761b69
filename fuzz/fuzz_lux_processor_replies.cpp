// Every Lux processor's reply and push parsers fed arbitrary bytes. The first input byte chooses the
// processor (the factory's registered classes in registration order, then the ones their owners make
// directly, then the data manager's authority-level request), the second how the rest arrives: as a whole message
// (header included), as a document behind the 4-byte prefix of the news server, or behind the code header of the bond
// services; and with which message property. The same bytes also go to the processor's push parser as a pushed record.
//
// Nothing throws. A reply the processor refuses gives an empty table and a log line naming the processor;
// no reply or push gives more rows than it has bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kdp/host/host_environment.h"
#include "kdp/host/lux.h"
#include "kdp/host/serializer.h"
#include "lux/lux_auth_level.h"
#include "lux/lux_processor_rows.h"
#include "lux/lux_req_info_factory.h"
#include "lux/lux_sector_tree_processor.h"
#include "lux_fuzz_host.h"

namespace {

struct Candidate {
  std::shared_ptr<kdp::TKrLuxDataRequestInfo> Processor;
  // What the processor's refusal lines contain: its class name, or the sector tree's own word.
  std::string Tag;
};

std::vector<Candidate> MakeCandidates() {
  kdp::TLuxReqInfoFactory factory;
  std::vector<std::shared_ptr<kdp::TKrLuxDataRequestInfo>> processors;
  for (std::string_view name : factory.RegisteredProcessorNames())
    processors.push_back(factory.CreateDataProcessor(name));
  processors.push_back(std::make_shared<kdp::TKrLuxSectorTreeProcessor>());
  processors.push_back(std::make_shared<kdp::TKrLuxSubjectSectorTreeDataProcessor>());
  processors.push_back(std::make_shared<kdp::TKrLuxGetResearchReportAttachment>());
  processors.push_back(std::make_shared<kdp::TKrLuxSubjectAddViews>());
  processors.push_back(std::make_shared<kdp::TKrLuxAuthLevelProcessor>());
  std::vector<Candidate> candidates;
  for (auto& processor : processors) {
    if (!processor) std::abort();
    processor->SetIndexValue("koracode", "600000.SH,000001.SZ");
    const bool tree = dynamic_cast<kdp::TKrLuxSectorTreeProcessor*>(processor.get()) != nullptr;
    std::string tag = tree ? "SectorTree" : std::string(processor->ProcessorName());
    candidates.push_back({std::move(processor), std::move(tag)});
  }
  return candidates;
}

enum class Arrival { kWholeMessage, kBehindPrefix, kBehindCodeHeader };

std::vector<std::uint8_t> Received(Arrival arrival, std::string_view rest) {
  if (arrival == Arrival::kWholeMessage) return {rest.begin(), rest.end()};
  kdp::host::TBaseMessage reply;
  kdp::host::TStreamSerializer writer(reply.MessageBody());
  if (arrival == Arrival::kBehindPrefix) {
    writer.WriteLongWord(static_cast<std::uint32_t>(rest.size()));
  } else {
    writer.WriteLongWord(0);
    writer.WriteAnsiString("");
  }
  reply.MessageBody().Write(rest.data(), rest.size());
  kdp::host::MemoryStream wire;
  reply.Serialize(wire);
  return {wire.Bytes().begin(), wire.Bytes().end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kdp::fuzzing::NoticeCountingHost host;
  kdp::host::InstallHostEnvironment(&host);
  static const std::vector<Candidate> candidates = MakeCandidates();
  if (size < 2) return 0;

  const Candidate& candidate = candidates[data[0] % candidates.size()];
  kdp::TKrLuxDataRequestInfo& processor = *candidate.Processor;
  const auto arrival = static_cast<Arrival>(data[1] % 3);
  const auto prop = static_cast<kdp::host::TMessageProperty>(data[1] / 3 % 3);
  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const auto bound = static_cast<int>(size);

  host.notices = 0;
  host.watch = candidate.Tag;
  host.watched = false;
  kdp::host::TBaseLuxMessage reply(Received(arrival, rest), 1, prop);
  const bool parsed = processor.ProcessRpMsg(reply);
  const auto table = processor.GetAnalyseLuxData();
  if (!table || table->GetRowCount() > bound) std::abort();
  if (!parsed && (table->GetRowCount() != 0 || !host.watched)) std::abort();

  host.notices = 0;
  kdp::host::MemoryStream record(rest);
  const bool pushed = processor.ProcessPublishMsg(record);
  const auto pushedTable = processor.GetAnalyseLuxData();
  if (!pushedTable || pushedTable->GetRowCount() > bound) std::abort();
  if (!pushed && (pushedTable->GetRowCount() != 0 || host.notices == 0)) std::abort();
  host.watch = {};
  return 0;
}
