#pragma once
// A real Secret Service (gnome-keyring) on a D-Bus session bus of the test's
// own: its own bus daemon, HOME and XDG folders in a temporary folder, the
// "login" keyring created unlocked with a password fed on standard input. The
// user's own bus and keyring are never reached: DBUS_SESSION_BUS_ADDRESS
// names the private bus while the object lives, and no display is named, so
// no prompt can open anywhere. Both daemons are ended by their process ids.
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
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"

extern char** environ;

namespace orvex::testing {

class PrivateSecretService {
public:
    // With `withKeyring` false only the bus runs: a desktop without a keyring.
    explicit PrivateSecretService(bool withKeyring = true) {
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME",
                                 "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        }
        ::mkdir(dir_.file("home").c_str(), 0700);
        ::mkdir(dir_.file("run").c_str(), 0700);
        ::mkdir(dir_.file("services").c_str(), 0700);  // nothing to activate: no prompter either
        ::setenv("HOME", dir_.file("home").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir_.file("run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", dir_.file("home/.local/share").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir_.file("home/.config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", dir_.file("home/.cache").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        // Until the private bus answers, no bus at all.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir_.file("no-bus")).c_str(), 1);
        problem_ = start(withKeyring);
    }
    ~PrivateSecretService() {
        for (pid_t* pid : {&keyring_, &bus_}) {
            if (*pid <= 0) continue;
            ::kill(*pid, SIGTERM);
            ::waitpid(*pid, nullptr, 0);
        }
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    PrivateSecretService(const PrivateSecretService&) = delete;
    PrivateSecretService& operator=(const PrivateSecretService&) = delete;

    // "" when the service runs; otherwise why it could not be started.
    const std::string& problem() const { return problem_; }
    const std::string& address() const { return address_; }

    // Locks every collection, as the desktop does on a screen lock.
    bool lockAll() {
        GVariantBuilder paths;
        g_variant_builder_init(&paths, G_VARIANT_TYPE("ao"));
        g_variant_builder_add(&paths, "o", "/org/freedesktop/secrets/collection/login");
        return call("Lock", g_variant_new("(ao)", &paths));
    }

private:
    static std::optional<std::string> program(const std::string& name) {
        for (const char* folder : {"/usr/bin", "/bin", "/usr/local/bin"}) {
            const std::string path = std::string(folder) + "/" + name;
            if (::access(path.c_str(), X_OK) == 0) return path;
        }
        return std::nullopt;
    }

    // Starts `argv` with standard input from `in` (or /dev/null) and standard
    // output to `out` (or a file); the process id, or -1.
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
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    std::string start(bool withKeyring) {
        const auto busDaemon = program("dbus-daemon");
        if (!busDaemon) return "dbus-daemon is not installed (Debian package dbus-daemon)";
        const auto keyringDaemon = program("gnome-keyring-daemon");
        if (withKeyring && !keyringDaemon) return "gnome-keyring-daemon is not installed (Debian package gnome-keyring)";

        const std::string config = dir_.file("bus.conf");
        TempDir::write(config,
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:dir=" + dir_.path().string() +
                           "</listen><auth>EXTERNAL</auth><servicedir>" + dir_.file("services") +
                           "</servicedir><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        int address[2];
        if (::pipe2(address, O_CLOEXEC) != 0) return "no pipe";
        bus_ = spawn({*busDaemon, "--config-file=" + config, "--nofork", "--print-address=1"}, -1, address[1],
                     dir_.file("bus.log"));
        ::close(address[1]);
        if (bus_ < 0) {
            ::close(address[0]);
            return "dbus-daemon could not be started";
        }
        address_ = readLine(address[0]);
        ::close(address[0]);
        if (address_.empty()) return "dbus-daemon gave no address: " + TempDir::read(dir_.file("bus.log.err"));
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
        if (!withKeyring) return {};

        int password[2];
        if (::pipe2(password, O_CLOEXEC) != 0) return "no pipe";
        keyring_ = spawn({*keyringDaemon, "--foreground", "--unlock", "--components=secrets"}, password[0], -1,
                         dir_.file("keyring.log"));
        ::close(password[0]);
        // An empty password would leave the new keyring to a prompt; any other creates it unlocked.
        const std::string secret = "orvex-test";
        const bool fed = ::write(password[1], secret.data(), secret.size()) == static_cast<ssize_t>(secret.size());
        ::close(password[1]);
        if (keyring_ < 0 || !fed) return "gnome-keyring-daemon could not be started";
        // Ready when it owns the service's name (and the login keyring is made).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(keyring_, nullptr, WNOHANG) == keyring_) {
                keyring_ = -1;
                return "gnome-keyring-daemon ended at once: " + TempDir::read(dir_.file("keyring.log.err"));
            }
            if (owned("org.freedesktop.secrets")) return {};
            ::poll(nullptr, 0, 20);
        }
        return "gnome-keyring-daemon did not take the Secret Service's name within 30 s: " +
               TempDir::read(dir_.file("keyring.log.err"));
    }

    // The first line the bus daemon prints, within 30 s.
    static std::string readLine(int fd) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c;
            if (::read(fd, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return {};
    }

    // A connection of its own, closed after each use (not the shared session
    // bus, which the code under test uses).
    GDBusConnection* connection() const {
        return g_dbus_connection_new_for_address_sync(
            address_.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
    }

    bool owned(const char* name) const {
        GDBusConnection* bus = connection();
        if (!bus) return false;
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                      G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                                                      nullptr);
        gboolean has = FALSE;
        if (reply) {
            g_variant_get(reply, "(b)", &has);
            g_variant_unref(reply);
        }
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        return has;
    }

    bool call(const char* method, GVariant* arguments) const {
        GDBusConnection* bus = connection();
        if (!bus) {
            g_variant_unref(g_variant_ref_sink(arguments));
            return false;
        }
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                      "org.freedesktop.Secret.Service", method, arguments, nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
        if (reply) g_variant_unref(reply);
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        return reply != nullptr;
    }

    TempDir dir_;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
    std::string problem_, address_;
    pid_t bus_ = -1, keyring_ = -1;
};

}  // namespace orvex::testing
