#include "demo_logon.h"

namespace demo {

::testing::AssertionResult WalkLogon(const User& user) {
  if (auto r = user.shows({kLogonTitle, kUserPrompt, kPasswordPrompt}); !r) return r << " (the logon panel)";
  if (!user.type(kUser) || !user.press("Tab") || !user.type(kPassword))
    return ::testing::AssertionFailure() << "typing the logon";
  if (auto r = user.shows({kUser}); !r) return r << " (the user id typed)";
  if (user.sees(kPassword)) return ::testing::AssertionFailure() << "the password field shows what is typed";
  if (user.typed) user.typed();
  if (!user.press("Enter")) return ::testing::AssertionFailure() << "Enter";
  if (auto r = user.shows({"MAIN MENU", kWelcome}); !r) return r << " (the main menu)";
  return ::testing::AssertionSuccess();
}

TlsDemoHost::TlsDemoHost() {
  if (TestCertificates().empty()) {
    skipped_ = true;
    trouble_ = "the openssl command could not make the certificates";
    return;
  }
  if (host_.port() <= 0) {
    trouble_ = "the demo host did not start: " + host_.firstLine();
    return;
  }
  tunnel_ = std::make_unique<Stunnel>(host_.port(), "good");
  if (tunnel_->port() <= 0) trouble_ = "stunnel did not start";
}

std::string TlsDemoHost::Settings() { return "[TLS]\nCAFile=" + TestCertificates() + "/ca.pem\n"; }

}  // namespace demo
