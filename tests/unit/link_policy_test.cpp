#include "orvane/link_policy.hpp"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(LinkPolicy, WebLinksWithAHostAndApplicationSchemesPass) {
  for (const char* url : {"https://land.example/a%20b?x=1#top", "HTTP://Land.Example", "http://[::1]:8080/x",
                          "https://user@host.example/", "mygame://start?ref=1", "steam://run/440",
                          "x-app.v2+beta:open", "mailto:help@example.com?subject=Hi",
                          "mygame://open?profile:main", "https://a.example/?next=file:///etc/passwd"}) {
    const auto check = checkServerLink(url);
    EXPECT_TRUE(check.allowed) << url << ": " << check.reason;
    EXPECT_TRUE(check.reason.empty()) << url;
  }
}

TEST(LinkPolicy, LocalFilesPathsAndProgramsAreRefusedHoweverSpelt) {
  for (const char* url :
       {// file: in any spelling, and other schemes that reach local things
        "file:///etc/passwd", "FILE:///etc/passwd", "File:%2Fetc%2Fpasswd", "file:%2F%2F%2Fetc",
        "file:relative", " file:///etc/passwd", "\tfile:///x", "file\n:///x", "data:text/html,<b>x</b>",
        "data:text/html,x", "javascript:alert(1)", "JavaScript:alert(1)", "about:config",
        "view-source:https://a.example", "trash:///", "smb://host/share", "ftp://host/x", "sftp://host/x",
        "help:///etc/passwd", "ghelp:/etc/passwd", "man:ls", "orvane-settings:privacy",
        // no scheme: paths and words
        "/usr/bin/xterm", "//host/share", "./run.sh", "../x", "~/x", "xterm", "C:/Windows/x", "c:x",
        // web links without a host
        "https://", "https:///etc/passwd", "http:/x", "https://@", "https://:80/x",
        // links that carry a file URL for their handler, also encoded, once or twice
        "mygame://open?f=file:///etc/passwd", "mygame://open?f=FILE%3A%2F%2F%2Fetc", "app:x?f=file%253A%252F",
        // a mail program attaching a local file
        "mailto:a@b.example?attach=/etc/passwd", "mailto:?body=x&Attachment=~/.ssh/id_rsa",
        "mailto:a@b?%61ttach=x",
        // not URLs at all
        "", "https://a.example/\xC3\xA9", "https://a.example/%zz", "ht tp://x"}) {
    const auto check = checkServerLink(url);
    EXPECT_FALSE(check.allowed) << url;
    EXPECT_FALSE(check.reason.empty()) << url;
  }
}

}  // namespace
}  // namespace orvane
