#include "journal/PgErrorText.h"

namespace mrk::journal {

namespace {

// The first line, without libpq's "FATAL:  "/"ERROR:  " and surrounding blanks.
std::string FirstLine(const std::string& s) {
    std::string line = s.substr(0, s.find('\n'));
    for (const char* prefix : {"FATAL:  ", "ERROR:  ", "ОШИБКА:  ", "ВАЖНО:  "})
        if (line.rfind(prefix, 0) == 0) line.erase(0, std::char_traits<char>::length(prefix));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
    return line;
}

std::string WithOriginal(const std::string& said, const std::string& original) {
    const std::string first = FirstLine(original);
    return first.empty() ? said : said + " (" + first + ")";
}

struct Known {
    const char* libpq; // a piece of libpq's (English) text
    const char* said;
};

// In order: the first that matches names the cause.
constexpr Known kConnectFailures[] = {
    {"password authentication failed", "сервер не принял пароль пользователя"},
    {"no password supplied", "сервер требует пароль, а в строке подключения его нет"},
    {"pg_hba.conf", "сервер не разрешает этому пользователю подключаться с этого компьютера (pg_hba.conf)"},
    {"authentication failed", "сервер не принял пользователя"},
    {"does not exist", "на сервере нет такой базы данных или такого пользователя"},
    {"too many clients", "на сервере нет свободных подключений"},
    {"remaining connection slots", "на сервере нет свободных подключений"},
    {"starting up", "сервер ещё запускается"},
    {"shutting down", "сервер останавливается"},
    {"recovery mode", "сервер восстанавливается после сбоя"},
    {"Connection refused", "сервер отказал в соединении: он не запущен или не ждёт подключений по этому адресу и порту"},
    {"No such file or directory", "сервер не запущен: нет его сокета"},
    {"could not translate host name", "имя сервера не найдено в сети"},
    {"Name or service not known", "имя сервера не найдено в сети"},
    {"No route to host", "нет сети до сервера"},
    {"Network is unreachable", "нет сети до сервера"},
    {"timeout expired", "сервер не ответил вовремя"},
    {"timed out", "сервер не ответил вовремя"},
    {"certificate", "не удалось установить защищённое (SSL) соединение: сертификат не принят"},
    {"SSL", "не удалось установить защищённое (SSL) соединение"},
    {"server closed the connection", "сервер закрыл соединение"},
    {"Connection reset", "соединение сброшено"},
};

} // namespace

std::string PgConnectFailureText(const std::string& libpq) {
    for (const auto& k : kConnectFailures)
        if (libpq.find(k.libpq) != std::string::npos) return WithOriginal(k.said, libpq);
    return WithOriginal("не удалось подключиться к серверу", libpq);
}

std::string PgLostText(const std::string& libpq) { return WithOriginal("связь с сервером потеряна", libpq); }

std::string PgStatementErrorText(const std::string& sqlState, const std::string& message, int timeoutSeconds) {
    const std::string cls = sqlState.substr(0, 2);
    std::string said;
    if (sqlState == "57014")
        said = "сервер прервал запрос: он шёл дольше " + std::to_string(timeoutSeconds) + " с (или его отменили)";
    else if (sqlState == "55P03")
        said = "журнал на сервере занят другой станцией дольше " + std::to_string(timeoutSeconds) +
               " с (её транзакция не закончена); попробуйте ещё раз";
    else if (sqlState == "25P03") said = "сервер закрыл транзакцию, простоявшую слишком долго";
    else if (sqlState == "57P01" || sqlState == "57P02") said = "сервер остановлен или перезапускается";
    else if (sqlState == "57P03") said = "сервер сейчас не принимает подключений";
    else if (cls == "57") said = "сервер прервал работу запроса";
    else if (cls == "08") said = "связь с сервером прервана";
    else if (sqlState == "53100") said = "на сервере заполнен диск";
    else if (sqlState == "53200") said = "серверу не хватает памяти";
    else if (sqlState == "53300") said = "на сервере нет свободных подключений";
    else if (cls == "53") said = "серверу не хватает ресурсов";
    else if (sqlState == "40P01") said = "взаимная блокировка с другой станцией; запрос можно повторить";
    else if (cls == "40") said = "сервер отменил транзакцию из-за другой станции; её можно повторить";
    else if (sqlState == "42501") said = "у пользователя сервера нет прав на таблицы журнала";
    else if (sqlState == "42P01" || sqlState == "42703")
        said = "в базе журнала нет нужной таблицы или столбца (журнал другой версии?)";
    else if (cls == "42") said = "сервер не понял запрос";
    else if (sqlState == "22021") said = "сервер не принял текст: он не в кодировке UTF-8";
    else if (cls == "22") said = "сервер не принял значение";
    else if (cls == "23") said = "сервер не принял запись: нарушено ограничение базы";
    else if (sqlState == "25006") said = "сервер открыт только для чтения";
    else said = "сервер отказал в запросе";
    return WithOriginal(said, message);
}

} // namespace mrk::journal
