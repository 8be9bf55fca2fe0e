#pragma once
// The default rig of the simulator in this process, behind a loopback gateway
// or a pty, and the built vq7ctl run against it.
#include "ChildProcess.h"

#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CtlFixture : public ::testing::Test {
protected:
    void StartRig(bool pty, unsigned integrationMs = 150);
    // This rig instead of the default one, over TCP.
    void StartRig(std::unique_ptr<CRig> rig);
    void TearDown() override;

    // vq7ctl with the connection options of the rig, then args; its data folder is TempDir()/data.
    ProcessResult Ctl(const std::vector<std::string>& args, const std::string& input = "");
    CVirtualMeter& Meter(uint32_t number) { return *m_rig->Meter(number); }
    // A fresh folder for this test's files.
    std::filesystem::path TempDir();

    std::unique_ptr<SimRig> m_sim;
    CRig* m_rig = nullptr;
    CSimServer* m_server = nullptr;
    std::vector<std::string> m_connection;
    std::filesystem::path m_temp;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
