#pragma once
// The boot-region write as every command runs it: only with a boot-loader image
// in the reference buffer. Without one it would write 0xFF over the module's boot
// loader, and the module would lose its update path.
namespace mrk {

struct Context;

// True when a boot-loader file was loaded since BuffEt was last refilled and its
// boot region holds something.
[[nodiscard]] bool BootImageReady(const Context& ctx);
// Why the boot region cannot be written now (the log's words for it); null when it can.
[[nodiscard]] const char* BootImageProblem(const Context& ctx);
// WriteBoot when BootImageReady; otherwise logs why and touches nothing.
[[nodiscard]] bool WriteBootImage(Context& ctx);

} // namespace mrk
