#pragma once

#include "core/common/Environment.h"
#include "core/lobby/UPnPPortMapper.h"
#include "ui/common/Windows.h"

#include <memory>

namespace vantrell::ui {
class MessageSink;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
} // namespace vantrell::ui

namespace vantrell::app {

// The whole program put together: the eight windows, created in order and each published
// in the Windows table as soon as it exists, and the port mapper the main window calls at
// start-up. Windows are destroyed in the reverse order.
class Program
{
public:
    Program(const core::Environment& env, ui::MessageSink& messages);
    ~Program();

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::TForm1& mainWindow() { return *m_form1; }
    const ui::Windows& windows() const { return m_windows; }

private:
    ui::Windows m_windows;
    core::UPnPPortMapper m_portMapper;
    std::unique_ptr<ui::TForm1> m_form1;
    std::unique_ptr<ui::TForm2> m_form2;
    std::unique_ptr<ui::TForm3> m_form3;
    std::unique_ptr<ui::TForm4> m_form4;
    std::unique_ptr<ui::TForm5> m_form5;
    std::unique_ptr<ui::TForm6> m_form6;
    std::unique_ptr<ui::TForm7> m_form7;
    std::unique_ptr<ui::TForm8> m_form8;
};

} // namespace vantrell::app
