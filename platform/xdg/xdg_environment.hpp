#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane::xdg {

// The places where a freedesktop desktop keeps its application associations, taken
// from the environment once so that a look-up on another thread never reads it.
struct XdgEnvironment {
  std::string configHome;               // $XDG_CONFIG_HOME, else ~/.config
  std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS, else /etc/xdg
  std::string dataHome;                 // $XDG_DATA_HOME, else ~/.local/share
  std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
  std::vector<std::string> desktops;    // $XDG_CURRENT_DESKTOP, lower case, in order
  std::vector<std::string> searchPath;  // $PATH, for TryExec and Exec programs

  using Getenv = std::function<std::optional<std::string>(const char* name)>;

  // Relative paths are ignored, as the base directory rules demand; an empty or
  // unset variable takes its default. Without an absolute $HOME the per-user
  // directories stay empty and are skipped.
  static XdgEnvironment from(const Getenv& getenv);
  // The process environment. Call it where the environment cannot change under it
  // (the GUI thread), not on a worker.
  static XdgEnvironment fromProcess();
};

}  // namespace orvane::xdg
