#pragma once
// The simulator's operator console: one command line in, a reply text out.
#include <string>

class CRig;
class CSimServer;
class CSimModbus;

class CSimConsole {
public:
    CSimConsole(CRig& rig, CSimServer* server) : m_rig(rig), m_server(server) {}
    void SetModbus(CSimModbus* modbus) { m_modbus = modbus; }
    std::string Execute(const std::string& line);
    bool QuitRequested() const { return m_bQuit; }
    static std::string Help();
    static std::string MeterList(CRig& rig);

private:
    CRig& m_rig;
    CSimServer* m_server;
    CSimModbus* m_modbus = nullptr;
    bool m_bQuit = false;
};
