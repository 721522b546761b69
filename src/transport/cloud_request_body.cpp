#include "transport/cloud_request_body.h"

#include "kdp/host/ansi.h"
#include "kdp/host/serializer.h"

namespace kdp {

host::MemoryStream MakeB1RequestBody(const std::string& contextText, std::uint32_t contextNumber,
                                     const std::string& extra, const std::string& command) {
  host::MemoryStream body;
  host::TStreamSerializer out(body);
  out.WriteLongWord(0);  // the total, written last
  out.WriteAnsiString(contextText);
  out.WriteLongWord(contextNumber);
  out.WriteAnsiString(extra);
  out.WriteLongWord(1);
  out.WriteByte(kB1RequestFormat);
  out.WriteByte(1);
  out.WriteByte(1);
  const std::string ansiCommand = host::Utf8ToAnsi(command);
  const auto commandLength = static_cast<std::uint32_t>(ansiCommand.size());
  out.WriteLongWord(commandLength + 5);
  out.WriteByte(1);
  out.WriteLongWord(commandLength);
  body.Write(ansiCommand.data(), ansiCommand.size());

  const auto following = static_cast<std::uint32_t>(body.Size() - 4);
  const std::uint8_t total[4] = {static_cast<std::uint8_t>(following >> 24), static_cast<std::uint8_t>(following >> 16),
                                 static_cast<std::uint8_t>(following >> 8), static_cast<std::uint8_t>(following)};
  body.SetPosition(0);
  body.Write(total, sizeof total);
  body.SetPosition(0);
  return body;
}

}  // namespace kdp
