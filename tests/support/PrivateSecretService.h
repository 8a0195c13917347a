#pragma once
// A real Secret Service (gnome-keyring, "login" keyring unlocked by a password
// on standard input) on a session bus of the test's own, HOME and XDG folders
// in a temporary folder and no display named: the user's bus and keyring are
// never reached, no prompt can open. Both daemons are ended by their ids.
#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScopedEnv.h"
#include "TempDir.h"

extern char** environ;

namespace orvex::testing {

class PrivateSecretService {
public:
    PrivateSecretService() {
        for (const char* folder : {"home", "run", "services"}) ::mkdir(dir_.file(folder).c_str(), 0700);
        for (const auto& [name, value] : {std::pair<const char*, std::string>{"HOME", "home"}, {"XDG_RUNTIME_DIR", "run"},
                                          {"XDG_DATA_HOME", "home/.local/share"}, {"XDG_CONFIG_HOME", "home/.config"},
                                          {"XDG_CACHE_HOME", "home/.cache"}, {"DBUS_SESSION_BUS_ADDRESS", ""},
                                          {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}})
            env_.push_back(std::make_unique<ScopedEnv>(name, dir_.file(value)));
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir_.file("no-bus")).c_str(), 1);
        problem_ = start();
    }
    ~PrivateSecretService() {
        for (pid_t pid : {keyring_, bus_})
            if (pid > 0) ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
    }
    PrivateSecretService(const PrivateSecretService&) = delete;
    PrivateSecretService& operator=(const PrivateSecretService&) = delete;

    // "" when the service runs; otherwise why it could not be started.
    const std::string& problem() const { return problem_; }

private:
    // Starts `argv`, standard input from `in` (or /dev/null), output to `out` (or `log`).
    pid_t spawn(const std::vector<std::string>& argv, int in, int out, const std::string& log) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (in >= 0)
            posix_spawn_file_actions_adddup2(&actions, in, 0);
        else
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (out >= 0)
            posix_spawn_file_actions_adddup2(&actions, out, 1);
        else
            posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, (log + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    std::string start() {
        const std::string config = dir_.file("bus.conf");
        TempDir::write(config,
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:dir=" + dir_.path().string() +
                           "</listen><auth>EXTERNAL</auth><servicedir>" + dir_.file("services") +
                           "</servicedir><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        int address[2], password[2];
        if (::pipe2(address, O_CLOEXEC) != 0 || ::pipe2(password, O_CLOEXEC) != 0) return "no pipe";
        bus_ = spawn({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, -1, address[1],
                     dir_.file("bus.log"));
        ::close(address[1]);
        const std::string busAddress = bus_ < 0 ? std::string() : readLine(address[0]);
        ::close(address[0]);
        if (bus_ < 0) return "no dbus-daemon (Debian package dbus-daemon)";
        if (busAddress.empty()) return "dbus-daemon gave no address: " + TempDir::read(dir_.file("bus.log.err"));
        ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);

        keyring_ = spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"}, password[0], -1,
                         dir_.file("keyring.log"));
        ::close(password[0]);
        // An empty password would leave the new keyring to a prompt.
        const std::string secret = "orvex-test";
        const bool fed = ::write(password[1], secret.data(), secret.size()) == static_cast<ssize_t>(secret.size());
        ::close(password[1]);
        if (keyring_ < 0 || !fed) return "gnome-keyring-daemon could not be started (Debian package gnome-keyring)";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(keyring_, nullptr, WNOHANG) == keyring_) {
                keyring_ = -1;
                return "gnome-keyring-daemon ended at once: " + TempDir::read(dir_.file("keyring.log.err"));
            }
            if (owned(busAddress, "org.freedesktop.secrets")) return {};
            ::poll(nullptr, 0, 20);
        }
        return "gnome-keyring-daemon did not take the Secret Service's name within 30 s";
    }

    // The first line the bus daemon prints, within 30 s.
    static std::string readLine(int fd) {
        std::string line;
        pollfd p{fd, POLLIN, 0};
        for (char c; ::poll(&p, 1, 30000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n';) line += c;
        return line;
    }

    // On a connection of its own, not the shared one the code under test uses.
    static bool owned(const std::string& address, const char* name) {
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (!bus) return false;
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                      G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                                                      nullptr);
        gboolean has = FALSE;
        if (reply) g_variant_get(reply, "(b)", &has), g_variant_unref(reply);
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        return has;
    }

    TempDir dir_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
    std::string problem_;
    pid_t bus_ = -1, keyring_ = -1;
};

}  // namespace orvex::testing
