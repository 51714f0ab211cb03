#pragma once
// What the line's server or the client library said, in the operator's words:
// first what happened, in Russian, then the library's or server's own first line
// in brackets for the service engineer. Neither ever holds a password: libpq does
// not repeat one, and connection strings are checked before they reach it.
#include <string>

namespace mrk::journal {

// A connection that could not be made (libpq's message).
std::string PgConnectFailureText(const std::string& libpq);
// A connection that broke while in use (libpq's message, may be empty).
std::string PgLostText(const std::string& libpq);
// A statement the server refused, by its SQLSTATE; timeoutSeconds is the limit the
// server was given for one statement.
std::string PgStatementErrorText(const std::string& sqlState, const std::string& message, int timeoutSeconds);

} // namespace mrk::journal
