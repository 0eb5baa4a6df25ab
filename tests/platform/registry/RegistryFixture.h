// Gives each test its own configuration folder and an unloaded registry.
#pragma once

#include <gtest/gtest.h>

#include "platform/registry/RegistryStore.h"
#include "support/TempDir.h"

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { platform::registry::SetConfigDir(dir.Path()); }
    void TearDown() override { platform::registry::SetConfigDir(""); }
    std::string File() const { return dir / "registry.reg"; }
    // Reads the file again, as a new run of the program would.
    void Restart() { platform::registry::Unload(); }

    TempDir dir;
};
