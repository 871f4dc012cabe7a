// The loopback HTTP server of the tests, over Winsock 1.1. Every socket is polled every
// 20 ms, so that stop() ends each thread whatever it waits for.
#include "tests/support/LoopbackHttpServer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "common/win32/Winsock.h"

namespace hvtest {

struct LoopbackHttpServer::State {
  hv::WinsockSession winsock;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  unsigned short port = 0;
  std::thread acceptor;

  std::atomic<bool> stopping{false};  // set with the mutex held
  mutable std::mutex mutex;          // guards everything below
  mutable std::condition_variable changed;
  std::map<std::string, std::string> files;
  std::map<std::string, HttpBehaviour> behaviours;
  std::vector<HttpRequest> log;
  std::vector<std::thread> connections;

  // Until the socket is readable (or writable); false once the server stops.
  bool ready(SOCKET s, bool forWrite = false) const {
    for (;;) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s, &set);
      timeval wait{0, 20000};
      if (stopping) return false;
      if (select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait) > 0) return true;
    }
  }
  bool sendAll(SOCKET s, const std::string& data) const {
    for (std::size_t sent = 0, n = 0; sent < data.size(); sent += n) {
      const int piece = static_cast<int>(std::min<std::size_t>(data.size() - sent, 65536));
      const int got = ready(s, true) ? send(s, data.data() + sent, piece, 0) : -1;
      if (got <= 0) return false;
      n = static_cast<std::size_t>(got);
    }
    return true;
  }
  void waitForStop() const {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return stopping.load(); });
  }
  void serve(SOCKET s);
};

namespace {

std::string responseHead(const char* status, std::size_t contentLength) {
  return std::string("HTTP/1.0 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
}

}  // namespace

void LoopbackHttpServer::State::serve(SOCKET s) {
  std::string head;
  char buffer[4096];
  for (int got; head.find("\r\n\r\n") == std::string::npos; head.append(buffer, got))
    if (head.size() > 65536 || !ready(s) || (got = recv(s, buffer, sizeof buffer, 0)) <= 0) return;
  const std::size_t lineEnd = head.find("\r\n"), blank = head.find(' '), blank2 = head.find(' ', blank + 1);
  const HttpRequest request{head.substr(0, blank), blank < lineEnd ? head.substr(blank + 1, blank2 - blank - 1) : "",
                            head.substr(lineEnd + 2, head.find("\r\n\r\n") - lineEnd - 2)};
  std::unique_lock<std::mutex> lock(mutex);
  log.push_back(request);
  const HttpBehaviour behaviour = behaviours.count(request.path) ? behaviours[request.path] : HttpBehaviour::Serve;
  const bool haveFile = files.count(request.path) != 0;
  const std::string body = haveFile ? files[request.path] : "<html><body>404 Not Found</body></html>\r\n";
  lock.unlock();
  switch (behaviour) {
    case HttpBehaviour::Refuse: return;
    case HttpBehaviour::Stall: waitForStop(); return;
    case HttpBehaviour::Truncate: sendAll(s, responseHead("200 OK", body.size() + 1000) + body); return;
    case HttpBehaviour::NoLength:
      sendAll(s, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + body);
      return;
    case HttpBehaviour::Serve: sendAll(s, responseHead(haveFile ? "200 OK" : "404 Not Found", body.size()) + body);
  }
}

LoopbackHttpServer::LoopbackHttpServer() : state_(std::make_unique<State>()) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(state_->listener, 16);
  int length = sizeof address;
  getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  state_->port = ntohs(address.sin_port);
  state_->acceptor = std::thread([state = state_.get()] {
    while (state->ready(state->listener)) {
      const SOCKET client = accept(state->listener, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      std::lock_guard<std::mutex> lock(state->mutex);
      state->connections.emplace_back([state, client] {
        state->serve(client);
        shutdown(client, 1);  // the answer is complete: send FIN before closing
        closesocket(client);
      });
    }
  });
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

void LoopbackHttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->changed.notify_all();
  }
  if (!state_->acceptor.joinable()) return;
  state_->acceptor.join();
  closesocket(state_->listener);
  for (std::thread& t : state_->connections) t.join();  // no new ones come once the acceptor has ended
}

void LoopbackHttpServer::addFile(const std::string& path, std::string body) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->files[path] = std::move(body);
}

void LoopbackHttpServer::setBehaviour(const std::string& path, HttpBehaviour behaviour) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->behaviours[path] = behaviour;
}

unsigned short LoopbackHttpServer::port() const { return state_->port; }

std::vector<HttpRequest> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->log;
}

unsigned short unusedLoopbackPort() {
  LoopbackHttpServer closed;  // bound, then closed: connections to its port are refused
  closed.stop();
  return closed.port();
}

}  // namespace hvtest
