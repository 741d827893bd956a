#pragma once

#include <winsock2.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The files of the web application that the client hosts, answered over HTTP on the room
// server's own port: the client's page address rule (server address + "/cla/pc") then finds the
// page beside the server, and the page's own host is the server address to log in to.
//
//   GET or HEAD /cla/pc[?query]   the folder's index.html
//   GET or HEAD /cla/<name>       the folder's file <name> (no subfolders)
//
// Nothing else is answered with a file: 404 for other paths, 405 for other methods, 400 for a
// malformed or over-long request. One request per connection; the connection then ends.
namespace orvim::server {

// True when the first bytes of a connection begin an HTTP request: a method of capital
// letters ("GET ", "HEAD", "POST", ...). No message of the wire format begins so: its length
// word would exceed the largest message.
bool StartsHttpRequest(const uint8_t* head, size_t size);

// The page folder's file that |target| (a request target: path and query) names, or an empty
// text. "/cla/pc" names "index.html"; "/cla/<name>" names <name> when it is a plain file name
// (letters, digits, '-', '_' and '.', not starting with '.'); anything else names nothing.
std::string PageFileName(const std::string& target);

// Reads the rest of one HTTP request whose first bytes are |head| and answers it with a file
// of the folder |root|. Waits at most a few seconds for a client that sends nothing more.
void ServePageRequest(SOCKET socket, const std::string& head, const std::wstring& root);

}  // namespace orvim::server
