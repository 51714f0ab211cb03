#include "sim/ExecutedFirmware.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "sim/VirtualModule.h"

namespace mrk::sim {

namespace {

// Where the plugin is: MRKPROG_GPSIM_PLUGIN when set (the build tree's tests),
// else lib/mrkprog/ beside the program's bin/ folder, as the package installs it.
std::string PluginPath() {
    if (const char* given = std::getenv("MRKPROG_GPSIM_PLUGIN"); given && *given) return given;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "/usr/lib/mrkprog/mrkprog-gpsim.so";
    return (self.parent_path().parent_path() / "lib" / "mrkprog" / "mrkprog-gpsim.so").string();
}

struct Plugin {
    ExecutedFirmwareFactory make = nullptr;
    std::string problem;

    Plugin() {
        const std::string path = PluginPath();
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            problem = "исполнение прошивки модуля (--module-firmware gpsim) не установлено: нет файла " + path +
                      "; переустановите пакет mrkprog";
            return;
        }
        // Kept loaded for the life of the program: gpsim's processors are global.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const std::string why = dlerror();
            problem = why.find("libgpsim") != std::string::npos
                ? "для исполнения прошивки модуля (--module-firmware gpsim) нужен пакет gpsim: "
                  "установите его (sudo apt install gpsim) или запускайте без --module-firmware gpsim"
                : "модуль исполнения прошивки " + path + " не загружается (" + why + "); переустановите пакет mrkprog";
            return;
        }
        make = reinterpret_cast<ExecutedFirmwareFactory>(dlsym(handle, kExecutedFirmwareEntry));
        if (!make) problem = "модуль исполнения прошивки " + path + " не от этой версии программы; переустановите пакет mrkprog";
    }
};

const Plugin& Loaded() {
    static const Plugin plugin;
    return plugin;
}

} // namespace

std::string ExecutedFirmwareProblem() { return Loaded().problem; }

std::unique_ptr<ModuleProgram> MakeExecutedFirmware(ChipModel chip, ModuleMemory& memory) {
    const Plugin& p = Loaded();
    if (!p.make) return nullptr;
    return std::unique_ptr<ModuleProgram>(p.make(kExecutedFirmwareAbi, static_cast<int>(chip), &memory));
}

} // namespace mrk::sim
