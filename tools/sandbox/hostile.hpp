#pragma once

// What a malicious operator server could put into otherwise well-formed answers. The
// sandbox serves these when a test turns a mode on (sandbox.hpp); the values are public
// so that a test can pick single ones or check what a screen was given.

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sandbox {

enum class HostileKind {
  // rewarddesc, joindesc and notice of every campaign, the view answer's "text", the
  // notice document's "text" and the inquiry agreement: HTML with two consecutive images,
  // images of local files, devices and the test's path, style sheets and local links.
  Html,
  // iconurl, nativeurl, viewurl and ctvurl: local files, devices, the test's path, other schemes.
  ImageUrls,
  // The same image fields pointing at the sandbox's decompression bombs and oversized image
  // (this one wins where both are on).
  ImageBombs,
  // lurl of join answers and package of campaigns: file: URLs, bare paths, programs, an
  // unregistered scheme.
  Links,
  // name, engname, cta and pricemark of campaigns, name and rewardmark of the reward
  // history, and any errmsg: markup, entities and an image tag in plain-text fields.
  Markup,
};

// One mode. Campaign number i of the fixture (its position in Fixture::campaigns()) gets
// values[i % size] in every answer that carries it, its join answer included; the notice
// document and the agreement get all values in one text.
struct HostileMode {
  HostileKind kind = HostileKind::Html;
  std::vector<std::string> values = {};  // empty = hostileValues(kind, localPath)
  std::string localPath = {};            // a path of the test's, e.g. a FIFO that must never be opened
};

const char* hostileKindName(HostileKind kind);  // "html", "image_urls", "image_bombs", "links", "markup"
std::optional<HostileKind> hostileKindFrom(std::string_view name);
inline constexpr HostileKind kAllHostileKinds[] = {HostileKind::Html, HostileKind::ImageUrls,
                                                   HostileKind::ImageBombs, HostileKind::Links,
                                                   HostileKind::Markup};

// The built-in values of a kind. "{origin}" stands for the origin of the listener that
// answers (http or https). Entries naming `localPath` are left out when it is empty.
// Html has one value: every sample of hostileHtmlSamples in a single document.
std::vector<std::string> hostileValues(HostileKind kind, const std::string& localPath = {});
// The separate HTML samples; the first is exactly `<img src="a.png"><img src="file:///dev/zero">text`.
std::vector<std::string> hostileHtmlSamples(const std::string& localPath = {});

// Hostile images, served at any time:
//   GET /hostile/png-bomb.png      pngBomb()
//   GET /hostile/jpeg-bomb.jpg     jpegBomb()
//   GET /hostile/oversize.png      a PNG signature and header followed by zero bytes, in all
//                                  Options::oversizeImageBytes long (?bytes=N overrides it)
inline constexpr int kBombSide = 30000;
// A small, valid, complete PNG (1-bit grey) that declares kBombSide x kBombSide pixels.
const std::string& pngBomb();
// A small JPEG whose frame header declares kBombSide x kBombSide pixels; its scan data is
// that of a 16 x 16 image.
const std::string& jpegBomb();
// The first bytes of /hostile/oversize.png.
std::string oversizePngHead();

// Server side: rewrites a normal JSON answer of `path` with the given modes (values
// already resolved). `indexOf` gives a campaign's position in the fixture.
struct HostileTarget {
  std::string path;
  std::optional<long long> campid;  // of the request, for view and join
  std::string origin;
  std::function<std::optional<std::size_t>(long long)> indexOf;
};
void applyHostile(nlohmann::json& answer, const std::vector<HostileMode>& modes, const HostileTarget& target);
std::string hostileValueAt(const HostileMode& mode, std::size_t index, const std::string& origin);

}  // namespace orvane::sandbox
