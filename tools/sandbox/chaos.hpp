#pragma once

// The sandbox's chaos draws and the JSON mutations they use. Internal to the server.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sandbox::chaos {

enum class Target { Json, Image, Page };

Target targetOf(std::string_view path);

// Every kind that can be drawn for a target, "normal" first.
const std::vector<std::string>& kinds(Target target);

// "normal" with probability `normalShare`, else any other kind of the target alike.
std::string draw(std::mt19937_64& random, Target target, double normalShare);

// The same document with some values swapped for values of other types.
nlohmann::json wrongTypes(nlohmann::json value, std::mt19937_64& random);

// Serialises with decoy members of other types before some keys; the last occurrence of
// each key is the true one.
std::string duplicateKeys(const nlohmann::json& value, std::mt19937_64& random);

// Campaign lists and reward rows padded to `size` entries (copies under fresh campids);
// an answer without such a list gets a "pad" array of that size.
nlohmann::json hugeList(nlohmann::json value, std::size_t size);

// An array nested `depth` deep inside an otherwise plausible answer.
std::string deepNesting(std::size_t depth);

// Valid JSON that is not an answer object: an array, null, a string, a number, {}.
std::string otherJson(std::mt19937_64& random);

std::string garbage(std::mt19937_64& random, std::size_t size);

}  // namespace orvane::sandbox::chaos
