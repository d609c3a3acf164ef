#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "core/api/records.hpp"

// One description per record: its fields with their JSON key, member and rule. Both JSON
// readers and the campaign writer are driven by these tables, so a new field is one line here.
//
// Rules:
// - strict: missing or null leaves the member absent; any other type fails the whole record.
// - tolerant: missing, null or the wrong type gives the fallback (absent for an optional
//   member); the record never fails because of the field.
// The member's type says what is read: int64, double, string, a list of those or of a
// described record (read by that record's own table).

namespace orvane::records {

// What a tolerant member falls back to: its own type, text for a string, absent for an optional.
template <class T>
struct FallbackOf {
  using type = T;
};
template <>
struct FallbackOf<std::string> {
  using type = std::string_view;
};
template <class T>
struct FallbackOf<std::optional<T>> {
  using type = std::nullopt_t;
};

template <class R, class T>
struct StrictField {
  static constexpr bool strict = true;
  std::string_view key;
  std::optional<T> R::*member;
};

template <class R, class T>
struct TolerantField {
  static constexpr bool strict = false;
  std::string_view key;
  T R::*member;
  typename FallbackOf<T>::type fallback;
};

template <class R, class T>
constexpr StrictField<R, T> strict(std::string_view key, std::optional<T> R::*member) {
  return {key, member};
}

template <class R, class T>
constexpr TolerantField<R, T> tolerant(std::string_view key, T R::*member,
                                       typename FallbackOf<T>::type fallback) {
  return {key, member, fallback};
}

// A tolerant optional member falls back to absent.
template <class R, class T>
constexpr TolerantField<R, std::optional<T>> tolerant(std::string_view key, std::optional<T> R::*member) {
  return {key, member, std::nullopt};
}

// Specialised for every record: `name` (the first word of its error descriptions) and
// `fields`, a tuple of field descriptions in declaration order.
template <class R>
struct Fields;

template <class R>
concept Described = requires {
  Fields<R>::name;
  Fields<R>::fields;
};

template <Described R>
inline constexpr std::size_t kFieldCount =
    std::tuple_size_v<std::remove_cvref_t<decltype(Fields<R>::fields)>>;

// clang-format off
template <>
struct Fields<Camp> {
  static constexpr std::string_view name = "Camp";
  static constexpr auto fields = std::tuple{
      tolerant("campid", &Camp::campid, -1),
      tolerant("bm", &Camp::bm, -1),
      tolerant("bmcheck", &Camp::bmcheck, 0),
      tolerant("name", &Camp::name, ""),
      tolerant("engname", &Camp::engname, ""),
      tolerant("detailpage", &Camp::detailpage, 0),
      tolerant("package", &Camp::package, ""),
      tolerant("ctvurl", &Camp::ctvurl, ""),
      tolerant("ctvwidth", &Camp::ctvwidth, 0),
      tolerant("ctvheight", &Camp::ctvheight, 0),
      tolerant("nativeurl", &Camp::nativeurl),
      tolerant("iconurl", &Camp::iconurl),
      tolerant("viewurl", &Camp::viewurl),
      tolerant("joindesc", &Camp::joindesc, ""),
      tolerant("rewardcondition", &Camp::rewardcondition, 0),
      tolerant("rewarddesc", &Camp::rewarddesc, ""),
      tolerant("notice", &Camp::notice, ""),
      tolerant("cta", &Camp::cta, ""),
      tolerant("category", &Camp::category, 0),
      tolerant("rewardprice", &Camp::rewardprice, 0.0),
      tolerant("pricemark", &Camp::pricemark, ""),
      tolerant("cpsprice", &Camp::cpsprice, 0),
      tolerant("cpsdcprice", &Camp::cpsdcprice, 0),
      tolerant("carrier", &Camp::carrier, ""),
      tolerant("targetagemin", &Camp::targetagemin, 0),
      tolerant("targetagemax", &Camp::targetagemax, 0),
      tolerant("gender", &Camp::gender, 0),
      tolerant("targetpkg", &Camp::targetpkg),
      tolerant("detargetpkg", &Camp::detargetpkg),
      tolerant("ovnkey", &Camp::ovnkey),
      tolerant("convflag", &Camp::convflag, 0),
      tolerant("orderseq", &Camp::orderseq, 0),
      tolerant("rewarddate", &Camp::rewarddate, ""),
      tolerant("rewardtype", &Camp::rewardtype, -1),
  };
};

template <>
struct Fields<Req> {
  static constexpr std::string_view name = "Req";
  static constexpr auto fields = std::tuple{
      strict("result", &Req::result),
      strict("errmsg", &Req::errmsg),
      strict("adtype", &Req::adtype),
      strict("rewardtype", &Req::rewardtype),
      strict("pricedecimal", &Req::pricedecimal),
      strict("camp", &Req::camp),
      strict("housemd", &Req::housemd),
  };
};

template <>
struct Fields<Reward> {
  static constexpr std::string_view name = "Reward";
  static constexpr auto fields = std::tuple{
      strict("campid", &Reward::campid),
      strict("name", &Reward::name),
      strict("rewardprice", &Reward::rewardprice),
      strict("rewardmark", &Reward::rewardmark),
      strict("rewarddate", &Reward::rewarddate),
      strict("bm", &Reward::bm),
  };
};

template <>
struct Fields<RewardList> {
  static constexpr std::string_view name = "RewardList";
  static constexpr auto fields = std::tuple{
      strict("result", &RewardList::result),
      strict("reward", &RewardList::reward),
  };
};

template <>
struct Fields<ResultData> {
  static constexpr std::string_view name = "ResultData";
  static constexpr auto fields = std::tuple{
      strict("result", &ResultData::result),
  };
};

template <>
struct Fields<AgreeContents> {
  static constexpr std::string_view name = "AgreeContents";
  static constexpr auto fields = std::tuple{
      strict("result", &AgreeContents::result),
      strict("cs_agree_contents", &AgreeContents::cs_agree_contents),
  };
};

template <>
struct Fields<VelmontNotice> {
  static constexpr std::string_view name = "VelmontNotice";
  static constexpr auto fields = std::tuple{
      strict("result", &VelmontNotice::result),
      strict("text", &VelmontNotice::text),
  };
};

template <>
struct Fields<Join> {
  static constexpr std::string_view name = "Join";
  static constexpr auto fields = std::tuple{
      strict("result", &Join::result),
      strict("ovnkey", &Join::ovnkey),
      strict("lurl", &Join::lurl),
  };
};

template <>
struct Fields<State> {
  static constexpr std::string_view name = "State";
  static constexpr auto fields = std::tuple{
      strict("result", &State::result),
      strict("ovnkey", &State::ovnkey),
      strict("state", &State::state),
  };
};
// clang-format on

}  // namespace orvane::records
