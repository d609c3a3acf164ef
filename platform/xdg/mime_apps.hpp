#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xdg/desktop_entry.hpp"
#include "platform/xdg/xdg_environment.hpp"

// Which application the desktop opens a MIME type or a URL scheme with, by the
// freedesktop association rules: mimeapps.list files (desktop-specific ones first)
// under the config and data directories, the .desktop files under applications/
// with their MimeType= lines, and mimeinfo.cache where it is current.
//
// Every look-up reads the disk. It reads only regular files, never blocks on a FIFO
// or a device, caps what it reads, and gives up at its deadline; run it off the GUI
// thread.

namespace orvane::xdg {

struct LookupLimits {
  std::size_t maxFileBytes = std::size_t{1} << 20;    // a mimeapps.list or a .desktop file
  std::size_t maxCacheBytes = std::size_t{16} << 20;  // a mimeinfo.cache
  std::size_t maxFilesPerDir = 20000;                 // .desktop files scanned under one applications/
  int maxDepth = 4;                                   // subdirectories of applications/
};

struct HandlerLookup {
  enum class Status { found, none, timedOut };
  Status status = Status::none;
  std::optional<DesktopEntry> handler;
  std::string program;  // the handler's Exec program, resolved to an absolute path
};

using Deadline = std::chrono::steady_clock::time_point;

// The default application for `mimeType`:
//  1. the first desktop ID in [Default Applications] of the mimeapps.list files, in
//     precedence order, that is installed and launchable and not removed by a
//     [Removed Associations] of the same or a more important file;
//  2. else the first launchable application associated with the type: [Added
//     Associations] and the .desktop files' MimeType= lines, directory by directory,
//     each level's removals applying to it and to every less important one.
// A desktop ID names the first file of that ID in the applications/ directories
// ($XDG_DATA_HOME first); a Hidden=true file there means "deleted" and hides the
// others. NoDisplay=true does not matter: such entries are handlers, only not in
// menus. Launchable: Type=Application, an Exec line that parses, whose program and
// TryExec are executable files, and no Terminal=true (nothing here starts a
// terminal for it).
HandlerLookup findDefaultApplication(const XdgEnvironment& env, std::string_view mimeType, Deadline deadline,
                                     const LookupLimits& limits = {});

// The handler of URLs of `scheme` (any case): x-scheme-handler/<scheme>; for http
// and https, the web browser (x-scheme-handler/http(s), else text/html). A text
// that is no scheme finds nothing.
HandlerLookup findUrlHandler(const XdgEnvironment& env, std::string_view scheme, Deadline deadline,
                             const LookupLimits& limits = {});

// The executable regular file `program` names: an absolute path as it is, a bare
// name searched along `searchPath`. A relative path with a '/' is never taken (it
// would depend on the working directory).
std::optional<std::string> findExecutable(std::string_view program,
                                          const std::vector<std::string>& searchPath);

}  // namespace orvane::xdg
