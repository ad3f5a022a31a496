// One browser connection: HTTP requests (the page's files, log-in, session,
// uploads, downloads) until it becomes the session's WebSocket.
#pragma once

#include <boost/asio/ip/tcp.hpp>

namespace acqserve {

class Server;

// Serves `socket` (TLS first when the server has a certificate) until the
// peer closes it or it turns into a WebSocket. Never throws.
void Serve_StartConnection(Server& server, boost::asio::ip::tcp::socket socket);

}  // namespace acqserve
