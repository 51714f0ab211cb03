#include "config/ConfigEditor.h"

#include "config/ConfigBitDescriptions.h"
#include "config/ConfigWords.h"

namespace mrk {

const std::array<const char*, 16> kConfigReadLabels = {
    " Config1L 300000h ", " Config1H 300001h ", " Config2L 300002h ", " Config2H 300003h ",
    " Config3L 300004h ", " Config3H 300005h ", " Config4L 300006h ", " Config4H 300007h ",
    " Config5L 300008h ", " Config5H 300009h ", " Config6L 30000Ah ", " Config6H 30000Bh ",
    " Config7L 30000Ch ", " Config7H 30000Dh ", " DEVID1   3FFFFEh ", " DEVID2   3FFFFFh "};

void ByteToCheckBox(ConfigForm& f, uint8_t value) {
    for (int k = 0; k < 8; ++k) f.CheckBox[static_cast<size_t>(k)] = (value >> k) & 1;
}

uint8_t CheckBoxToByte(const ConfigForm& f) {
    uint8_t v = 0;
    for (int k = 0; k < 8; ++k)
        if (f.CheckBox[static_cast<size_t>(k)]) v = static_cast<uint8_t>(v | (1u << k));
    return v;
}

void Okno(ConfigForm& f, const std::string& line) { f.Memoconfig.push_back(line); }

namespace configform {

void SelectorClick(const ConfigAccess& access, ConfigForm& f, int row) {
    if (row < 0 || row >= kConfigRegisters || !f.selectorsEnabled) return;
    f.selectorDown = row;
    ByteToCheckBox(f, access.configWrite[static_cast<size_t>(row)]);
    f.Memoconfig.clear();
    for (const auto& line : ConfigBitLines(row, access.is4620)) Okno(f, line);
}

void ChangeSelectedByte(const ConfigAccess& access, ConfigForm& f) {
    if (f.selectorDown < 0) return;
    const auto row = static_cast<size_t>(f.selectorDown);
    access.configWrite[row] = CheckBoxToByte(f);
    f.Edit[row].clear();
    f.Edit[row] = ByteStrToBin(access.configWrite[row]);
}

void BeginChange(const ConfigAccess& access, ConfigForm& f) {
    f.IzmConfigDown = true;
    f.SpeedButton2Enabled = true;
    f.editsEnabled = true;
    f.selectorsEnabled = false;
    access.resultText.clear();
}

void CancelChange(ConfigForm& f) {
    f.IzmConfigDown = false;
    f.SpeedButton2Enabled = false;
    f.editsEnabled = false;
    f.selectorsEnabled = true;
}

bool WriteEditedConfig(const ConfigAccess& access, ConfigForm& f) {
    if (!f.SpeedButton2Enabled) return false;
    return WriteWordConfig(access, ConfigPreset::AsEdited);
}

void ReadChipConfig(const ConfigAccess& access, ConfigForm& f) {
    // A read the programmer broke off shows nothing as the chip's words: the log
    // says why, and the last read's bits do not stay beside it as if just read.
    const std::optional<ConfigReadout> chip = access.readChip();
    if (!chip) {
        for (auto& edit : f.LabeledEdit) edit.clear();
        return;
    }
    for (size_t k = 0; k < 14; ++k) f.LabeledEdit[k] = ByteStrToBin(chip->config[k]);
    f.LabeledEdit[14] = ByteStrToBin(chip->devId1);
    f.LabeledEdit[15] = ByteStrToBin(chip->devId2);
}

void FormShow(const ConfigAccess& access, ConfigForm& f) {
    for (size_t k = 0; k < 14; ++k) f.Edit[k] = ByteStrToBin(access.configWrite[k]);
    CancelChange(f);
}

void FormClose(ConfigForm& f) {
    // Change mode ends, but the selectors stay disabled and the fields enabled
    // until "Отмена" (or the next showing, which presses it).
    f.IzmConfigDown = false;
    f.SpeedButton2Enabled = false;
}

} // namespace configform
} // namespace mrk
