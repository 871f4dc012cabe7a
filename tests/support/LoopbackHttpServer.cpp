// The loopback HTTP server of the tests, over Winsock 1.1.
#include "tests/support/LoopbackHttpServer.h"

#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace hvtest {

struct LoopbackHttpServer::State {
  SOCKET listener = INVALID_SOCKET;
  unsigned short port = 0;
  std::thread acceptThread;

  mutable std::mutex mutex;  // guards everything below
  mutable std::condition_variable changed;
  bool stopping = false;
  std::map<std::string, std::string> files;
  std::map<std::string, HttpBehaviour> behaviours;
  std::chrono::milliseconds tricklePause{1100};
  std::vector<HttpRequest> log;
  std::vector<std::thread> connections;
};

namespace {

using Clock = std::chrono::steady_clock;

struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~WinsockUser() { WSACleanup(); }
};

bool Stopping(const LoopbackHttpServer::State& state);

// Waits up to 20 ms for the socket to become readable (or writable).
bool Ready(SOCKET s, bool forWrite) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, 20000};
  int n = forWrite ? select(0, nullptr, &set, nullptr, &wait) : select(0, &set, nullptr, nullptr, &wait);
  return n > 0;
}

// Reads up to the blank line that ends the request head; false when the client went away
// or the server stops first.
bool ReadRequestHead(LoopbackHttpServer::State& state, SOCKET s, std::string& head) {
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (Stopping(state) || head.size() > 65536) return false;
    if (!Ready(s, false)) continue;
    int got = recv(s, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    head.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

bool SendAll(LoopbackHttpServer::State& state, SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (Stopping(state)) return false;
    if (!Ready(s, true)) continue;
    int piece = static_cast<int>(std::min<size_t>(data.size() - sent, 65536));
    int n = send(s, data.data() + sent, piece, 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ResponseHead(int code, size_t contentLength) {
  std::string head = code == 200 ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n";
  head += "Content-Type: text/plain\r\nContent-Length: " + std::to_string(contentLength) +
          "\r\nConnection: close\r\n\r\n";
  return head;
}

bool Stopping(const LoopbackHttpServer::State& state) {
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.stopping;
}

void Serve(LoopbackHttpServer::State& state, SOCKET s) {
  std::string head;
  if (!ReadRequestHead(state, s, head)) return;

  HttpRequest request;
  size_t lineEnd = head.find("\r\n");
  std::string requestLine = head.substr(0, lineEnd);
  size_t firstBlank = requestLine.find(' ');
  size_t secondBlank = requestLine.find(' ', firstBlank + 1);
  request.method = requestLine.substr(0, firstBlank);
  if (firstBlank != std::string::npos)
    request.path = requestLine.substr(firstBlank + 1, secondBlank - firstBlank - 1);
  size_t headEnd = head.find("\r\n\r\n");
  if (lineEnd < headEnd) request.headers = head.substr(lineEnd + 2, headEnd - lineEnd - 2);
  request.at = Clock::now();

  HttpBehaviour behaviour = HttpBehaviour::Serve;
  bool haveFile = false;
  std::string body;
  std::chrono::milliseconds pause;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.log.push_back(request);
    state.changed.notify_all();
    auto b = state.behaviours.find(request.path);
    if (b != state.behaviours.end()) behaviour = b->second;
    auto f = state.files.find(request.path);
    if (f != state.files.end()) {
      haveFile = true;
      body = f->second;
    }
    pause = state.tricklePause;
  }

  switch (behaviour) {
    case HttpBehaviour::Refuse:
      return;
    case HttpBehaviour::Stall: {
      std::unique_lock<std::mutex> lock(state.mutex);
      state.changed.wait(lock, [&] { return state.stopping; });
      return;
    }
    case HttpBehaviour::Truncate:
      SendAll(state, s, ResponseHead(200, body.size() + 1000) + body);
      return;
    case HttpBehaviour::Trickle: {
      size_t half = body.size() / 2;
      if (!SendAll(state, s, ResponseHead(200, body.size()) + body.substr(0, half))) return;
      std::unique_lock<std::mutex> lock(state.mutex);
      if (state.changed.wait_for(lock, pause, [&] { return state.stopping; })) return;
      lock.unlock();
      SendAll(state, s, body.substr(half));
      return;
    }
    case HttpBehaviour::NoLength:
      SendAll(state, s, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + body);
      return;
    case HttpBehaviour::Serve:
      if (!haveFile) {
        std::string page = "<html><body>404 Not Found</body></html>\r\n";
        SendAll(state, s, ResponseHead(404, page.size()) + page);
      } else {
        SendAll(state, s, ResponseHead(200, body.size()) + body);
      }
      return;
  }
}

void Connection(LoopbackHttpServer::State* state, SOCKET s) {
  Serve(*state, s);
  shutdown(s, 1);  // the answer is complete: send FIN before closing
  closesocket(s);
}

void AcceptLoop(LoopbackHttpServer::State* state) {
  while (!Stopping(*state)) {
    if (!Ready(state->listener, false)) continue;
    SOCKET client = accept(state->listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> lock(state->mutex);
    state->connections.emplace_back(Connection, state, client);
  }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : state_(std::make_shared<State>()) {
  static WinsockUser winsock;
  state_->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(state_->listener, 16);
  int length = sizeof address;
  getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  state_->port = ntohs(address.sin_port);
  state_->acceptThread = std::thread(AcceptLoop, state_.get());
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

void LoopbackHttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping && !state_->acceptThread.joinable()) return;
    state_->stopping = true;
    state_->changed.notify_all();
  }
  if (state_->acceptThread.joinable()) state_->acceptThread.join();
  if (state_->listener != INVALID_SOCKET) {
    closesocket(state_->listener);
    state_->listener = INVALID_SOCKET;
  }
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    connections.swap(state_->connections);
  }
  for (std::thread& t : connections) t.join();
}

void LoopbackHttpServer::addFile(const std::string& path, std::string body) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->files[path] = std::move(body);
}

void LoopbackHttpServer::setBehaviour(const std::string& path, HttpBehaviour behaviour) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->behaviours[path] = behaviour;
}

void LoopbackHttpServer::setTricklePause(std::chrono::milliseconds pause) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->tricklePause = pause;
}

unsigned short LoopbackHttpServer::port() const { return state_->port; }

std::string LoopbackHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

int LoopbackHttpServer::requestsFor(const std::string& path) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return static_cast<int>(std::count_if(state_->log.begin(), state_->log.end(),
                                        [&](const HttpRequest& r) { return r.path == path; }));
}

std::vector<HttpRequest> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->log;
}

bool LoopbackHttpServer::waitForRequests(const std::string& path, int n, std::chrono::milliseconds within) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, within, [&] {
    return std::count_if(state_->log.begin(), state_->log.end(),
                         [&](const HttpRequest& r) { return r.path == path; }) >= n;
  });
}

unsigned short unusedLoopbackPort() {
  static WinsockUser winsock;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(s);  // bound but never listening, and now closed: connections are refused
  return ntohs(address.sin_port);
}

}  // namespace hvtest
