// LocalHttpServer: a cpp-httplib server on 127.0.0.1 at a free port, answering on threads of its own, for
// the tests of the download service and the request transport. Routes are added to Server() before
// Start(). A Gate holds a handler until the test opens it, so a request stays in flight while the test
// acts on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

namespace kdp::testing {

class Gate {
 public:
  // In a handler: counts the arrival, then waits until the gate opens (at most 30 s).
  void Pass();
  // In the test: waits until `count` handlers have arrived; false after `timeout`.
  bool WaitForArrivals(int count, std::chrono::milliseconds timeout);
  void Open();

 private:
  std::mutex mutex_;  // guards arrivals_ and open_
  std::condition_variable changed_;
  int arrivals_ = 0;
  bool open_ = false;
};

class LocalHttpServer {
 public:
  LocalHttpServer() = default;
  // Opens every gate, stops the server and joins its thread.
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  httplib::Server& Server() { return server_; }
  // A gate that the destructor opens, so a forgotten gate cannot hang the test's end.
  Gate& NewGate() { return gates_.emplace_back(); }
  // Binds a free port on 127.0.0.1 and starts answering.
  void Start();
  // Stops answering; later connections are refused.
  void Stop();
  int Port() const { return port_; }
  // "127.0.0.1:<port>"
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  std::deque<Gate> gates_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace kdp::testing
