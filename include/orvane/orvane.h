/* The Orvane offerwall SDK for any engine: a plain C99 interface over the Qt-free core.
 *
 * A host (a game engine, an SDL or raylib program, a binding from another language)
 * draws its own wall with it: it creates an SDK handle, identifies itself, loads the
 * campaign list already classified and ordered as the SDK's own wall shows it, takes
 * part in campaigns with the flow's alerts handed over as data, and reads the reward
 * history, inquiry, notice and image data it needs.
 *
 * Threads. The thread that calls orvane_create is the handle's main thread, and every
 * call on the handle is made there (others answer ORVANE_E_WRONG_THREAD). No callback
 * ever runs on a thread of the SDK's: each runs inside a call of the host on the main
 * thread, normally orvane_pump, which the host calls once a frame. A host whose main
 * loop can take posted work sets orvane_config.wake instead: the SDK calls it (from any
 * thread) whenever work is due, and the host answers by calling orvane_pump on its main
 * thread soon after.
 *
 * Strings are UTF-8. Strings handed in are NUL-terminated unless a length is given;
 * text that is not valid UTF-8, or that holds a NUL within its given length, is refused
 * with ORVANE_E_INVALID_STRING. Strings handed out stay valid as long as the object
 * they were read from (a callback's arguments: until the callback returns).
 *
 * Errors. Every function returns an orvane_status; orvane_last_error() gives the text
 * of the latest failure on the calling thread. Asynchronous results carry an
 * orvane_error. NULL pointers, unknown or destroyed handles and calls after
 * orvane_destroy give an error code, never a crash.
 *
 * Cancelling. Every asynchronous call may hand back a request id; orvane_cancel drops
 * the request and its callback never runs. orvane_destroy cancels everything: no
 * callback runs once it has returned. */
#ifndef ORVANE_ORVANE_H
#define ORVANE_ORVANE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define ORVANE_C_EXPORT __attribute__((visibility("default")))
#else
#define ORVANE_C_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this header. orvane_api_version() gives the library's: a host built
 * against version N runs with a library of version N or later with the same major. */
#define ORVANE_C_API_VERSION_MAJOR 1
#define ORVANE_C_API_VERSION_MINOR 0
#define ORVANE_C_API_VERSION ((ORVANE_C_API_VERSION_MAJOR << 16) | ORVANE_C_API_VERSION_MINOR)

/* Length of a NUL-terminated string, where a length may be given. */
#define ORVANE_NTS ((size_t)-1)

typedef enum orvane_status {
  ORVANE_OK = 0,
  ORVANE_E_INVALID_ARGUMENT = 1, /* a NULL pointer, a value out of range */
  ORVANE_E_INVALID_HANDLE = 2,   /* not a live handle: never made, or destroyed */
  ORVANE_E_INVALID_STRING = 3,   /* not UTF-8, or a NUL within the given length */
  ORVANE_E_WRONG_THREAD = 4,     /* called off the handle's main thread */
  ORVANE_E_NOT_INITIALIZED = 5,  /* media key, channel key or user id missing */
  ORVANE_E_INVALID_URL = 6,      /* a server address that does not parse */
  ORVANE_E_NETWORK = 7,          /* refused, DNS, TLS, reset */
  ORVANE_E_TIMEOUT = 8,
  ORVANE_E_HTTP_STATUS = 9, /* an HTTP status other than 200 (orvane_error.http_status) */
  ORVANE_E_EMPTY_RESPONSE = 10,
  ORVANE_E_DECODING = 11,      /* an answer that is not the record it should be */
  ORVANE_E_SERVER_RESULT = 12, /* the server answered, with a result other than 200 */
  ORVANE_E_CANCELLED = 13,
  ORVANE_E_NOT_FOUND = 14, /* no such campaign, alert, request or entry */
  ORVANE_E_REFUSED = 15,   /* the form or the flow refused it; the error text says why */
  ORVANE_E_IMAGE = 16,     /* bytes that are no image the SDK decodes */
  ORVANE_E_IO = 17,
  ORVANE_E_INTERNAL = 18
} orvane_status;

/* The outcome of an asynchronous request that failed. */
typedef struct orvane_error {
  orvane_status status;
  int32_t http_status;   /* ORVANE_E_HTTP_STATUS: the status; else 0 */
  int64_t server_result; /* ORVANE_E_SERVER_RESULT: the answer's result; else 0 */
  const char* message;   /* what went wrong, for a log or a notice */
} orvane_error;

typedef struct orvane_sdk orvane_sdk;
typedef struct orvane_campaign_list orvane_campaign_list;
typedef struct orvane_campaign orvane_campaign;
typedef struct orvane_reward_history orvane_reward_history;
typedef uint64_t orvane_request_id; /* 0 is no request */

ORVANE_C_EXPORT uint32_t orvane_api_version(void);
ORVANE_C_EXPORT const char* orvane_version_string(void);
ORVANE_C_EXPORT const char* orvane_status_text(orvane_status status);
/* The latest failure's text on this thread ("" when none); valid until the next call. */
ORVANE_C_EXPORT const char* orvane_last_error(void);

/* --- Creating the SDK -------------------------------------------------------------- */

/* Everything the host may replace. Zero-initialise it, set struct_size, then what you
 * need; each NULL or 0 takes the default. Callbacks run on the main thread inside an
 * SDK call, except wake. */
typedef struct orvane_alert orvane_alert;
typedef struct orvane_event orvane_event;

typedef struct orvane_config {
  uint32_t struct_size; /* sizeof(orvane_config) */
  void* user_data;      /* handed to every callback below */
  /* Settings file; NULL: $XDG_CONFIG_HOME/orvane/settings (else ~/.config/orvane/...).
   * "" keeps the settings in memory only. */
  const char* settings_path;
  /* Any thread: main-thread work is due; arrange an orvane_pump on the main thread. */
  void (*wake)(void* user_data);
  /* The flow's alerts, as data: draw it, then call orvane_alert_press once. */
  void (*alert)(const orvane_alert* alert, void* user_data);
  /* Host events (list loaded, participation started, reward claimed, errors...). */
  void (*event)(const orvane_event* event, void* user_data);
  /* Opens a URL the host's way; returns 1 when it did. NULL: the desktop's handler of
   * the URL's scheme (none registered: not opened). */
  int (*open_url)(const char* url, void* user_data);
  /* Asks the user whether tracking is allowed; the host answers with
   * orvane_answer_tracking(sdk, question, allowed), now or later. NULL: the flow
   * never asks and the advertising identifier stays all zeros. */
  void (*ask_tracking)(uint64_t question, void* user_data);
  /* The user asked for the privacy settings (from a tracking alert). */
  void (*privacy_settings)(void* user_data);
  /* The SDK's diagnostic lines, when debug output is on; NULL: stderr. */
  void (*log)(int level, const char* category, const char* message, void* user_data);
  /* Device facts sent with requests; NULL: os-release's VERSION_ID, uname's machine. */
  const char* system_version;
  const char* machine;
} orvane_config;

ORVANE_C_EXPORT orvane_status orvane_create(const orvane_config* config, orvane_sdk** out_sdk);
/* Cancels everything in flight and writes pending settings; no callback runs after it. */
ORVANE_C_EXPORT orvane_status orvane_destroy(orvane_sdk* sdk);
/* Runs the callbacks that are due; `out_ran` (may be NULL) gets how many ran. */
ORVANE_C_EXPORT orvane_status orvane_pump(orvane_sdk* sdk, uint32_t* out_ran);
/* Milliseconds until delayed work is due (-1: none waits, 0: now), for a host that sleeps. */
ORVANE_C_EXPORT orvane_status orvane_next_due_ms(orvane_sdk* sdk, int64_t* out_ms);
ORVANE_C_EXPORT orvane_status orvane_cancel(orvane_sdk* sdk, orvane_request_id request);

/* --- Settings (persisted) and server settings (in memory, process-wide) ------------- */

typedef enum orvane_list_type { ORVANE_LIST_NATIVE = 1, ORVANE_LIST_ICON = 2 } orvane_list_type;
typedef enum orvane_benefits_display {
  ORVANE_BENEFITS_POPUP = 0,
  ORVANE_BENEFITS_LIST_TOP = 1
} orvane_benefits_display;
#define ORVANE_GENDER_UNKNOWN "0"
#define ORVANE_GENDER_MAN "1"
#define ORVANE_GENDER_WOMAN "2"

ORVANE_C_EXPORT orvane_status orvane_initialize(orvane_sdk* sdk, const char* mkey, const char* mckey,
                                                const char* user_id);
/* 1 when the media key, the channel key and the user id are all set and not empty. */
ORVANE_C_EXPORT orvane_status orvane_is_initialized(orvane_sdk* sdk, int* out_initialized);
ORVANE_C_EXPORT orvane_status orvane_set_main_title(orvane_sdk* sdk, const char* title);
ORVANE_C_EXPORT orvane_status orvane_set_list_type(orvane_sdk* sdk, int64_t list_type);
ORVANE_C_EXPORT orvane_status orvane_set_age(orvane_sdk* sdk, int64_t age); /* 0: not sent */
ORVANE_C_EXPORT orvane_status orvane_set_gender(orvane_sdk* sdk, const char* gender);
ORVANE_C_EXPORT orvane_status orvane_set_benefits_type(orvane_sdk* sdk, int64_t benefits_type);
ORVANE_C_EXPORT orvane_status orvane_set_copyright_visibility(orvane_sdk* sdk, int visible);
ORVANE_C_EXPORT orvane_status orvane_set_tracking_usage(orvane_sdk* sdk, int use);
/* Diagnostic output; off at every start. Process-wide. */
ORVANE_C_EXPORT orvane_status orvane_set_debug_enabled(orvane_sdk* sdk, int enabled);
/* The stored title ("" when none); valid until the next call on this thread. */
ORVANE_C_EXPORT orvane_status orvane_main_title(orvane_sdk* sdk, const char** out_title);

/* Other servers: the API base URL, the partner base URL and the notice document's URL;
 * NULL returns each to the built-in one (the partner URL is used only with an API URL).
 * Process-wide, like the inspection switch. */
ORVANE_C_EXPORT orvane_status orvane_set_servers(orvane_sdk* sdk, const char* api_base_url,
                                                 const char* partner_base_url, const char* notice_url);
ORVANE_C_EXPORT orvane_status orvane_set_inspect(orvane_sdk* sdk, int inspect);

/* --- The campaign list ------------------------------------------------------------- */

typedef enum orvane_sort_mode {
  ORVANE_SORT_INIT = 0, /* the server's order, confirmed campaigns first */
  ORVANE_SORT_HIGH = 1, /* highest reward first */
  ORVANE_SORT_LOW = 2
} orvane_sort_mode;
typedef enum orvane_kind { ORVANE_KIND_OTHER = 0, ORVANE_KIND_CPS = 1 } orvane_kind;
typedef enum orvane_kind_choice {
  ORVANE_CHOICE_NOTHING = 0, /* nothing to show: tell the user and close the wall */
  ORVANE_CHOICE_OTHER_ONLY = 1,
  ORVANE_CHOICE_CPS_ONLY = 2,
  ORVANE_CHOICE_BOTH = 3 /* show the two tabs */
} orvane_kind_choice;

/* The list, or NULL with the error. The host owns the list: orvane_list_free. */
typedef void (*orvane_list_callback)(const orvane_error* error, orvane_campaign_list* list, void* user_data);

/* Loads the list and shows tab `tab` (0 ordinary, 1 purchase; used when both kinds
 * are there) in `sort` order, with the house campaigns placed, as the wall does. */
ORVANE_C_EXPORT orvane_status orvane_load_list(orvane_sdk* sdk, int tab, orvane_sort_mode sort,
                                               orvane_list_callback callback, void* user_data,
                                               orvane_request_id* out_request);
/* Shows another tab or order of the same answer, without a request. */
ORVANE_C_EXPORT orvane_status orvane_list_select(orvane_campaign_list* list, int tab, orvane_sort_mode sort);
ORVANE_C_EXPORT void orvane_list_free(orvane_campaign_list* list);

typedef struct orvane_list_info {
  uint32_t struct_size;
  orvane_kind_choice choice;
  int tabs_shown;
  orvane_kind kind; /* the kind shown (meaningless with ORVANE_CHOICE_NOTHING) */
  int tab;
  orvane_sort_mode sort;
  double reward_total;     /* what the user can collect */
  const char* reward_mark; /* its unit */
  const char* reward_text; /* "1,500 P" */
  size_t count;            /* campaigns shown */
  int64_t list_type;       /* the list style it was ordered for */
} orvane_list_info;
ORVANE_C_EXPORT orvane_status orvane_list_get_info(const orvane_campaign_list* list,
                                                   orvane_list_info* out_info);
/* The campaign shown at `index`; valid until the list is freed or re-selected. */
ORVANE_C_EXPORT orvane_status orvane_list_campaign(const orvane_campaign_list* list, size_t index,
                                                   const orvane_campaign** out_campaign);
/* The title of a sort mode, and the mode a tap on the sort button moves to. */
ORVANE_C_EXPORT const char* orvane_sort_title(orvane_sort_mode sort);
ORVANE_C_EXPORT orvane_sort_mode orvane_sort_next(orvane_sort_mode sort);

/* Every field of a campaign, by its name on the wire. */
typedef enum orvane_campaign_field {
  ORVANE_CAMP_CAMPID = 0, /* int */
  ORVANE_CAMP_BM,         /* int: 4 is a purchase (CPS) campaign */
  ORVANE_CAMP_BMCHECK,
  ORVANE_CAMP_NAME, /* string */
  ORVANE_CAMP_ENGNAME,
  ORVANE_CAMP_DETAILPAGE, /* int */
  ORVANE_CAMP_PACKAGE,    /* string */
  ORVANE_CAMP_CTVURL,
  ORVANE_CAMP_CTVWIDTH, /* int */
  ORVANE_CAMP_CTVHEIGHT,
  ORVANE_CAMP_NATIVEURL, /* string, may be absent */
  ORVANE_CAMP_ICONURL,
  ORVANE_CAMP_VIEWURL,
  ORVANE_CAMP_JOINDESC,        /* string */
  ORVANE_CAMP_REWARDCONDITION, /* int */
  ORVANE_CAMP_REWARDDESC,      /* string */
  ORVANE_CAMP_NOTICE,
  ORVANE_CAMP_CTA,
  ORVANE_CAMP_CATEGORY,    /* int */
  ORVANE_CAMP_REWARDPRICE, /* double */
  ORVANE_CAMP_PRICEMARK,   /* string */
  ORVANE_CAMP_CPSPRICE,    /* int */
  ORVANE_CAMP_CPSDCPRICE,
  ORVANE_CAMP_CARRIER,      /* string */
  ORVANE_CAMP_TARGETAGEMIN, /* int */
  ORVANE_CAMP_TARGETAGEMAX,
  ORVANE_CAMP_GENDER,
  ORVANE_CAMP_TARGETPKG,   /* string list, may be absent */
  ORVANE_CAMP_DETARGETPKG, /* string list, may be absent */
  ORVANE_CAMP_OVNKEY,      /* string, may be absent */
  ORVANE_CAMP_CONVFLAG,    /* int: 1 once the participation is confirmed */
  ORVANE_CAMP_ORDERSEQ,
  ORVANE_CAMP_REWARDDATE, /* string */
  ORVANE_CAMP_REWARDTYPE, /* int: the answer's; 1 the user collects, 2 the server credits */
  ORVANE_CAMP_FIELD_COUNT
} orvane_campaign_field;

/* Typed reads: ORVANE_E_INVALID_ARGUMENT for a field of another type, ORVANE_E_NOT_FOUND
 * for an absent one. */
ORVANE_C_EXPORT orvane_status orvane_campaign_int(const orvane_campaign* campaign,
                                                  orvane_campaign_field field, int64_t* out_value);
ORVANE_C_EXPORT orvane_status orvane_campaign_double(const orvane_campaign* campaign,
                                                     orvane_campaign_field field, double* out_value);
ORVANE_C_EXPORT orvane_status orvane_campaign_string(const orvane_campaign* campaign,
                                                     orvane_campaign_field field, const char** out_value);
ORVANE_C_EXPORT orvane_status orvane_campaign_list_count(const orvane_campaign* campaign,
                                                         orvane_campaign_field field, size_t* out_count);
ORVANE_C_EXPORT orvane_status orvane_campaign_list_item(const orvane_campaign* campaign,
                                                        orvane_campaign_field field, size_t index,
                                                        const char** out_value);
/* 1 for a house campaign placed by its orderseq. */
ORVANE_C_EXPORT orvane_status orvane_campaign_is_house(const orvane_campaign* campaign, int* out_is_house);
/* "1,500 P": the reward as the wall's cells show it. */
ORVANE_C_EXPORT orvane_status orvane_campaign_reward_text(const orvane_campaign* campaign,
                                                          const char** out_text);
/* The whole campaign as a JSON object (absent fields left out). */
ORVANE_C_EXPORT orvane_status orvane_campaign_json(const orvane_campaign* campaign, const char** out_json);

/* --- Taking part ------------------------------------------------------------------- */

/* An alert of the flow. Buttons are in the order they are shown; press one with
 * orvane_alert_press(sdk, alert->id, index). An alert left unanswered stays pending
 * until the handle goes. Valid during the callback only; keep the id. */
typedef enum orvane_button_style {
  ORVANE_BUTTON_NORMAL = 0,
  ORVANE_BUTTON_CANCEL = 1,
  ORVANE_BUTTON_DESTRUCTIVE = 2
} orvane_button_style;
typedef struct orvane_alert_button {
  const char* title;
  orvane_button_style style;
  int checked; /* action sheets: the current entry */
} orvane_alert_button;
struct orvane_alert {
  uint64_t id;
  int is_action_sheet;
  const char* title;
  const char* message;
  size_t button_count;
  const orvane_alert_button* buttons;
};
ORVANE_C_EXPORT orvane_status orvane_alert_press(orvane_sdk* sdk, uint64_t alert_id, size_t button_index);

typedef enum orvane_event_type {
  ORVANE_EVENT_LIST_LOADED = 1,                  /* count: campaigns shown */
  ORVANE_EVENT_PARTICIPATION_STARTED = 2,        /* campid: the join succeeded */
  ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE = 3, /* campid: offer the participation check */
  ORVANE_EVENT_ACCUMULATION_POSSIBLE = 4,        /* campid, ovnkey: offer to claim (orvane_claim_reward) */
  ORVANE_EVENT_REWARD_CLAIMED = 5,               /* campid: the reward was credited */
  ORVANE_EVENT_LIST_CHANGED = 6,                 /* the user confirmed a refresh: load the list again */
  ORVANE_EVENT_ERROR = 7                         /* status, message: a request or a step failed */
} orvane_event_type;
struct orvane_event {
  orvane_event_type type;
  int64_t campid;     /* -1 when none */
  const char* ovnkey; /* "" when none */
  size_t count;
  orvane_status status;
  const char* message; /* "" when none */
};

/* A tap on a campaign's join button; the flow goes on in alerts and events. */
ORVANE_C_EXPORT orvane_status orvane_join(orvane_sdk* sdk, const orvane_campaign* campaign);
/* A tap on the participation check (after ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE);
 * the flow then offers to start the app, reports its start and polls the state. */
ORVANE_C_EXPORT orvane_status orvane_check_participation(orvane_sdk* sdk, const orvane_campaign* campaign);
/* A tap on collect (after ORVANE_EVENT_ACCUMULATION_POSSIBLE, or for a campaign with an ovnkey). */
ORVANE_C_EXPORT orvane_status orvane_claim_reward(orvane_sdk* sdk, int64_t campid, const char* ovnkey);
/* 1 while the state poll runs (a join is then refused with an alert). */
ORVANE_C_EXPORT orvane_status orvane_is_polling(orvane_sdk* sdk, int* out_polling);
/* The campaigns that wait for their participation check. */
ORVANE_C_EXPORT orvane_status orvane_pending_checks(orvane_sdk* sdk, int64_t* out_campids, size_t capacity,
                                                    size_t* out_count);
ORVANE_C_EXPORT orvane_status orvane_answer_tracking(orvane_sdk* sdk, uint64_t question, int allowed);
/* Forgets the tracking answer: the user is asked again at the next join. */
ORVANE_C_EXPORT orvane_status orvane_reset_tracking(orvane_sdk* sdk);

/* --- Reward history ---------------------------------------------------------------- */

typedef enum orvane_reward_kind {
  ORVANE_REWARDS_ALL = 0,
  ORVANE_REWARDS_PARTICIPATION = 1,
  ORVANE_REWARDS_PURCHASE = 2
} orvane_reward_kind;
typedef enum orvane_period {
  ORVANE_PERIOD_WEEK = 0,
  ORVANE_PERIOD_MONTH = 1,
  ORVANE_PERIOD_THREE_MONTHS = 2
} orvane_period;

typedef void (*orvane_history_callback)(const orvane_error* error, orvane_reward_history* history,
                                        void* user_data);
/* From the period's start to now, in the local time zone. Owned: orvane_history_free. */
ORVANE_C_EXPORT orvane_status orvane_load_reward_history(orvane_sdk* sdk, orvane_reward_kind kind,
                                                         orvane_period period,
                                                         orvane_history_callback callback, void* user_data,
                                                         orvane_request_id* out_request);
ORVANE_C_EXPORT void orvane_history_free(orvane_reward_history* history);

typedef struct orvane_reward_row {
  uint32_t struct_size;
  int64_t campid; /* -1 when absent */
  const char* name;
  const char* date;       /* "yyyy-MM-dd" */
  const char* price_text; /* "1,500 P"; "" without an amount */
  double price;
  const char* mark;
  int64_t bm; /* -1 when absent */
} orvane_reward_row;
ORVANE_C_EXPORT orvane_status orvane_history_count(const orvane_reward_history* history, size_t* out_count);
ORVANE_C_EXPORT orvane_status orvane_history_row(const orvane_reward_history* history, size_t index,
                                                 orvane_reward_row* out_row);
/* "Term : 2026-11-06 ~ 2026-12-06": the period's line; labels of kinds and periods. */
ORVANE_C_EXPORT orvane_status orvane_history_term_text(const orvane_reward_history* history,
                                                       const char** out_text);
ORVANE_C_EXPORT const char* orvane_reward_kind_label(orvane_reward_kind kind);
ORVANE_C_EXPORT const char* orvane_period_label(orvane_period period);

/* --- Texts: the notice, a campaign's view, the inquiry's agreement ------------------- */

/* Plain text (the server's HTML with paragraph breaks), or NULL with the error. */
typedef void (*orvane_text_callback)(const orvane_error* error, const char* text, size_t length,
                                     void* user_data);
ORVANE_C_EXPORT orvane_status orvane_load_notice(orvane_sdk* sdk, orvane_text_callback callback,
                                                 void* user_data, orvane_request_id* out_request);
ORVANE_C_EXPORT orvane_status orvane_load_view(orvane_sdk* sdk, int64_t campid, orvane_text_callback callback,
                                               void* user_data, orvane_request_id* out_request);
ORVANE_C_EXPORT orvane_status orvane_load_agreement(orvane_sdk* sdk, orvane_text_callback callback,
                                                    void* user_data, orvane_request_id* out_request);
/* HTML to plain text, the same way; the result is valid until the next call on this thread. */
ORVANE_C_EXPORT orvane_status orvane_html_to_text(const char* html, size_t length, const char** out_text);

/* --- Inquiry ----------------------------------------------------------------------- */

/* The inquiry kinds: `index` from 0; the title to show and the code to send. */
ORVANE_C_EXPORT orvane_status orvane_inquiry_kind(size_t index, const char** out_title,
                                                  const char** out_code);
/* The campaigns the user may name (the kind "reward" asks for one): a list in server order. */
ORVANE_C_EXPORT orvane_status orvane_load_inquiry_campaigns(orvane_sdk* sdk, orvane_list_callback callback,
                                                            void* user_data, orvane_request_id* out_request);

typedef struct orvane_bytes {
  const void* data;
  size_t size;
} orvane_bytes;
typedef struct orvane_text {
  const char* data;
  size_t size; /* ORVANE_NTS: NUL-terminated */
} orvane_text;
typedef struct orvane_inquiry {
  uint32_t struct_size;
  orvane_text name;
  orvane_text phone;
  orvane_text email;
  orvane_text content;
  const char* kind_code;           /* from orvane_inquiry_kind */
  int64_t campid;                  /* for the kind that asks for a campaign; else 0 */
  int agreed;                      /* the user agreed to the collection of these data */
  const orvane_bytes* screenshots; /* encoded PNG or JPEG, at most 3, 3 MiB each as JPEG */
  size_t screenshot_count;
} orvane_inquiry;

typedef void (*orvane_done_callback)(const orvane_error* error, void* user_data);
/* Checks the form as the SDK's own does (ORVANE_E_REFUSED and the notice text when it
 * fails), then sends it. */
ORVANE_C_EXPORT orvane_status orvane_submit_inquiry(orvane_sdk* sdk, const orvane_inquiry* inquiry,
                                                    orvane_done_callback callback, void* user_data,
                                                    orvane_request_id* out_request);

/* --- Images ------------------------------------------------------------------------ */

/* A decoded image: 8-bit RGBA rows, top to bottom, `stride` bytes apart, not
 * premultiplied; valid during the callback only. */
typedef struct orvane_image {
  int32_t width;
  int32_t height;
  size_t stride;
  const uint8_t* rgba;
} orvane_image;
typedef void (*orvane_image_callback)(const orvane_error* error, const char* url, const orvane_image* image,
                                      void* user_data);
/* An image through the SDK's cache (memory, then files under $XDG_CACHE_HOME/orvane-images),
 * downloaded when it is in neither; PNG and JPEG. */
ORVANE_C_EXPORT orvane_status orvane_load_image(orvane_sdk* sdk, const char* url,
                                                orvane_image_callback callback, void* user_data,
                                                orvane_request_id* out_request);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_ORVANE_H */
