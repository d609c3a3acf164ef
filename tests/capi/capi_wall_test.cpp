// The C API against a local operator server: the list as the wall orders it, every
// failure family, the participation flow with its alerts as data, texts, images, the
// inquiry, and where and when callbacks run.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/screens/camp_list_answer.hpp"
#include "orvane/localized.hpp"
#include "tests/capi/capi_test_support.hpp"

using namespace capi_test;

// The packaged server library is not built with ThreadSanitizer: the lazy statics it
// shares between its pool threads look racy from outside.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }

namespace {

// What the Qt list screen shows for the same answer: it reads it with
// readCampListAnswer and orders by the sort button's title (orvane_view_controller.cpp).
std::vector<std::int64_t> wallOrder(const std::string& body, int tab, orvane::SortMode mode) {
  const auto titles = orvane::SortTitles::localizedTitles();
  const std::string& title = mode == orvane::SortMode::high  ? titles.high
                             : mode == orvane::SortMode::low ? titles.low
                                                             : titles.init;
  auto lists = orvane::readCampListAnswer(body, orvane::localized("ascii_newline"), "test");
  const auto choice = orvane::chooseKind(lists.value());
  const auto kind =
      choice.result == orvane::KindChoice::Result::bothKinds ? orvane::kindForTab(tab) : *choice.selected;
  const auto sorted = orvane::setSort(orvane::campListOf(lists.value(), kind),
                                      orvane::houseListOf(lists.value(), kind), 0, title, titles);
  std::vector<std::int64_t> ids;
  for (const auto& c : sorted.selectedAllCampList) ids.push_back(c.campid);
  return ids;
}

orvane_list_info infoOf(const orvane_campaign_list* list) {
  orvane_list_info info{};
  info.struct_size = sizeof info;
  orvane_list_get_info(list, &info);
  return info;
}

}  // namespace

TEST(CApiList, OrdersEveryTabAndModeAsTheWallDoes) {
  LocalServer server;
  // Ties, a NaN-free spread of prices, confirmed campaigns and out-of-range house slots.
  server.answers["/v1/req"] = "{\"result\":200,\"rewardtype\":1,\"camp\":[" + camp(1, 1, 100) + "," +
                              camp(2, 2, 300, 0, 1) + "," + camp(3, 4, 50) + "," + camp(4, 3, 700) + "," +
                              camp(5, 4, 900) + "," + camp(6, 1, 300) + "," + camp(7, 4, 50, 0, 1) +
                              "],\"housemd\":[" + camp(90, 1, 10, 2) + "," + camp(91, 4, 20, 1) + "," +
                              camp(92, 2, 5, 99) + "]}";
  server.start();
  Host host;
  host.connect(server);
  ListOutcome out;
  ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr), ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  ASSERT_NE(out.list, nullptr) << orvane_status_text(out.status);

  const auto info = infoOf(out.list);
  EXPECT_EQ(info.choice, ORVANE_CHOICE_BOTH);
  EXPECT_EQ(info.tabs_shown, 1);
  EXPECT_STREQ(info.reward_mark, "P");
  EXPECT_DOUBLE_EQ(info.reward_total, 100 + 300 + 50 + 700 + 900 + 300 + 50 + 10 + 20 + 5);
  EXPECT_STREQ(info.reward_text, "2,435 P");
  EXPECT_TRUE(host.hasEvent(ORVANE_EVENT_LIST_LOADED));

  const std::string body = server.answers["/v1/req"];
  for (int tab : {0, 1}) {
    for (auto [sort, mode] : {std::pair{ORVANE_SORT_INIT, orvane::SortMode::init},
                              std::pair{ORVANE_SORT_HIGH, orvane::SortMode::high},
                              std::pair{ORVANE_SORT_LOW, orvane::SortMode::low}}) {
      ASSERT_EQ(orvane_list_select(out.list, tab, sort), ORVANE_OK);
      EXPECT_EQ(campids(out.list), wallOrder(body, tab, mode)) << "tab " << tab << " sort " << sort;
    }
  }
  // House campaigns are marked where they were placed.
  ASSERT_EQ(orvane_list_select(out.list, 0, ORVANE_SORT_INIT), ORVANE_OK);
  for (std::size_t i = 0; i < infoOf(out.list).count; ++i) {
    const orvane_campaign* c = nullptr;
    std::int64_t id = 0;
    int house = 0;
    orvane_list_campaign(out.list, i, &c);
    orvane_campaign_int(c, ORVANE_CAMP_CAMPID, &id);
    orvane_campaign_is_house(c, &house);
    EXPECT_EQ(house == 1, id >= 90) << id;
  }
  EXPECT_EQ(orvane_sort_next(ORVANE_SORT_LOW), ORVANE_SORT_INIT);
  EXPECT_EQ(host.offMainCallbacks, 0);
  EXPECT_EQ(host.outsideCallbacks, 0);
}

TEST(CApiList, EachFailureFamilyHasItsCode) {
  LocalServer server;
  server.answers["/v1/view"] = "not json";
  server.answers["/api/cs/user_reward_list"] = "{\"result\":401}";
  server.statuses["/v1/req"] = 500;
  server.start();
  Host host;

  struct Case {
    const char* what;
    std::function<void(Host&)> setUp;
    orvane_status expected;
  };
  // Not initialised, then a server that refuses connections, then HTTP 500.
  ListOutcome notInitialized;
  orvane_set_servers(host.sdk, server.url("/v1").c_str(), server.url("/api").c_str(), nullptr);
  ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &notInitialized, nullptr),
            ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return notInitialized.done; }));
  EXPECT_EQ(notInitialized.status, ORVANE_E_NOT_INITIALIZED);
  EXPECT_EQ(notInitialized.list, nullptr);

  orvane_initialize(host.sdk, "m", "mc", "u");
  ListOutcome badUrl;
  orvane_set_servers(host.sdk, "http://[::1", nullptr, nullptr);
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &badUrl, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return badUrl.done; }));
  EXPECT_EQ(badUrl.status, ORVANE_E_INVALID_URL);

  ListOutcome refused;
  orvane_set_servers(host.sdk, "http://127.0.0.1:1/v1", nullptr, nullptr);
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &refused, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return refused.done; }));
  EXPECT_EQ(refused.status, ORVANE_E_NETWORK);

  host.connect(server);
  ListOutcome http;
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &http, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return http.done; }));
  EXPECT_EQ(http.status, ORVANE_E_HTTP_STATUS);
  EXPECT_EQ(http.httpStatus, 500);

  // Decoding and the server's own result, through the text and history calls.
  struct TextOut {
    bool done = false;
    orvane_status status = ORVANE_OK;
  } view;
  orvane_load_view(
      host.sdk, 1,
      [](const orvane_error* e, const char*, size_t, void* self) {
        auto* out = static_cast<TextOut*>(self);
        out->done = true;
        out->status = e ? e->status : ORVANE_OK;
      },
      &view, nullptr);
  struct HistoryOut {
    bool done = false;
    orvane_status status = ORVANE_OK;
    std::int64_t result = 0;
  } history;
  orvane_load_reward_history(
      host.sdk, ORVANE_REWARDS_ALL, ORVANE_PERIOD_WEEK,
      [](const orvane_error* e, orvane_reward_history* h, void* self) {
        auto* out = static_cast<HistoryOut*>(self);
        out->done = true;
        out->status = e ? e->status : ORVANE_OK;
        out->result = e ? e->server_result : 0;
        orvane_history_free(h);
      },
      &history, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return view.done && history.done; }));
  EXPECT_EQ(view.status, ORVANE_E_DECODING);
  EXPECT_EQ(history.status, ORVANE_E_SERVER_RESULT);
  EXPECT_EQ(history.result, 401);
  // Every failure was also an error event.
  EXPECT_EQ(std::count_if(host.events.begin(), host.events.end(),
                          [](const auto& e) { return e.type == ORVANE_EVENT_ERROR; }),
            6);
}

TEST(CApiFlow, TakesPartEndToEndWithAlertsAsData) {
  LocalServer server;
  server.start();
  Host host;
  host.connect(server);
  orvane_set_tracking_usage(host.sdk, 0);
  // The user presses each alert's last button: "confirm" after "cancel".
  host.onAlert = [&](const orvane_alert& alert) {
    ASSERT_GT(alert.button_count, 0u);
    EXPECT_EQ(orvane_alert_press(host.sdk, alert.id, alert.button_count - 1), ORVANE_OK);
    EXPECT_EQ(orvane_alert_press(host.sdk, alert.id, 0), ORVANE_E_NOT_FOUND);  // pressed once only
  };
  ListOutcome out;
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  ASSERT_NE(out.list, nullptr);
  // Campaign 2: bm 2 without bmcheck, so the user checks the participation.
  const orvane_campaign* chosen = nullptr;
  for (std::size_t i = 0; i < infoOf(out.list).count; ++i) {
    const orvane_campaign* c = nullptr;
    std::int64_t id = 0;
    orvane_list_campaign(out.list, i, &c);
    orvane_campaign_int(c, ORVANE_CAMP_CAMPID, &id);
    if (id == 2) chosen = c;
  }
  ASSERT_NE(chosen, nullptr);

  host.insideSdk = true;
  ASSERT_EQ(orvane_join(host.sdk, chosen), ORVANE_OK);
  host.insideSdk = false;
  ASSERT_TRUE(host.pumpUntil([&] { return host.hasEvent(ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE); }));
  EXPECT_TRUE(host.hasEvent(ORVANE_EVENT_PARTICIPATION_STARTED));
  ASSERT_FALSE(host.opened.empty());
  EXPECT_EQ(host.opened[0], "https://landing.example/x");
  std::int64_t pending[4] = {};
  std::size_t count = 0;
  ASSERT_EQ(orvane_pending_checks(host.sdk, pending, 4, &count), ORVANE_OK);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(pending[0], 2);

  host.insideSdk = true;
  ASSERT_EQ(orvane_check_participation(host.sdk, chosen), ORVANE_OK);
  host.insideSdk = false;
  // The exec answer's alert offers to start the app; confirmed, the app opens, the
  // install is reported and the poll confirms.
  ASSERT_TRUE(host.pumpUntil([&] { return host.hasEvent(ORVANE_EVENT_ACCUMULATION_POSSIBLE); }));
  ASSERT_GE(host.alerts.size(), 1u);
  EXPECT_EQ(host.alerts[0].buttons.size(), 2u);
  EXPECT_EQ(host.alerts[0].title, orvane::localized("ov_alarm"));
  EXPECT_EQ(host.opened.back(), "app2://start");
  const auto accumulation = std::find_if(host.events.begin(), host.events.end(), [](const auto& e) {
    return e.type == ORVANE_EVENT_ACCUMULATION_POSSIBLE;
  });
  EXPECT_EQ(accumulation->campid, 2);
  EXPECT_EQ(accumulation->ovnkey, "KEY-1");

  host.insideSdk = true;
  ASSERT_EQ(orvane_claim_reward(host.sdk, 2, "KEY-1"), ORVANE_OK);
  host.insideSdk = false;
  ASSERT_TRUE(host.pumpUntil([&] { return host.hasEvent(ORVANE_EVENT_LIST_CHANGED); }));
  EXPECT_TRUE(host.hasEvent(ORVANE_EVENT_REWARD_CLAIMED));
  const auto paths = server.paths();
  for (const char* path : {"/v1/join", "/v1/exec", "/v1/inst", "/v1/state", "/v1/reward"})
    EXPECT_NE(std::find(paths.begin(), paths.end(), path), paths.end()) << path;
  EXPECT_EQ(host.offMainCallbacks, 0);
  EXPECT_EQ(host.outsideCallbacks, 0);
}

TEST(CApiFlow, TrackingIsAskedThroughTheHostAndRemembered) {
  LocalServer server;
  server.start();
  Host host;
  host.connect(server);
  ListOutcome out;
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  const orvane_campaign* first = nullptr;
  orvane_list_campaign(out.list, 0, &first);
  host.insideSdk = true;
  ASSERT_EQ(orvane_join(host.sdk, first), ORVANE_OK);
  host.insideSdk = false;
  ASSERT_EQ(host.questions.size(), 1u);
  auto paths = server.paths();
  EXPECT_EQ(std::find(paths.begin(), paths.end(), "/v1/join"),
            paths.end());  // nothing sent before the answer
  ASSERT_EQ(orvane_answer_tracking(host.sdk, host.questions[0], 1), ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return host.hasEvent(ORVANE_EVENT_PARTICIPATION_STARTED); }));
  // Asked once: the next join goes straight to the server.
  host.insideSdk = true;
  orvane_join(host.sdk, first);
  host.insideSdk = false;
  EXPECT_EQ(host.questions.size(), 1u);
}

TEST(CApiThreads, PumpModeRunsEveryCallbackInsideThePump) {
  LocalServer server;
  server.start();
  Host host(false);  // no wake: the host pumps once a frame
  host.connect(server);
  ListOutcome out;
  int texts = 0;
  int images = 0;
  orvane_image_callback onImage = [](const orvane_error* e, const char*, const orvane_image* image,
                                     void* self) {
    ASSERT_EQ(e, nullptr) << e->message;
    ASSERT_EQ(image->width, 2);
    ASSERT_EQ(image->height, 1);
    // Red, then blue at alpha 0: RGBA as decoded, not premultiplied.
    EXPECT_EQ(image->rgba[0], 255);
    EXPECT_EQ(image->rgba[3], 255);
    EXPECT_EQ(image->rgba[7], 0);
    ++*static_cast<int*>(self);
  };
  orvane_text_callback onText = [](const orvane_error* e, const char* text, size_t, void* self) {
    ASSERT_EQ(e, nullptr) << e->message;
    EXPECT_STRNE(text, "");
    ++*static_cast<int*>(self);
  };
  orvane_load_list(host.sdk, 1, ORVANE_SORT_HIGH, ListOutcome::callback, &out, nullptr);
  orvane_load_notice(host.sdk, onText, &texts, nullptr);
  orvane_load_agreement(host.sdk, onText, &texts, nullptr);
  orvane_load_image(host.sdk, server.url("/img/ok.png").c_str(), onImage, &images, nullptr);
  // Between pumps nothing is called back, however long the SDK's threads work.
  ASSERT_TRUE(host.pumpUntil([&] { return out.done && texts == 2 && images == 1; }));
  // Again: now from the cache, without a download.
  auto paths = server.paths();
  const auto downloads = std::count(paths.begin(), paths.end(), "/img/ok.png");
  orvane_load_image(host.sdk, server.url("/img/ok.png").c_str(), onImage, &images, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return images == 2; }));
  paths = server.paths();
  EXPECT_EQ(std::count(paths.begin(), paths.end(), "/img/ok.png"), downloads);
  EXPECT_EQ(host.offMainCallbacks, 0);
  EXPECT_EQ(host.outsideCallbacks, 0);
}

TEST(CApiThreads, WakeModeAsksForAPumpAndCallbacksStillRunOnTheMainThread) {
  LocalServer server;
  server.start();
  Host host(true);
  host.connect(server);
  ListOutcome out;
  orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  {
    std::lock_guard lock(host.wakeMutex);
    EXPECT_GT(host.wakes, 0u);
    EXPECT_TRUE(host.wakesOffMain);  // the answer arrived on the SDK's threads
  }
  EXPECT_EQ(host.offMainCallbacks, 0);
  EXPECT_EQ(host.outsideCallbacks, 0);
}

TEST(CApiLifetime, CancelledAndDestroyedRequestsNeverCallBack) {
  LocalServer server;
  server.holdAt("/v1/req");
  server.start();
  int calls = 0;
  orvane_list_callback counting = [](const orvane_error*, orvane_campaign_list* list, void* self) {
    orvane_list_free(list);
    ++*static_cast<int*>(self);
  };
  {
    Host host;
    host.connect(server);
    orvane_request_id id = 0;
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, counting, &calls, &id), ORVANE_OK);
    EXPECT_NE(id, 0u);
    ASSERT_EQ(orvane_cancel(host.sdk, id), ORVANE_OK);
    EXPECT_EQ(orvane_cancel(host.sdk, id), ORVANE_E_NOT_FOUND);
    // One more in flight when the handle goes.
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, counting, &calls, nullptr), ORVANE_OK);
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (server.arrivedAtGate() < 1 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
  }  // destroyed with a request held by the server
  server.openGate();
  EXPECT_EQ(calls, 0);
}

TEST(CApiLifetime, DestroyingFromInsideACallbackIsSafe) {
  LocalServer server;
  server.start();
  auto host = std::make_unique<Host>();
  host->connect(server);
  struct State {
    orvane_sdk* sdk;
    orvane_status destroyed = ORVANE_E_INTERNAL;
    int calls = 0;
  } state{host->sdk};
  orvane_list_callback destroying = [](const orvane_error*, orvane_campaign_list* list, void* self) {
    auto* s = static_cast<State*>(self);
    orvane_list_free(list);
    if (++s->calls == 1) s->destroyed = orvane_destroy(s->sdk);
  };
  orvane_load_list(host->sdk, 0, ORVANE_SORT_INIT, destroying, &state, nullptr);
  orvane_load_list(host->sdk, 0, ORVANE_SORT_INIT, destroying, &state, nullptr);
  ASSERT_TRUE(host->pumpUntil([&] { return state.calls > 0; }));
  EXPECT_EQ(state.destroyed, ORVANE_OK);
  EXPECT_EQ(orvane_pump(state.sdk, nullptr), ORVANE_E_INVALID_HANDLE);
  EXPECT_EQ(state.calls, 1);  // the second answer never reached the host
  host->sdk = nullptr;
}

TEST(CApiInquiry, ChecksTheFormThenSendsTheScreenshots) {
  LocalServer server;
  server.start();
  Host host;
  host.connect(server);
  const char* title = nullptr;
  const char* code = nullptr;
  ASSERT_EQ(orvane_inquiry_kind(2, &title, &code), ORVANE_OK);
  EXPECT_EQ(orvane_inquiry_kind(99, &title, &code), ORVANE_E_NOT_FOUND);
  orvane_inquiry inquiry{};
  inquiry.struct_size = sizeof inquiry;
  inquiry.name = {"Kim", ORVANE_NTS};
  inquiry.phone = {"01012345678", ORVANE_NTS};
  inquiry.email = {"not-an-address", ORVANE_NTS};
  inquiry.content = {"It broke", ORVANE_NTS};
  inquiry.kind_code = "error";
  inquiry.agreed = 1;
  struct Done {
    bool done = false;
    orvane_status status = ORVANE_OK;
  } done;
  orvane_done_callback onDone = [](const orvane_error* e, void* self) {
    auto* d = static_cast<Done*>(self);
    d->done = true;
    d->status = e ? e->status : ORVANE_OK;
  };
  EXPECT_EQ(orvane_submit_inquiry(host.sdk, &inquiry, onDone, &done, nullptr), ORVANE_E_REFUSED);
  EXPECT_EQ(orvane_last_error(), orvane::localized("ov_not_email_form"));
  inquiry.email = {"kim@example.com", ORVANE_NTS};
  inquiry.kind_code = "reward";  // asks for a campaign
  EXPECT_EQ(orvane_submit_inquiry(host.sdk, &inquiry, onDone, &done, nullptr), ORVANE_E_REFUSED);
  inquiry.campid = 7;

  const orvane_bytes garbage[] = {{"nope", 4}};
  inquiry.screenshots = garbage;
  inquiry.screenshot_count = 1;
  ASSERT_EQ(orvane_submit_inquiry(host.sdk, &inquiry, onDone, &done, nullptr), ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return done.done; }));
  EXPECT_EQ(done.status, ORVANE_E_IMAGE);

  const orvane_bytes pictures[] = {{kPng.data(), kPng.size()}, {kPng.data(), kPng.size()}};
  inquiry.screenshots = pictures;
  inquiry.screenshot_count = 2;
  done = {};
  ASSERT_EQ(orvane_submit_inquiry(host.sdk, &inquiry, onDone, &done, nullptr), ORVANE_OK);
  ASSERT_TRUE(host.pumpUntil([&] { return done.done; }));
  EXPECT_EQ(done.status, ORVANE_OK);
  std::lock_guard lock(server.mutex);
  EXPECT_EQ(server.uploads, 2u);
}

TEST(CApiHistory, RowsAndTermAsTheScreenShowsThem) {
  LocalServer server;
  server.start();
  Host host;
  host.connect(server);
  orvane_reward_history* history = nullptr;
  bool done = false;
  struct Out {
    orvane_reward_history** history;
    bool* done;
  } out{&history, &done};
  orvane_load_reward_history(
      host.sdk, ORVANE_REWARDS_PARTICIPATION, ORVANE_PERIOD_MONTH,
      [](const orvane_error*, orvane_reward_history* h, void* self) {
        auto* o = static_cast<Out*>(self);
        *o->history = h;
        *o->done = true;
      },
      &out, nullptr);
  ASSERT_TRUE(host.pumpUntil([&] { return done; }));
  ASSERT_NE(history, nullptr);
  std::size_t count = 0;
  orvane_history_count(history, &count);
  ASSERT_EQ(count, 1u);
  orvane_reward_row row{};
  row.struct_size = sizeof row;
  ASSERT_EQ(orvane_history_row(history, 0, &row), ORVANE_OK);
  EXPECT_STREQ(row.date, "2026-12-01");
  EXPECT_STREQ(row.price_text, "1,500 P");
  EXPECT_EQ(row.campid, 1);
  const char* term = nullptr;
  orvane_history_term_text(history, &term);
  EXPECT_NE(std::string(term).find(" ~ "), std::string::npos);
  orvane_history_free(history);
  const auto paths = server.paths();
  EXPECT_NE(std::find(paths.begin(), paths.end(), "/api/cs/user_reward_list"), paths.end());
}
