#pragma once

// The services a host may hand in through orvane_config, as the core's interfaces.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

#include "core/support/platform/executor.hpp"
#include "core/support/platform/http_session.hpp"
#include "core/support/platform/image_codec.hpp"
#include "orvane/orvane.h"
#include "platform/headless/file_key_value_store.hpp"

namespace orvane::capi {

// Requests go to the host's `start`; its answers come back through orvane_http_complete
// or orvane_http_fail, on any thread, by a process-wide id. Each completion runs on the
// thread that answers. Destroying the session fails what is still waiting as cancelled.
class HostHttpSession final : public HttpSession {
 public:
  explicit HostHttpSession(const orvane_http_session& table);
  ~HostHttpSession() override;
  HostHttpSession(const HostHttpSession&) = delete;
  HostHttpSession& operator=(const HostHttpSession&) = delete;

  RequestHandle send(HttpRequest request, Completion completion) override;

  // The host's answer to `id`: ORVANE_E_NOT_FOUND when nothing waits for it.
  static orvane_status complete(std::uint64_t id, Result<HttpResponse> answer);

 private:
  orvane_http_session table_;
};

// Jobs go to the host's run_job. shutdown() waits for those that are running and drops
// the work of those still queued (what it holds goes with the SDK, not with the host's
// thread later); a job the host runs afterwards only frees itself.
class HostExecutor final : public Executor {
 public:
  using RunJob = void (*)(orvane_job, void*, void*);
  HostExecutor(RunJob run, void* userData);
  ~HostExecutor() override;
  HostExecutor(const HostExecutor&) = delete;
  HostExecutor& operator=(const HostExecutor&) = delete;

  bool post(std::function<void()> work) override;
  void shutdown();

  struct Job;
  struct State {
    std::mutex mutex;
    std::condition_variable idle;
    std::set<Job*> queued;  // with the host, not yet run
    int running = 0;
    bool closed = false;
  };

 private:
  RunJob run_;
  void* userData_;
  std::shared_ptr<State> state_;
};

// Decoding by the host's callback; encoding and drawing by the SDK's own codec, which
// works on the RGBA images this one makes.
class HostImageCodec final : public ImageCodec {
 public:
  using Decode = int (*)(const void*, std::size_t, orvane_image*, void*);
  using Release = void (*)(orvane_image*, void*);
  HostImageCodec(Decode decode, Release release, void* userData, std::shared_ptr<const ImageCodec> raster);

  ImagePtr decode(std::string_view bytes) const override;
  std::optional<std::string> encodeJpeg(const Image& image, double quality) const override;
  std::optional<std::string> encodePng(const Image& image) const override;
  ImagePtr draw(const Image& image, int width, int height) const override;

 private:
  Decode decode_;
  Release release_;
  void* userData_;
  std::shared_ptr<const ImageCodec> raster_;
};

// The settings' backing over the host's load and save.
headless::FileKeyValueStore::Backing hostSettings(const orvane_settings_store& table);

}  // namespace orvane::capi
