#pragma once

// The sink type is public: hosts install their own through Log::setSink.
#include "orvane/log_sink.hpp"
