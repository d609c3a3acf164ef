#pragma once

// The SDK is built with hidden visibility: only declarations marked with this leave the
// shared library, and each one belongs in a header of include/orvane/ (make test checks).
#define ORVANE_EXPORT __attribute__((visibility("default")))
