#include "campaign_table.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace demo {

namespace {

std::size_t sequenceLength(unsigned char c) {
  return c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
}

// Pads or cuts UTF-8 text to `width` terminal columns; wide (CJK, Hangul) characters take two.
std::string fit(const std::string& s, std::size_t width) {
  std::string out;
  std::size_t used = 0;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = std::min(sequenceLength(static_cast<unsigned char>(s[i])), s.size() - i);
    const std::size_t w = len >= 3 ? 2 : 1;
    if (used + w > width) break;
    out.append(s, i, len);
    used += w;
    i += len;
  }
  return out + std::string(width - used, ' ');
}

std::string price(const orvane::Camp& c) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", c.rewardprice);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s + " " + c.pricemark;
}

}  // namespace

std::string campaignTable(const std::vector<orvane::Camp>& camps, const std::set<std::int64_t>& houseIds) {
  std::ostringstream out;
  out << fit("id", 8) << fit("kind", 7) << fit("", 7) << fit("name", 32) << fit("price", 12) << fit("conv", 6)
      << "orderseq\n"
      << std::string(80, '-') << '\n';
  for (const auto& c : camps) {
    const bool house = houseIds.count(c.campid) > 0;
    out << fit(std::to_string(c.campid), 8) << fit(c.bm == 4 ? "CPS" : "other", 7)
        << fit(house ? "house" : "", 7) << fit(c.name, 32) << fit(price(c), 12)
        << fit(std::to_string(c.convflag), 6) << (house ? std::to_string(c.orderseq) : std::string("-"))
        << '\n';
  }
  return out.str();
}

}  // namespace demo
