// The board a command line asks for.
#include "board_request.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "kdp/fields/field_names.h"
#include "kdp/format/hq_format_manager.h"
#include "kdp/host/number_text.h"
#include "kdp/package.h"

namespace kdp::app {

std::optional<BoardRequest> RequestOf(Session& s, const BoardOptions& options) {
  BoardRequest request;
  request.codes = options.codes;
  request.seconds = options.seconds;
  request.once = options.once;
  request.drop = options.drop;
  if (!options.sector.empty()) {
    auto members = SectorMembers(s, options.sector);
    if (!members) return std::nullopt;
    request.codes = std::move(*members);
  }
  if (request.codes.empty()) {
    fmt::print(s.err, "kdp-host: sector {} has no securities\n", options.sector);
    return std::nullopt;
  }
  // A name the dictionary lacks but the format has is a computed column (an expression or a
  // "script{...}" field), shown as the format computes it; every other name or ID is a dictionary field.
  std::vector<std::string> fields;
  const auto formats = QueryPackageInterface<IKrHQFormatManager>("IKrHQFormatManager");
  for (const std::string& field : options.fields) {
    const auto item = formats && !host::ParseInt32(field) && FieldIDByName(field) <= 0
                          ? formats->GetDataFormatObjByName(request.codes.front(), field)
                          : nullptr;
    (item ? request.computed : fields).push_back(field);
  }
  if (!options.sort.empty()) fields.push_back(options.sort);
  auto ids = ResolveFields(s, fields);
  if (!ids) return std::nullopt;
  if (!options.sort.empty()) {
    request.order.field = ids->back();
    ids->pop_back();
    // A sort field the board does not show becomes a column of its own.
    const bool shown = std::find(kSortCycle.begin(), kSortCycle.end(), request.order.field) != kSortCycle.end() ||
                       std::find(ids->begin(), ids->end(), request.order.field) != ids->end();
    if (!shown) ids->push_back(request.order.field);
  }
  request.extra = std::move(*ids);
  request.order.ascending = options.ascending;
  request.order.top = options.top;
  return request;
}

}  // namespace kdp::app
