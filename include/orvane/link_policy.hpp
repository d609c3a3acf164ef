#pragma once

#include <string>
#include <string_view>

#include "orvane/export.hpp"

// Links the SDK opens
//
// The operator's server chooses two kinds of link that the SDK hands to the
// desktop: the landing link of a join answer (`lurl`) and a campaign's app-start
// link (`package`). Each must pass this policy before it reaches the URL opener. A
// refused link is logged (error level) and not opened; an app-start link then ends
// as "not installed" and no install is reported to the server.
//
// Allowed, and then opened only when the desktop can:
//  - http and https URLs with a host. They open in the user's web browser: the
//    desktop's handler of x-scheme-handler/http (https), else of text/html. With
//    no browser registered nothing is opened.
//  - Any other scheme, taken as an application's own (for example
//    "mygame://start?ref=1"). It opens only in the application that the desktop
//    has registered for it (x-scheme-handler/<scheme>, in mimeapps.list or a
//    .desktop file's MimeType=). No such application: not opened, so an app that is
//    not installed never counts as started.
//
// Refused, whatever the desktop has registered:
//  - Text that is not an absolute URL: no scheme (paths such as /usr/bin/app, ~/x,
//    ./x, //host/x, or a bare word), a one-letter scheme (a drive letter, C:/x), a
//    leading blank or control character, characters or escapes a URL cannot hold.
//  - Schemes that reach local files, programs or a browser's privileged pages:
//    file, data, javascript, vbscript, about, blob, filesystem, view-source, jar,
//    resource, chrome, chrome-extension, moz-extension.
//  - Schemes that desktop file managers and help viewers open as files or folders:
//    trash, recent, computer, network, burn, admin, archive, mtp, gphoto2, afc,
//    cdda, smb, nfs, afp, sftp, ftp, ftps, dav, davs, ssh, fish, man, info, help,
//    ghelp.
//  - The SDK's own in-process page, orvane-settings.
//  - An application link that carries a file: URL inside it, also percent-encoded
//    (mygame://open?f=file%3A%2F%2F%2Fetc%2Fpasswd): its handler could read that file.
//  - A mailto link with an attach or attachment parameter (mail programs attach
//    local files named there).
// Schemes are compared without regard to case: "FILE:" and "File:" are file.
//
// Links the host opens itself through the SDK's URL opener are not subject to this
// policy; the opener still opens only what the desktop has a handler for, and schemes
// the host declared to it.

namespace orvane {

struct LinkCheck {
  bool allowed = false;
  std::string reason;  // why not, for the log; empty when allowed
};

// The policy above, for one link exactly as it would be opened. Pure: reads nothing, so
// any thread may call it; a host may check its own links the way the wall does.
ORVANE_EXPORT LinkCheck checkServerLink(std::string_view url);

}  // namespace orvane
