// Host texts: [tls:][passive:][LU@]host[:port].
#include <gtest/gtest.h>

#include "net/host_text.h"

namespace {

TEST(HostText, PrefixesLuNameAndPort) {
  struct Case {
    const char* text;
    bool tls, passive;
    const char* lu;
    const char* name;
    unsigned short port;
    const char* shown;
  };
  const Case cases[] = {
      {"mainframe", false, false, "", "mainframe", 0, "mainframe"},
      {"10.0.0.1:23", false, false, "", "10.0.0.1", 23, "10.0.0.1:23"},
      {"passive:mainframe", false, true, "", "mainframe", 0, "mainframe"},
      {"PaSsIvE:10.0.0.1:3270", false, true, "", "10.0.0.1", 3270, "10.0.0.1:3270"},
      {"tls:host.example.com", true, false, "", "host.example.com", 0, "host.example.com"},
      {"TLS:passive:h:992", true, true, "", "h", 992, "h:992"},
      {"passive:Tls:h", true, true, "", "h", 0, "h"},
      {"LU0012@127.0.0.1:2323", false, false, "LU0012", "127.0.0.1", 2323, "LU0012@127.0.0.1:2323"},
      {"tls:passive:L#@$9@h", true, true, "L#@$9", "h", 0, "L#@$9@h"},
      // A prefix before nothing or a bare port is the host's name, as it always was.
      {"passive:23", false, false, "", "passive", 23, "passive:23"},
      {"tls:992", false, false, "", "tls", 992, "tls:992"},
      {"passive:", false, false, "", "passive:", 0, "passive:"},
      {"tls:tls:h", true, false, "", "tls:h", 0, "tls:h"},
      {"passiv:mainframe", false, false, "", "passiv:mainframe", 0, "passiv:mainframe"},
      {" passive:mainframe", false, false, "", " passive:mainframe", 0, " passive:mainframe"},
      {"h:23x", false, false, "", "h:23x", 0, "h:23x"},  // not a port: part of the name
      {"", false, false, "", "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HostText h;
    std::string error;
    ASSERT_TRUE(ParseHostText(c.text, &h, &error));
    EXPECT_EQ(h.tls, c.tls);
    EXPECT_EQ(h.passive, c.passive);
    EXPECT_EQ(h.lu, c.lu);
    EXPECT_EQ(h.name, c.name);
    EXPECT_EQ(h.port, c.port);
    EXPECT_EQ(h.shown, c.shown);
  }
}

TEST(HostText, InvalidLuNamesAndPortsAreRefusedWithAMessage) {
  struct Case {
    const char* text;
    const char* error;
  };
  for (const Case& c : {Case{"@host", "LU name"}, Case{"LU00123456@host", "LU name"}, Case{"LU-1@host", "LU name"},
                        Case{"LU 1@host", "LU name"}, Case{"tls:L.U@h:992", "LU name"}, Case{"\xC4@host", "LU name"},
                        Case{"h:0", "The port \"0\" is not valid"}, Case{"h:65536", "port \"65536\""},
                        Case{"tls:h:99999999999999999999", "from 1 to 65535"}, Case{"LU1@h:00000", "port \"00000\""}}) {
    SCOPED_TRACE(c.text);
    HostText h;
    std::string error;
    EXPECT_FALSE(ParseHostText(c.text, &h, &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(h.refusedPart, error.find("LU name") != std::string::npos ? "LU Name" : "Port");
  }
}

}  // namespace
