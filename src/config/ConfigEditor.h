#pragma once
// The configuration window without its widgets: the state of its controls and
// one function per handler. The window shows this state and forwards its clicks.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ConfigAccess.h"

namespace mrk {

// The fourteen "Выбор" buttons, row by row (CONFIG1L .. CONFIG7H).
constexpr std::array<const char*, 14> kConfigSelectorButtons = {
    "SpeedButton1",  "SpeedButton3",  "SpeedButton4",  "SpeedButton5",  "SpeedButton6",
    "SpeedButton7",  "SpeedButton10", "SpeedButton11", "SpeedButton12", "SpeedButton13",
    "SpeedButton14", "SpeedButton15", "SpeedButton16", "SpeedButton17"};
// Labels of the read fields LabeledEdit1..LabeledEdit16.
extern const std::array<const char*, 16> kConfigReadLabels;

struct ConfigForm {
    std::array<bool, 8> CheckBox{};          // CheckBox1..CheckBox8 = bits 0..7
    int selectorDown = -1;                   // row whose "Выбор" is down; -1 none
    bool selectorsEnabled = true;
    bool IzmConfigDown = false;              // else "Отмена" (SpeedButton9) is down
    bool SpeedButton2Enabled = false;        // "Запись слова конфигурации"
    bool editsEnabled = false;               // Edit1..Edit14
    std::array<std::string, 14> Edit;        // ConfigWrite as bits
    std::array<std::string, 16> LabeledEdit; // ConfigRead, then DEVID1, DEVID2
    std::vector<std::string> Memoconfig;
};

void ByteToCheckBox(ConfigForm& f, uint8_t value);
uint8_t CheckBoxToByte(const ConfigForm& f);
// Appends one line to the window's description memo.
void Okno(ConfigForm& f, const std::string& line);

namespace configform {

// A "Выбор" button (row 0..13): its byte on the check boxes, its bits described
// for the chip the main window shows at this moment.
void SelectorClick(const ConfigAccess& access, ConfigForm& f, int row);
void ChangeSelectedByte(const ConfigAccess& access, ConfigForm& f); // "Изменить выбранное слово"
void BeginChange(const ConfigAccess& access, ConfigForm& f);        // "Изменить конфигурацию"
void CancelChange(ConfigForm& f);                                    // "Отмена"
[[nodiscard]] bool WriteEditedConfig(const ConfigAccess& access, ConfigForm& f); // "Запись слова конфигурации"
void ReadChipConfig(const ConfigAccess& access, ConfigForm& f);     // "Чтение слова конфигурации"
void FormShow(const ConfigAccess& access, ConfigForm& f);
void FormClose(ConfigForm& f);

} // namespace configform
} // namespace mrk
