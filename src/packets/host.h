#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "packets/packet.h"

namespace pakscope {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Exclamation, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

// What the engines need from the program around them: the main window's gauge,
// STOP button and status panels, message boxes and prompts, event processing
// and the refresh of the window being filled. The GUI, the command-line tool
// and the tests each implement it; the engines never talk to the user otherwise.
class CHost {
 public:
  virtual ~CHost() = default;

  // Shows or hides the progress gauge together with the STOP button.
  virtual void showProgress(bool visible) = 0;
  virtual void setProgress(int position) = 0;  // 0..100
  virtual int progress() const = 0;

  // Status panel 0 or 1 of the main window.
  virtual void setStatus(int panel, std::string_view text) = 0;

  virtual bool stopRequested() const = 0;
  virtual void clearStop() = 0;

  // Lets pending user-interface events run (the STOP button is noticed here).
  virtual void processEvents() = 0;

  virtual MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                               MsgIcon icon) = 0;

  // One-line input prompt; nullopt when cancelled.
  virtual std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                                std::string_view defaultText) = 0;

  // Has the packet window being filled resize itself to `list` and repaint.
  virtual void refreshFilledWindow(const PacketList& list, uint32_t longest) = 0;
};

// A host that shows nothing and answers every question with its default
// (No, Cancel, or the prompt's default text).
class CSilentHost : public CHost {
 public:
  void showProgress(bool) override {}
  void setProgress(int position) override { position_ = position; }
  int progress() const override { return position_; }
  void setStatus(int, std::string_view) override {}
  bool stopRequested() const override { return false; }
  void clearStop() override {}
  void processEvents() override {}
  MsgResult messageBox(std::string_view, std::string_view, MsgButtons buttons, MsgIcon) override {
    return buttons == MsgButtons::Ok         ? MsgResult::Ok
           : buttons == MsgButtons::OkCancel ? MsgResult::Cancel
                                             : MsgResult::No;
  }
  std::optional<std::string> inputQuery(std::string_view, std::string_view,
                                        std::string_view defaultText) override {
    return std::string(defaultText);
  }
  void refreshFilledWindow(const PacketList&, uint32_t) override {}

 private:
  int position_ = 0;
};

}  // namespace pakscope
