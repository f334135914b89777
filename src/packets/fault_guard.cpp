#include "packets/fault_guard.h"

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace pakscope {

namespace {

struct GuardFrame {
  sigjmp_buf jump;
  uintptr_t begin;
  uintptr_t end;
  GuardFrame* outer;
};

thread_local GuardFrame* tlsGuard = nullptr;

struct sigaction previousBus;
struct sigaction previousSegv;

void forward(int sig, siginfo_t* info, void* context) {
  const struct sigaction& previous = sig == SIGBUS ? previousBus : previousSegv;
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(sig, info, context);
    return;
  }
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN &&
      previous.sa_handler != nullptr) {
    previous.sa_handler(sig);
    return;
  }
  // Default action: die with the signal, as if we had never been here.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void onFault(int sig, siginfo_t* info, void* context) {
  GuardFrame* frame = tlsGuard;
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  if (frame != nullptr && address >= frame->begin && address < frame->end)
    siglongjmp(frame->jump, 1);
  forward(sig, info, context);
}

void installHandlers() {
  struct sigaction action {};
  action.sa_sigaction = onFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previousBus);
  ::sigaction(SIGSEGV, &action, &previousSegv);
}

// An exception leaving the body (an allocation that failed) must not leave
// the handler pointed at this call's dead frame.
void runBody(void (*body)(void*), void* context, GuardFrame& frame) {
  try {
    body(context);
  } catch (...) {
    tlsGuard = frame.outer;
    throw;
  }
}

}  // namespace

bool RunWithFaultGuard(const void* begin, size_t length, void (*body)(void*), void* context) {
  static std::once_flag installed;
  std::call_once(installed, installHandlers);

  GuardFrame frame;
  frame.begin = reinterpret_cast<uintptr_t>(begin);
  frame.end = frame.begin + length;
  frame.outer = tlsGuard;
  // Saving the signal mask unblocks the fault signal again after a jump.
  if (sigsetjmp(frame.jump, 1) != 0) {
    tlsGuard = frame.outer;
    return false;
  }
  tlsGuard = &frame;
  runBody(body, context, frame);
  tlsGuard = frame.outer;
  return true;
}

}  // namespace pakscope
