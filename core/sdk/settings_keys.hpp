#pragma once

// The persisted settings: the keys are the interface between the facade, which
// writes them, and their readers, which read them when they run.
namespace orvane::keys {
inline constexpr const char* kMkey = "STANDARD_MKEY";             // string
inline constexpr const char* kMckey = "STANDARD_MCKEY";           // string
inline constexpr const char* kUserId = "STANDARD_USER_ID";        // string
inline constexpr const char* kMainTitle = "STANDARD_MAIN_TITLE";  // string
inline constexpr const char* kListType = "STANDARD_LIST_TYPE";    // integer, 0 when absent
inline constexpr const char* kGender = "STANDARD_GENDER";         // string, "0" when absent
inline constexpr const char* kAge = "STANDARD_AGE";               // integer, 0 when absent
inline constexpr const char* kBenefitsDisplayType = "STANDARD_BENEFITS_DISPLAY_TYPE";  // integer, 0
inline constexpr const char* kCopyrightVisibility = "STANDARD_COPYRIGHT_VISIBILITY";   // Boolean, false
inline constexpr const char* kTrackingUsage =
    "STANDARD_TRACKING_USAGE";                              // Boolean; true registered by initialize
inline constexpr const char* kLastCleanup = "lastCleanup";  // image cache's date
}  // namespace orvane::keys
