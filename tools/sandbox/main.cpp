// orvane-sandbox: runs the stand-in operator server until SIGINT or SIGTERM.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/sandbox/sandbox.hpp"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "usage: orvane-sandbox [--port N] [--db FILE] [--fixture FILE] [--state-polls N] [--https]\n"
      "                      [--hostile KIND[,KIND...]] [--local-path PATH] [--chaos SEED] [--chaos-answers "
      "N]\n"
      "  --port N           port on 127.0.0.1 (0 = any free port, the default)\n"
      "  --db FILE          SQLite database for participations, rewards and inquiries (default: in memory)\n"
      "  --fixture FILE     campaigns and media in the built-in fixture's JSON format\n"
      "  --state-polls N    state polls until a participation is confirmed (default 2)\n"
      "  --https            also serve on an https listener; prints the CA file a client must trust\n"
      "  --hostile KINDS    answer as a malicious operator: html, image_urls, image_bombs, links, markup\n"
      "                     (comma-separated; 'all' for every one)\n"
      "  --local-path PATH  a local path (e.g. a FIFO) that the hostile answers name\n"
      "  --chaos SEED       answer at random from a pool of hostile and malformed answers\n"
      "  --chaos-answers N  how many chaotic answers before answering normally again (default 2000)\n"
      "The modes can also be switched at run time: POST /__control/hostile, /__control/chaos, "
      "/__control/force.\n",
      to);
}

bool parseCount(const char* text, unsigned long long& out) {
  char* end = nullptr;
  out = std::strtoull(text, &end, 10);
  return end != text && *end == '\0' && text[0] != '-';
}

// "html,links" or "all"; false on an unknown name.
bool parseKinds(const std::string& text, std::vector<orvane::sandbox::HostileKind>& out) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string name = text.substr(start, comma - start);
    std::replace(name.begin(), name.end(), '-', '_');
    if (name == "all") {
      out.assign(std::begin(orvane::sandbox::kAllHostileKinds), std::end(orvane::sandbox::kAllHostileKinds));
    } else if (const auto kind = orvane::sandbox::hostileKindFrom(name)) {
      out.push_back(*kind);
    } else {
      return false;
    }
    start = comma + 1;
  }
  return !out.empty();
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
  std::vector<orvane::sandbox::HostileKind> hostile;
  std::string localPath;
  std::optional<orvane::sandbox::Chaos> chaos;
  unsigned long long chaosAnswers = orvane::sandbox::Chaos{}.answers;
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
    } else if (arg == "--https") {
      options.https = true;
    } else if (arg == "--hostile" && hasValue) {
      if (!parseKinds(argv[++i], hostile)) {
        std::fprintf(stderr, "orvane-sandbox: unknown hostile kind in '%s'\n", argv[i]);
        return 2;
      }
    } else if (arg == "--local-path" && hasValue) {
      localPath = argv[++i];
    } else if (arg == "--chaos" && hasValue) {
      unsigned long long seed = 0;
      if (!parseCount(argv[++i], seed)) {
        std::fprintf(stderr, "orvane-sandbox: bad chaos seed '%s'\n", argv[i]);
        return 2;
      }
      chaos = orvane::sandbox::Chaos{.seed = seed};
    } else if (arg == "--chaos-answers" && hasValue) {
      if (!parseCount(argv[++i], chaosAnswers)) {
        std::fprintf(stderr, "orvane-sandbox: bad answer count '%s'\n", argv[i]);
        return 2;
      }
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
    if (options.https) {
      std::printf("  https %s  (trust the CA file %s)\n", server.httpsOrigin().c_str(),
                  server.caFile().c_str());
    }
    for (orvane::sandbox::HostileKind kind : hostile) {
      server.setHostile({.kind = kind, .localPath = localPath});
      std::printf("  hostile: %s\n", orvane::sandbox::hostileKindName(kind));
    }
    if (chaos) {
      chaos->answers = static_cast<std::size_t>(chaosAnswers);
      chaos->localPath = localPath;
      server.startChaos(*chaos);
      std::printf("  chaos: seed %llu, %zu answers\n", static_cast<unsigned long long>(chaos->seed),
                  chaos->answers);
    }
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
