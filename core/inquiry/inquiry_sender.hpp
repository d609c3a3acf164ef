#pragma once

#include <memory>
#include <vector>

#include "core/api/api_list.hpp"
#include "core/inquiry/inquiry_form.hpp"

namespace orvane::inquiry {

// Sends an inquiry with its screenshots (ApiList::postCS), building the request on the
// platform's executor: encoding three large pictures as JPEG takes far longer than a
// frame, so it must not happen on the GUI thread. The builder is made here, on the
// calling thread, and only used on the executor afterwards.
//
// `completion` runs once, on the HTTP session's worker (or on the executor when the
// request cannot be formed), unless the handle is dropped first; dropping it also
// cancels a transfer that has started. Use it through `fetch` to land on the main thread.
RequestHandle sendInquiry(const std::shared_ptr<const Platform>& platform, const Submission& submission,
                          std::vector<ImagePtr> screenshots, ApiList::Completion completion);

}  // namespace orvane::inquiry
