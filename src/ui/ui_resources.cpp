#include "ui/ui_resources.h"

#include <algorithm>
#include <array>

#include <pugixml.hpp>

#include "core/host_lookups.h"
#include "kdp/host/log.h"
#include "kdp/host/paths.h"
#include "kdp/host/xml.h"
#include "util/strings.h"

namespace kdp {
namespace {

struct NamedColor {
  const char* name;
  std::uint32_t dark;
  std::uint32_t light;
};

// Rise is red and fall is green, as the terminal's users read quotes.
constexpr std::array kPalette{
    NamedColor{"RiseColor", 0xFF3232, 0xD00000},     NamedColor{"FallColor", 0x00E600, 0x008A00},
    NamedColor{"EqualColor", 0xE6E6E6, 0x333333},    NamedColor{"DefaultColor", 0xE6E6E6, 0x333333},
    NamedColor{"TextColor", 0xE6E6E6, 0x1A1A1A},     NamedColor{"VolumeColor", 0xFFFF00, 0x8A6D00},
    NamedColor{"AmountColor", 0x00FFFF, 0x006E8A},   NamedColor{"TimeColor", 0xC0C0C0, 0x555555},
    NamedColor{"NameColor", 0xFFFF80, 0x202080},     NamedColor{"BackgroundColor", 0x000000, 0xFFFFFF},
    NamedColor{"SelectedColor", 0x1E3C78, 0xCCE0FF}, NamedColor{"TitleColor", 0xC8C8C8, 0x404040},
    NamedColor{"WarningColor", 0xFFA500, 0xC06000},  NamedColor{"SuspendedColor", 0x808080, 0x909090},
};

class TKrHQStyle final : public host::Implements<IKrHQStyle> {
 public:
  TKrHQStyle(std::string name, bool dark) : FName(std::move(name)) {
    for (const NamedColor& c : kPalette) FColors.emplace(ToUpperAscii(c.name), dark ? c.dark : c.light);
  }
  std::string GetName() override { return FName; }
  std::uint32_t GetColor(const std::string& colorName, std::uint32_t fallback) override {
    auto it = FColors.find(ToUpperAscii(colorName));
    return it == FColors.end() ? fallback : it->second;
  }
  bool HasColor(const std::string& colorName) override { return FColors.contains(ToUpperAscii(colorName)); }

 private:
  std::string FName;
  std::map<std::string, std::uint32_t> FColors;
};

}  // namespace

TKrHQStyleMgrProxy::TKrHQStyleMgrProxy()
    : FStyles{std::make_shared<TKrHQStyle>("Dark", true), std::make_shared<TKrHQStyle>("Light", false)},
      FCurrent(FStyles.front()) {}

std::shared_ptr<IKrHQStyle> TKrHQStyleMgrProxy::GetCurrentStyle() { return FCurrent; }

std::vector<std::string> TKrHQStyleMgrProxy::GetStyleNames() {
  std::vector<std::string> names;
  for (const auto& style : FStyles) names.push_back(style->GetName());
  return names;
}

bool TKrHQStyleMgrProxy::SetCurrentStyle(const std::string& name) {
  for (const auto& style : FStyles) {
    if (SameTextAscii(style->GetName(), name)) {
      FCurrent = style;
      return true;
    }
  }
  return false;
}

TKrHQLanguageFormMgr::TKrHQLanguageFormMgr() : FLanguage(G_getCurrentLanguage()) {}

int TKrHQLanguageFormMgr::RegisterForm(Relabel relabel) {
  FForms.emplace(++FLastID, std::move(relabel));
  return FLastID;
}

void TKrHQLanguageFormMgr::UnregisterForm(int id) { FForms.erase(id); }

void TKrHQLanguageFormMgr::SwitchLanguage(const std::string& language) {
  FLanguage = language;
  // A form may unregister itself while relabelling: walk a copy.
  const auto forms = FForms;
  for (const auto& [id, relabel] : forms) {
    if (relabel) relabel(language);
  }
}

}  // namespace kdp
