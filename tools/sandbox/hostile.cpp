#include "tools/sandbox/hostile.hpp"

#include <zlib.h>

#include <array>
#include <mutex>
#include <stdexcept>

#include "tools/sandbox/http_util.hpp"
#include "tools/sandbox/image_factory.hpp"

namespace orvane::sandbox {

namespace {

using nlohmann::json;

void appendBe32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xff);
}

std::string pngChunk(std::string_view type, std::string_view data) {
  std::string out;
  appendBe32(out, static_cast<std::uint32_t>(data.size()));
  std::string body(type);
  body += data;
  out += body;
  appendBe32(out, static_cast<std::uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  return out;
}

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::string ihdr(std::uint32_t width, std::uint32_t height, char depth, char colour) {
  std::string data;
  appendBe32(data, width);
  appendBe32(data, height);
  data += depth;
  data += colour;
  data += std::string(3, '\0');  // compression, filter, interlace
  return pngChunk("IHDR", data);
}

// Every row of an all-black 1-bit image is zero bytes, filter byte included, so the
// image data is the deflate stream of that many zeros.
std::string makePngBomb() {
  const std::uint64_t rowBytes = 1 + (kBombSide + 7) / 8;
  std::uint64_t left = rowBytes * kBombSide;
  z_stream z{};
  if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) throw std::runtime_error("deflateInit failed");
  static const std::array<Bytef, 1 << 20> kZeros{};
  std::array<Bytef, 1 << 16> buffer;
  std::string idat;
  int rc = Z_OK;
  do {
    const auto piece = static_cast<uInt>(std::min<std::uint64_t>(left, kZeros.size()));
    z.next_in = const_cast<Bytef*>(kZeros.data());
    z.avail_in = piece;
    left -= piece;
    const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = buffer.data();
      z.avail_out = static_cast<uInt>(buffer.size());
      rc = deflate(&z, flush);
      idat.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - z.avail_out);
    } while (z.avail_out == 0);
  } while (left > 0);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return std::string(kPngSignature) + ihdr(kBombSide, kBombSide, 1, 0) + pngChunk("IDAT", idat) +
         pngChunk("IEND", "");
}

std::string makeJpegBomb() {
  std::optional<GeneratedImage> small = ImageFactory::render("bomb-16x16.jpg");
  if (!small) throw std::runtime_error("cannot draw the JPEG");
  std::string bytes = std::move(small->bytes);
  // Start of frame (baseline, extended or progressive): length, precision, height, width.
  for (std::size_t i = 2; i + 9 < bytes.size(); ++i) {
    const auto marker = static_cast<unsigned char>(bytes[i + 1]);
    if (static_cast<unsigned char>(bytes[i]) == 0xff && marker >= 0xc0 && marker <= 0xc2) {
      for (std::size_t at : {i + 5, i + 7}) {
        bytes[at] = static_cast<char>((kBombSide >> 8) & 0xff);
        bytes[at + 1] = static_cast<char>(kBombSide & 0xff);
      }
      return bytes;
    }
  }
  throw std::runtime_error("no frame header in the JPEG");
}

std::string joined(const std::vector<std::string>& values) {
  std::string out;
  for (const std::string& v : values) out += v;
  return out;
}

void replaceAll(std::string& s, std::string_view from, const std::string& to) {
  for (auto pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

std::optional<long long> campidOf(const json& camp) {
  const auto it = camp.find("campid");
  if (it == camp.end()) return std::nullopt;
  if (it->is_number_integer()) return it->get<long long>();
  return std::nullopt;
}

std::vector<const char*> campaignFields(HostileKind kind) {
  switch (kind) {
    case HostileKind::Html:
      return {"rewarddesc", "joindesc", "notice"};
    case HostileKind::ImageUrls:
    case HostileKind::ImageBombs:
      return {"iconurl", "nativeurl", "viewurl", "ctvurl"};
    case HostileKind::Links:
      return {"package"};
    case HostileKind::Markup:
      return {"name", "engname", "cta", "pricemark"};
  }
  return {};
}

}  // namespace

const char* hostileKindName(HostileKind kind) {
  switch (kind) {
    case HostileKind::Html:
      return "html";
    case HostileKind::ImageUrls:
      return "image_urls";
    case HostileKind::ImageBombs:
      return "image_bombs";
    case HostileKind::Links:
      return "links";
    case HostileKind::Markup:
      return "markup";
  }
  return "html";
}

std::optional<HostileKind> hostileKindFrom(std::string_view name) {
  for (HostileKind kind : kAllHostileKinds) {
    if (name == hostileKindName(kind)) return kind;
  }
  return std::nullopt;
}

std::vector<std::string> hostileHtmlSamples(const std::string& localPath) {
  std::vector<std::string> samples = {
      R"html(<img src="a.png"><img src="file:///dev/zero">text)html",
      R"html(<p>Local files <img src="file:///etc/hostname"><img src="/etc/hostname"><img src="file:/etc/passwd"></p>)html",
      R"html(<p>Devices <img src="/dev/zero"><img src="file:///dev/zero"><img src="/dev/urandom"></p>)html",
      R"html(<link rel="stylesheet" href="file:///etc/hostname"><style>@import url("file:///dev/zero"); )html"
      R"html(p { background-image: url("/dev/zero"); }</style>)html"
      R"html(<p style="background-image: url('file:///dev/zero')">Styled</p>)html",
      R"html(<p><a href="file:///etc/passwd">A local file</a> <a href="/bin/sh">A program</a> )html"
      R"html(<a href="orvane-unregistered-scheme://start">An unknown scheme</a></p>)html",
      R"html(<p>Other schemes <img src="qrc:/orvane/none.png"><img src="ftp://127.0.0.1/a.png">)html"
      R"html(<img src="data:image/png;base64,iVBORw0KGgo="><img src="javascript:alert(1)"></p>)html",
      R"html(<table background="file:///dev/zero"><tr><td background="/dev/zero">Cell</td></tr></table>)html"
      R"html(<object data="file:///dev/zero"></object><iframe src="file:///etc/passwd"></iframe>)html",
  };
  if (!localPath.empty()) {
    const std::string p = htmlEscape(localPath);
    samples.push_back("<p>Test path <img src=\"" + p + "\"><img src=\"file://" + p +
                      "\"></p><link rel=\"stylesheet\" href=\"" + p + "\"><a href=\"file://" + p +
                      "\">Local link</a>");
  }
  return samples;
}

std::vector<std::string> hostileValues(HostileKind kind, const std::string& localPath) {
  std::vector<std::string> values;
  const bool path = !localPath.empty();
  switch (kind) {
    case HostileKind::Html:
      return {joined(hostileHtmlSamples(localPath))};
    case HostileKind::ImageUrls:
      values = {"file:///etc/hostname", "/etc/hostname", "/dev/zero", "file:///dev/zero",
                "/proc/self/environ"};
      if (path) values.insert(values.end(), {localPath, "file://" + localPath});
      values.insert(values.end(), {"ftp://127.0.0.1/a.png", "qrc:/orvane/none.png",
                                   "data:image/png;base64,iVBORw0KGgo=", "javascript:alert(1)",
                                   "FILE:///dev/zero", "file://localhost/etc/hostname"});
      return values;
    case HostileKind::ImageBombs:
      return {"{origin}/hostile/png-bomb.png", "{origin}/hostile/jpeg-bomb.jpg",
              "{origin}/hostile/oversize.png"};
    case HostileKind::Links:
      values = {"file:///etc/passwd", "/etc/passwd", "/bin/sh", "/usr/bin/xterm",
                "orvane-unregistered-scheme://start"};
      if (path) values.insert(values.end(), {"file://" + localPath, localPath});
      values.insert(values.end(), {"FILE:///etc/passwd", "file:/etc/passwd"});
      return values;
    case HostileKind::Markup:
      values = {"Tom & Jerry <b>Run</b> 게임", "&amp;", R"(<img src="file:///dev/zero">)"};
      if (path) values.push_back("<img src=\"" + htmlEscape(localPath) + "\">");
      values.insert(values.end(), {"<script>alert(1)</script>Run", "%s%s%n%x", "\u202Egnp.exe",
                                   R"(<a href="file:///etc/passwd">Tap</a> &lt;b&gt;)"});
      return values;
  }
  return values;
}

const std::string& pngBomb() {
  static const std::string bytes = makePngBomb();
  return bytes;
}

const std::string& jpegBomb() {
  static const std::string bytes = makeJpegBomb();
  return bytes;
}

std::string oversizePngHead() { return std::string(kPngSignature) + ihdr(4096, 4096, 8, 6); }

std::string hostileValueAt(const HostileMode& mode, std::size_t index, const std::string& origin) {
  if (mode.values.empty()) return {};
  std::string value = mode.values[index % mode.values.size()];
  replaceAll(value, "{origin}", origin);
  return value;
}

void applyHostile(json& answer, const std::vector<HostileMode>& modes, const HostileTarget& target) {
  if (!answer.is_object()) return;
  const auto indexOf = [&](std::optional<long long> campid, std::size_t fallback) {
    if (campid && target.indexOf) {
      if (auto index = target.indexOf(*campid)) return *index;
    }
    return fallback;
  };
  for (const HostileMode& mode : modes) {
    if (mode.values.empty()) continue;
    const auto value = [&](std::size_t index) { return hostileValueAt(mode, index, target.origin); };
    for (const char* list : {"camp", "housemd"}) {
      auto it = answer.find(list);
      if (it == answer.end() || !it->is_array()) continue;
      std::size_t position = 0;
      for (json& camp : *it) {
        if (!camp.is_object()) continue;
        const std::string v = value(indexOf(campidOf(camp), position++));
        for (const char* field : campaignFields(mode.kind)) camp[field] = v;
      }
    }
    if (mode.kind == HostileKind::Markup) {
      if (auto rows = answer.find("reward"); rows != answer.end() && rows->is_array()) {
        std::size_t position = 0;
        for (json& row : *rows) {
          if (!row.is_object()) continue;
          const std::string v = value(indexOf(campidOf(row), position++));
          row["name"] = v;
          row["rewardmark"] = v;
        }
      }
      if (answer.contains("errmsg")) answer["errmsg"] = value(0);
    }
    const std::size_t own = indexOf(target.campid, 0);
    if (mode.kind == HostileKind::Html) {
      if (target.path == "/v1/view" && answer.contains("text")) answer["text"] = value(own);
      std::string all;
      for (std::size_t i = 0; i < mode.values.size(); ++i) all += value(i);
      if (target.path == "/orvane/sdk/notice_contents.json" && answer.contains("text")) answer["text"] = all;
      if (answer.contains("cs_agree_contents")) answer["cs_agree_contents"] = all;
    }
    if (mode.kind == HostileKind::Links && target.path == "/v1/join" && answer.contains("lurl")) {
      answer["lurl"] = value(own);
    }
  }
}

}  // namespace orvane::sandbox
