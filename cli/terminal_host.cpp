#include "terminal_host.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace pakscope::cli {

namespace {
// Message boxes put line breaks as CR LF; a terminal wants plain LF.
std::string terminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out.push_back(c);
  return out;
}
}  // namespace

TerminalHost::TerminalHost() : interactive_(::isatty(STDERR_FILENO) == 1) {}

void TerminalHost::showProgress(bool visible) {
  if (visible_ && !visible && interactive_) std::fputs("\r\033[K", stderr);
  visible_ = visible;
}

void TerminalHost::setProgress(int position) {
  gauge_ = position;
  drawProgress();
}

void TerminalHost::setStatus(int panel, std::string_view text) {
  if (panel == 0 || panel == 1) status[panel] = std::string(text);
  drawProgress();
}

void TerminalHost::drawProgress() {
  if (!interactive_ || !visible_) return;
  std::fprintf(stderr, "\r\033[K%3d%% %s", gauge_, status[0].c_str());
  std::fflush(stderr);
}

MsgResult TerminalHost::messageBox(std::string_view text, std::string_view caption,
                                   MsgButtons buttons, MsgIcon) {
  if (visible_ && interactive_) std::fputs("\r\033[K", stderr);
  std::cerr << "pakscope-cli: " << caption << ": " << terminalText(text) << '\n';
  switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::OkCancel: return answerYes ? MsgResult::Ok : MsgResult::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
      if (answerYes) {
        std::cerr << "pakscope-cli: answered Yes (" << yesFlag << ")\n";
        return MsgResult::Yes;
      }
      std::cerr << "pakscope-cli: answered No; " << yesFlag << " answers Yes\n";
      return MsgResult::No;
  }
  return MsgResult::No;
}

std::optional<std::string> TerminalHost::inputQuery(std::string_view caption,
                                                    std::string_view prompt,
                                                    std::string_view defaultText) {
  std::string answer = promptAnswer ? *promptAnswer : std::string(defaultText);
  std::cerr << "pakscope-cli: " << caption << ": " << prompt << ": " << answer << '\n';
  return answer;
}

void printError(std::string_view message) {
  std::cerr << "pakscope-cli: " << message << '\n';
}

}  // namespace pakscope::cli
