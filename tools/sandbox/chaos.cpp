#include "tools/sandbox/chaos.hpp"

namespace orvane::sandbox::chaos {

namespace {

using nlohmann::json;

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

std::size_t below(std::mt19937_64& random, std::size_t n) {
  return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

// A value of another type than `v`.
json otherType(const json& v, std::mt19937_64& random) {
  static const json kChoices[] = {"200",
                                  12345,
                                  -1,
                                  3.5,
                                  true,
                                  nullptr,
                                  json::array(),
                                  json::object(),
                                  json::array({1, "x"}),
                                  json{{"nested", "x"}},
                                  ""};
  for (;;) {
    const json& pick = kChoices[below(random, std::size(kChoices))];
    if (pick.type() != v.type()) return pick;
  }
}

void mutate(json& value, std::mt19937_64& random) {
  if (value.is_object()) {
    for (auto& [key, member] : value.items()) {
      if (below(random, 4) == 0) {
        member = otherType(member, random);
      } else {
        mutate(member, random);
      }
    }
  } else if (value.is_array()) {
    for (json& element : value) {
      if (below(random, 6) == 0) {
        element = otherType(element, random);
      } else {
        mutate(element, random);
      }
    }
  }
}

void writeDuplicates(const json& value, std::string& out, std::mt19937_64& random) {
  if (value.is_object()) {
    out += '{';
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      const std::string name = dump(json(key));
      if (below(random, 2) == 0) {
        out += first ? "" : ",";
        out += name + ":" + dump(otherType(member, random));
        first = false;
      }
      out += first ? "" : ",";
      out += name + ":";
      writeDuplicates(member, out, random);
      first = false;
    }
    out += '}';
  } else if (value.is_array()) {
    out += '[';
    bool first = true;
    for (const json& element : value) {
      out += first ? "" : ",";
      writeDuplicates(element, out, random);
      first = false;
    }
    out += ']';
  } else {
    out += dump(value);
  }
}

}  // namespace

Target targetOf(std::string_view path) {
  if (path.starts_with("/img/") || path.starts_with("/hostile/")) return Target::Image;
  if (path.starts_with("/landing/")) return Target::Page;
  return Target::Json;
}

const std::vector<std::string>& kinds(Target target) {
  // No kind answers with a redirect that a client follows, so that every request the
  // server logs is one request of the client.
  static const std::vector<std::string> kJson = {
      "normal",       "result:0",    "result:-1",      "result:400", "result:401",      "result:402",
      "result:403",   "result:404",  "result:405",     "result:406", "result:407",      "result:409",
      "result:410",   "result:411",  "result:500",     "result:501", "result:502",      "result:503",
      "result:900",   "status:400",  "status:403",     "status:404", "status:429",      "status:500",
      "status:502",   "status:503",  "no_content",     "empty",      "truncated",       "huge",
      "invalid_utf8", "wrong_types", "duplicate_keys", "huge_list",  "not_json",        "other_json",
      "deep_nesting", "delay",       "drip",           "cut",        "redirect_scheme", "html",
      "image_urls",   "image_bombs", "links",          "markup"};
  static const std::vector<std::string> kImage = {
      "normal",     "png_bomb",  "jpeg_bomb", "garbage", "empty", "truncated",      "status:404",
      "status:500", "not_image", "delay",     "drip",    "cut",   "redirect_scheme"};
  static const std::vector<std::string> kPage = {"normal", "status:404", "status:500", "garbage",
                                                 "empty",  "delay",      "cut",        "redirect_scheme"};
  switch (target) {
    case Target::Image:
      return kImage;
    case Target::Page:
      return kPage;
    case Target::Json:
      break;
  }
  return kJson;
}

std::string draw(std::mt19937_64& random, Target target, double normalShare) {
  const auto& all = kinds(target);
  if (std::uniform_real_distribution<double>(0.0, 1.0)(random) < normalShare) return all.front();
  return all[1 + below(random, all.size() - 1)];
}

json wrongTypes(json value, std::mt19937_64& random) {
  mutate(value, random);
  return value;
}

std::string duplicateKeys(const json& value, std::mt19937_64& random) {
  std::string out;
  writeDuplicates(value, out, random);
  return out;
}

json hugeList(json value, std::size_t size) {
  if (!value.is_object()) value = json{{"result", 200}};
  bool padded = false;
  for (const char* list : {"camp", "housemd", "reward"}) {
    auto it = value.find(list);
    if (it == value.end() || !it->is_array() || it->empty()) continue;
    const json original = *it;
    for (std::size_t i = original.size(); i < size; ++i) {
      json copy = original[i % original.size()];
      if (copy.is_object() && copy.contains("campid") && copy["campid"].is_number_integer()) {
        copy["campid"] = copy["campid"].get<long long>() + 1'000'000LL * static_cast<long long>(i);
      }
      it->push_back(std::move(copy));
    }
    padded = true;
  }
  if (!padded) value["pad"] = json(std::vector<int>(size, 7));
  return value;
}

std::string deepNesting(std::size_t depth) {
  return R"({"result":200,"camp":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

std::string otherJson(std::mt19937_64& random) {
  static const char* const kDocuments[] = {"[]",  "null", "\"result\"", "200", "{}", "[{\"result\":200}]",
                                           "true"};
  return kDocuments[below(random, std::size(kDocuments))];
}

std::string garbage(std::mt19937_64& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(below(random, 256));
  return bytes;
}

}  // namespace orvane::sandbox::chaos
