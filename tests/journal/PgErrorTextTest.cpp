// The server's and libpq's words become the operator's: what happened in
// Russian, the original first line kept in brackets for the service engineer.
#include <gtest/gtest.h>

#include "journal/PgErrorText.h"

namespace mrk::journal {
namespace {

TEST(PgErrorText, StatementRefusalsSayWhatHappened) {
    const struct {
        const char* state;
        const char* server;
        const char* says;
    } cases[] = {
        {"57014", "ERROR:  canceling statement due to statement timeout",
         "сервер прервал запрос: он шёл дольше 5 с (или его отменили) (canceling statement due to statement timeout)"},
        {"53100", "ERROR:  could not extend file \"base/5/16384\": No space left on device",
         "на сервере заполнен диск (could not extend file \"base/5/16384\": No space left on device)"},
        {"22021", "ERROR:  invalid byte sequence for encoding \"UTF8\": 0xe8 0xf2\n",
         "сервер не принял текст: он не в кодировке UTF-8 (invalid byte sequence for encoding \"UTF8\": 0xe8 0xf2)"},
        {"42501", "ERROR:  permission denied for table runs", "у пользователя сервера нет прав на таблицы журнала"},
        {"57P01", "FATAL:  terminating connection due to administrator command", "сервер остановлен или перезапускается"},
        {"XX000", "ERROR:  something unheard of\nDETAIL:  more", "сервер отказал в запросе (something unheard of)"},
    };
    for (const auto& c : cases) EXPECT_EQ(PgStatementErrorText(c.state, c.server, 5).rfind(c.says, 0), 0u) << c.state;
}

TEST(PgErrorText, ConnectFailuresSayWhatHappened) {
    const struct {
        const char* libpq;
        const char* says;
    } cases[] = {
        {"connection to server at \"db\" (10.0.0.1), port 5432 failed: Connection refused\n\tIs the server running on "
         "that host and accepting TCP/IP connections?\n",
         "сервер отказал в соединении: он не запущен или не ждёт подключений по этому адресу и порту (connection to "
         "server at \"db\" (10.0.0.1), port 5432 failed: Connection refused)"},
        {"could not translate host name \"db.factory.lan\" to address: Name or service not known\n",
         "имя сервера не найдено в сети (could not translate host name"},
        {"connection to server on socket \"/run/pg/.s.PGSQL.5432\" failed: FATAL:  database \"mrk\" does not exist\n",
         "на сервере нет такой базы данных или такого пользователя"},
        {"something new", "не удалось подключиться к серверу (something new)"},
    };
    for (const auto& c : cases) EXPECT_EQ(PgConnectFailureText(c.libpq).rfind(c.says, 0), 0u) << PgConnectFailureText(c.libpq);
    EXPECT_EQ(PgLostText(""), "связь с сервером потеряна");
    EXPECT_EQ(PgLostText("server closed the connection unexpectedly\n\tThis probably means..."),
              "связь с сервером потеряна (server closed the connection unexpectedly)");
}

} // namespace
} // namespace mrk::journal
