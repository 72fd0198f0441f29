// A fake /dev and /sys whose serial devices are links to pseudo-terminals:
// an FTDI adapter with a stable name, a CDC modem without one, a UART, a ttyS
// with nothing behind it, and a stray attribute above /sys that must not count;
// on demand, built-in ports and consoles that sysfs knows by device number.
#pragma once

#include "pty_pair.h"
#include "serial_devices.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

inline const std::string kById = "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5ABC-if00-port0";

// Writes `text` to `file`, or makes it a link when `text` is "-> target".
inline void Put(const std::filesystem::path &file, const std::string &text)
{
    std::filesystem::create_directories(file.parent_path());
    if (text.rfind("-> ", 0) == 0)
        std::filesystem::create_symlink(text.substr(3), file);
    else
        std::ofstream(file) << text << '\n';
}

class FakeSystem : public testing::Test {
public: // for the rows of table tests, which lay out the tree
    FakeSystem()
    {
        Put(roots.dev / "ttyUSB0", "-> " + usb.DevicePath());
        Put(roots.dev / "ttyACM0", "-> " + acm.DevicePath());
        Put(roots.dev / "ttyS10", "");
        Put(roots.dev / "ttyS2", "");
        Put(roots.dev / "tty1", "");
        Put(roots.dev / kById, "-> ../../ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K5ABC"});
        Put(roots.sys / "devices/usb1/1-1/1-1:1.0/ttyUSB0/dev", "188:0");
        Put(roots.sys / "class/tty/ttyUSB0/device", "-> ../../../devices/usb1/1-1/1-1:1.0/ttyUSB0");
        UsbDevice(roots.sys / "devices/usb1/1-2",
                  {"0483", "5740", "STMicroelectronics", "STMicroelectronics Virtual COM Port"});
        Put(roots.sys / "devices/usb1/1-2/1-2:1.0/bInterfaceClass", "02");
        Put(roots.sys / "class/tty/ttyACM0/device", "-> ../../../devices/usb1/1-2/1-2:1.0");
        Put(roots.sys / "class/tty/ttyS10/type", "4");
        Put(roots.sys / "class/tty/ttyS2/type", "0");
        Put(roots.sys / "devices/pnp0/00:01/id", "PNP0501");
        Put(roots.sys / "class/tty/ttyS10/device", "-> ../../../devices/pnp0/00:01");
        Put(tree.Path() / "idVendor", "dead");
    }

    // /dev/<name> as a built-in port of UART type `type` (0: none) whose
    // device is `pty`, which sysfs knows by its device number.
    void BuiltInPort(const std::string &name, const PtyPair &pty, const std::string &type)
    {
        const std::string folder = "devices/platform/serial8250/tty/" + name;
        Put(roots.dev / name, "-> " + pty.DevicePath());
        Put(roots.sys / folder / "type", type);
        Put(roots.sys / folder / "dev", Numbers(pty));
        Put(roots.sys / "class/tty" / name, "-> ../../" + folder);
        Put(roots.sys / "dev/char" / Numbers(pty), "-> ../../" + folder);
    }

    // The devices the kernel writes its messages to, such as "tty0 ttyS0".
    void ActiveConsoles(const std::string &names) { Put(roots.sys / "class/tty/console/active", names); }

    // "136:4", as sysfs writes a device number.
    static std::string Numbers(const PtyPair &pty)
    {
        struct stat st {};
        if (::stat(pty.DevicePath().c_str(), &st) != 0)
            throw std::runtime_error("stat " + pty.DevicePath());
        return std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    }

    static void UsbDevice(const std::filesystem::path &dir, const std::vector<std::string> &attributes)
    {
        const char *names[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
        for (std::size_t i = 0; i < attributes.size(); ++i)
            Put(dir / names[i], attributes[i]);
    }

    TempDir tree;
    devices::SystemRoots roots {tree.Path() / "dev", tree.Path() / "sys"};
    PtyPair usb, acm;
    DeviceDir folder;
};

} // namespace testsupport
