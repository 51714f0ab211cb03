#include "image/IoErrors.h"

#include <cerrno>
#include <cstring>

#include "core/FileBytes.h"
#include "core/Format.h"
#include "core/Host.h"

namespace mrk {

namespace {

void Show(Host& host, const char* what, const std::string& path, int err = errno) {
    std::string text = Format(what, path.c_str());
    if (err != 0) text += Format(" (%s)", FileErrorText(err).c_str());
    host.MessageBox(text, "Ошибка", MsgKind::Error, MsgButtons::Ok);
}

} // namespace

void ShowReadError(Host& host, const std::string& path) {
    Show(host, "Ошибка чтения файла %s.", path);
}

void ShowWriteError(Host& host, const std::string& path) {
    Show(host, "Не удается записать файл %s.", path);
}

void ShowReadError(Host& host, const std::string& path, int err) {
    Show(host, "Ошибка чтения файла %s.", path, err);
}

void ShowWriteError(Host& host, const std::string& path, int err) {
    Show(host, "Не удается записать файл %s.", path, err);
}

} // namespace mrk
