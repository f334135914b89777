#include "support/recording_host.h"

namespace pakscope::test {

void RecordingHost::showProgress(bool visible) {
  progressVisible = visible;
  calls.push_back(visible ? "show 1" : "show 0");
}

void RecordingHost::setProgress(int position) {
  gauge = position;
  calls.push_back("gauge " + std::to_string(position));
}

void RecordingHost::setStatus(int panel, std::string_view text) {
  if (panel == 0 || panel == 1) status[panel] = std::string(text);
  calls.push_back("status" + std::to_string(panel) + " " + std::string(text));
}

void RecordingHost::clearStop() {
  stop = false;
  calls.push_back("clearStop");
}

void RecordingHost::processEvents() {
  ++eventsProcessed;
  calls.push_back("events");
  if (onEvents) onEvents(*this);
}

MsgResult RecordingHost::messageBox(std::string_view text, std::string_view caption,
                                    MsgButtons buttons, MsgIcon icon) {
  messages.push_back({std::string(text), std::string(caption), buttons, icon});
  calls.push_back("message " + std::string(caption) + ": " + std::string(text));
  if (!answers.empty()) {
    MsgResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::OkCancel: return MsgResult::Cancel;
    default: return MsgResult::No;
  }
}

std::optional<std::string> RecordingHost::inputQuery(std::string_view caption,
                                                     std::string_view prompt,
                                                     std::string_view defaultText) {
  prompts.emplace_back(caption);
  calls.push_back("prompt " + std::string(caption) + ": " + std::string(prompt) + " [" +
                  std::string(defaultText) + "]");
  if (!promptAnswers.empty()) {
    auto answer = promptAnswers.front();
    promptAnswers.pop_front();
    return answer;
  }
  return std::string(defaultText);
}

void RecordingHost::refreshFilledWindow(const PacketList& list, uint32_t longest) {
  refreshes.emplace_back(list.size(), longest);
  calls.push_back("refresh " + std::to_string(list.size()) + " " + std::to_string(longest));
}

std::vector<std::string> RecordingHost::messageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

}  // namespace pakscope::test
