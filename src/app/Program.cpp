#include "app/Program.h"

#include "ui/lobby/TForm1.h"
#include "ui/lobby/TForm8.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"
#include "ui/settings/TForm2.h"
#include "ui/settings/TForm3.h"
#include "ui/settings/TForm4.h"

namespace vantrell::app {

Program::Program(const core::Environment& env, ui::MessageSink& messages)
{
    m_form1 = std::make_unique<ui::TForm1>(env, messages, m_windows);
    m_windows.form1 = m_form1.get();
    m_form2 = std::make_unique<ui::TForm2>(env, messages, m_windows);
    m_windows.form2 = m_form2.get();
    m_form3 = std::make_unique<ui::TForm3>(env, messages, m_windows);
    m_windows.form3 = m_form3.get();
    m_form4 = std::make_unique<ui::TForm4>(env, messages, m_windows);
    m_windows.form4 = m_form4.get();
    m_form5 = std::make_unique<ui::TForm5>(env, messages, m_windows);
    m_windows.form5 = m_form5.get();
    m_form6 = std::make_unique<ui::TForm6>(env, messages, m_windows);
    m_windows.form6 = m_form6.get();
    m_form7 = std::make_unique<ui::TForm7>(env, messages, m_windows);
    m_windows.form7 = m_form7.get();
    m_form8 = std::make_unique<ui::TForm8>(env, messages, m_windows);
    m_windows.form8 = m_form8.get();

    QObject::connect(&m_portMapper, &core::UPnPPortMapper::logLine, m_form1.get(),
                     &ui::TForm1::addLogLine);
    m_form1->setPortMapping(
        [this](const QString& localAddress, const QString& tcpPort, const QString& udpPort) {
            m_portMapper.requestMappings(localAddress, tcpPort, udpPort);
        });
}

Program::~Program()
{
    // No window reaches another while they go.
    m_windows = ui::Windows{};
    m_form8.reset();
    m_form7.reset();
    m_form6.reset();
    m_form5.reset();
    m_form4.reset();
    m_form3.reset();
    m_form2.reset();
    m_form1.reset();
}

} // namespace vantrell::app
