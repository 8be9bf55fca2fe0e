#pragma once
// The default rig of the simulator in this process, behind a loopback gateway
// or a pty, and the built vq7ctl run against it.
#include "ChildProcess.h"

#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CtlFixture : public ::testing::Test {
protected:
    void StartRig(bool pty, unsigned integrationMs = 150);
    void TearDown() override;

    // vq7ctl with the connection options of the rig, then args; its data folder is TempDir()/data.
    ProcessResult Ctl(const std::vector<std::string>& args, const std::string& input = "");
    CVirtualMeter& Meter(uint32_t number) { return *m_rig->Meter(number); }
    // A fresh folder for this test's files.
    std::filesystem::path TempDir();

    std::unique_ptr<CRig> m_rig;
    std::unique_ptr<CSimServer> m_server;
    std::vector<std::string> m_connection;
    std::filesystem::path m_temp;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
