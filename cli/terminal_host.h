#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packets/host.h"

namespace pakscope::cli {

// The host of the command-line tool: message boxes go to stderr with their
// caption, questions are answered from command-line flags, progress is drawn
// on stderr only when stderr is a terminal.
class TerminalHost : public CHost {
 public:
  TerminalHost();

  // Answer to Yes/No questions (--yes); without it every question is answered No.
  bool answerYes = false;
  // Answer to input prompts (--period); without it the prompt's default is used.
  std::optional<std::string> promptAnswer;
  // Flag to name when a question was answered No by default.
  std::string yesFlag = "--yes";

  std::string status[2];

  // Messages name `path` as `shown`: a temporary copy by what the user gave.
  void nameFile(std::string path, std::string shown) {
    namedPath_ = std::move(path);
    shownName_ = std::move(shown);
  }

  void showProgress(bool visible) override;
  void setProgress(int position) override;
  int progress() const override { return gauge_; }
  void setStatus(int panel, std::string_view text) override;
  bool stopRequested() const override { return false; }
  void clearStop() override {}
  void processEvents() override {}
  MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                       MsgIcon icon) override;
  std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                        std::string_view defaultText) override;
  void refreshFilledWindow(const PacketList&, uint32_t) override {}

 private:
  void drawProgress();

  std::string terminalText(std::string_view text) const;

  std::string namedPath_, shownName_;
  bool interactive_;
  bool visible_ = false;
  int gauge_ = 0;
};

// Prints "pakscope-cli: message" on stderr.
void printError(std::string_view message);

}  // namespace pakscope::cli
