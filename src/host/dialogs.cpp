#include "kdp/host/dialogs.h"

#include "kdp/host/host_environment.h"

namespace kdp::host {

void ShowErrorMessage(std::string_view caption, std::string_view text) {
  if (auto* env = InstalledHostEnvironment()) env->ShowErrorMessage(caption, text);
}

}  // namespace kdp::host
