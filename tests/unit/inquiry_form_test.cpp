#include "core/inquiry/inquiry_form.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/support/image_bounds.hpp"
#include "orvane/localized.hpp"

namespace orvane::inquiry {
namespace {

TEST(InquiryRules, PhoneNumberMatchesTheWholeTextWithZeroOneOrSevenThird) {
  for (const char* good : {"0101234567", "01012345678", "0111234567", "01712345678"})
    EXPECT_TRUE(isPhoneNumber(good)) << good;
  for (const char* bad : {
           "0161234567",     // 6 in the third place
           "01,12345678",    // the comma the old bracket let through
           "01 12345678",    // and the space
           "010-1234-5678",  // separators
           "01012345678\n",  // a trailing line feed
           "01012345678 ",   // a trailing space
           " 01012345678",   // a leading one
           "010123456",      // 9 characters
           "010123456789",   // 12 characters
           "0101234567a",    // a letter
           "",               //
       }) {
    EXPECT_FALSE(isPhoneNumber(bad)) << '"' << bad << '"';
  }
}

TEST(InquiryRules, EmailAddressNeedsADotAndTwoToSixtyFourLettersAtTheEnd) {
  const std::string letters64(64, 'a');
  const std::vector<std::string> goods = {"a@b.co", "first.last+tag_%@sub.example-site.org",
                                          "a@b.c." + letters64, "A1@x-y.ZZ"};
  for (const std::string& good : goods) EXPECT_TRUE(isEmailAddress(good)) << good;
  const std::vector<std::string> bads = {
      std::string("a@b.c"),              // one letter
      "a@b." + letters64 + "a",          // 65 letters
      std::string("a@bco"),              // no dot after the at sign
      std::string("a@.co"),              // nothing before that dot
      std::string("a@b.c0"),             // a digit in the last part
      std::string("a@b.co."),            // ending in a dot
      std::string("a@b.co\n"),           // a trailing line feed
      std::string("@b.co"),              // no local part
      std::string("a b@c.co"),           // a space
      std::string("a@b@c.co"),           // two at signs
      std::string("\xED\x95\x9C@b.co"),  // a letter outside ASCII
  };
  for (const std::string& bad : bads) {
    EXPECT_FALSE(isEmailAddress(bad)) << '"' << bad << '"';
  }
}

TEST(InquiryRules, ScreenshotLimits) {
  EXPECT_TRUE(screenshotFits(3'145'728));
  EXPECT_FALSE(screenshotFits(3'145'729));
  EXPECT_EQ(screenshotSizeLogLine(3'145'729), "imgData.count:3145729 / maxSize:3145728");
  EXPECT_EQ(picturesAllowed(0, 0), 3);
  EXPECT_EQ(picturesAllowed(2, 0), 1);
  EXPECT_EQ(picturesAllowed(1, 1), 1);  // pictures still loading count
  EXPECT_EQ(picturesAllowed(3, 0), 0);
  EXPECT_EQ(picturesAllowed(2, 5), 0);
  EXPECT_TRUE(fitsDecodeBound(4000, 3000));
  EXPECT_TRUE(fitsDecodeBound(8192, 8192));
  EXPECT_FALSE(fitsDecodeBound(8192, 8193));
  EXPECT_FALSE(fitsDecodeBound(1, kMaxDecodedPixels + 1));
  EXPECT_FALSE(fitsDecodeBound(0, 10));
  EXPECT_FALSE(fitsDecodeBound(std::int64_t{1} << 40, std::int64_t{1} << 40));  // no overflow
}

Camp camp(std::int64_t id, std::string name) {
  Camp c;
  c.campid = id;
  c.name = std::move(name);
  return c;
}

std::size_t rowOf(const InquiryForm& form, const std::string& code) {
  for (std::size_t i = 0; i < form.typeList().size(); ++i)
    if (form.typeList()[i].code == code) return i;
  return form.typeList().size();
}

class InquiryFormTest : public ::testing::Test {
 protected:
  InquiryForm form;
  Entries good{"Kim", "01012345678", "kim@example.com", "Where is my reward?"};
};

TEST_F(InquiryFormTest, KindsAndPrompts) {
  ASSERT_EQ(form.typeList().size(), 4u);
  EXPECT_EQ(form.typeList()[0].code, "join");
  EXPECT_EQ(form.typeList()[1].title, localized("ov_request_type_savings"));
  EXPECT_EQ(form.typeList()[1].code, "reward");
  EXPECT_EQ(form.typeList()[2].code, "error");
  EXPECT_EQ(form.typeList()[3].code, "etc");
  EXPECT_EQ(form.kindText(), localized("ov_request_type_select"));
  EXPECT_EQ(form.campaignText(), localized("ov_ad_select"));
  form.chooseKind(9);  // out of range: nothing chosen
  EXPECT_FALSE(form.kind());
  form.chooseKind(rowOf(form, "error"));
  EXPECT_EQ(form.kindText(), form.typeList()[2].title);
  EXPECT_FALSE(form.campaignRowVisible());
  const auto sheet = form.kindSheet();
  ASSERT_EQ(sheet.size(), 4u);
  EXPECT_TRUE(sheet[2].checked);
  EXPECT_FALSE(sheet[0].checked || sheet[1].checked || sheet[3].checked);
  form.chooseKind(rowOf(form, "reward"));
  EXPECT_TRUE(form.campaignRowVisible());
}

TEST_F(InquiryFormTest, ValidatesInOrder) {
  form.chooseKind(rowOf(form, "reward"));
  // Step 1 comes before everything, the placeholder counting as no text.
  EXPECT_EQ(form.validate({"", "bad", "bad", "x"}), "ov_enter_all");
  EXPECT_EQ(form.validate({"Kim", "bad", "bad", form.placeholder()}), "ov_enter_all");
  // A name of spaces is a name; the missing campaign of the reward kind is next.
  EXPECT_EQ(form.validate({"  ", "bad", "bad", "x"}), "ov_enter_all");
  form.setCampaigns(std::vector<Camp>{camp(7, "Seven")});
  form.chooseCampaign(0);
  // Phone before e-mail.
  EXPECT_EQ(form.validate({"  ", "bad", "bad", "x"}), "ov_not_phone_form");
  EXPECT_EQ(form.validate({"  ", "01012345678", "bad", "x"}), "ov_not_email_form");
  EXPECT_EQ(form.validate({"  ", "01012345678", "a@b.co", "x"}), std::nullopt);

  InquiryForm fresh;
  EXPECT_EQ(fresh.validate(good), "ov_enter_all");  // no kind chosen
}

TEST_F(InquiryFormTest, CampaignOnlyRequiredWhileItsRowShowsAndKeptWhenHidden) {
  form.setCampaigns(std::vector<Camp>{camp(7, "Seven"), camp(8, "Eight")});
  form.chooseKind(rowOf(form, "reward"));
  EXPECT_EQ(form.validate(good), "ov_enter_all");
  form.chooseKind(rowOf(form, "etc"));
  ASSERT_EQ(form.validate(good), std::nullopt);
  EXPECT_EQ(form.submission(good).campid, 0);
  EXPECT_EQ(form.submission(good).cstype, "etc");

  form.chooseKind(rowOf(form, "reward"));
  form.chooseCampaign(1);
  form.chooseKind(rowOf(form, "join"));  // hides the row; the choice stays
  const auto sent = form.submission(good);
  EXPECT_EQ(sent.campid, 8);
  EXPECT_EQ(sent.cstype, "join");
  EXPECT_EQ(sent.tel, good.phone);
  EXPECT_EQ(sent.email, good.email);
  EXPECT_EQ(sent.content, good.inquiry);
}

TEST_F(InquiryFormTest, CampaignKeptByRowAndIdNotByName) {
  form.setCampaigns(std::vector<Camp>{camp(1, "Same"), camp(2, "Same"), camp(-1, "")});
  form.chooseCampaign(1);
  EXPECT_EQ(form.chosenCampaignId(), 2);
  EXPECT_EQ(form.campaignText(), "Same");
  auto sheet = form.campaignSheet();
  ASSERT_EQ(sheet.size(), 3u);
  EXPECT_FALSE(sheet[0].checked);
  EXPECT_TRUE(sheet[1].checked);
  // A campaign without a name or id is offered and sent as it is.
  form.chooseCampaign(2);
  EXPECT_EQ(form.campaignText(), "");
  EXPECT_EQ(form.chosenCampaignId(), -1);
  form.chooseCampaign(1);
  // The same list again keeps the choice; a list without it drops it.
  form.setCampaigns(std::vector<Camp>{camp(1, "Same"), camp(2, "Same")});
  EXPECT_EQ(form.chosenCampaignId(), 2);
  form.setCampaigns(std::vector<Camp>{camp(1, "Same"), camp(3, "Same")});
  EXPECT_FALSE(form.chosenCampaignId());
  EXPECT_EQ(form.campaignText(), localized("ov_ad_select"));
  form.setCampaigns(std::nullopt);
  EXPECT_FALSE(form.hasCampaigns());
  form.chooseCampaign(0);
  EXPECT_FALSE(form.chosenCampaignId());
}

TEST_F(InquiryFormTest, PlaceholderIsNeverSent) {
  EXPECT_EQ(form.inquiryContent(form.placeholder()), "");
  EXPECT_EQ(form.inquiryContent(form.placeholder() + " "), form.placeholder() + " ");
}

}  // namespace
}  // namespace orvane::inquiry
