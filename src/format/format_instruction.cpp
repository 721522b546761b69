#include "format/format_instruction.h"

#include <algorithm>

#include "format/format_keywords.h"
#include "util/strings.h"

namespace kdp {

bool ParseFormatFast(std::string_view text, std::string& keyword, std::string& arguments) {
  keyword.clear();
  arguments.clear();
  if (text.size() < 3 || text.front() != '[') return false;
  std::string_view rest = text.substr(1);
  const std::size_t keywordEnd = rest.find_first_of(":]");
  keyword = std::string(rest.substr(0, std::min({keywordEnd, rest.size(), kMaxInstructionPart})));
  if (keywordEnd != std::string_view::npos && rest[keywordEnd] == ':') {
    rest = rest.substr(keywordEnd + 1);
    const std::size_t argumentsEnd = rest.find(']');
    arguments = std::string(rest.substr(0, std::min({argumentsEnd, rest.size(), kMaxInstructionPart})));
  }
  return true;
}

TFormatInstruction ParseFormatInstruction(std::string_view formatText) {
  TFormatInstruction instruction;
  const std::string_view text = TrimView(formatText);
  if (text.empty()) return instruction;  // kNone
  std::string keyword, arguments;
  if (ParseFormatFast(text, keyword, arguments)) {
    instruction.keywordText = ToUpperAscii(Trim(keyword));
    const TFormatKeywordRow* row = FindFormatKeyword(instruction.keywordText);
    // Keywords written without brackets are unknown inside them.
    instruction.keyword = row && !row->bracketless ? row->keyword : TFormatKeyword::kUnknown;
    instruction.argumentText = arguments;
    if (!arguments.empty()) instruction.args = SplitString(arguments, ':');
    return instruction;
  }
  const std::string upper = ToUpperAscii(text);
  if (const TFormatKeywordRow* row = FindFormatKeyword(upper); row && row->bracketless) {
    instruction.keyword = row->keyword;
    instruction.keywordText = upper;
    return instruction;
  }
  instruction.keyword = TFormatKeyword::kPattern;
  instruction.pattern = std::string(text);
  return instruction;
}

}  // namespace kdp
