// A small HTTP server on 127.0.0.1 for the tests and the demo: it serves canned files by
// path and can fail on purpose, path by path (refuse, stall, truncate, no length).
// It listens on a port the system picks; port() tells which. Every request is logged.
// One thread accepts connections, each connection gets a thread of its own; stop() (or
// the destructor) ends them all, stalled ones included.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace hvtest {

enum class HttpBehaviour {
  Serve,     // 200 and the file's body; an unknown path gets a 404 page
  Refuse,    // read the request, close the connection without an answer
  Stall,     // read the request, answer nothing until the server stops
  Truncate,  // announce 1000 bytes more than the body, send the body, close
  NoLength,  // 200 and the body without a Content-Length: the body ends when the connection does
};

struct HttpRequest {
  std::string method;   // "GET"
  std::string path;     // as in the request line, e.g. "/data/status.txt"
  std::string headers;  // the header lines as received, CR LF separated
};

class LoopbackHttpServer {
 public:
  // Listening and ready to answer when the constructor returns.
  LoopbackHttpServer();
  ~LoopbackHttpServer();  // stops it
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  void addFile(const std::string& path, std::string body);
  void setBehaviour(const std::string& path, HttpBehaviour behaviour);

  unsigned short port() const;
  // "http://127.0.0.1:PORT" followed by the path.
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port()) + path; }

  std::vector<HttpRequest> requests() const;

  // Stops listening and ends every connection. Safe to call twice.
  void stop();

  struct State;  // the server's threads use it until stop() has joined them

 private:
  std::unique_ptr<State> state_;
};

// A loopback port on which nothing listens: a connection to it is refused.
unsigned short unusedLoopbackPort();

}  // namespace hvtest
