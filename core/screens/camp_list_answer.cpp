#include "core/screens/camp_list_answer.hpp"

#include <utility>

#include "core/screens/camp_list_store.hpp"
#include "core/support/log_text.hpp"
#include "orvane/log.hpp"

namespace orvane {

Result<CampLists> readCampListAnswer(std::string_view body, const std::string& newline,
                                     std::string_view logName, std::optional<std::int64_t>* result) {
  const std::string text = listAnswerText(body, newline);
  auto decoded = decodeReq(text);
  if (!decoded.ok()) {
    Log::log(std::string(logName) + " Decoding Error", Log::Level::error());
    Log::log(decoded.error().description, Log::Level::error());
    return decoded.error();
  }
  Req req = std::move(decoded).value();
  if (result) *result = req.result;
  if (req.result != 200) {
    Log::log(std::string(logName) + " getReq Error : ", {optionalText(req.result)}, Log::Level::error());
  }
  return classify(std::move(req));
}

ShownCamps showCamps(const CampLists& lists, int tab, std::int64_t listType, SortMode mode) {
  ShownCamps shown;
  shown.choice = chooseKind(lists);
  if (!shown.choice.selected) return shown;
  shown.kind =
      shown.choice.result == KindChoice::Result::bothKinds ? kindForTab(tab) : *shown.choice.selected;
  shown.sorted = setSort(campListOf(lists, *shown.kind), houseListOf(lists, *shown.kind), listType, mode);
  return shown;
}

}  // namespace orvane
