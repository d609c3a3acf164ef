/* orvane-c-host: a plain C99 host of the Orvane C API, without Qt.
 *
 * Lists the campaigns of a server, takes part in one end to end answering the flow's
 * alerts on the terminal, and shows the reward history:
 *
 *   orvane-c-host --api http://127.0.0.1:PORT/v1 --partner http://127.0.0.1:PORT/api
 *                 [--mkey K --mckey K --user U] [--join CAMPID] [--yes] [--timeout SECONDS]
 *
 * --yes answers every alert with its first button that is not "cancel" (for scripts);
 * otherwise the terminal asks. The main loop pumps the SDK once a frame (every 10 ms). */
#define _POSIX_C_SOURCE 200809L

#include <orvane/orvane.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct host {
  orvane_sdk* sdk;
  int answer_yes;
  int list_done;
  int history_done;
  int failed;
  orvane_campaign_list* list;
  int64_t join_campid;
  const orvane_campaign* joined;
  int check_possible;
  int claimed;
  int refreshed;
  char ovnkey[256];
  int64_t accumulate_campid;
  int accumulate_possible;
} host;

static double now_seconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void sleep_frame(void) {
  struct timespec frame = {0, 10 * 1000 * 1000};
  nanosleep(&frame, NULL);
}

static void on_alert(const orvane_alert* alert, void* user_data) {
  host* h = (host*)user_data;
  size_t choice = 0;
  size_t i;
  printf("  [alert %llu] %s: %s\n", (unsigned long long)alert->id, alert->title, alert->message);
  for (i = 0; i < alert->button_count; ++i) printf("    %zu) %s\n", i + 1, alert->buttons[i].title);
  if (h->answer_yes) {
    for (i = 0; i < alert->button_count; ++i) {
      if (alert->buttons[i].style != ORVANE_BUTTON_CANCEL) {
        choice = i;
        break;
      }
    }
    printf("    -> %s\n", alert->buttons[choice].title);
  } else {
    char line[32];
    printf("    which? ");
    fflush(stdout);
    if (fgets(line, sizeof line, stdin)) {
      long n = strtol(line, NULL, 10);
      if (n >= 1 && (size_t)n <= alert->button_count) choice = (size_t)(n - 1);
    }
  }
  if (alert->button_count > 0) orvane_alert_press(h->sdk, alert->id, choice);
}

static void on_event(const orvane_event* event, void* user_data) {
  host* h = (host*)user_data;
  switch (event->type) {
    case ORVANE_EVENT_LIST_LOADED:
      printf("  [event] list loaded: %zu campaigns\n", event->count);
      break;
    case ORVANE_EVENT_PARTICIPATION_STARTED:
      printf("  [event] participation started: campaign %lld\n", (long long)event->campid);
      break;
    case ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE:
      printf("  [event] participation check possible: campaign %lld\n", (long long)event->campid);
      h->check_possible = 1;
      break;
    case ORVANE_EVENT_ACCUMULATION_POSSIBLE:
      printf("  [event] reward can be collected: campaign %lld\n", (long long)event->campid);
      snprintf(h->ovnkey, sizeof h->ovnkey, "%s", event->ovnkey);
      h->accumulate_campid = event->campid;
      h->accumulate_possible = 1;
      break;
    case ORVANE_EVENT_REWARD_CLAIMED:
      printf("  [event] reward claimed: campaign %lld\n", (long long)event->campid);
      h->claimed = 1;
      break;
    case ORVANE_EVENT_LIST_CHANGED:
      printf("  [event] the list changed\n");
      h->refreshed = 1;
      break;
    case ORVANE_EVENT_ERROR:
      printf("  [event] error: %s (%s)\n", event->message, orvane_status_text(event->status));
      break;
  }
}

static int on_open_url(const char* url, void* user_data) {
  (void)user_data;
  printf("  [open] %s\n", url);
  return 1; /* a game would start its browser or the app here */
}

static void on_list(const orvane_error* error, orvane_campaign_list* list, void* user_data) {
  host* h = (host*)user_data;
  h->list_done = 1;
  if (error) {
    fprintf(stderr, "orvane-c-host: the list failed: %s (%s)\n", error->message,
            orvane_status_text(error->status));
    h->failed = 1;
    return;
  }
  h->list = list;
}

static void on_history(const orvane_error* error, orvane_reward_history* history, void* user_data) {
  host* h = (host*)user_data;
  size_t count = 0;
  size_t i;
  const char* term = "";
  h->history_done = 1;
  if (error) {
    fprintf(stderr, "orvane-c-host: the history failed: %s\n", error->message);
    h->failed = 1;
    return;
  }
  orvane_history_count(history, &count);
  orvane_history_term_text(history, &term);
  printf("Reward history (%s), %zu entries:\n", term, count);
  for (i = 0; i < count; ++i) {
    orvane_reward_row row;
    memset(&row, 0, sizeof row);
    row.struct_size = sizeof row;
    if (orvane_history_row(history, i, &row) == ORVANE_OK) {
      printf("  %s  %-28s %s\n", row.date, row.name, row.price_text);
    }
  }
  orvane_history_free(history);
}

/* Pumps until *flag is set or the time is up; 0 on time-out. */
static int pump_until(host* h, const int* flag, double seconds) {
  double end = now_seconds() + seconds;
  while (!*flag) {
    if (orvane_pump(h->sdk, NULL) != ORVANE_OK) return 0;
    if (now_seconds() > end) return 0;
    sleep_frame();
  }
  return 1;
}

static const char* text_field(const orvane_campaign* c, orvane_campaign_field field) {
  const char* value = "";
  if (orvane_campaign_string(c, field, &value) != ORVANE_OK) return "";
  return value;
}

static void print_list(const orvane_campaign_list* list) {
  orvane_list_info info;
  size_t i;
  memset(&info, 0, sizeof info);
  info.struct_size = sizeof info;
  orvane_list_get_info(list, &info);
  printf("Campaigns (%s, tabs %s), %zu shown, %s to collect:\n", orvane_sort_title(info.sort),
         info.tabs_shown ? "shown" : "hidden", info.count, info.reward_text);
  for (i = 0; i < info.count; ++i) {
    const orvane_campaign* c = NULL;
    int64_t campid = 0;
    int64_t bm = 0;
    int house = 0;
    const char* reward = "";
    orvane_list_campaign(list, i, &c);
    orvane_campaign_int(c, ORVANE_CAMP_CAMPID, &campid);
    orvane_campaign_int(c, ORVANE_CAMP_BM, &bm);
    orvane_campaign_is_house(c, &house);
    orvane_campaign_reward_text(c, &reward);
    printf("  %3zu. %-6lld %-26s bm %lld %-10s%s\n", i + 1, (long long)campid,
           text_field(c, ORVANE_CAMP_NAME), (long long)bm, reward, house ? " (house)" : "");
  }
}

/* The campaign to take part in: --join's, else the first with a participation check. */
static const orvane_campaign* choose(const orvane_campaign_list* list, int64_t wanted) {
  orvane_list_info info;
  size_t i;
  memset(&info, 0, sizeof info);
  info.struct_size = sizeof info;
  orvane_list_get_info(list, &info);
  for (i = 0; i < info.count; ++i) {
    const orvane_campaign* c = NULL;
    int64_t campid = 0;
    int64_t bm = 0;
    int64_t bmcheck = 0;
    int house = 0;
    orvane_list_campaign(list, i, &c);
    orvane_campaign_int(c, ORVANE_CAMP_CAMPID, &campid);
    orvane_campaign_int(c, ORVANE_CAMP_BM, &bm);
    orvane_campaign_int(c, ORVANE_CAMP_BMCHECK, &bmcheck);
    orvane_campaign_is_house(c, &house);
    if (wanted > 0 ? campid == wanted : (!house && (bm == 2 || bm == 3) && bmcheck == 0)) return c;
  }
  return NULL;
}

static int usage(void) {
  fputs(
      "usage: orvane-c-host --api URL --partner URL [--notice URL] [--mkey K] [--mckey K] [--user U]\n"
      "                     [--join CAMPID] [--yes] [--timeout SECONDS] [--settings FILE]\n",
      stderr);
  return 2;
}

int main(int argc, char** argv) {
  host h;
  orvane_config config;
  const char* api = NULL;
  const char* partner = NULL;
  const char* notice = NULL;
  const char* mkey = "sandbox-mkey";
  const char* mckey = "sandbox-mckey";
  const char* user = "c-host-user";
  const char* settings = "";
  double timeout = 20.0;
  int i;
  int ok = 1;

  memset(&h, 0, sizeof h);
  for (i = 1; i < argc; ++i) {
    int more = i + 1 < argc;
    if (strcmp(argv[i], "--api") == 0 && more) {
      api = argv[++i];
    } else if (strcmp(argv[i], "--partner") == 0 && more) {
      partner = argv[++i];
    } else if (strcmp(argv[i], "--notice") == 0 && more) {
      notice = argv[++i];
    } else if (strcmp(argv[i], "--mkey") == 0 && more) {
      mkey = argv[++i];
    } else if (strcmp(argv[i], "--mckey") == 0 && more) {
      mckey = argv[++i];
    } else if (strcmp(argv[i], "--user") == 0 && more) {
      user = argv[++i];
    } else if (strcmp(argv[i], "--join") == 0 && more) {
      h.join_campid = strtoll(argv[++i], NULL, 10);
    } else if (strcmp(argv[i], "--timeout") == 0 && more) {
      timeout = strtod(argv[++i], NULL);
    } else if (strcmp(argv[i], "--settings") == 0 && more) {
      settings = argv[++i];
    } else if (strcmp(argv[i], "--yes") == 0) {
      h.answer_yes = 1;
    } else {
      return usage();
    }
  }
  if (!api || !partner) return usage();
  if (orvane_api_version() >> 16 != ORVANE_C_API_VERSION_MAJOR) {
    fprintf(stderr, "orvane-c-host: library API %u, built for %u\n", orvane_api_version() >> 16,
            ORVANE_C_API_VERSION_MAJOR);
    return 1;
  }

  memset(&config, 0, sizeof config);
  config.struct_size = sizeof config;
  config.user_data = &h;
  config.settings_path = settings; /* "" keeps them in memory: a run leaves nothing behind */
  config.alert = on_alert;
  config.event = on_event;
  config.open_url = on_open_url;
  if (orvane_create(&config, &h.sdk) != ORVANE_OK) {
    fprintf(stderr, "orvane-c-host: %s\n", orvane_last_error());
    return 1;
  }
  if (orvane_set_servers(h.sdk, api, partner, notice) != ORVANE_OK ||
      orvane_initialize(h.sdk, mkey, mckey, user) != ORVANE_OK) {
    fprintf(stderr, "orvane-c-host: %s\n", orvane_last_error());
    orvane_destroy(h.sdk);
    return 1;
  }

  printf("Loading the list from %s\n", api);
  orvane_load_list(h.sdk, 0, ORVANE_SORT_INIT, on_list, &h, NULL);
  if (!pump_until(&h, &h.list_done, timeout) || !h.list) {
    fprintf(stderr, "orvane-c-host: no list\n");
    orvane_destroy(h.sdk);
    return 1;
  }
  print_list(h.list);

  h.joined = choose(h.list, h.join_campid);
  if (!h.joined) {
    fprintf(stderr, "orvane-c-host: no campaign to take part in\n");
    ok = 0;
  } else {
    int64_t campid = 0;
    orvane_campaign_int(h.joined, ORVANE_CAMP_CAMPID, &campid);
    printf("Taking part in %lld (%s)\n", (long long)campid, text_field(h.joined, ORVANE_CAMP_NAME));
    orvane_join(h.sdk, h.joined);
    if (!pump_until(&h, &h.check_possible, timeout)) {
      fprintf(stderr, "orvane-c-host: the participation check was never offered\n");
      ok = 0;
    } else {
      printf("Checking the participation\n");
      orvane_check_participation(h.sdk, h.joined);
      /* The flow offers to start the app, reports it and polls; then the reward. */
      if (!pump_until(&h, &h.accumulate_possible, timeout)) {
        fprintf(stderr, "orvane-c-host: the participation was never confirmed\n");
        ok = 0;
      } else {
        printf("Collecting the reward\n");
        orvane_claim_reward(h.sdk, h.accumulate_campid, h.ovnkey);
        if (!pump_until(&h, &h.claimed, timeout) || !pump_until(&h, &h.refreshed, timeout)) {
          fprintf(stderr, "orvane-c-host: the reward was not claimed\n");
          ok = 0;
        }
      }
    }
  }
  orvane_list_free(h.list);

  orvane_load_reward_history(h.sdk, ORVANE_REWARDS_ALL, ORVANE_PERIOD_THREE_MONTHS, on_history, &h, NULL);
  if (!pump_until(&h, &h.history_done, timeout)) ok = 0;

  orvane_destroy(h.sdk);
  if (!ok || h.failed) return 1;
  printf("Done\n");
  return 0;
}
