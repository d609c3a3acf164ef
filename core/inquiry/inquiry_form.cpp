#include "core/inquiry/inquiry_form.hpp"

#include <algorithm>

#include "orvane/localized.hpp"

namespace orvane::inquiry {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isLocalChar(char c) {
  return isLetter(c) || isDigit(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}

bool isDomainChar(char c) { return isLetter(c) || isDigit(c) || c == '.' || c == '-'; }

constexpr std::size_t kMinTld = 2;
constexpr std::size_t kMaxTld = 64;

}  // namespace

bool isPhoneNumber(std::string_view text) {
  if (text.size() != 10 && text.size() != 11) return false;
  if (text[0] != '0' || text[1] != '1') return false;
  if (text[2] != '0' && text[2] != '1' && text[2] != '7') return false;
  return std::all_of(text.begin() + 3, text.end(), isDigit);
}

bool isEmailAddress(std::string_view text) {
  const auto at = text.find('@');
  if (at == std::string_view::npos || at == 0) return false;
  const auto local = text.substr(0, at);
  const auto domain = text.substr(at + 1);
  if (!std::all_of(local.begin(), local.end(), isLocalChar)) return false;
  if (!std::all_of(domain.begin(), domain.end(), isDomainChar)) return false;
  // The last part holds letters only, so it can only start after the last dot.
  const auto dot = domain.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const auto tld = domain.substr(dot + 1);
  return tld.size() >= kMinTld && tld.size() <= kMaxTld && std::all_of(tld.begin(), tld.end(), isLetter);
}

bool screenshotFits(std::size_t jpegBytes) { return jpegBytes <= kMaxScreenshotBytes; }

std::string screenshotSizeLogLine(std::size_t jpegBytes) {
  return "imgData.count:" + std::to_string(jpegBytes) + " / maxSize:" + std::to_string(kMaxScreenshotBytes);
}

int picturesAllowed(int shown, int loading) {
  return std::max(0, kMaxScreenshots - std::max(0, shown) - std::max(0, loading));
}

InquiryForm::InquiryForm()
    : typeList_{{localized("ov_request_type_participate"), "join"},
                {localized("ov_request_type_savings"), std::string(kRewardCode)},
                {localized("ov_request_type_service_obstacle"), "error"},
                {localized("ov_request_type_etc"), "etc"}},
      kindPrompt_(localized("ov_request_type_select")),
      campaignPrompt_(localized("ov_ad_select")),
      placeholder_(localized("ov_input_inquiry")) {}

void InquiryForm::chooseKind(std::size_t row) {
  if (row < typeList_.size()) kind_ = row;
}

std::string InquiryForm::kindText() const { return kind_ ? typeList_[*kind_].title : kindPrompt_; }

std::vector<SheetEntry> InquiryForm::kindSheet() const {
  std::vector<SheetEntry> entries;
  for (std::size_t i = 0; i < typeList_.size(); ++i) entries.push_back({typeList_[i].title, kind_ == i});
  return entries;
}

bool InquiryForm::campaignRowVisible() const { return kind_ && typeList_[*kind_].code == kRewardCode; }

void InquiryForm::setCampaigns(std::optional<std::vector<Camp>> campaigns) {
  campaigns_ = std::move(campaigns);
  const bool stillThere = campaignRow_ && campaigns_ && *campaignRow_ < campaigns_->size() &&
                          (*campaigns_)[*campaignRow_].campid == campaignId_;
  if (!stillThere) {
    campaignRow_.reset();
    campaignId_ = 0;
  }
}

void InquiryForm::chooseCampaign(std::size_t row) {
  if (!campaigns_ || row >= campaigns_->size()) return;
  campaignRow_ = row;
  campaignId_ = (*campaigns_)[row].campid;
}

std::string InquiryForm::campaignText() const {
  return campaignRow_ ? (*campaigns_)[*campaignRow_].name : campaignPrompt_;
}

std::optional<std::int64_t> InquiryForm::chosenCampaignId() const {
  if (!campaignRow_) return std::nullopt;
  return campaignId_;
}

std::vector<SheetEntry> InquiryForm::campaignSheet() const {
  std::vector<SheetEntry> entries;
  if (!campaigns_) return entries;
  for (std::size_t i = 0; i < campaigns_->size(); ++i)
    entries.push_back({(*campaigns_)[i].name, campaignRow_ == i});
  return entries;
}

std::string InquiryForm::inquiryContent(std::string_view text) const {
  if (text == placeholder_) return {};
  return std::string(text);
}

std::optional<std::string> InquiryForm::validate(const Entries& entries) const {
  if (entries.name.empty() || entries.phone.empty() || entries.email.empty() ||
      inquiryContent(entries.inquiry).empty()) {
    return "ov_enter_all";
  }
  if (!kind_) return "ov_enter_all";
  if (campaignRowVisible() && !campaignRow_) return "ov_enter_all";
  if (!isPhoneNumber(entries.phone)) return "ov_not_phone_form";
  if (!isEmailAddress(entries.email)) return "ov_not_email_form";
  return std::nullopt;
}

Submission InquiryForm::submission(const Entries& entries) const {
  Submission s;
  s.name = entries.name;
  s.email = entries.email;
  s.tel = entries.phone;
  s.cstype = kind_ ? typeList_[*kind_].code : std::string();
  s.campid = chosenCampaignId().value_or(0);
  s.content = inquiryContent(entries.inquiry);
  return s;
}

}  // namespace orvane::inquiry
