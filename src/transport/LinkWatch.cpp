#include "transport/LinkWatch.h"

#include "core/Context.h"

namespace mrk {

LinkWatch::LinkWatch(const Context& ctx)
    : ctx_(ctx), echoes_(ctx.portProg.EchoesAnswered), done_(ctx.ft.FtTransfersDone),
      failed_(ctx.ft.FtTransfersFailed) {}

bool LinkWatch::Lost() const {
    if (ctx_.IsUsb()) return ctx_.ft.FtTransfersFailed != failed_;
    return !ctx_.portProg.ProgAnswered;
}

bool LinkWatch::AnsweredSince() const {
    if (ctx_.IsUsb()) return ctx_.ft.FtTransfersDone != done_;
    return ctx_.portProg.EchoesAnswered != echoes_;
}

} // namespace mrk
