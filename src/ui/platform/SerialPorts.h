#pragma once
// The serial ports present on this machine, through QSerialPortInfo.
#include "links/PortNames.h"

#include <functional>
#include <string>
#include <vector>

using PortSource = std::function<std::vector<CPortDevice>()>;

// Every port QSerialPortInfo lists, with its description (may be empty), unsorted.
std::vector<CPortDevice> SystemSerialPorts();
// Ports of the given source (the system's by default), sorted by number.
std::vector<CPortDevice> SortedPortDevices(const PortSource& source = SystemSerialPorts);
// Their names, sorted by number.
std::vector<std::string> EnumComPorts(const PortSource& source = SystemSerialPorts);
