#include "sim_qvb.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "kdp/host/byte_reader.h"
#include "kdp/host/lux.h"
#include "kdp/host/memory_stream.h"
#include "kdp/host/serializer.h"

namespace kdp::minihost {
namespace {

constexpr std::uint32_t kDataCommand = host::MakeLuxCommandWord(1350, 3813);
constexpr std::uint32_t kSearchCommand = host::MakeLuxCommandWord(1351, 3847);
constexpr std::string_view kCodePrefix = "QXR.";

class ReplyWriter {
 public:
  ReplyWriter& Int(std::int32_t value) {
    writer_.Write(value);
    return *this;
  }
  ReplyWriter& Text(std::string_view text) {
    writer_.Write(static_cast<std::uint32_t>(text.size()));
    bytes_.append(text);
    return *this;
  }
  ReplyWriter& Byte(std::uint8_t value) {
    writer_.Write(value);
    return *this;
  }
  ReplyWriter& Double(double value) {
    writer_.Write(value);
    return *this;
  }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
  host::ByteWriter writer_{bytes_};
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::istringstream in{std::string(text)};
  for (std::string word; in >> word;) words.push_back(Upper(word));
  return words;
}

}  // namespace

bool QVBService::Load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return LoadText(text.str(), error);
}

bool QVBService::LoadText(const std::string& json, std::string& error) {
  try {
    const nlohmann::json document = nlohmann::json::parse(json);
    for (const auto& item : document.at("series")) {
      Series series;
      series.code = item.at("code").get<std::string>();
      series.name = item.at("name").get<std::string>();
      series.country = item.value("country", "");
      series.source = item.value("source", "");
      series.currency = item.value("currency", "");
      series.unit = item.value("unit", "");
      series.description = item.value("description", "");
      series.frequency = item.value("frequency", 0);
      series.decimals = item.value("decimals", 2);
      series.update = item.value("update", 0);
      for (const auto& value : item.at("values")) {
        series.values.emplace_back(value.at(0).get<std::int32_t>(), value.at(1).get<double>());
      }
      series_.push_back(std::move(series));
    }
  } catch (const std::exception& e) {
    error = "QVB series: " + std::string(e.what());
    return false;
  }
  return true;
}

std::optional<std::string> QVBService::Reply(std::uint32_t commandWord, std::string_view body) const {
  if (commandWord == kDataCommand) return DataReply(body);
  if (commandWord == kSearchCommand) return SearchReply(body);
  return std::nullopt;
}

std::optional<std::string> QVBService::DataReply(std::string_view body) const {
  host::MemoryStream stream(body);
  host::TStreamSerializer reader(stream);
  std::string user, code;
  std::uint32_t account = 0, observations = 0;
  std::uint8_t last = 0;
  if (!reader.ReadString(user) || !reader.ReadLongWord(account) || !reader.ReadLongWord(observations) ||
      !reader.ReadString(code) || !reader.ReadByte(last) || !code.starts_with(kCodePrefix)) {
    return std::nullopt;
  }
  code.erase(0, kCodePrefix.size());
  const auto found = std::find_if(series_.begin(), series_.end(), [&](const Series& s) { return s.code == code; });
  ReplyWriter reply;
  if (found == series_.end()) return reply.Int(404).Text("1").Int(0).Take();
  const std::size_t count =
      observations == 0 ? found->values.size() : std::min<std::size_t>(observations, found->values.size());
  reply.Int(0).Text("1").Int(1).Text(found->name).Int(2).Byte(1).Text(found->unit).Byte(2).Text(found->code);
  reply.Int(static_cast<std::int32_t>(count));
  for (auto it = found->values.end() - static_cast<std::ptrdiff_t>(count); it != found->values.end(); ++it) {
    reply.Int(it->first).Double(it->second);
  }
  return reply.Take();
}

std::optional<std::string> QVBService::SearchReply(std::string_view body) const {
  host::MemoryStream stream(body);
  host::TStreamSerializer reader(stream);
  std::uint8_t modes[5] = {};
  std::uint32_t account = 0, page = 0, pageSize = 0, reserved = 0;
  std::string keywords;
  for (std::uint8_t& mode : modes) {
    if (!reader.ReadByte(mode)) return std::nullopt;
  }
  if (!reader.ReadLongWord(account) || !reader.ReadString(keywords) || !reader.ReadLongWord(page) ||
      !reader.ReadLongWord(pageSize) || !reader.ReadLongWord(reserved)) {
    return std::nullopt;
  }
  const std::vector<std::string> words = Words(keywords);
  std::vector<const Series*> hits;
  for (const Series& series : series_) {
    const std::string text = Upper(series.code + " " + series.name + " " + series.description);
    if (std::all_of(words.begin(), words.end(),
                    [&](const std::string& w) { return text.find(w) != std::string::npos; })) {
      hits.push_back(&series);
    }
  }
  page = std::max<std::uint32_t>(page, 1);
  pageSize = std::clamp<std::uint32_t>(pageSize, 1, 100);
  const std::size_t first = std::min<std::size_t>(std::size_t{page - 1} * pageSize, hits.size());
  const std::size_t count = std::min<std::size_t>(pageSize, hits.size() - first);
  ReplyWriter reply;
  reply.Int(static_cast<std::int32_t>(count))
      .Int(static_cast<std::int32_t>(page))
      .Int(static_cast<std::int32_t>(hits.size()));
  for (std::size_t i = first; i < first + count; ++i) {
    const Series& s = *hits[i];
    const std::int32_t begin = s.values.empty() ? 0 : s.values.front().first;
    const std::int32_t end = s.values.empty() ? 0 : s.values.back().first;
    reply.Int(s.values.empty() ? 0 : 1)
        .Text(s.code)
        .Int(begin)
        .Int(end)
        .Int(s.frequency)
        .Text(s.country)
        .Text(s.source)
        .Text(s.currency)
        .Text(s.unit)
        .Int(s.decimals)
        .Int(0)
        .Int(0)
        .Text(s.name)
        .Int(s.update);
    reply.Int(static_cast<std::int32_t>(1000 + i)).Int(1).Int(modes[0]).Int(1).Int(0);
  }
  return reply.Take();
}

}  // namespace kdp::minihost
