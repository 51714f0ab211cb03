#pragma once
// The main window's controls as plain values, for the command line and the tests:
// enabled states, grouped speed buttons that raise each other, the protection
// radio buttons, the factory-number text, where the focus went, the cursor.
#include <array>

#include "app/MainControls.h"

namespace mrk {

class PlainControls : public MainControls {
public:
    enum class Focus { None, Edit1, MainWindow };

    PlainControls();

    [[nodiscard]] bool Enabled(Ctl c) const override;
    void SetEnabled(Ctl c, bool enabled) override;
    void SetDown(Ctl c) override;
    [[nodiscard]] bool Down(Ctl c) const override;
    [[nodiscard]] bool ProtectSelected() const override { return protect_; }
    void SelectProtect(bool protect) override { protect_ = protect; }
    std::string FactoryNumberText() const override { return edit1_; }
    void SetFactoryNumberText(const std::string& text) override { edit1_ = text; }
    void FocusEdit1() override { focus_ = Focus::Edit1; }
    void FocusMainWindow() override { focus_ = Focus::MainWindow; }
    void SetBusyCursor(bool busy) override { busy_ = busy; }

    Focus FocusNow() const { return focus_; }
    [[nodiscard]] bool BusyCursor() const { return busy_; }

    // The speed-button group a control belongs to, 0 when it has none.
    [[nodiscard]] static int Group(Ctl c);

private:
    static constexpr size_t kCount = static_cast<size_t>(Ctl::Count);
    std::array<bool, kCount> enabled_;
    std::array<bool, kCount> down_;
    bool protect_ = false; // RadioButton1 "Не ставить защиту" is checked at start
    std::string edit1_;
    Focus focus_ = Focus::None;
    bool busy_ = false;
};

} // namespace mrk
