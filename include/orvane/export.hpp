#pragma once

// Everything in the shared library keeps default visibility; this marks the API a host may use.
#define ORVANE_EXPORT __attribute__((visibility("default")))
