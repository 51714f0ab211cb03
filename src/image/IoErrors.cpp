#include "image/IoErrors.h"

#include <cerrno>
#include <cstring>

#include "core/Context.h"
#include "core/FileBytes.h"
#include "core/Format.h"

namespace mrk {

namespace {

void Show(Context& ctx, const char* what, const std::string& path, int err = errno) {
    std::string text = Format(what, path.c_str());
    if (err != 0) text += Format(" (%s)", FileErrorText(err).c_str());
    ctx.host.MessageBox(text, "Ошибка", MsgKind::Error, MsgButtons::Ok);
}

} // namespace

void ShowReadError(Context& ctx, const std::string& path) {
    Show(ctx, "Ошибка чтения файла %s.", path);
}

void ShowWriteError(Context& ctx, const std::string& path) {
    Show(ctx, "Не удается записать файл %s.", path);
}

void ShowReadError(Context& ctx, const std::string& path, int err) {
    Show(ctx, "Ошибка чтения файла %s.", path, err);
}

void ShowWriteError(Context& ctx, const std::string& path, int err) {
    Show(ctx, "Не удается записать файл %s.", path, err);
}

} // namespace mrk
