#include "ui/platform/SerialPorts.h"

#include <QSerialPortInfo>

std::vector<CPortDevice> SystemSerialPorts()
{
    std::vector<CPortDevice> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.portName().toStdString(), info.description().toStdString(), info.hasVendorIdentifier()});
    return ports;
}

std::vector<CPortDevice> SortedPortDevices(const PortSource& source)
{
    std::vector<CPortDevice> devices = source ? source() : std::vector<CPortDevice>();
    SortPortDevices(devices);
    return devices;
}

std::vector<std::string> EnumComPorts(const PortSource& source)
{
    std::vector<std::string> names;
    for (const CPortDevice& device : SortedPortDevices(source))
        names.push_back(device.m_sName);
    return names;
}
