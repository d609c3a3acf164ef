// orvane-sandbox: runs the stand-in operator server until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tools/sandbox/sandbox.hpp"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "usage: orvane-sandbox [--port N] [--db FILE] [--fixture FILE] [--state-polls N]\n"
      "  --port N         port on 127.0.0.1 (0 = any free port, the default)\n"
      "  --db FILE        SQLite database for participations, rewards and inquiries (default: in memory)\n"
      "  --fixture FILE   campaigns and media in the built-in fixture's JSON format\n"
      "  --state-polls N  state polls until a participation is confirmed (default 2)\n",
      to);
}

bool parseInt(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  orvane::sandbox::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    } else if (arg == "--port" && hasValue) {
      if (!parseInt(argv[++i], options.port)) {
        std::fprintf(stderr, "orvane-sandbox: bad port '%s'\n", argv[i]);
        return 2;
      }
    } else if (arg == "--state-polls" && hasValue) {
      if (!parseInt(argv[++i], options.statePollsUntilDone) || options.statePollsUntilDone < 1) {
        std::fprintf(stderr, "orvane-sandbox: bad poll count '%s'\n", argv[i]);
        return 2;
      }
    } else if (arg == "--db" && hasValue) {
      options.dbPath = argv[++i];
    } else if (arg == "--fixture" && hasValue) {
      options.fixturePath = argv[++i];
    } else {
      std::fprintf(stderr, "orvane-sandbox: unknown or incomplete argument '%s'\n", arg.c_str());
      usage(stderr);
      return 2;
    }
  }

  // Block the signals in every thread, then wait for one on the main thread: no handler
  // has to be async-signal-safe and the server threads never see them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  try {
    orvane::sandbox::Server server(options);
    server.start();
    std::printf("orvane-sandbox listening on %s\n", server.origin().c_str());
    std::printf("  api %s  partner %s  notice %s\n", server.apiBase().c_str(), server.partnerBase().c_str(),
                server.noticeUrl().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    std::printf("orvane-sandbox stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    server.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvane-sandbox: %s\n", e.what());
    return 1;
  }
  return 0;
}
