#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::xdg {

// The "key file" format shared by .desktop files, mimeapps.list and mimeinfo.cache:
// [Group] headers, Key=Value lines, '#' comments. Values are kept raw (escapes
// untouched); a key's first occurrence in a group counts. Groups of the same name
// are merged. Lines that are none of these are skipped.
class KeyFile {
 public:
  using Group = std::vector<std::pair<std::string, std::string>>;

  static KeyFile parse(std::string_view text);

  const Group* group(std::string_view name) const;
  std::optional<std::string_view> value(std::string_view group, std::string_view key) const;
  // The name of the first group, or empty when there is none.
  const std::string& firstGroup() const;

 private:
  std::vector<std::pair<std::string, Group>> groups_;
};

// A string value with its escapes (\s \n \t \r \\) resolved; an unknown escape keeps
// the backslash.
std::string unescapeValue(std::string_view raw);
// A ';'-separated list ("\;" is a literal ';'), each item unescaped; empty items dropped.
std::vector<std::string> splitList(std::string_view raw);

// The [Desktop Entry] group of a .desktop file, with the keys a launcher needs.
struct DesktopEntry {
  std::string id;    // desktop file ID, e.g. "org.example.App.desktop"
  std::string path;  // the file it was read from
  std::string type;
  std::string name;
  std::string exec;  // unescaped, still quoted, field codes not expanded
  std::string tryExec;
  std::string icon;
  std::string workingDirectory;  // Path=
  std::vector<std::string> mimeTypes;
  bool hidden = false;     // Hidden=true: treated as deleted, masks lower-precedence files
  bool noDisplay = false;  // NoDisplay=true: kept out of menus, still a handler
  bool terminal = false;

  // Null when the first group is not [Desktop Entry].
  static std::optional<DesktopEntry> parse(std::string_view text);

  bool handles(std::string_view mimeType) const;
};

// One argument of an Exec line and whether it was written in double quotes.
struct ExecArgument {
  std::string text;
  bool quoted = false;
};

// Splits an (unescaped) Exec value into arguments by its quoting rules: blanks
// separate, "..." groups with \" \` \$ \\ inside. Null when a quote is not closed.
std::optional<std::vector<ExecArgument>> splitExec(std::string_view exec);

// The argument vector that opens `url` with `entry`: %u %U %f %F become the URL (at
// most once; without any, the URL is appended), %i the icon option, %c the name,
// %k the file, %% a '%'; deprecated codes go. Null when the line is malformed: an
// unclosed quote, an unknown code, a code other than %% inside quotes (a quoted
// argument is handed to a shell by some entries, and a URL spliced into it could
// run as a command), or no program.
std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry, std::string_view url);

}  // namespace orvane::xdg
