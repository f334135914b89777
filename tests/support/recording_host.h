#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packets/host.h"

namespace pakscope::test {

// A host for tests: records every call as one line of text and answers
// questions and prompts from a script.
class RecordingHost : public CHost {
 public:
  struct Message {
    std::string text, caption;
    MsgButtons buttons;
    MsgIcon icon;
  };

  // Every call in order, e.g. "status0 Загружено пакетов: 3", "gauge 50", "show 1".
  std::vector<std::string> calls;
  std::vector<Message> messages;
  std::vector<std::string> prompts;  // captions of the prompts asked
  std::string status[2];
  std::vector<std::pair<size_t, uint32_t>> refreshes;  // (packet count, longest)
  bool progressVisible = false;
  int gauge = 0;
  bool stop = false;
  int eventsProcessed = 0;

  // Answers to message boxes in order; when empty, Ok/No/Cancel by button kind.
  std::deque<MsgResult> answers;
  // Answers to prompts in order; nullopt means "cancelled". When empty, the default.
  std::deque<std::optional<std::string>> promptAnswers;
  // Runs on every processEvents call, e.g. to press STOP after some events.
  std::function<void(RecordingHost&)> onEvents;

  void showProgress(bool visible) override;
  void setProgress(int position) override;
  int progress() const override { return gauge; }
  void setStatus(int panel, std::string_view text) override;
  bool stopRequested() const override { return stop; }
  void clearStop() override;
  void processEvents() override;
  MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                       MsgIcon icon) override;
  std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                        std::string_view defaultText) override;
  void refreshFilledWindow(const PacketList& list, uint32_t longest) override;

  // The texts of all message boxes, in order.
  std::vector<std::string> messageTexts() const;
};

}  // namespace pakscope::test
