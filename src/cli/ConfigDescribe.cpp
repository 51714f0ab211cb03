#include "cli/ConfigDescribe.h"

#include <cstdio>

#include "config/ConfigBitDescriptions.h"
#include "config/ConfigWords.h"

namespace mrk::cli {

std::string CheckDescribedRegister(const std::string& word) {
    if (word == "all" || ConfigRegisterIndex(word)) return {};
    return "нет такого регистра конфигурации (CONFIG1L .. CONFIG7H или all): " + word;
}

int DescribeConfig(Session& s, const std::string& reg) {
    // The chip a detection found earlier in this run, else the one named by --chip.
    const bool is4620 = s.ctx.ind.Prog4520;
    if (!is4620 && !s.ctx.ind.CheckBox2) {
        std::fprintf(stderr, "mrkprog config describe: кристалл неизвестен: сначала выполните detect или укажите "
                             "--chip 4620 или --chip 452\n");
        return 2;
    }
    if (!s.configLoaded)
        std::fprintf(stderr, "mrkprog config describe: конфигурация не загружена (сначала load-boot или "
                             "load-update): значения битов не показаны\n");
    int first = 0, last = kConfigRegisters - 1;
    if (reg != "all") first = last = *ConfigRegisterIndex(reg);
    for (int k = first; k <= last; ++k) {
        if (k > first) std::printf("\n");
        const std::string bits =
            s.configLoaded ? " = " + ByteStrToBin(s.ctx.image.ConfigWrite[static_cast<size_t>(k)]) : "";
        std::printf("%s %06Xh%s (%s)\n", std::string(ConfigRegisterName(k)).c_str(), 0x300000 + k, bits.c_str(),
                    is4620 ? "PIC18F4620" : "PIC18F452");
        for (const auto& line : ConfigBitLines(k, is4620)) std::printf("%s\n", line.c_str());
    }
    return 0;
}

} // namespace mrk::cli
