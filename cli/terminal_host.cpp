#include "terminal_host.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace pakscope::cli {

// Message boxes put line breaks as CR LF; a terminal wants plain LF.
std::string TerminalHost::terminalText(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out.push_back(c);
  if (namedPath_.empty()) return out;
  for (size_t at = out.find(namedPath_); at != std::string::npos;
       at = out.find(namedPath_, at + shownName_.size()))
    out.replace(at, namedPath_.size(), shownName_);
  return out;
}

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
        std::cerr << "pakscope-cli: ответ «Да» (" << yesFlag << ")\n";
        return MsgResult::Yes;
      }
      std::cerr << "pakscope-cli: ответ «Нет»; " << yesFlag << " отвечает «Да»\n";
      return MsgResult::No;
  }
  return MsgResult::No;
}

std::optional<std::string> TerminalHost::inputQuery(std::string_view caption,
                                                    std::string_view prompt,
                                                    std::string_view defaultText) {
  // The user's own answer needs no echo; the default is said, so that it is known.
  if (promptAnswer) return *promptAnswer;
  std::cerr << "pakscope-cli: " << caption << ": " << prompt << ": " << defaultText << '\n';
  return std::string(defaultText);
}

void printError(std::string_view message) {
  std::cerr << "pakscope-cli: " << message << '\n';
}

}  // namespace pakscope::cli
