#include "local_http_server.h"

#include <stdexcept>

namespace kdp::testing {

using namespace std::chrono_literals;

void Gate::Pass() {
  std::unique_lock lock(mutex_);
  ++arrivals_;
  changed_.notify_all();
  changed_.wait_for(lock, 30s, [this] { return open_; });
}

bool Gate::WaitForArrivals(int count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return arrivals_ >= count; });
}

void Gate::Open() {
  std::lock_guard lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

LocalHttpServer::~LocalHttpServer() {
  for (Gate& gate : gates_) gate.Open();
  Stop();
}

void LocalHttpServer::Start() {
  // One request per connection: a client's idle kept-alive connections would otherwise hold the server's
  // few worker threads while new connections wait.
  server_.set_keep_alive_max_count(1);
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
  // The socket listens from here on; connections wait in its backlog until the thread accepts them.
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  // stop() is only heard once the accept loop runs.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

void LocalHttpServer::Stop() {
  if (!thread_.joinable()) return;
  server_.stop();
  thread_.join();
}

}  // namespace kdp::testing
