#!/usr/bin/env python3
"""Drives liborvane_c from Python through ctypes, the way many engine bindings are
made: lists the campaigns of a sandbox and checks that misuse gives error codes.

    ctypes_smoke.py LIBRARY API_BASE_URL PARTNER_BASE_URL
"""
import ctypes as C
import sys
import time

OK, E_INVALID_ARGUMENT, E_INVALID_HANDLE, E_INVALID_STRING = 0, 1, 2, 3


class Config(C.Structure):
    _fields_ = [
        ("struct_size", C.c_uint32), ("user_data", C.c_void_p), ("settings_path", C.c_char_p),
        ("wake", C.c_void_p), ("alert", C.c_void_p), ("event", C.c_void_p), ("open_url", C.c_void_p),
        ("ask_tracking", C.c_void_p), ("privacy_settings", C.c_void_p), ("log", C.c_void_p),
        ("system_version", C.c_char_p), ("machine", C.c_char_p),
    ]


class Error(C.Structure):
    _fields_ = [("status", C.c_int), ("http_status", C.c_int32), ("server_result", C.c_int64),
                ("message", C.c_char_p)]


class ListInfo(C.Structure):
    _fields_ = [
        ("struct_size", C.c_uint32), ("choice", C.c_int), ("tabs_shown", C.c_int), ("kind", C.c_int),
        ("tab", C.c_int), ("sort", C.c_int), ("reward_total", C.c_double), ("reward_mark", C.c_char_p),
        ("reward_text", C.c_char_p), ("count", C.c_size_t), ("list_type", C.c_int64),
    ]


LIST_CALLBACK = C.CFUNCTYPE(None, C.POINTER(Error), C.c_void_p, C.c_void_p)
CAMP_NAME, CAMP_CAMPID = 3, 0


def main():
    lib_path, api, partner = sys.argv[1:4]
    lib = C.CDLL(lib_path)
    lib.orvane_create.argtypes = [C.POINTER(Config), C.POINTER(C.c_void_p)]
    lib.orvane_last_error.restype = C.c_char_p
    lib.orvane_status_text.restype = C.c_char_p
    lib.orvane_sort_title.restype = C.c_char_p
    for name in ("orvane_destroy", "orvane_pump", "orvane_set_servers", "orvane_initialize", "orvane_load_list",
                 "orvane_list_get_info", "orvane_list_campaign", "orvane_campaign_string", "orvane_campaign_int",
                 "orvane_set_main_title"):
        getattr(lib, name).restype = C.c_int
    lib.orvane_set_servers.argtypes = [C.c_void_p, C.c_char_p, C.c_char_p, C.c_char_p]
    lib.orvane_initialize.argtypes = [C.c_void_p, C.c_char_p, C.c_char_p, C.c_char_p]
    lib.orvane_set_main_title.argtypes = [C.c_void_p, C.c_char_p]
    lib.orvane_load_list.argtypes = [C.c_void_p, C.c_int, C.c_int, LIST_CALLBACK, C.c_void_p, C.c_void_p]
    lib.orvane_pump.argtypes = [C.c_void_p, C.c_void_p]
    lib.orvane_destroy.argtypes = [C.c_void_p]
    lib.orvane_list_get_info.argtypes = [C.c_void_p, C.POINTER(ListInfo)]
    lib.orvane_list_campaign.argtypes = [C.c_void_p, C.c_size_t, C.POINTER(C.c_void_p)]
    lib.orvane_campaign_string.argtypes = [C.c_void_p, C.c_int, C.POINTER(C.c_char_p)]
    lib.orvane_campaign_int.argtypes = [C.c_void_p, C.c_int, C.POINTER(C.c_int64)]
    lib.orvane_list_free.argtypes = [C.c_void_p]

    assert lib.orvane_api_version() >> 16 == 1, "unexpected API major version"
    # Misuse gives codes, never a crash.
    assert lib.orvane_create(None, None) == E_INVALID_ARGUMENT
    assert lib.orvane_pump(None, None) == E_INVALID_ARGUMENT

    config = Config(struct_size=C.sizeof(Config), settings_path=b"")
    sdk = C.c_void_p()
    assert lib.orvane_create(C.byref(config), C.byref(sdk)) == OK, lib.orvane_last_error()
    assert lib.orvane_set_main_title(sdk, b"\xff\xfe bad") == E_INVALID_STRING
    assert lib.orvane_set_servers(sdk, api.encode(), partner.encode(), None) == OK, lib.orvane_last_error()
    assert lib.orvane_initialize(sdk, b"sandbox-mkey", b"sandbox-mckey", b"python-user") == OK

    outcome = {}

    @LIST_CALLBACK
    def on_list(error, campaign_list, _user_data):
        if error:
            outcome["error"] = error.contents.message.decode()
        outcome["list"] = campaign_list

    assert lib.orvane_load_list(sdk, 0, 1, on_list, None, None) == OK, lib.orvane_last_error()
    deadline = time.monotonic() + 20
    while "list" not in outcome and time.monotonic() < deadline:
        assert lib.orvane_pump(sdk, None) == OK
        time.sleep(0.01)
    assert "list" in outcome, "no answer in time"
    assert "error" not in outcome, outcome.get("error")

    info = ListInfo(struct_size=C.sizeof(ListInfo))
    assert lib.orvane_list_get_info(outcome["list"], C.byref(info)) == OK
    print(f"{info.count} campaigns, {lib.orvane_sort_title(info.sort).decode()}, "
          f"{info.reward_text.decode()} to collect")
    assert info.count > 0
    for i in range(info.count):
        campaign, name, campid = C.c_void_p(), C.c_char_p(), C.c_int64()
        assert lib.orvane_list_campaign(outcome["list"], i, C.byref(campaign)) == OK
        assert lib.orvane_campaign_string(campaign, CAMP_NAME, C.byref(name)) == OK
        assert lib.orvane_campaign_int(campaign, CAMP_CAMPID, C.byref(campid)) == OK
        print(f"  {campid.value:6d} {name.value.decode()}")
    lib.orvane_list_free(outcome["list"])

    assert lib.orvane_destroy(sdk) == OK
    assert lib.orvane_pump(sdk, None) == E_INVALID_HANDLE, "a destroyed handle must be refused"
    print("ctypes smoke test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
