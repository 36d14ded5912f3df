// The demo host's logon as every end-to-end suite walks it (the window, the
// terminal under tmux, TLS): the panel's texts, the user and password typed,
// the menu reached; and the demo host behind stunnel for the TLS walks.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo_host.h"
#include "tls_host.h"

namespace demo {

inline const char kLogonTitle[] = "QUILLON DEMO HOST - LOGON";
inline const char kUserPrompt[] = "USERID   ===>";
inline const char kPasswordPrompt[] = "PASSWORD ===>";
inline const char kUser[] = "alice";
inline const char kPassword[] = "secret";
inline const char kMenuTitle[] = "QUILLON DEMO HOST - MAIN MENU";
inline const char kWelcome[] = "LOGON ACCEPTED - WELCOME, ALICE";

// How a suite acts as the user and reads the screen.
struct User {
  // Waits until the screen shows every text.
  std::function<::testing::AssertionResult(const std::vector<std::string>&)> shows;
  // The screen shows the text now.
  std::function<bool(const std::string&)> sees;
  std::function<bool(const std::string&)> type;
  std::function<bool(const std::string& key)> press;  // "Tab" or "Enter"
  // The suite's own checks of the typed logon, before Enter (optional).
  std::function<void()> typed;
};

// From the logon panel to the main menu: the panel with both prompts, the user
// id typed and shown, the password typed and not shown, Enter, the welcome.
::testing::AssertionResult WalkLogon(const User& user);

// The demo host with stunnel in front of it (the "good" certificate), for a
// "tls:" connection that trusts the test CA.
class TlsDemoHost {
 public:
  TlsDemoHost();
  // Empty when it runs; otherwise why not, for a skip or a failure.
  const std::string& trouble() const { return trouble_; }
  bool skipped() const { return skipped_; }
  int port() const { return tunnel_ ? tunnel_->port() : 0; }
  // The settings file that makes Quillon trust the test CA.
  static std::string Settings();

 private:
  DemoHost host_;
  std::unique_ptr<Stunnel> tunnel_;
  std::string trouble_;
  bool skipped_ = false;
};

}  // namespace demo
