#include "pending_output.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace mkmdb {
namespace {

std::atomic<bool> g_installed{false};
// The handler reads the path only while g_armed is set; it is written only while clear.
char g_path[PATH_MAX];
volatile std::sig_atomic_t g_armed = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void OnSignal(int signal_number) {
  if (g_armed) unlink(g_path);
  // Die of the same signal so the parent sees why the run stopped.
  struct sigaction deflt {};
  deflt.sa_handler = SIG_DFL;
  sigemptyset(&deflt.sa_mask);
  sigaction(signal_number, &deflt, nullptr);
  raise(signal_number);
}

}  // namespace

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  for (int s : kSignals) {
    // A signal the caller ignores (nohup, a shell's background job) stays ignored.
    struct sigaction current {};
    if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
  g_installed = true;
}

CleanupSignalsHeld::CleanupSignalsHeld() {
  if (!g_installed) return;
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : kSignals) sigaddset(&signals, s);
  held_ = pthread_sigmask(SIG_BLOCK, &signals, &previous_) == 0;
}

CleanupSignalsHeld::~CleanupSignalsHeld() {
  if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void SetPendingOutput(const std::string& path) {
  if (!g_installed || path.size() >= sizeof g_path) return;
  g_armed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(g_path, path.c_str(), path.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_armed = 1;
}

void ClearPendingOutput() {
  if (!g_installed) return;
  g_armed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace mkmdb
