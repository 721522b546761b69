// kdp-host qvb template FILE [--key KEY] [--export DIR]
// kdp-host qvb encrypt|decrypt --key KEY [--bits 128|192|256] (IN OUT | --text TEXT | --hex HEX)
// The user's files of the economic-data tools: a saved indicator template tree shown as a tree and its
// templates written out as the tools' files, and the AES helpers the terminal offers for its protected
// files and strings.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "command.h"
#include "kdp/qvb/qvb_aes.h"
#include "kdp/qvb/qvb_template_node.h"

namespace kdp::app {
namespace {

struct TemplateOptions {
  std::string file;
  std::string key;
  std::string exportTo;
};

struct AesOptions {
  std::string key;
  int bits = 128;
  std::string in;
  std::string out;
  std::string text;  // --text (encrypt) or --hex (decrypt)
};

constexpr Texts kTypeNames[] = {{"文件夹", "資料夾", "folder"},
                                 {"工作文件", "工作檔", "work file"},
                                 {"图形文件", "圖形檔", "graph file"},
                                 {"序列文件", "序列檔", "series file"},
                                 {"QVB文件", "QVB檔", "QVB file"}};
constexpr Texts kBytes{"{} 字节", "{} 位元組", "{} bytes"};
constexpr Texts kChecked{"已勾选", "已勾選", "checked"};
constexpr Texts kTemplateCount{"{} 个模板文件", "{} 個範本檔", "{} template file(s)"};
constexpr Texts kWrote{"已写入 {}", "已寫入 {}", "wrote {}"};
constexpr Texts kWroteBytes{"已写入 {}（{} 字节）", "已寫入 {}（{} 位元組）", "wrote {} ({} bytes)"};

// The node's name as the tools show it: its description, else its ID.
std::string NodeName(const TKrQVBTemplateTreeNodeData& node) {
  return node.GetDesc().empty() ? node.GetNodeID() : node.GetDesc();
}

// Depth first, the node itself first; nullptr when no node of the subtree has the key.
const TKrQVBTemplateTreeNodeData* FindByKey(const TKrQVBTemplateTreeNodeData& node, const std::string& key) {
  if (node.GetKey() == key) return &node;
  for (int i = 0; i < node.GetChildrenCount(); ++i) {
    if (const auto* found = FindByKey(*node.FindChildByIndex(i), key)) return found;
  }
  return nullptr;
}

void PrintTree(Session& s, const TKrQVBTemplateTreeNodeData& node, int depth, int& templates) {
  const bool folder = node.GetNodeType() == ntDirectory;
  const std::string name = std::string(static_cast<std::size_t>(depth) * 2, ' ') + NodeName(node) + (folder ? "/" : "");
  std::string line = Pad(name, 30, false) + "  " + Pad(Text(s, kTypeNames[node.GetNodeType()]), 11, false) + "  ";
  if (folder) {
    line += node.GetKey();
  } else {
    ++templates;
    line += Pad(node.GetKey(), 10, false) + "  " + Pad(TextFormat(s, kBytes, node.GetData().Size()), 12, true) +
            (node.GetChecked() ? std::string("  ") + Text(s, kChecked) : "");
  }
  fmt::print(s.out, "{}\n", line);
  for (int i = 0; i < node.GetChildrenCount(); ++i) PrintTree(s, *node.FindChildByIndex(i), depth + 1, templates);
}

// Writes every template file of the subtree; false when one could not be written.
bool ExportTree(Session& s, const TKrQVBTemplateTreeNodeData& node, const std::string& folder) {
  bool written = true;
  if (node.GetNodeType() != ntDirectory) {
    const std::string path = node.ExportToLocal(folder);
    if (path.empty()) {
      fmt::print(s.err, "kdp-host: {} could not be written under {}Temp/ (see the log)\n", NodeName(node), folder);
      written = false;
    } else {
      fmt::print(s.out, "{}\n", TextFormat(s, kWrote, path));
    }
  }
  for (int i = 0; i < node.GetChildrenCount(); ++i) written = ExportTree(s, *node.FindChildByIndex(i), folder) && written;
  return written;
}

int ShowTemplates(Session& s, const TemplateOptions& o) {
  std::ifstream in(o.file, std::ios::binary);
  if (!in) {
    fmt::print(s.err, "kdp-host: cannot open the template tree {}\n", o.file);
    return 2;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  host::MemoryStream stream(bytes);
  TKrQVBTemplateTreeNodeData root;
  if (!root.ReadStream(stream)) {
    fmt::print(s.err, "kdp-host: {} is not a template tree (unreadable at byte {} of {})\n", o.file, stream.Position(),
               bytes.size());
    return 2;
  }
  const TKrQVBTemplateTreeNodeData* shown = o.key.empty() ? &root : FindByKey(root, o.key);
  if (!shown) {
    fmt::print(s.err, "kdp-host: no node of {} has the key {}\n", o.file, o.key);
    return 1;
  }
  int templates = 0;
  PrintTree(s, *shown, 0, templates);
  fmt::print(s.out, "{}\n", TextFormat(s, kTemplateCount, templates));
  if (o.exportTo.empty()) return 0;
  std::string folder = o.exportTo;
  if (!folder.ends_with('/')) folder += '/';
  return ExportTree(s, *shown, folder) ? 0 : 2;
}

TKeyBit KeyBit(int bits) { return bits == 256 ? kb256 : bits == 192 ? kb192 : kb128; }

int RunAes(Session& s, const AesOptions& o, bool encrypt) {
  try {
    if (!o.in.empty()) {
      (encrypt ? EncryptFile : DecryptFile)(o.in, o.out, o.key, KeyBit(o.bits));
      fmt::print(s.out, "{}\n", TextFormat(s, kWroteBytes, o.out, std::filesystem::file_size(o.out)));
    } else if (encrypt) {
      fmt::print(s.out, "{}\n", StrToHex(EncryptString(o.text, o.key, KeyBit(o.bits))));
    } else {
      fmt::print(s.out, "{}\n", DecryptString(HexToStr(o.text), o.key, KeyBit(o.bits)));
    }
    return 0;
  } catch (const std::exception& e) {
    fmt::print(s.err, "kdp-host: {}\n", e.what());
    return 2;
  }
}

// Upper- or lower-case hexadecimal digits in pairs.
const CLI::Validator& HexText() {
  static const CLI::Validator validator(
      [](const std::string& text) -> std::string {
        const bool digits = text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        return digits && text.size() % 2 == 0 ? std::string() : "not hexadecimal bytes (pairs of 0-9, A-F): " + text;
      },
      "HEX");
  return validator;
}

void AddAesCommand(CLI::App& qvb, Action& chosen, bool encrypt) {
  auto o = std::make_shared<AesOptions>();
  auto* command = qvb.add_subcommand(encrypt ? "encrypt" : "decrypt",
                                     encrypt ? "AES-encrypts a file, or a text into hexadecimal (ECB, the key text "
                                               "cut or filled with zero bytes to the key size)"
                                             : "AES-decrypts a file, or hexadecimal into its text");
  command->add_option("--key", o->key, "the key text")->required();
  command->add_option("--bits", o->bits, "the key size")->check(CLI::IsMember({128, 192, 256}));
  auto* in = command->add_option("IN", o->in, "the file to read")->check(CLI::ExistingFile);
  auto* out = command->add_option("OUT", o->out, "the file to write (created or replaced)");
  in->needs(out);
  out->needs(in);
  CLI::Option* text =
      encrypt ? command->add_option("--text", o->text, "a text to encrypt; the cipher text is printed in hexadecimal")
              : command->add_option("--hex", o->text, "hexadecimal cipher text to decrypt; the text is printed")
                    ->check(HexText());
  text->excludes(in);
  const std::string textName = text->get_name();
  command->callback([&chosen, o, encrypt, textName] {
    if (o->in.empty() && o->text.empty()) throw CLI::RequiredError("IN OUT or " + textName);
    chosen = [o, encrypt](Session& s) { return RunAes(s, *o, encrypt); };
  });
}

}  // namespace

void AddQVBFileCommands(CLI::App& qvb, Action& chosen) {
  auto o = std::make_shared<TemplateOptions>();
  auto* command = qvb.add_subcommand("template", "a saved indicator template tree, and its templates as files");
  command->add_option("FILE", o->file, "the template tree file, e.g. the sample's HQ/misc/QVBTemplateTree.dat")
      ->required();
  command->add_option("--key", o->key, "only the subtree of the node with this key");
  command->add_option("--export", o->exportTo, "writes each template file under DIR/Temp/ as the tools' file");
  command->callback([&chosen, o] { chosen = [o](Session& s) { return ShowTemplates(s, *o); }; });
  AddAesCommand(qvb, chosen, true);
  AddAesCommand(qvb, chosen, false);
}

}  // namespace kdp::app
