#include "descriptions.h"

#include "protocols/protocol_loader.h"

namespace pakscope::cli {

MsgResult DescriptionHost::messageBox(std::string_view text, std::string_view caption,
                                      MsgButtons buttons, MsgIcon icon) {
  std::string lines(text);
  for (char& c : lines)
    if (c == '\r') c = '\n';
  return TerminalHost::messageBox(lines, caption, buttons, icon);
}

std::vector<std::filesystem::path> descriptionFolders(const std::string& option) {
  if (option.empty()) return DefaultProtocolFolders();
  return {std::filesystem::path(option)};
}

void reportNoDescriptions(const std::vector<std::filesystem::path>& folders) {
  std::string names;
  for (const std::filesystem::path& folder : folders)
    names += (names.empty() ? "" : ", ") + folder.string();
  printError("не удалось скомпилировать ни одного описания протоколов из " + names);
}

}  // namespace pakscope::cli
