#include "fuzz/decode_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return orvane::fuzz::run<orvane::ResultData>(data, size);
}
