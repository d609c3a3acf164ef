#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.hpp"

// The inquiry form's rules, free of any toolkit: the request kinds, the chosen kind and
// campaign, the placeholder, the screenshot limits and the checks made before sending.
// The screen (ui/inquiry/request_view_controller) shows what this decides. GUI thread.
namespace orvane::inquiry {

// Largest accepted screenshot, in bytes of its JPEG encoding at ApiProvider's quality.
inline constexpr std::size_t kMaxScreenshotBytes = std::size_t{3} * 1024 * 1024;
// Screenshots one inquiry carries at most.
inline constexpr int kMaxScreenshots = 3;

struct RequestType {
  std::string title;  // localised once, when the form is made
  std::string code;   // sent as `cstype`
};

// The code of the kind that asks for a campaign (a reward that did not arrive).
inline constexpr std::string_view kRewardCode = "reward";

// A Korean mobile number as typed: "01", then 0, 1 or 7, then 7 or 8 digits; the whole
// text, so no separators, spaces or line breaks anywhere.
bool isPhoneNumber(std::string_view text);
// local@domain.tld as typed: the local part of letters, digits and ._%+-, the domain of
// letters, digits, dots and hyphens, ending in a dot and 2 to 64 ASCII letters.
bool isEmailAddress(std::string_view text);

bool screenshotFits(std::size_t jpegBytes);
// "imgData.count:<b> / maxSize:3145728", the line written for every measured picture.
std::string screenshotSizeLogLine(std::size_t jpegBytes);
// How many more pictures may be picked with `shown` thumbnails and `loading` pictures
// still being read; never negative.
int picturesAllowed(int shown, int loading);

// What the user typed, as the fields hold it.
struct Entries {
  std::string name;
  std::string phone;
  std::string email;
  std::string inquiry;
};

// What is sent for a valid form.
struct Submission {
  std::string name;
  std::string email;
  std::string tel;
  std::string cstype;
  std::int64_t campid = 0;
  std::string content;
};

// One entry of a picker sheet.
struct SheetEntry {
  std::string title;
  bool checked = false;
};

class InquiryForm {
 public:
  // The four kinds and the texts are localised now.
  InquiryForm();

  const std::vector<RequestType>& typeList() const { return typeList_; }

  // The kind, by its row in typeList; out-of-range rows are ignored.
  void chooseKind(std::size_t row);
  std::optional<std::size_t> kind() const { return kind_; }
  // The chosen kind's title, or the prompt "ov_request_type_select".
  std::string kindText() const;
  std::vector<SheetEntry> kindSheet() const;
  // Only the reward kind asks for a campaign.
  bool campaignRowVisible() const;

  // The campaigns to choose from, as the server sent them (absent until it has). A
  // chosen campaign stays chosen if the new list still holds its row and id.
  void setCampaigns(std::optional<std::vector<Camp>> campaigns);
  const std::optional<std::vector<Camp>>& campaigns() const { return campaigns_; }
  bool hasCampaigns() const { return campaigns_ && !campaigns_->empty(); }
  // The campaign by its row; kept by row and id, so that two campaigns of the same name
  // stay apart. Out-of-range rows are ignored.
  void chooseCampaign(std::size_t row);
  // The chosen campaign's name, or the prompt "ov_ad_select".
  std::string campaignText() const;
  std::optional<std::int64_t> chosenCampaignId() const;
  std::vector<SheetEntry> campaignSheet() const;

  // The inquiry view's placeholder; shown, never held as text, never sent.
  const std::string& placeholder() const { return placeholder_; }
  // The inquiry text to send: empty when it is only the placeholder.
  std::string inquiryContent(std::string_view text) const;

  // The notice key of the first failing check, in this order: every field holds text
  // ("ov_enter_all"), a kind is chosen ("ov_enter_all"), a campaign is chosen while the
  // kind asks for one ("ov_enter_all"), the phone number ("ov_not_phone_form"), the
  // e-mail address ("ov_not_email_form"). Nothing when the form may be sent.
  std::optional<std::string> validate(const Entries& entries) const;
  // What a valid form sends. The campaign chosen earlier is sent even if a later kind hid
  // its row (the operator sees what the user picked); 0 when none was chosen.
  Submission submission(const Entries& entries) const;

 private:
  std::vector<RequestType> typeList_;
  std::string kindPrompt_;
  std::string campaignPrompt_;
  std::string placeholder_;
  std::optional<std::size_t> kind_;
  std::optional<std::vector<Camp>> campaigns_;
  std::optional<std::size_t> campaignRow_;
  std::int64_t campaignId_ = 0;
};

}  // namespace orvane::inquiry
