#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/xdg/xdg_environment.hpp"

namespace orvane::testing {

// A desktop of the test's own in a fresh temporary folder: the user's and the
// system's config and data directories, and a bin directory as the whole PATH.
class XdgTree {
 public:
  XdgTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-xdg-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    for (const auto* dir : {"config", "etc-xdg", "data/applications", "share/applications", "bin"})
      std::filesystem::create_directories(root / dir);
  }
  ~XdgTree() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  XdgTree(const XdgTree&) = delete;
  XdgTree& operator=(const XdgTree&) = delete;

  std::filesystem::path configHome() const { return root / "config"; }
  std::filesystem::path systemConfig() const { return root / "etc-xdg"; }
  std::filesystem::path userApps() const { return root / "data/applications"; }
  std::filesystem::path systemApps() const { return root / "share/applications"; }
  std::filesystem::path bin() const { return root / "bin"; }

  xdg::XdgEnvironment env() const {
    xdg::XdgEnvironment e;
    e.configHome = configHome().string();
    e.configDirs = {systemConfig().string()};
    e.dataHome = (root / "data").string();
    e.dataDirs = {(root / "share").string()};
    e.searchPath = {bin().string()};
    return e;
  }

  static void write(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }

  // An executable in bin/ running `script` (a do-nothing shell script by default).
  std::string program(const std::string& name, const std::string& script = "#!/bin/sh\nexit 0\n") const {
    const auto path = bin() / name;
    write(path, script);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
    return path.string();
  }

  // A minimal application entry under `apps` whose Exec runs `program` with %u.
  static void app(const std::filesystem::path& apps, const std::string& relativePath,
                  const std::string& program, const std::string& mimeTypes, const std::string& extra = "") {
    write(apps / relativePath, "[Desktop Entry]\nType=Application\nName=" + relativePath +
                                   "\nExec=" + program + " %u\nMimeType=" + mimeTypes + "\n" + extra);
  }

  // Sets a file's modification time to `seconds` since the epoch.
  static void touch(const std::filesystem::path& path, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }

  std::filesystem::path root;
};

}  // namespace orvane::testing
