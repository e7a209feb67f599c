#pragma once
// The carried module loaded into the reference host, with its temporary
// files in a folder of the test's own and every form it shows confirmed.
#include <gtest/gtest.h>

#include <string>

#include "module_host.h"
#include "platform/scripted.h"
#include "support/temp_folder.h"

namespace icofmt::test {

class CarriedFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.becomeTmpdir();
    platform::scripted::reset();
    platform::scripted::setConfirmUnscripted(true);
    host.load(ICOFMT_CARRIED_MODULE);
  }

  TempFolder temp;
  std::string folder = temp.path();
  icohost::ModuleHost host;
};

}  // namespace icofmt::test
