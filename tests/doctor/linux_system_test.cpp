// Linux's view of the devices, read from a made-up tree laid out as the kernel, udev and /proc
// lay theirs out: the generator with its hub, node, udev record and the process holding its tty;
// an FTDI serial adapter beside it; a keyboard that is no concern of the doctor's; the rule files.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "doctor/checks.h"
#include "doctor/linux_system.h"
#include "tests/support/sysfs_tree.h"
#include "tests/support/test_files.h"

namespace qvx::doctor {
namespace {

namespace fs = std::filesystem;
using test::FakeUsbDevice;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

class LinuxSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(root_);
    paths_.sysfs_devices = tree_.devices();
    paths_.usbfs = root_ + "/dev/bus/usb";
    paths_.dev = root_ + "/dev";
    paths_.udev_data = root_ + "/run/udev/data";
    paths_.proc = root_ + "/proc";
    paths_.rule_dirs = {root_ + "/etc/udev/rules.d", root_ + "/usr/lib/udev/rules.d"};

    tree_.Add(test::FakeHub("1-4", 0x05e3, 0x0610, 3, "USB2.0 Hub"));
    FakeUsbDevice generator = test::FakeFtdi("1-4.2", 7, "QVX5120I1", "QVX00042");
    generator.driver = "ftdi_sio";
    generator.ttys = {"ttyUSB0"};
    tree_.Add(generator);
    tree_.Add(test::FakeFtdi("1-4.3", 8, "FT232R USB UART", "A50285BI"));
    FakeUsbDevice keyboard = test::FakeFtdi("1-1", 4, "USB Keyboard", std::nullopt);
    keyboard.vendor = 0x046d;
    keyboard.product = 0xc31c;
    tree_.Add(keyboard);

    Write(paths_.usbfs + "/001/007", "");
    chmod((paths_.usbfs + "/001/007").c_str(), 0660);
    Write(paths_.usbfs + "/001/008", "");
    Write(paths_.dev + "/ttyUSB0", "");
    Write(paths_.udev_data + "/c189:6", "E:ID_MODEL=QVX5120I1\nE:QVX5120_GENERATOR=1\nG:uaccess\n");
    // ModemManager, pid 612, holding the generator's tty; another process holding nothing.
    Write(paths_.proc + "/612/comm", "ModemManager\n");
    fs::create_directories(paths_.proc + "/612/fd");
    fs::create_symlink(paths_.dev + "/ttyUSB0", paths_.proc + "/612/fd/9");
    fs::create_symlink("/dev/null", paths_.proc + "/612/fd/0");
    Write(paths_.proc + "/700/comm", "bash\n");
    fs::create_directories(paths_.proc + "/700/fd");
    fs::create_directories(paths_.proc + "/self");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string root_ = test::TempDir() + "/linux-system";
  test::SysfsTree tree_{"linux-system-sysfs"};
  LinuxPaths paths_;
};

TEST_F(LinuxSystemTest, TheGeneratorAndTheAdapterWithAllTheSystemShowsOfThem) {
  const std::vector<DeviceFacts> devices = LinuxDevices(paths_);
  ASSERT_EQ(devices.size(), 2u) << "the keyboard and the hub are no FTDI devices";
  const DeviceFacts& generator = devices[0];
  ASSERT_TRUE(generator.usb);
  EXPECT_EQ(generator.usb->port, "1-4.2");
  EXPECT_EQ(generator.serial(), "QVX00042");
  EXPECT_TRUE(generator.generator());
  EXPECT_EQ(generator.usb->interface_name, "1-4.2:1.0");
  EXPECT_EQ(generator.usb->driver, "ftdi_sio");
  EXPECT_EQ(generator.usb->ttys, std::vector<std::string>{"ttyUSB0"});
  ASSERT_EQ(generator.usb->hubs.size(), 2u);
  EXPECT_EQ(generator.usb->hubs[0].port, "usb1");
  EXPECT_EQ(generator.usb->hubs[1].port, "1-4");
  EXPECT_EQ(generator.usb->hubs[1].product_string, "USB2.0 Hub");

  ASSERT_TRUE(generator.node);
  EXPECT_EQ(generator.node->path, paths_.usbfs + "/001/007");
  EXPECT_TRUE(generator.node->exists);
  EXPECT_EQ(generator.node->mode, 0660u);
  EXPECT_EQ(generator.node->owner, getpwuid(getuid())->pw_name) << "the file's owner: this user";
  EXPECT_TRUE(generator.node->can_open);
  ASSERT_TRUE(generator.udev);
  EXPECT_TRUE(generator.udev->found);
  EXPECT_EQ(generator.udev->properties.at("QVX5120_GENERATOR"), "1");
  EXPECT_EQ(generator.udev->tags, std::vector<std::string>{"uaccess"});

  ASSERT_EQ(generator.holders.seen.size(), 1u);
  EXPECT_EQ(generator.holders.seen[0].pid, 612);
  EXPECT_EQ(generator.holders.seen[0].name, "ModemManager");
  EXPECT_EQ(generator.holders.seen[0].node, paths_.dev + "/ttyUSB0");

  const DeviceFacts& adapter = devices[1];
  EXPECT_FALSE(adapter.generator());
  EXPECT_EQ(adapter.serial(), "A50285BI");
  EXPECT_TRUE(adapter.holders.seen.empty());
  ASSERT_TRUE(adapter.udev);
  EXPECT_FALSE(adapter.udev->found) << "no record for it in udev's database";

  // What the doctor makes of it: ModemManager holds it, so it is not opened.
  Facts facts;
  facts.library.kind = LibraryKind::kOpen;
  facts.library.complete = true;
  facts.devices = devices;
  EXPECT_EQ(WhyNotOpen(facts.devices[0], facts), "another program has it (see held)");
}

TEST_F(LinuxSystemTest, TheRuleFilesWhereUdevReadsThem) {
  EXPECT_EQ(InstalledRules(paths_), std::vector<std::string>{});
  Write(paths_.rule_dirs[1] + "/60-qvx5120.rules", "# the rule\n");
  Write(paths_.rule_dirs[1] + "/61-other.rules", "\n");
  EXPECT_EQ(InstalledRules(paths_),
            std::vector<std::string>{paths_.rule_dirs[1] + "/60-qvx5120.rules"});
  Write(paths_.rule_dirs[0] + "/60-qvx5120.rules", "# a copy\n");
  EXPECT_EQ(InstalledRules(paths_),
            (std::vector<std::string>{paths_.rule_dirs[0] + "/60-qvx5120.rules",
                                      paths_.rule_dirs[1] + "/60-qvx5120.rules"}));
}

}  // namespace
}  // namespace qvx::doctor
