#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "terminal_host.h"

namespace pakscope::cli {

// The compiler's messages separate their lines with CR, as message boxes do;
// on a terminal each line gets a line of its own.
class DescriptionHost : public TerminalHost {
 public:
  MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                       MsgIcon icon) override;
};

// The folders of --protocols DIR: that one, or without it the user's own
// descriptions and then the shipped ones.
std::vector<std::filesystem::path> descriptionFolders(const std::string& option);

// "no description compiled" with the folders that were looked at.
void reportNoDescriptions(const std::vector<std::filesystem::path>& folders);

// The help text of --protocols.
inline constexpr const char* kProtocolsOptionText =
    "Папка описаний протоколов (по умолчанию — свои описания пользователя, "
    "$XDG_DATA_HOME/pakscope/Data/Protocols, затем поставляемые)";

}  // namespace pakscope::cli
