// Message boxes the package shows to the user through its host.
//
// ShowErrorMessage shows a modal error box (error icon) with a caption and a text. The call returns when
// the user closed it; a host without a user interface logs it instead. Main thread only.
#pragma once

#include <string_view>

namespace kdp::host {

// Does nothing when no host is installed.
void ShowErrorMessage(std::string_view caption, std::string_view text);

}  // namespace kdp::host
